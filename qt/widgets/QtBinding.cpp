#include "vanto/qt/QtBinding.h"

#include <mutex>
#include <vector>

#include <QApplication>
#include <QtDebug>

#include "CardWindow.h"
#include "ScreenDrawers.h"
#include "Widgets.h"
#include "base/MainQueueOnQt.h"
#include "base/ScreenTexts.h"
#include "vanto/direct/DirectPaymentViewController.h"

// The binding's images live in a static library: their resource is registered by hand, from the
// global namespace, as Qt requires.
static void registerImages() {
    Q_INIT_RESOURCE(vanto_qt);
}

namespace vanto::qt {
namespace {

// The binding in place, if any: screens are drawn only while one is.
const QtBinding* current = nullptr;

struct Drawers {
    std::mutex mutex;
    std::vector<detail::ScreenDrawer> added;
};

// Made on first use: drawers add themselves while the program's statics are being made.
Drawers& drawers() {
    static Drawers made;
    return made;
}

detail::DrawnScreen drawCard(const DirectPaymentViewController& card, bool make) {
    const auto& model = card.viewModel();
    const bool drawn = dynamic_cast<detail::CardWindow*>(model->observer().get()) != nullptr;
    if (!drawn && !make) {
        return {};
    }
    return {detail::CardWindow::of(model).window(), [model = std::weak_ptr(model)] {
                if (const auto shown = model.lock()) {
                    shown->appeared();
                }
            }};
}

detail::DrawnScreen draw(const BaseViewController& screen, bool make) {
    if (const auto* card = dynamic_cast<const DirectPaymentViewController*>(&screen)) {
        return drawCard(*card, make);
    }
    std::vector<detail::ScreenDrawer> added;
    {
        const std::lock_guard lock(drawers().mutex);
        added = drawers().added;
    }
    for (const auto& drawer : added) {
        if (auto drawn = drawer(screen, make); drawn.window) {
            return drawn;
        }
    }
    return {};
}

}  // namespace

namespace detail {

void addScreenDrawer(ScreenDrawer drawer) {
    const std::lock_guard lock(drawers().mutex);
    drawers().added.push_back(std::move(drawer));
}

}  // namespace detail

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
    const detail::DrawnScreen drawn = draw(*screen, true);
    if (!drawn.window) {
        qWarning(
            "vanto::qt::present: no drawing for this kind of screen; a payment page needs "
            "the vanto::qt_web library and <vanto/qt/PaymentPage.h>");
        return nullptr;
    }
    drawn.window->show();
    drawn.window->raise();
    drawn.window->activateWindow();
    QMetaObject::invokeMethod(drawn.window, drawn.appeared, Qt::QueuedConnection);
    return drawn.window;
}

QWidget* windowOf(const BaseViewController& screen) {
    return draw(screen, false).window;
}

bool setScreenLanguage(const QLocale& locale) {
    return detail::useScreenLanguage(locale);
}

}  // namespace vanto::qt
