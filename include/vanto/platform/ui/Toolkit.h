#pragma once

#include <functional>
#include <memory>

#include "vanto/Export.h"
#include "vanto/platform/ui/ActivityIndicator.h"
#include "vanto/platform/ui/Button.h"
#include "vanto/platform/ui/DeviceMetrics.h"
#include "vanto/platform/ui/DirectPaymentViewElements.h"
#include "vanto/platform/ui/Rect.h"
#include "vanto/platform/ui/WebView.h"
#include "vanto/platform/ui/WebViewPaymentViewElements.h"

namespace vanto::platform::ui {

/// What a UI toolkit binding provides so that the payment screens can draw: their laid-out
/// elements (what the layouts "DirectPaymentViewController" and "WebViewPaymentController" hold),
/// the elements the web screen creates in code, the device's metrics and animation. Every
/// operation runs on the main queue. The binding also runs the main queue on its event loop
/// (platform::MainQueue::setExecutor) and drives each screen's life cycle: loadViewIfNeeded()
/// before it shows the screen's main view, viewDidAppear() once it is on screen.
class VANTO_EXPORT Toolkit {
  public:
    virtual ~Toolkit() = default;

    /// A new set of the card-entry screen's elements, laid out, not yet shown.
    virtual DirectPaymentViewElements loadDirectPaymentViewController() = 0;
    /// A new main view and presentation for a payment web page.
    virtual WebViewPaymentViewElements loadWebViewPaymentController() = 0;
    /// A new web view with the default configuration and an empty frame.
    virtual std::shared_ptr<WebView> makeWebView() = 0;
    /// A new activity indicator, hidden and stopped.
    virtual std::shared_ptr<ActivityIndicator> makeActivityIndicator() = 0;
    /// A new push button at `frame`, without a title.
    virtual std::shared_ptr<Button> makeButton(const Rect& frame) = 0;
    /// The device the screens run on.
    virtual DeviceMetrics deviceMetrics() const = 0;
    /// Runs `changes` at once and shows the opacity changes they make to elements as an
    /// animation over `seconds`.
    virtual void animate(double seconds, std::function<void()> changes) = 0;

  protected:
    Toolkit() = default;
    Toolkit(const Toolkit&) = default;
    Toolkit& operator=(const Toolkit&) = default;
};

/// The toolkit that screens created from now on draw through: the one set with setToolkit(), or
/// null when none is, in which case a screen runs its logic without any element to draw on.
VANTO_EXPORT std::shared_ptr<Toolkit> toolkit();

/// Puts `toolkit` in place for every screen created afterwards (a binding does this once, at
/// start); null takes it away.
VANTO_EXPORT void setToolkit(std::shared_ptr<Toolkit> toolkit);

}  // namespace vanto::platform::ui
