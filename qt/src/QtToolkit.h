#pragma once

#include "vanto/platform/ui/Toolkit.h"

namespace vanto::qt::detail {

namespace ui = platform::ui;

/// The payment screens' elements on Qt Widgets and Qt WebEngine.
class QtToolkit final : public ui::Toolkit {
  public:
    /// The card-entry screen: a window with a top bar (cancel, continue), the logo, the
    /// information text, and the three card fields with their captions.
    ui::DirectPaymentViewElements loadDirectPaymentViewController() override;
    /// An empty window that the payment web page fills with its web view.
    ui::WebViewPaymentViewElements loadWebViewPaymentController() override;
    std::shared_ptr<ui::WebView> makeWebView() override;
    std::shared_ptr<ui::ActivityIndicator> makeActivityIndicator() override;
    std::shared_ptr<ui::Button> makeButton(const ui::Rect& frame) override;
    /// A desktop: no phone idiom, no status bar; the primary screen's height in pixels.
    ui::DeviceMetrics deviceMetrics() const override;
    void animate(double seconds, std::function<void()> changes) override;
};

}  // namespace vanto::qt::detail
