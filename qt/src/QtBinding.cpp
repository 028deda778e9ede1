#include "vanto/qt/QtBinding.h"

#include <QApplication>
#include <QPushButton>

#include "Elements.h"
#include "MainQueueOnQt.h"
#include "QtToolkit.h"
#include "vanto/direct/DirectPaymentViewController.h"
#include "vanto/web/WebViewPaymentController.h"

// The binding's images live in a static library: their resource is registered by hand, from the
// global namespace, as Qt requires.
static void registerImages() {
    Q_INIT_RESOURCE(vanto_qt);
}

namespace vanto::qt {

struct QtBinding::Private {
    std::shared_ptr<detail::MainQueueOnQt> mainQueue;
};

QtBinding::QtBinding() : d_(std::make_unique<Private>()) {
    registerImages();
    d_->mainQueue = detail::MainQueueOnQt::install();
    platform::ui::setToolkit(std::make_shared<detail::QtToolkit>());
}

QtBinding::~QtBinding() {
    platform::ui::setToolkit(nullptr);
    d_->mainQueue->uninstall();
}

namespace {

detail::ScreenWindow* screenWindow(const BaseViewController& screen) {
    const auto* view = dynamic_cast<const detail::QtMainView*>(screen.view().get());
    return view ? view->window() : nullptr;
}

// What closing the window by hand does: what the screen offers the cardholder to leave.
std::function<void()> wayOut(const std::shared_ptr<BaseViewController>& screen) {
    if (auto card = std::dynamic_pointer_cast<DirectPaymentViewController>(screen)) {
        return [weak = std::weak_ptr(card)] {
            const auto shown = weak.lock();
            auto* cancel =
                shown ? qobject_cast<QPushButton*>(detail::widgetOf(shown->cancelPaymentButton()))
                      : nullptr;
            if (cancel && cancel->isEnabled()) {
                cancel->click();
            }
        };
    }
    if (auto page = std::dynamic_pointer_cast<WebViewPaymentController>(screen)) {
        return [weak = std::weak_ptr(page)] {
            if (const auto shown = weak.lock()) {
                shown->closeButtonClicked();
            }
        };
    }
    return {};
}

}  // namespace

QWidget* present(const std::shared_ptr<BaseViewController>& screen) {
    if (!screen) {
        return nullptr;
    }
    screen->loadViewIfNeeded();
    detail::ScreenWindow* window = screenWindow(*screen);
    if (!window) {
        return nullptr;
    }
    window->setCloseRequestHandler(wayOut(screen));
    window->show();
    window->raise();
    window->activateWindow();
    QMetaObject::invokeMethod(
        window,
        [weak = std::weak_ptr(screen)] {
            if (const auto shown = weak.lock()) {
                shown->viewDidAppear(true);
            }
        },
        Qt::QueuedConnection);
    return window;
}

QWidget* windowOf(const BaseViewController& screen) {
    return screenWindow(screen);
}

QWidget* widgetOf(const platform::ui::View* element) {
    return detail::widgetOf(element);
}

}  // namespace vanto::qt
