#pragma once

#include <utility>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QWebEngineUrlRequestInterceptor>

#include "vanto/platform/URLRequest.h"

namespace vanto::quick::detail {

/// How a payment page's request reaches Qt Quick's WebEngineView, which loads an address or an
/// HTML text but takes no request of its own (no method, header fields or body):
///
/// - a GET is loaded by its address;
/// - a POST is loaded as a form that submits itself: a document of hidden fields, one for each
///   name=value pair of the body (form-encoded, as the payment page's is), whose form posts them
///   to the request's address as the browser encodes a form ("application/x-www-form-urlencoded",
///   the same bytes for the page's parameters). The document is loaded as text (a data: address,
///   whose origin is opaque: the POST carries "Origin: null"), and the navigation it makes is the
///   page's own load, not a form the cardholder sent.
///
/// The request's header fields, as the payment page's view gives them to the web engine
/// (PageOnWebEngine::request: the presenter's, without those the browser computes, with the
/// no-cache ones of its cache policy), are set on that one request by a URL request interceptor
/// of the page's own profile; the page's later requests are the web engine's own.
class PageLaunch final : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT

  public:
    explicit PageLaunch(QObject* parent = nullptr);

    /// Prepares the launch of `page`: the address to load for a GET, or the document of the form
    /// for a POST (html()), and the header fields of the one request that follows.
    void prepare(const platform::URLRequest& page);
    /// The form that posts the page's body, for a POST; empty for a GET.
    const QString& html() const { return html_; }
    const QUrl& address() const { return address_; }
    bool posts() const { return !html_.isEmpty(); }
    /// Nothing more to set on requests.
    void clear();

    /// Sets the header fields on the page's request, the first main-frame request to its
    /// address with its method after prepare(). Qt WebEngine calls it on the thread of the
    /// profile (the GUI thread).
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

  private:
    QUrl address_;
    QByteArray method_;
    QString html_;
    std::vector<std::pair<QByteArray, QByteArray>> headers_;
    bool pending_ = false;
};

/// The HTML of a document whose form posts the form-encoded `body` to `address` as soon as it is
/// loaded: a hidden field for each name=value pair, in their order.
QString selfSubmittingForm(const QUrl& address, std::string_view body);

}  // namespace vanto::quick::detail
