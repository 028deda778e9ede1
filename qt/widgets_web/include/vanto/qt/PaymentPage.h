#pragma once

#include <memory>

#include "vanto/qt/QtBinding.h"
#include "vanto/qt/WebExport.h"

class QWidget;

namespace vanto {
class WebViewPaymentController;
}  // namespace vanto

namespace vanto::qt {

/// The payment web page (WebViewPaymentController) on Qt WebEngine Widgets, in its own library so
/// that an application that shows only the card-entry screen does not load the web engine.
///
/// An application that shows the payment page links vanto::qt_web (CMake: find_package with
/// COMPONENTS qt_web; pkg-config: vanto-qt-web), which brings vanto::qt with it, and includes this
/// header in one of its sources at least: from then on present() and windowOf() draw payment pages
/// too, whichever of their overloads is called. The QtBinding (<vanto/qt/QtBinding.h>) must be in
/// place, as for the card-entry screen.
///
/// Each payment page runs in an off-the-record Qt WebEngine profile of its own, which keeps nothing
/// on disk and goes with the page: what one page stored (cookies, cache) never reaches the next
/// page nor the application's own web views. A server
/// certificate that the system does not trust is accepted only when it chains to one of the
/// trust anchors the application gave its URL sessions
/// (platform::URLSessionConfiguration::defaultSessionConfiguration().additionalTrustAnchors), for
/// the host the page was asked from.

/// Shows the payment page in a window of its own and drives its life cycle, as
/// present(const std::shared_ptr<BaseViewController>&) does: the window has the web view filling
/// it, and the close button (once the screen shows it) over its top-left corner. Closing the
/// window by hand takes the page's close. Returns the window, which belongs to the screen; null
/// without a QtBinding.
VANTO_QT_WEB_EXPORT QWidget* present(const std::shared_ptr<WebViewPaymentController>& screen);

/// The window of a payment page that was presented; null otherwise.
VANTO_QT_WEB_EXPORT QWidget* windowOf(const WebViewPaymentController& screen);

namespace detail {

/// Teaches present() and windowOf() to draw payment pages, once; true. Run through the variable
/// below in every program that includes this header: with static libraries, a part of a library
/// that nothing in the program refers to is left out of it.
VANTO_QT_WEB_EXPORT bool drawPaymentPages();
[[maybe_unused]] inline const bool paymentPagesDrawn = drawPaymentPages();

}  // namespace detail

}  // namespace vanto::qt
