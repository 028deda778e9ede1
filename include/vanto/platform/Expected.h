#pragma once

#include <utility>
#include <variant>

#include "vanto/platform/URLRequest.h"

namespace vanto {

/// A value, or the failure that kept it from being made. It is the one form in which the
/// library's own parts report a failure to each other; at the public interface it becomes the
/// documented forms (SDKError, the refusal records, the documented return values), and the
/// failure's detail goes to the traces.
template <typename T>
class Expected {
  public:
    Expected(T value) : outcome_(std::in_place_index<0>, std::move(value)) {}
    Expected(platform::PlatformError error) : outcome_(std::in_place_index<1>, std::move(error)) {}

    bool hasValue() const { return outcome_.index() == 0; }
    explicit operator bool() const { return hasValue(); }

    /// The value; only when hasValue().
    T& value() & { return std::get<0>(outcome_); }
    const T& value() const& { return std::get<0>(outcome_); }
    T&& value() && { return std::get<0>(std::move(outcome_)); }
    /// The failure; only when !hasValue().
    const platform::PlatformError& error() const { return std::get<1>(outcome_); }

  private:
    std::variant<T, platform::PlatformError> outcome_;
};

}  // namespace vanto
