#include "web_base/PaymentWebPage.h"

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <QSslCertificate>
#include <QWebEngineProfile>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

#include "vanto/platform/URLSession.h"
#include "vanto/transport/TraceSink.h"
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
        // The engine logs its own verdict on such a certificate ("No matching issuer found",
        // "handshake failed") before asking; the traces say once, per host, what became of it.
        static std::mutex mutex;
        static std::set<std::string> explained;
        const std::string host = error.url().host().toStdString();
        bool first = false;
        {
            const std::lock_guard lock(mutex);
            first = explained.insert(host).second;
        }
        if (first) {
            writeTrace(
                "The payment page's web engine reports that it cannot verify the "
                "certificate of " +
                host +
                " (\"No matching issuer found\", \"handshake failed\"): the certificate "
                "chains to a trust anchor the application added, so the library accepted "
                "it for the payment page. These lines of the engine are no failure.");
        }
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
