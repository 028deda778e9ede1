#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "vanto/Export.h"
#include "vanto/platform/URLRequest.h"

namespace vanto {

/// A failure of a call to the gateway, with the code and Spanish text the merchant application
/// receives. The code and text depend only on the case.
class VANTO_EXPORT SDKError {
  public:
    enum class Case {
        connectionError,
        requestError,
        responseError,
        nonURLResponse,
        wrongStatusCode,
        serverError,
        malformedURL,
        wrongJsonDecodeNames,
        signatureNotValid,
        wrongErrorServerCode,
        wrongJsonFormat,
        wrongBodyJsonFormat,
        wrongBodyData,
        internalError,
    };

    static SDKError connectionError(platform::PlatformError error);
    static SDKError requestError(platform::PlatformError error);
    static SDKError responseError(platform::PlatformError error);
    /// `cause` is the platform's failure when one is known (a refused certificate, a time-out):
    /// it is kept for traces and logs, and changes neither the code nor the text.
    static SDKError nonURLResponse(std::optional<platform::HTTPURLResponse> response,
                                   std::optional<platform::PlatformError> cause = std::nullopt);
    static SDKError wrongStatusCode(int status);
    static SDKError serverError(int status);
    static SDKError malformedURL(std::string url);
    static SDKError wrongJsonDecodeNames(platform::PlatformError error);
    static SDKError signatureNotValid();
    static SDKError wrongErrorServerCode();
    static SDKError wrongJsonFormat();
    static SDKError wrongBodyJsonFormat();
    static SDKError wrongBodyData();
    static SDKError internalError();

    Case kind() const { return kind_; }
    /// 5548 for the library's own faults (decoding and internal errors), 5550 for the others.
    std::int64_t code() const;
    /// "Error interno de la librería." or "Error de conexión.", with the code.
    std::string errorDescription() const;

    /// The platform error carried by connectionError, requestError, responseError and
    /// wrongJsonDecodeNames, or the cause of a nonURLResponse when one is known.
    const platform::PlatformError* platformError() const;
    /// The reply carried by nonURLResponse, when there was one.
    const platform::HTTPURLResponse* response() const;
    /// The status carried by wrongStatusCode and serverError.
    std::optional<int> status() const;
    /// The address carried by malformedURL.
    const std::string* url() const;

  private:
    using Payload = std::variant<std::monostate, platform::PlatformError,
                                 std::optional<platform::HTTPURLResponse>, int, std::string>;
    SDKError(Case kind, Payload payload) : kind_(kind), payload_(std::move(payload)) {}

    Case kind_;
    Payload payload_;
    std::optional<platform::PlatformError> cause_;
};

/// The outcome of decoding a reply: a success with an (optional) answer record, or an error.
template <typename T>
class Result {
  public:
    static Result success(std::optional<T> value) { return Result(std::move(value)); }
    static Result error(SDKError error) { return Result(std::move(error)); }

    bool isSuccess() const { return std::holds_alternative<std::optional<T>>(outcome_); }
    /// The success's payload; only valid when isSuccess().
    const std::optional<T>& value() const { return std::get<std::optional<T>>(outcome_); }
    /// The error; only valid when !isSuccess().
    const SDKError& error() const { return std::get<SDKError>(outcome_); }

  private:
    explicit Result(std::optional<T> value) : outcome_(std::move(value)) {}
    explicit Result(SDKError error) : outcome_(std::move(error)) {}

    std::variant<std::optional<T>, SDKError> outcome_;
};

}  // namespace vanto
