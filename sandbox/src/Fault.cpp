#include "vanto/sandbox/Fault.h"

#include <array>
#include <utility>

namespace vanto::sandbox {

namespace {

constexpr long kLongestDelayMilliseconds = 120000;

/// The number of up to six digits at the start of `text`, if any.
std::optional<long> leadingNumber(std::string_view text) {
    long value = 0;
    std::size_t digits = 0;
    while (digits < text.size() && digits < 6 && text[digits] >= '0' && text[digits] <= '9') {
        value = value * 10 + (text[digits] - '0');
        ++digits;
    }
    return digits == 0 ? std::nullopt : std::optional<long>(value);
}

}  // namespace

std::optional<Fault> Fault::fromOrderNumber(std::string_view orderNumber) {
    constexpr std::string_view kStatus = "FAULT_STATUS_";
    constexpr std::string_view kDelay = "FAULT_DELAY_";
    if (orderNumber.starts_with(kStatus)) {
        const std::optional<long> status = leadingNumber(orderNumber.substr(kStatus.size()));
        if (status && *status >= 100 && *status <= 599) {
            return httpStatus(static_cast<int>(*status));
        }
        return std::nullopt;
    }
    if (orderNumber.starts_with(kDelay)) {
        const std::optional<long> delay = leadingNumber(orderNumber.substr(kDelay.size()));
        if (delay && *delay <= kLongestDelayMilliseconds) {
            return delayed(std::chrono::milliseconds(*delay));
        }
        return std::nullopt;
    }
    static const std::array<std::pair<std::string_view, Fault>, 6> kNamed{{
        {"FAULT_EMPTY", emptyBody()},
        {"FAULT_NOTJSON", notJson()},
        {"FAULT_BADMSG", unexpectedMensaje()},
        {"FAULT_NUMMSG", numericMensaje()},
        {"FAULT_CLOSE", closeConnection()},
        {"FAULT_CUT", truncatedBody()},
    }};
    for (const auto& [prefix, fault] : kNamed) {
        if (orderNumber.starts_with(prefix)) {
            return fault;
        }
    }
    return std::nullopt;
}

}  // namespace vanto::sandbox
