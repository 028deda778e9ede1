#include "web_base/PaymentWebPage.h"

#include <string>
#include <vector>

#include <QSslCertificate>
#include <QWebEngineProfile>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

#include "vanto/platform/URLSession.h"
#include "web_base/SelectionGuard.h"

namespace vanto::qt::detail {

bool certificateTrusted(const QWebEngineCertificateError& error) {
    std::vector<std::string> chain;
    for (const QSslCertificate& certificate : error.certificateChain()) {
        chain.push_back(certificate.toPem().toStdString());
    }
    const auto anchors =
        platform::URLSessionConfiguration::defaultSessionConfiguration().additionalTrustAnchors;
    return error.isOverridable() &&
           platform::chainsToTrustAnchor(chain, anchors, error.url().host().toStdString());
}

// The error is a handle on the one the engine waits on: a copy decides it.
void decideCertificate(const QWebEngineCertificateError& error) {
    QWebEngineCertificateError decided = error;
    if (certificateTrusted(error)) {
        decided.acceptCertificate();
    } else {
        decided.rejectCertificate();
    }
}

// The profile is the page's child: it goes once the page has gone, as the engine requires.
PaymentWebPage::PaymentWebPage(QObject* parent) : QWebEnginePage(new QWebEngineProfile(), parent) {
    profile()->setParent(this);
    settings()->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    profile()->scripts()->insert(selectionGuardScript());
    connect(this, &QWebEnginePage::certificateError, this, &decideCertificate);
}

bool PaymentWebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool) {
    return !decision_ || decision_(url, type == NavigationTypeFormSubmitted);
}

void PaymentWebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                              const QString&) {}

}  // namespace vanto::qt::detail
