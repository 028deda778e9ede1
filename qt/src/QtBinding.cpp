#include "vanto/qt/QtBinding.h"

#include <QApplication>

#include "CardWindow.h"
#include "MainQueueOnQt.h"
#include "PageWindow.h"
#include "Widgets.h"
#include "vanto/direct/DirectPaymentViewController.h"
#include "vanto/web/WebViewPaymentController.h"

// The binding's images live in a static library: their resource is registered by hand, from the
// global namespace, as Qt requires.
static void registerImages() {
    Q_INIT_RESOURCE(vanto_qt);
}

namespace vanto::qt {
namespace {

// The binding in place, if any: screens are drawn only while one is.
const QtBinding* current = nullptr;

// The window of a screen, made for it when `make` and it has none yet.
detail::ScreenWindow* screenWindow(const BaseViewController& screen, bool make) {
    if (const auto* card = dynamic_cast<const DirectPaymentViewController*>(&screen)) {
        const auto& model = card->viewModel();
        const bool drawn = dynamic_cast<detail::CardWindow*>(model->observer().get()) != nullptr;
        return drawn || make ? detail::CardWindow::of(model).window() : nullptr;
    }
    if (const auto* page = dynamic_cast<const WebViewPaymentController*>(&screen)) {
        const auto& model = page->viewModel();
        const bool drawn = dynamic_cast<detail::PageWindow*>(model->observer().get()) != nullptr;
        return drawn || make ? detail::PageWindow::of(model).window() : nullptr;
    }
    return nullptr;
}

// Tells the screen's view model that it is on screen.
std::function<void()> appeared(const BaseViewController& screen) {
    if (const auto* card = dynamic_cast<const DirectPaymentViewController*>(&screen)) {
        return [model = std::weak_ptr(card->viewModel())] {
            if (const auto shown = model.lock()) {
                shown->appeared();
            }
        };
    }
    const auto* page = dynamic_cast<const WebViewPaymentController*>(&screen);
    return [model = std::weak_ptr(page->viewModel())] {
        if (const auto shown = model.lock()) {
            shown->appeared();
        }
    };
}

}  // namespace

struct QtBinding::Private {
    std::shared_ptr<detail::MainQueueOnQt> mainQueue;
};

QtBinding::QtBinding() : d_(std::make_unique<Private>()) {
    registerImages();
    d_->mainQueue = detail::MainQueueOnQt::install();
    current = this;
}

QtBinding::~QtBinding() {
    if (current == this) {
        current = nullptr;
    }
    d_->mainQueue->uninstall();
}

QWidget* present(const std::shared_ptr<BaseViewController>& screen) {
    if (!screen || !current) {
        return nullptr;
    }
    screen->loadViewIfNeeded();
    detail::ScreenWindow* window = screenWindow(*screen, true);
    if (!window) {
        return nullptr;
    }
    window->show();
    window->raise();
    window->activateWindow();
    QMetaObject::invokeMethod(window, appeared(*screen), Qt::QueuedConnection);
    return window;
}

QWidget* windowOf(const BaseViewController& screen) {
    return screenWindow(screen, false);
}

}  // namespace vanto::qt
