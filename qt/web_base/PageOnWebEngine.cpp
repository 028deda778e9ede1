#include "web_base/PageOnWebEngine.h"

#include <algorithm>
#include <cmath>
#include <string>

#include <QWebEngineLoadingInfo>
#include <QWebEngineNavigationRequest>

#include "base/QtValues.h"

namespace vanto::qt::detail {
namespace {

// Chromium's "the navigation was aborted": a page that another navigation replaced before it
// finished, or one the decision cancelled. Neither is a failure.
constexpr int kAborted = -3;

constexpr double kDefaultTimeoutSeconds = 60.0;
constexpr double kLongestTimeoutSeconds = 24.0 * 60.0 * 60.0;

const char* const kScriptWrapper =
    "(function () { try { return [true, (%1\n)]; } catch (e) { return [false, String(e)]; } })()";

// A field that the browser writes from the request itself and refuses to be given.
bool computedByBrowser(const std::string& name) {
    const QByteArray lower = QByteArray::fromStdString(name).toLower();
    return lower == "content-length" || lower == "host";
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

bool PageOnWebEngine::decideNavigation(const std::weak_ptr<Model>& model, const QUrl& address,
                                       bool submitsForm) {
    const auto shown = model.lock();
    if (!shown) {
        return false;
    }
    ui::NavigationAction action;
    if (!address.isEmpty()) {
        action.address = address.toString(QUrl::FullyEncoded).toStdString();
    }
    action.submitsForm = submitsForm;
    return shown->decideNavigation(action) == ui::NavigationActionPolicy::allow;
}

void PageOnWebEngine::decideNavigation(const std::weak_ptr<Model>& model,
                                       QWebEngineNavigationRequest& request) {
    const bool submitsForm =
        request.navigationType() == QWebEngineNavigationRequest::FormSubmittedNavigation;
    if (decideNavigation(model, request.url(), submitsForm)) {
        request.accept();
    } else {
        request.reject();
    }
}

void PageOnWebEngine::loadingChanged(const std::weak_ptr<Model>& model,
                                     const QWebEngineLoadingInfo& loading) {
    const auto shown = model.lock();
    if (!shown) {
        return;
    }
    switch (loading.status()) {
        case QWebEngineLoadingInfo::LoadStartedStatus:
            shown->navigationStarted();
            break;
        case QWebEngineLoadingInfo::LoadSucceededStatus:
            shown->navigationFinished();
            break;
        case QWebEngineLoadingInfo::LoadFailedStatus:
            if (loading.errorCode() != kAborted) {
                shown->navigationFailed();
            }
            break;
        case QWebEngineLoadingInfo::LoadStoppedStatus:
            break;
    }
}

QWebEngineHttpRequest PageOnWebEngine::request(const platform::URLRequest& page) {
    const bool post = page.httpMethod && *page.httpMethod == "POST";
    QWebEngineHttpRequest request(QUrl(toQString(page.url)),
                                  post ? QWebEngineHttpRequest::Post : QWebEngineHttpRequest::Get);
    for (const auto& [name, value] : page.allHTTPHeaderFields.fields()) {
        if (!computedByBrowser(name)) {
            request.setHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
        }
    }
    if (page.cachePolicy == platform::CachePolicy::reloadIgnoringLocalAndRemoteCacheData) {
        request.setHeader("Cache-Control", "no-cache");
        request.setHeader("Pragma", "no-cache");
    }
    if (page.httpBody) {
        request.setPostData(
            QByteArray(page.httpBody->data(), static_cast<qsizetype>(page.httpBody->size())));
    }
    return request;
}

int PageOnWebEngine::timeoutMilliseconds(const platform::URLRequest& page) {
    double seconds = page.timeoutInterval;
    if (!std::isfinite(seconds) || seconds <= 0.0) {
        seconds = kDefaultTimeoutSeconds;
    }
    return static_cast<int>(std::lround(std::min(seconds, kLongestTimeoutSeconds) * 1000.0));
}

QString PageOnWebEngine::scriptToRun(const ui::PageScript& script) {
    return QString::fromLatin1(kScriptWrapper).arg(toQString(script.source));
}

void PageOnWebEngine::scriptAnswered(const std::weak_ptr<Model>& model, std::uint64_t scriptId,
                                     const QVariant& answer) {
    const auto shown = model.lock();
    if (!shown) {
        return;
    }
    const QVariantList pair = answer.toList();
    if (pair.size() != 2) {
        shown->scriptEvaluated(scriptId, std::nullopt, std::nullopt);
    } else if (pair.front().toBool()) {
        shown->scriptEvaluated(scriptId, toScriptValue(pair.back()), std::nullopt);
    } else {
        shown->scriptEvaluated(scriptId, std::nullopt,
                               ui::ScriptError{pair.back().toString().toStdString()});
    }
}

}  // namespace vanto::qt::detail
