#include "vanto/transport/RequestService.h"

#include "encoding/JsonRead.h"
#include "vanto/text/Utf8.h"
#include "vanto/transport/Response.h"
#include "vanto/transport/Session.h"

namespace vanto {

platform::HeaderFields RequestService::headers() const {
    platform::HeaderFields fields;
    fields.set("Content-Type", "application/x-www-form-urlencoded");
    return fields;
}

Expected<platform::SecretText> RequestService::composeBody() const {
    platform::SecretText bytes = json();
    if (!isValidUtf8(bytes.view())) {
        return platform::PlatformError{platform::PlatformError::Kind::invalidRequest,
                                       "the request body is not UTF-8 text", ""};
    }
    return bytes;
}

Expected<platform::URLRequest> RequestService::build() const {
    std::string address = baseURL();
    if (const std::string component = path(); !component.empty()) {
        if (!address.ends_with('/')) {
            address += '/';
        }
        address += component;
    }
    if (!address.starts_with("https://")) {
        // Card data travel only over TLS; an address of another kind (or none, for an environment
        // the library does not know) fails before anything is sent.
        return platform::PlatformError{platform::PlatformError::Kind::notHttps,
                                       "the address is not an https address", ""};
    }
    auto body = composeBody();
    if (!body) {
        return body.error();
    }
    platform::URLRequest request(std::move(address));
    request.cachePolicy = platform::CachePolicy::useProtocolCachePolicy;
    request.timeoutInterval = timeout();
    request.httpMethod = rawValue(method());
    const platform::HeaderFields fields = headers();
    for (const auto& [name, value] : fields.fields()) {
        request.allHTTPHeaderFields.set(name, value);
    }
    addCookies(request, Session::shared().cookiesForURL(request.url));
    request.httpBody = std::move(body).value();
    return request;
}

std::optional<std::string> RequestService::replyMessage(std::string_view data) {
    auto envelope = Response::fromJSON(data);
    if (!envelope) {
        return std::nullopt;
    }
    return std::move(envelope->mensaje);
}

SDKError RequestService::decodingError(std::string_view what) {
    return SDKError::wrongJsonDecodeNames(platform::PlatformError{
        platform::PlatformError::Kind::invalidReply, std::string(what), ""});
}

}  // namespace vanto
