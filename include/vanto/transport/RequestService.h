#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "vanto/Export.h"
#include "vanto/platform/Expected.h"
#include "vanto/platform/SecretText.h"
#include "vanto/platform/URLRequest.h"
#include "vanto/transport/SDKError.h"

namespace vanto {

/// HTTP request methods. `delete_` stands for DELETE, whose plain name C++ reserves.
enum class HTTPMethod { options, get, head, post, put, patch, delete_, trace, connect };

/// The method's text: "OPTIONS", "GET", "HEAD", "POST", "PUT", "PATCH", "DELETE", "TRACE",
/// "CONNECT".
VANTO_EXPORT std::string rawValue(HTTPMethod method);

/// The method whose text is exactly `raw` (upper case only), or none.
VANTO_EXPORT std::optional<HTTPMethod> httpMethodFromRawValue(std::string_view raw);

/// What the transport needs to make one call to the gateway: address, method, header fields,
/// body and time-out, with the defaults the gateway's services share.
class VANTO_EXPORT RequestService {
  public:
    virtual ~RequestService() = default;

    /// The service address; each description supplies its own.
    virtual std::string baseURL() const = 0;
    /// Appended to baseURL() as one more path component when not empty.
    virtual std::string path() const { return ""; }
    virtual HTTPMethod method() const { return HTTPMethod::post; }
    /// One field: "Content-Type: application/x-www-form-urlencoded".
    virtual platform::HeaderFields headers() const;
    /// The body text, which may carry card data.
    virtual platform::SecretText body() const = 0;
    /// Seconds a transfer may stay idle before it fails.
    virtual double timeout() const { return 50.0; }
    /// Sample reply bytes; nothing in the library reads them.
    virtual std::string sampleData() const { return ""; }
    /// Overwrites the texts that made the body, which may hold card data, once the call is over.
    virtual void wipeBody() {}

    /// The body text.
    platform::SecretText json() const { return body(); }

    /// The URL request for this description (POST to the service address with the header fields,
    /// the stored cookies of Session::shared() and the body), or the failure of composing the
    /// body: a body that is not well-formed UTF-8 text.
    Expected<platform::URLRequest> build() const;

  protected:
    /// The text of "mensaje" of a reply envelope; none when the bytes are not such an envelope.
    static std::optional<std::string> replyMessage(std::string_view data);
    /// The decoding failure of a reply, saying `what` was wrong with it.
    static SDKError decodingError(std::string_view what);

  private:
    Expected<platform::SecretText> composeBody() const;
};

/// A request description whose answer record is `R`: result(from) decodes the gateway's reply
/// envelope and the answer inside it.
template <typename R>
class RequestServiceOf : public RequestService {
  public:
    using Response = R;

    Result<R> result(std::string_view data) const;
};

template <typename R>
Result<R> RequestServiceOf<R>::result(std::string_view data) const {
    const auto message = RequestService::replyMessage(data);
    if (!message) {
        return Result<R>::error(RequestService::decodingError(
            "the reply is not a JSON envelope with a text \"mensaje\""));
    }
    auto record = R::fromJSON(*message);
    if (!record) {
        return Result<R>::error(RequestService::decodingError(
            "\"mensaje\" is not the JSON of the expected answer record"));
    }
    return Result<R>::success(std::move(record));
}

/// What the two descriptions of the gateway's JSON services share: the signed request text,
/// posted as the form body "datoEntrada=" followed by that text exactly as given (no encoding of
/// any kind). The text may carry card data: it is kept as secret text, and wiped when the call is
/// over or the description goes away.
template <typename R>
class EnvelopeRequest : public RequestServiceOf<R> {
  public:
    explicit EnvelopeRequest(platform::SecretText datosEntrada)
        : datosEntrada_(std::move(datosEntrada)) {}
    /// A request text that carries no card data (the web payment's).
    explicit EnvelopeRequest(std::string_view datosEntrada) : datosEntrada_(datosEntrada) {}
    EnvelopeRequest(const EnvelopeRequest&) = delete;
    EnvelopeRequest& operator=(const EnvelopeRequest&) = delete;

    platform::SecretText body() const override {
        platform::SecretText form;
        form.reserve(kFormKey.size() + datosEntrada_.size());
        form.append(kFormKey);
        form.append(datosEntrada_.view());
        return form;
    }
    void wipeBody() override { datosEntrada_.clear(); }

    /// The request text; "" once the outcome has been delivered, since the text is wiped then.
    const platform::SecretText& datosEntrada() const { return datosEntrada_; }
    void setDatosEntrada(platform::SecretText value) { datosEntrada_ = std::move(value); }

  private:
    static constexpr std::string_view kFormKey = "datoEntrada=";
    platform::SecretText datosEntrada_;
};

}  // namespace vanto
