#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "vanto/Export.h"
#include "vanto/platform/URLRequest.h"
#include "vanto/platform/ui/View.h"
#include "vanto/platform/ui/WebViewNavigationDelegate.h"

namespace vanto::platform::ui {

/// A value of a kind the screens do not read (an object, an array).
struct VANTO_EXPORT OtherScriptValue {
    friend bool operator==(const OtherScriptValue&, const OtherScriptValue&) = default;
};

/// What a script evaluated in a page produced: a text, a number, a truth value or another kind.
using ScriptValue = std::variant<std::string, double, bool, OtherScriptValue>;

/// Why a script could not be evaluated.
struct VANTO_EXPORT ScriptError {
    std::string description;
};

/// An embedded web browser (QWebEngineView in a Qt binding). It runs the pages with its own
/// cookies and cache, not the library's.
class VANTO_EXPORT WebView : public View {
  public:
    /// Called once with the script's result (absent when it produced none, or undefined or
    /// null) and, when the script could not be evaluated, an error.
    using ScriptCompletion =
        std::function<void(std::optional<ScriptValue> result, std::optional<ScriptError> error)>;

    /// Loads `request` as the view's page: its address, method, header fields in their order,
    /// body, cache policy and time-out (a Qt binding builds a QWebEngineHttpRequest from it).
    /// The navigation it starts goes to the delegate like any other.
    virtual void load(const URLRequest& request) = 0;
    /// Runs `script` in the page shown and calls `completion` once, later, on the main queue.
    virtual void evaluateJavaScript(const std::string& script, ScriptCompletion completion) = 0;
    /// Sends every navigation of this view, of the main page and of its frames, to `delegate`
    /// (QWebEnginePage::acceptNavigationRequest, loadStarted, loadFinished). Held weakly, and
    /// locked for the duration of each call.
    virtual void setNavigationDelegate(std::weak_ptr<WebViewNavigationDelegate> delegate) = 0;
    /// Places `element` over the page, at the element's own frame, above the elements added
    /// before.
    virtual void addSubview(std::shared_ptr<View> element) = 0;
};

}  // namespace vanto::platform::ui
