#pragma once

#include <functional>
#include <vector>

#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace vanto::qt::detail {

/// A page of the payment web view. Every navigation goes through a decision made at once; a
/// certificate that the system does not trust is accepted only when it chains to a trust anchor
/// the application added for its URL sessions, host name included. The page's console messages
/// stay out of the application's output.
class PaymentWebPage final : public QWebEnginePage {
    Q_OBJECT

  public:
    /// True: the navigation to the address (empty when it has none), which submits a form or
    /// not, goes ahead.
    using Decision = std::function<bool(const QUrl& address, bool submitsForm)>;

    explicit PaymentWebPage(QObject* parent);
    void setDecision(Decision decision) { decision_ = std::move(decision); }

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int lineNumber, const QString& sourceId) override;

  private:
    Decision decision_;
};

/// The web view, which keeps the widgets placed over its page on top of it: at their own
/// geometry, or in its middle.
class PaymentWebView final : public QWebEngineView {
    Q_OBJECT

  public:
    PaymentWebView();
    PaymentWebPage* paymentPage() const { return page_; }
    void addOverlay(QWidget* overlay, bool centred);

  protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void raiseOverlays();

    PaymentWebPage* page_;
    std::vector<QPointer<QWidget>> overlays_;
    std::vector<QPointer<QWidget>> centred_;
};

}  // namespace vanto::qt::detail
