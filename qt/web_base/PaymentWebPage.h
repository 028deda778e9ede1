#pragma once

#include <functional>

#include <QWebEngineCertificateError>
#include <QWebEnginePage>

#include "vanto/qt/WebBaseExport.h"

namespace vanto::qt::detail {

/// Whether a server certificate that the system does not trust is taken for a payment page: only
/// when it chains to a trust anchor the application added for its URL sessions
/// (platform::URLSessionConfiguration::additionalTrustAnchors), for the host the page was asked
/// from, and when Qt WebEngine lets it be overridden at all.
VANTO_QT_WEB_BASE_EXPORT bool certificateTrusted(const QWebEngineCertificateError& error);
/// Accepts or rejects `error` at once, by certificateTrusted(): what a payment page's view does
/// with QWebEnginePage's or WebEngineView's certificateError.
VANTO_QT_WEB_BASE_EXPORT void decideCertificate(const QWebEngineCertificateError& error);

/// A page of the payment web view, in an off-the-record profile of its own, made with it and
/// destroyed with it: what the page held (its documents, their storage and cookies, the HTTP
/// cache, the engine's certificate decisions) is not shared with any other page and goes when
/// the page goes, and nothing is kept on disk. A view draws one page per presentation of its
/// screen, so every certificate is decided anew, against the trust anchors in force then.
///
/// Every navigation goes through a decision made at once; certificates are decided by
/// decideCertificate(). It fetches no icon behind the page's back and shows no browser error page
/// in place of a page that failed (the screen says that itself); the page's console messages stay
/// out of the application's output. Its documents run selectionGuardScript(): nothing typed into
/// them is copied, cut, dragged or selected.
class VANTO_QT_WEB_BASE_EXPORT PaymentWebPage final : public QWebEnginePage {
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

}  // namespace vanto::qt::detail
