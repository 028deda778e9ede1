#include "PageLaunch.h"

#include <QWebEngineHttpRequest>
#include <QWebEngineUrlRequestInfo>

#include "web_base/PageOnWebEngine.h"

namespace vanto::quick::detail {
namespace {

// A name or value of a form-encoded body, decoded: "+" is a space, "%XX" a byte, the bytes UTF-8.
QString formDecoded(QByteArray bytes) {
    bytes.replace('+', ' ');
    return QString::fromUtf8(QByteArray::fromPercentEncoding(bytes));
}

}  // namespace

QString selfSubmittingForm(const QUrl& address, std::string_view body) {
    QString fields;
    const auto all = QByteArray::fromRawData(body.data(), static_cast<qsizetype>(body.size()));
    for (const QByteArray& pair : all.split('&')) {
        if (pair.isEmpty()) {
            continue;
        }
        const qsizetype equals = pair.indexOf('=');
        const QString name = formDecoded(equals < 0 ? pair : pair.left(equals));
        const QString value = equals < 0 ? QString() : formDecoded(pair.mid(equals + 1));
        fields += QStringLiteral("<input type=\"hidden\" name=\"%1\" value=\"%2\">")
                      .arg(name.toHtmlEscaped(), value.toHtmlEscaped());
    }
    return QStringLiteral(
               "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>"
               "<form method=\"post\" action=\"%1\" accept-charset=\"UTF-8\" "
               "enctype=\"application/x-www-form-urlencoded\">%2</form>"
               "<script>document.forms[0].submit();</script></body></html>")
        .arg(address.toString(QUrl::FullyEncoded).toHtmlEscaped(), fields);
}

PageLaunch::PageLaunch(QObject* parent) : QWebEngineUrlRequestInterceptor(parent) {}

void PageLaunch::prepare(const platform::URLRequest& page) {
    const QWebEngineHttpRequest request = qt::detail::PageOnWebEngine::request(page);
    address_ = request.url();
    method_ = request.method() == QWebEngineHttpRequest::Post ? "POST" : "GET";
    headers_.clear();
    for (const QByteArray& name : request.headers()) {
        headers_.emplace_back(name, request.header(name));
    }
    html_ = request.method() == QWebEngineHttpRequest::Post
                ? selfSubmittingForm(address_, page.httpBody ? page.httpBody->view() : "")
                : QString();
    pending_ = true;
}

void PageLaunch::clear() {
    pending_ = false;
    headers_.clear();
    html_.clear();
}

void PageLaunch::interceptRequest(QWebEngineUrlRequestInfo& info) {
    if (!pending_ || info.resourceType() != QWebEngineUrlRequestInfo::ResourceTypeMainFrame ||
        info.requestUrl() != address_ || info.requestMethod() != method_) {
        return;
    }
    pending_ = false;
    for (const auto& [name, value] : headers_) {
        info.setHttpHeader(name, value);
    }
}

}  // namespace vanto::quick::detail
