#pragma once

#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>
#include <httplib.h>

#include "vanto/direct/DirectPaymentResponse.h"
#include "vanto/sandbox/SandboxGateway.h"
#include "vanto/web/WebViewPaymentResponse.h"

namespace vanto::sandbox::testing {

inline constexpr const char* kDirectPath = "/zel/virtualControllerV2/pagoVirtual";
inline constexpr const char* kSignaturePath = "/zel/virtualControllerV2/generaFirmaPagoVirtual";
inline constexpr const char* kPagePath = "/zel/realizarPago";
inline constexpr const char* kFormType = "application/x-www-form-urlencoded";

/// An HTTPS client that trusts only `pem` and checks the host name against it.
std::unique_ptr<httplib::SSLClient> trustingClient(const std::string& host, int port,
                                                   const std::string& pem);

/// Sends `request` as it is over TLS (trusting `pem`) and returns every byte received until the
/// server closes the connection, for at most ten seconds; nullopt when the TLS connection
/// cannot be made or the server is still sending after that.
std::optional<std::string> rawExchange(int port, const std::string& pem,
                                       const std::string& request);

/// A raw HTTP/1.1 request that closes its connection, with a form or other body.
std::string rawRequest(const std::string& method, const std::string& path,
                       const std::string& body = "", const std::string& extraHeaders = "");

/// The reply envelope of a JSON service taken apart.
struct Envelope {
    std::string mensaje;
    std::string firma;
};
std::optional<Envelope> readEnvelope(const std::string& body);

/// Standard Base64 of HMAC-SHA256, computed here independently of the sandbox.
std::string hmacBase64(const std::string& key, const std::string& data);

/// A running sandbox on a free port and a client for it, with the shared configuration set to
/// the default merchant and put back afterwards.
class SandboxTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    /// POSTs "datoEntrada=" followed by `envelope` to a JSON service.
    httplib::Result postService(const char* path, const std::string& envelope,
                                const httplib::Headers& headers = {});
    /// A signed direct-payment request from the library's own encoder.
    static std::string directRequest(const std::string& pan, const std::string& order,
                                     const std::string& identifier = "",
                                     const std::string& description = "Libro");
    /// Sends a direct payment and decodes the answer, checking the envelope's signature.
    DirectPaymentResponse pay(const std::string& pan, const std::string& order,
                              const std::string& identifier = "",
                              const std::string& description = "Libro");
    /// Asks the signature service to sign a web payment of 19.99 and decodes the answer.
    WebViewPaymentResponse signWebPayment(const std::string& order,
                                          const std::string& identifier = "");

    std::unique_ptr<SandboxGateway> gateway_;
    std::unique_ptr<httplib::SSLClient> client_;
};

}  // namespace vanto::sandbox::testing
