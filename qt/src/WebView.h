#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "Element.h"
#include "vanto/platform/ui/WebView.h"

class QWebEngineCertificateError;
class QWebEngineLoadingInfo;

namespace vanto::qt::detail {

/// A page of the payment web view. Every navigation goes through a decision made at once; a
/// certificate that the system does not trust is accepted only when it chains to a trust anchor
/// the application added for its URL sessions, host name included. The page's console messages
/// stay out of the application's output.
class PaymentWebPage final : public QWebEnginePage {
    Q_OBJECT

  public:
    /// True: the navigation to the address (empty when it has none) goes ahead.
    using Decision = std::function<bool(const QUrl& address)>;

    explicit PaymentWebPage(QObject* parent);
    void setDecision(Decision decision) { decision_ = std::move(decision); }

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int lineNumber, const QString& sourceId) override;

  private:
    Decision decision_;
};

/// The web view, which keeps the elements placed over its page on top of it.
class PaymentWebView final : public QWebEngineView {
    Q_OBJECT

  public:
    PaymentWebView();
    PaymentWebPage* paymentPage() const { return page_; }
    /// Puts `overlay` over the page, and keeps it above the page's own drawing.
    void addOverlay(QWidget* overlay);

  protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void raiseOverlays();

    PaymentWebPage* page_;
    std::vector<QPointer<QWidget>> overlays_;
};

/// The web view port on Qt WebEngine.
class QtWebView final : public ui::WebView, public Element {
  public:
    explicit QtWebView(PaymentWebView* view);
    ~QtWebView() override;

    /// Loads the request as a QWebEngineHttpRequest. The field that the browser computes from the
    /// request itself (Content-Length) is left to it; a cache policy that ignores cached data asks
    /// for a fresh page; the time-out stops a page that has not finished loading by then, as a
    /// failed navigation.
    void load(const platform::URLRequest& request) override;
    /// Runs `script`, an expression, in the page's main world. An exception it throws is the
    /// error; a script that does not compile, or whose page went away, gives no result.
    void evaluateJavaScript(const std::string& script, ScriptCompletion completion) override;
    void setNavigationDelegate(std::weak_ptr<ui::WebViewNavigationDelegate> delegate) override;
    void addSubview(std::shared_ptr<ui::View> element) override;

  private:
    bool decide(const QUrl& address);
    void loadingChanged(const QWebEngineLoadingInfo& loading);
    void timedOut();

    QPointer<PaymentWebView> view_;
    std::weak_ptr<ui::WebViewNavigationDelegate> delegate_;
    std::vector<std::shared_ptr<ui::View>> subviews_;
    std::vector<QMetaObject::Connection> connections_;
    QPointer<QTimer> timeout_;
};

}  // namespace vanto::qt::detail
