#include "vanto/config/Constants.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <optional>

#include "platform/StatePart.h"

namespace vanto {
namespace {

constexpr std::string_view kDirectPaymentPath = "/zel/virtualControllerV2/pagoVirtual";
constexpr std::string_view kParametersPath = "/zel/virtualControllerV2/generaFirmaPagoVirtual";
constexpr std::string_view kWebViewPaymentPath = "/zel/realizarPago";

// The built-in "host[:port]" of an environment of the table, "" for any other value.
std::string builtInAuthority(EnviromentType env) {
    switch (env) {
        case EnviromentType::test:
            return VANTO_GATEWAY_HOST_TEST ":25443";
        case EnviromentType::integration:
            return VANTO_GATEWAY_HOST_INTEGRATION ":25443";
        case EnviromentType::real:
            return VANTO_GATEWAY_HOST_REAL;
    }
    return "";
}

// Run-time replacements, set by a test or a stand-in gateway, possibly from another thread than
// the one building requests.
struct Overrides : internal::StatePart {
    std::mutex mutex;
    std::array<std::string, 3> authority;

    void reset() override {
        const std::lock_guard lock(mutex);
        authority = {};
    }
};

Overrides& overrides() {
    return internal::processPart<Overrides>();
}

// The slot of an environment of the table; none for a value cast from an unknown raw value,
// which must never fall back on another environment's host (least of all production's).
std::optional<std::size_t> indexOf(EnviromentType env) {
    if (!enviromentTypeFromRawValue(static_cast<int>(env))) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(env);
}

bool isIPv6Host(std::string_view host) {
    return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') ||
               c == ':' || c == '.';
    });
}

bool isHostName(std::string_view host) {
    return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
               c == '-' || c == '.';
    });
}

// A TCP port a server can listen on, 1 to 65535, in plain decimal: no sign and no leading zero,
// so that no two texts name the same port.
bool isPort(std::string_view port) {
    if (port.empty() || port.size() > 5 || port.front() == '0') {
        return false;
    }
    unsigned value = 0;
    for (const char c : port) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value <= 65535;
}

// An authority of the form host[:port]: no user information, path, query, fragment or space,
// brackets only around an IPv6 address.
bool isAuthority(std::string_view text) {
    std::string_view host = text;
    std::optional<std::string_view> port;
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string_view::npos) {
            return false;
        }
        host = text.substr(1, close - 1);
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') {
                return false;
            }
            port = rest.substr(1);
        }
        if (!isIPv6Host(host)) {
            return false;
        }
    } else {
        if (const auto colon = text.rfind(':'); colon != std::string_view::npos) {
            host = text.substr(0, colon);
            port = text.substr(colon + 1);
        }
        if (!isHostName(host)) {
            return false;
        }
    }
    return !port || isPort(*port);
}

// The address of a service; "" for an environment outside the table, so that a request for it
// fails before anything is sent.
std::string address(EnviromentType env, std::string_view path) {
    const std::string authority = Constants::gatewayAuthority(env);
    if (authority.empty()) {
        return "";
    }
    std::string result = "https://";
    result += authority;
    result += path;
    return result;
}

}  // namespace

std::string Constants::getURLDirectPayment(EnviromentType env) {
    return address(env, kDirectPaymentPath);
}

std::string Constants::getURLParameters(EnviromentType env) {
    return address(env, kParametersPath);
}

std::string Constants::getURLWebViewPayment(EnviromentType env) {
    return address(env, kWebViewPaymentPath);
}

bool Constants::setGatewayHost(EnviromentType env, std::string_view authority) {
    const auto index = indexOf(env);
    if (!index || (!authority.empty() && !isAuthority(authority))) {
        return false;
    }
    auto& state = overrides();
    const std::lock_guard lock(state.mutex);
    state.authority[*index] = std::string(authority);
    return true;
}

std::string Constants::gatewayAuthority(EnviromentType env) {
    const auto index = indexOf(env);
    if (!index) {
        return "";
    }
    auto& state = overrides();
    {
        const std::lock_guard lock(state.mutex);
        const std::string& replaced = state.authority[*index];
        if (!replaced.empty()) {
            return replaced;
        }
    }
    return builtInAuthority(env);
}

}  // namespace vanto
