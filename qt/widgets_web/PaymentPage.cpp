#include "vanto/qt/PaymentPage.h"

#include "PageWindow.h"
#include "vanto/web/WebViewPaymentController.h"
#include "widgets/ScreenDrawers.h"
#include "widgets/Widgets.h"

namespace vanto::qt {
namespace {

detail::DrawnScreen drawPage(const BaseViewController& screen, bool make) {
    const auto* page = dynamic_cast<const WebViewPaymentController*>(&screen);
    if (!page) {
        return {};
    }
    const auto& model = page->viewModel();
    const bool drawn = dynamic_cast<detail::PageWindow*>(model->observer().get()) != nullptr;
    if (!drawn && !make) {
        return {};
    }
    return {detail::PageWindow::of(model).window(), [model = std::weak_ptr(model)] {
                if (const auto shown = model.lock()) {
                    shown->appeared();
                }
            }};
}

}  // namespace

namespace detail {

bool drawPaymentPages() {
    static const bool added = (addScreenDrawer(&drawPage), true);
    return added;
}

}  // namespace detail

QWidget* present(const std::shared_ptr<WebViewPaymentController>& screen) {
    detail::drawPaymentPages();
    return present(std::shared_ptr<BaseViewController>(screen));
}

QWidget* windowOf(const WebViewPaymentController& screen) {
    detail::drawPaymentPages();
    return windowOf(static_cast<const BaseViewController&>(screen));
}

}  // namespace vanto::qt
