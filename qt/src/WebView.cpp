#include "WebView.h"

#include <string>
#include <vector>

#include <QEvent>
#include <QSslCertificate>
#include <QWebEngineCertificateError>
#include <QWebEngineSettings>

#include "vanto/platform/CertificateTrust.h"
#include "vanto/platform/URLSession.h"

namespace vanto::qt::detail {
namespace {

bool trusted(const QWebEngineCertificateError& error) {
    std::vector<std::string> chain;
    for (const QSslCertificate& certificate : error.certificateChain()) {
        chain.push_back(certificate.toPem().toStdString());
    }
    const auto anchors =
        platform::URLSessionConfiguration::defaultSessionConfiguration().additionalTrustAnchors;
    return error.isOverridable() &&
           platform::chainsToTrustAnchor(chain, anchors, error.url().host().toStdString());
}

}  // namespace

PaymentWebPage::PaymentWebPage(QObject* parent) : QWebEnginePage(parent) {
    // No icon fetched behind the page's back, and no browser error page in place of a page that
    // failed: the screen says that itself.
    settings()->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    connect(this, &QWebEnginePage::certificateError, this,
            [](const QWebEngineCertificateError& error) {
                QWebEngineCertificateError decided = error;
                if (trusted(error)) {
                    decided.acceptCertificate();
                } else {
                    decided.rejectCertificate();
                }
            });
}

bool PaymentWebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool) {
    return !decision_ || decision_(url, type == NavigationTypeFormSubmitted);
}

void PaymentWebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                              const QString&) {}

PaymentWebView::PaymentWebView() : page_(new PaymentWebPage(this)) {
    setPage(page_);
}

void PaymentWebView::addOverlay(QWidget* overlay, bool centred) {
    overlay->setParent(this);
    overlays_.emplace_back(overlay);
    if (centred) {
        centred_.emplace_back(overlay);
        overlay->move((width() - overlay->width()) / 2, (height() - overlay->height()) / 2);
    }
    overlay->raise();
}

// The view adds the widget it draws the page on when the page first renders, above what is
// there.
bool PaymentWebView::event(QEvent* event) {
    if (event->type() == QEvent::ChildAdded) {
        QMetaObject::invokeMethod(this, &PaymentWebView::raiseOverlays, Qt::QueuedConnection);
    }
    return QWebEngineView::event(event);
}

void PaymentWebView::resizeEvent(QResizeEvent* event) {
    QWebEngineView::resizeEvent(event);
    for (const auto& overlay : centred_) {
        if (overlay) {
            overlay->move((width() - overlay->width()) / 2, (height() - overlay->height()) / 2);
        }
    }
}

void PaymentWebView::raiseOverlays() {
    for (const auto& overlay : overlays_) {
        if (overlay) {
            overlay->raise();
        }
    }
}

}  // namespace vanto::qt::detail
