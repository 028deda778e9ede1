#pragma once

#include <string>
#include <string_view>

#include "vanto/Export.h"
#include "vanto/config/CodeTables.h"

namespace vanto {

/// The gateway's addresses: one host per environment, one path per service.
///
/// The host names come from the build (the VANTO_GATEWAY_HOST_* cache variables, neutral
/// placeholders by default) and can be set at run time with setGatewayHost(); the test and
/// integration environments are reached on port 25443, production on the HTTPS default port.
/// An environment outside the table (a value cast from an unknown raw value) has no address: the
/// operations give "" for it, which makes a request fail before anything is sent.
struct VANTO_EXPORT Constants {
    /// The direct-payment service.
    static std::string getURLDirectPayment(EnviromentType env);
    /// The service that signs the payment page's parameters.
    static std::string getURLParameters(EnviromentType env);
    /// The gateway's payment page, loaded in the web view.
    static std::string getURLWebViewPayment(EnviromentType env);

    /// Sets the host and port of one environment at run time: the gateway operator's host in a
    /// program whose library was built with the placeholders (the Debian packages), or a stand-in
    /// gateway such as the sandbox. `authority` is "host" or "host:port" (an IPv6 address in
    /// brackets) and is written verbatim in place of the environment's host and port, in every
    /// address of the environment, until the next call. The port, when given, is 1 to 65535
    /// without leading zeros. An empty authority restores the built-in host. Returns false,
    /// changing nothing, for a text that is not such an authority or an environment outside the
    /// table: a program checks it at start, before its first payment.
    static bool setGatewayHost(EnviromentType env, std::string_view authority);

    /// The "host[:port]" part that addresses of the environment currently use; "" outside the
    /// table.
    static std::string gatewayAuthority(EnviromentType env);
};

}  // namespace vanto
