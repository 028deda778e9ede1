#include "vanto/transport/SDKError.h"

namespace vanto {

SDKError SDKError::connectionError(platform::PlatformError error) {
    return {Case::connectionError, std::move(error)};
}
SDKError SDKError::requestError(platform::PlatformError error) {
    return {Case::requestError, std::move(error)};
}
SDKError SDKError::responseError(platform::PlatformError error) {
    return {Case::responseError, std::move(error)};
}
SDKError SDKError::nonURLResponse(std::optional<platform::HTTPURLResponse> response,
                                  std::optional<platform::PlatformError> cause) {
    SDKError error(Case::nonURLResponse, std::move(response));
    error.cause_ = std::move(cause);
    return error;
}
SDKError SDKError::wrongStatusCode(int status) {
    return {Case::wrongStatusCode, status};
}
SDKError SDKError::serverError(int status) {
    return {Case::serverError, status};
}
SDKError SDKError::malformedURL(std::string url) {
    return {Case::malformedURL, std::move(url)};
}
SDKError SDKError::wrongJsonDecodeNames(platform::PlatformError error) {
    return {Case::wrongJsonDecodeNames, std::move(error)};
}
SDKError SDKError::signatureNotValid() {
    return {Case::signatureNotValid, std::monostate{}};
}
SDKError SDKError::wrongErrorServerCode() {
    return {Case::wrongErrorServerCode, std::monostate{}};
}
SDKError SDKError::wrongJsonFormat() {
    return {Case::wrongJsonFormat, std::monostate{}};
}
SDKError SDKError::wrongBodyJsonFormat() {
    return {Case::wrongBodyJsonFormat, std::monostate{}};
}
SDKError SDKError::wrongBodyData() {
    return {Case::wrongBodyData, std::monostate{}};
}
SDKError SDKError::internalError() {
    return {Case::internalError, std::monostate{}};
}

std::int64_t SDKError::code() const {
    switch (kind_) {
        case Case::wrongJsonDecodeNames:
        case Case::wrongJsonFormat:
        case Case::wrongBodyJsonFormat:
        case Case::wrongBodyData:
        case Case::internalError:
            return 5548;
        default:
            return 5550;
    }
}

std::string SDKError::errorDescription() const {
    return code() == 5548 ? "Error interno de la librería." : "Error de conexión.";
}

const platform::PlatformError* SDKError::platformError() const {
    if (const auto* carried = std::get_if<platform::PlatformError>(&payload_)) {
        return carried;
    }
    return cause_ ? &*cause_ : nullptr;
}

const platform::HTTPURLResponse* SDKError::response() const {
    const auto* response = std::get_if<std::optional<platform::HTTPURLResponse>>(&payload_);
    return response != nullptr && response->has_value() ? &**response : nullptr;
}

std::optional<int> SDKError::status() const {
    if (const auto* status = std::get_if<int>(&payload_)) {
        return *status;
    }
    return std::nullopt;
}

const std::string* SDKError::url() const {
    return std::get_if<std::string>(&payload_);
}

}  // namespace vanto
