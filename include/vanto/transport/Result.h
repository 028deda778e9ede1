#pragma once

#include <optional>
#include <utility>
#include <variant>

#include "vanto/transport/SDKError.h"

namespace vanto {

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
