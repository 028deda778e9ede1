#include "WebView.h"

#include <algorithm>
#include <cmath>

#include <QChildEvent>
#include <QSslCertificate>
#include <QWebEngineCertificateError>
#include <QWebEngineHttpRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineScript>
#include <QWebEngineSettings>

#include "vanto/platform/CertificateTrust.h"
#include "vanto/platform/URLSession.h"

namespace vanto::qt::detail {
namespace {

// Chromium's "the navigation was aborted": a page that another navigation replaced before it
// finished, or one the decision cancelled. Neither is a failure.
constexpr int kAborted = -3;

constexpr double kDefaultTimeoutSeconds = 60.0;
constexpr double kLongestTimeoutSeconds = 24.0 * 60.0 * 60.0;

const char* const kScriptWrapper =
    "(function () { try { return [true, (%1\n)]; } catch (e) { return [false, String(e)]; } })()";

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

// A field that the browser writes from the request itself and refuses to be given.
bool computedByBrowser(const std::string& name) {
    QByteArray lower = QByteArray::fromStdString(name).toLower();
    return lower == "content-length" || lower == "host";
}

int timeoutMilliseconds(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0.0) {
        seconds = kDefaultTimeoutSeconds;
    }
    return static_cast<int>(std::lround(std::min(seconds, kLongestTimeoutSeconds) * 1000.0));
}

std::optional<ui::ScriptValue> toScriptValue(const QVariant& value) {
    if (!value.isValid() || value.isNull()) {
        return std::nullopt;
    }
    switch (value.typeId()) {
        case QMetaType::QString:
            return ui::ScriptValue(value.toString().toStdString());
        case QMetaType::Bool:
            return ui::ScriptValue(value.toBool());
        case QMetaType::Double:
        case QMetaType::Float:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            return ui::ScriptValue(value.toDouble());
        default:
            return ui::ScriptValue(ui::OtherScriptValue{});
    }
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

bool PaymentWebPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool) {
    return !decision_ || decision_(url);
}

void PaymentWebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                              const QString&) {}

PaymentWebView::PaymentWebView() : page_(new PaymentWebPage(this)) {
    setPage(page_);
}

void PaymentWebView::addOverlay(QWidget* overlay) {
    overlays_.emplace_back(overlay);
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
    recentreOver(*this);
}

void PaymentWebView::raiseOverlays() {
    for (const auto& overlay : overlays_) {
        if (overlay) {
            overlay->raise();
        }
    }
}

QtWebView::QtWebView(PaymentWebView* view) : Element(view), view_(view) {
    PaymentWebPage* page = view->paymentPage();
    page->setDecision([this](const QUrl& address) { return decide(address); });
    connections_.push_back(QObject::connect(
        page, &QWebEnginePage::loadingChanged, view,
        [this](const QWebEngineLoadingInfo& loading) { loadingChanged(loading); }));
    timeout_ = new QTimer(view);
    timeout_->setSingleShot(true);
    connections_.push_back(
        QObject::connect(timeout_, &QTimer::timeout, view, [this] { timedOut(); }));
}

QtWebView::~QtWebView() {
    for (const auto& connection : connections_) {
        QObject::disconnect(connection);
    }
    if (view_) {
        view_->paymentPage()->setDecision(nullptr);
        view_->paymentPage()->triggerAction(QWebEnginePage::Stop);
    }
}

void QtWebView::load(const platform::URLRequest& request) {
    if (!view_) {
        return;
    }
    const bool post = request.httpMethod && *request.httpMethod == "POST";
    QWebEngineHttpRequest page(QUrl(toQString(request.url)),
                               post ? QWebEngineHttpRequest::Post : QWebEngineHttpRequest::Get);
    for (const auto& [name, value] : request.allHTTPHeaderFields.fields()) {
        if (!computedByBrowser(name)) {
            page.setHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
        }
    }
    if (request.cachePolicy == platform::CachePolicy::reloadIgnoringLocalAndRemoteCacheData) {
        page.setHeader("Cache-Control", "no-cache");
        page.setHeader("Pragma", "no-cache");
    }
    if (request.httpBody) {
        page.setPostData(
            QByteArray(request.httpBody->data(), static_cast<qsizetype>(request.httpBody->size())));
    }
    timeout_->start(timeoutMilliseconds(request.timeoutInterval));
    view_->paymentPage()->load(page);
}

void QtWebView::evaluateJavaScript(const std::string& script, ScriptCompletion completion) {
    if (!view_) {
        return;
    }
    const QString wrapped = QString::fromLatin1(kScriptWrapper).arg(toQString(script));
    view_->paymentPage()->runJavaScript(
        wrapped, QWebEngineScript::MainWorld,
        [completion = std::move(completion)](const QVariant& outcome) {
            const QVariantList pair = outcome.toList();
            if (pair.size() != 2) {
                completion(std::nullopt, std::nullopt);
            } else if (pair.front().toBool()) {
                completion(toScriptValue(pair.back()), std::nullopt);
            } else {
                completion(std::nullopt, ui::ScriptError{pair.back().toString().toStdString()});
            }
        });
}

void QtWebView::setNavigationDelegate(std::weak_ptr<ui::WebViewNavigationDelegate> delegate) {
    delegate_ = std::move(delegate);
}

void QtWebView::addSubview(std::shared_ptr<ui::View> element) {
    auto* placed = dynamic_cast<Element*>(element.get());
    if (!view_ || !placed || !placed->widget()) {
        return;
    }
    placed->placeOver(view_);
    view_->addOverlay(placed->widget());
    subviews_.push_back(std::move(element));
}

// Without a delegate every navigation goes ahead; one that makes no decision cancels.
bool QtWebView::decide(const QUrl& address) {
    const auto delegate = delegate_.lock();
    if (!delegate) {
        return true;
    }
    std::optional<std::string> text;
    if (!address.isEmpty()) {
        text = address.toString(QUrl::FullyEncoded).toStdString();
    }
    auto decision = std::make_shared<std::optional<ui::NavigationActionPolicy>>();
    delegate->decidePolicyFor(*this, text, [decision](ui::NavigationActionPolicy policy) {
        if (!*decision) {
            *decision = policy;
        }
    });
    return *decision == ui::NavigationActionPolicy::allow;
}

// A page that arrived with an error status failed after it started to arrive; any other failure
// (refused or closed connection, certificate, name) before.
void QtWebView::loadingChanged(const QWebEngineLoadingInfo& loading) {
    const auto status = loading.status();
    if (status != QWebEngineLoadingInfo::LoadStartedStatus) {
        timeout_->stop();
    }
    const auto delegate = delegate_.lock();
    if (!delegate) {
        return;
    }
    switch (status) {
        case QWebEngineLoadingInfo::LoadStartedStatus:
            delegate->didStartProvisionalNavigation(*this);
            break;
        case QWebEngineLoadingInfo::LoadSucceededStatus:
            delegate->didFinishNavigation(*this);
            break;
        case QWebEngineLoadingInfo::LoadFailedStatus:
            if (loading.errorCode() == kAborted) {
                break;
            }
            if (loading.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain) {
                delegate->didFailNavigation(*this);
            } else {
                delegate->didFailProvisionalNavigation(*this);
            }
            break;
        case QWebEngineLoadingInfo::LoadStoppedStatus:
            break;
    }
}

void QtWebView::timedOut() {
    if (!view_) {
        return;
    }
    view_->paymentPage()->triggerAction(QWebEnginePage::Stop);
    if (const auto delegate = delegate_.lock()) {
        delegate->didFailProvisionalNavigation(*this);
    }
}

}  // namespace vanto::qt::detail
