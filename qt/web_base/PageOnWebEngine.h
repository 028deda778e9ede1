#pragma once

#include <cstdint>
#include <memory>

#include <QString>
#include <QUrl>
#include <QVariant>
#include <QWebEngineHttpRequest>

#include "vanto/platform/URLRequest.h"
#include "vanto/platform/ui/PaymentPageViewModel.h"
#include "vanto/qt/WebBaseExport.h"

class QWebEngineLoadingInfo;
class QWebEngineNavigationRequest;

namespace vanto::qt::detail {

namespace ui = platform::ui;

/// The payment page's view model on Qt WebEngine, whatever draws the page: Qt WebEngine Widgets'
/// QWebEngineView or Qt Quick's WebEngineView, which both speak in these Qt WebEngine Core types.
/// A binding hands the model what its view reports through these, and loads and runs what the
/// model asks for with them. The model is held for each call only: the screen behind it may go
/// meanwhile, and once it has gone every navigation is refused.
class VANTO_QT_WEB_BASE_EXPORT PageOnWebEngine {
  public:
    using Model = ui::PaymentPageViewModel;

    /// True: the navigation to `address` (empty when it has none), which submits a form or not,
    /// goes ahead. Decided at once, as the view asks.
    static bool decideNavigation(const std::weak_ptr<Model>& model, const QUrl& address,
                                 bool submitsForm);
    /// The same for a navigation request (QWebEnginePage's and WebEngineView's
    /// navigationRequested), which is accepted or rejected.
    static void decideNavigation(const std::weak_ptr<Model>& model,
                                 QWebEngineNavigationRequest& request);

    /// Tells the model a change of the page's loading: a navigation started, finished or failed.
    /// A page that another navigation replaced before it finished, or one the decision cancelled,
    /// has not failed. A stop asked for by the binding is no change.
    static void loadingChanged(const std::weak_ptr<Model>& model,
                               const QWebEngineLoadingInfo& loading);

    /// The request a page is loaded with: the fields that the browser computes from the request
    /// itself (Content-Length, Host) are left to it, and a cache policy that ignores cached data
    /// asks for a fresh page.
    static QWebEngineHttpRequest request(const platform::URLRequest& page);
    /// How long the binding lets the page load before it stops it, as a failed navigation: the
    /// request's time-out, or a minute when it has none that makes sense; at most a day.
    static int timeoutMilliseconds(const platform::URLRequest& page);

    /// The text to run in the page's main world for `script`, which answers with its value, or
    /// with the exception it threw.
    static QString scriptToRun(const ui::PageScript& script);
    /// Hands the model the answer of scriptToRun(script), as the view's runJavaScript gives it.
    static void scriptAnswered(const std::weak_ptr<Model>& model, std::uint64_t scriptId,
                               const QVariant& answer);
};

}  // namespace vanto::qt::detail
