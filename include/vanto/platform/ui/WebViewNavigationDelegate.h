#pragma once

#include <functional>
#include <optional>
#include <string>

#include "vanto/Export.h"

namespace vanto::platform::ui {

class WebView;

/// Whether a web view goes ahead with a navigation, with the raw values hosts use for them.
enum class NavigationActionPolicy {
    cancel = 0,
    allow = 1,
};

/// Follows the navigations of a web view: the payment web page is the delegate of its web view.
/// Every call comes on the main queue. A navigation is one load of a page in the view, of the
/// main page or of a frame inside it: each is decided first, then starts, then finishes or fails.
class VANTO_EXPORT WebViewNavigationDelegate {
  public:
    using DecisionHandler = std::function<void(NavigationActionPolicy)>;

    virtual ~WebViewNavigationDelegate() = default;

    /// A navigation to `address` (the absolute address of its request; absent when the request
    /// has none) is about to happen. The delegate calls `decisionHandler` exactly once, before
    /// this returns: allow lets the web view go on, cancel drops the navigation.
    virtual void decidePolicyFor(WebView& webView, const std::optional<std::string>& address,
                                 const DecisionHandler& decisionHandler) = 0;
    /// An allowed navigation started to load.
    virtual void didStartProvisionalNavigation(WebView& webView) = 0;
    /// A navigation finished loading its page.
    virtual void didFinishNavigation(WebView& webView) = 0;
    /// A navigation failed after its page had started to arrive.
    virtual void didFailNavigation(WebView& webView) = 0;
    /// A navigation failed before its page started to arrive (an unreachable address, a refused
    /// connection, a certificate that fails). A binding that cannot tell the two failures apart
    /// reports didFailNavigation.
    virtual void didFailProvisionalNavigation(WebView& webView) = 0;

  protected:
    WebViewNavigationDelegate() = default;
    WebViewNavigationDelegate(const WebViewNavigationDelegate&) = default;
    WebViewNavigationDelegate& operator=(const WebViewNavigationDelegate&) = default;
};

}  // namespace vanto::platform::ui
