#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "vanto/Export.h"
#include "vanto/platform/Expected.h"
#include "vanto/platform/SecretText.h"
#include "vanto/platform/URLRequest.h"
#include "vanto/transport/HTTPMethod.h"
#include "vanto/transport/Result.h"
#include "vanto/transport/SDKError.h"

namespace vanto {

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

}  // namespace vanto
