#pragma once

#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include "vanto/direct/DirectPaymentResponse.h"
#include "vanto/sandbox/SandboxGateway.h"
#include "vanto/web/Parameters.h"
#include "vanto/web/WebViewPaymentResponse.h"
#include "vanto/web/datosPeticion.h"

namespace vanto::sandbox::testing {

inline constexpr const char* kDirectPath = "/zel/virtualControllerV2/pagoVirtual";
inline constexpr const char* kSignaturePath = "/zel/virtualControllerV2/generaFirmaPagoVirtual";
inline constexpr const char* kPagePath = "/zel/realizarPago";
inline constexpr const char* kCardFormPath = "/sandbox/pago";
inline constexpr const char* kFormType = "application/x-www-form-urlencoded";
inline const std::regex kAuthorisationCode("[0-9A-Z]{6}");

/// The default options without request lines.
inline SandboxOptions quietOptions() {
    SandboxOptions options;
    options.logRequests = false;
    return options;
}

/// A path for a temporary file of this process: test programs of other builds may run at the
/// same time and share the temporary directory.
std::string temporaryPath(const std::string& name);

/// An HTTPS client that trusts only `pem` and checks the host name against it.
std::unique_ptr<httplib::SSLClient> trustingClient(const std::string& host, int port,
                                                   const std::string& pem);

/// A TCP connection to 127.0.0.1:`port`; -1 when it cannot be made.
int connectTo(int port);

/// Sends `request` as it is over TLS to 127.0.0.1 (trusting `pem`) and returns every byte received
/// until the server closes, within ten seconds; nullopt when no TLS connection is made or the
/// server is still sending after that.
std::optional<std::string> rawExchange(int port, const std::string& pem,
                                       const std::string& request);

/// A raw HTTP/1.1 request with a form or other body that closes its connection, unless `close`
/// is false.
std::string rawRequest(const std::string& method, const std::string& path,
                       const std::string& body = "", const std::string& extraHeaders = "",
                       bool close = true);

/// The reply envelope of a JSON service taken apart.
struct Envelope {
    std::string mensaje;
    std::string firma;
};
std::optional<Envelope> readEnvelope(const std::string& body);

/// A request envelope around `message`, signed with the default merchant's credential.
std::string signedEnvelope(const nlohmann::ordered_json& message);
/// The same around a message given as its text.
std::string signedText(const std::string& mensaje);
/// Every member of a service's message as (parent, name): its own, then those of its object
/// `nested`.
std::vector<std::pair<std::string, std::string>> memberNames(const nlohmann::ordered_json& message,
                                                             const std::string& nested);

/// Standard Base64 of HMAC-SHA256, computed here independently of the sandbox.
std::string hmacBase64(const std::string& key, const std::string& data);

/// The value of the input named `name` in an HTML page, or "".
std::string inputValue(const std::string& html, const std::string& name);

/// Percent-encodes everything outside the unreserved characters, as the library does.
std::string encoded(const std::string& text);
/// The payment page's form for the signed fields.
std::string pageForm(const datosPeticion& fields);
/// The card form of page `pageId` with `number`, expiry 12/29 and code 123.
std::string cardForm(const std::string& pageId, const std::string& number,
                     const std::string& action = "pagar");

/// What either service echoes of an accepted payment of 19.99 by the default merchant, in a direct
/// payment's answer or a page's result alike.
template <typename Fields>
void expectAcceptedEcho(const Fields& fields, const std::string& order) {
    EXPECT_EQ(fields.Ds_Response, "0000");
    EXPECT_TRUE(std::regex_match(fields.Ds_AuthorisationCode.value_or(""), kAuthorisationCode));
    for (const auto& [field, expected] : {std::pair{fields.Ds_ExpiryDate, "2912"},
                                          {fields.Ds_Amount, "1999"},
                                          {fields.Ds_Currency, "978"},
                                          {fields.Ds_Order, order.c_str()},
                                          {fields.Ds_MerchantCode, "999008881"},
                                          {fields.Ds_Terminal, "1"},
                                          {fields.Ds_TransactionType, "0"},
                                          {fields.Ds_MerchantData, "datos del comercio"},
                                          {fields.Ds_Merchant_Identifier, ""}}) {
        EXPECT_EQ(field, expected);
    }
}

/// A running sandbox on a free port and a client for it, with the shared configuration set to
/// the default merchant and put back afterwards. The payment-page helpers behave like a browser
/// that keeps the page's cookie.
class SandboxTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    /// The options the sandbox starts with.
    virtual SandboxOptions options() const { return quietOptions(); }

    /// POSTs "datoEntrada=" followed by `envelope` to a JSON service.
    httplib::Result postService(const char* path, const std::string& envelope,
                                const httplib::Headers& headers = {});
    /// A signed direct-payment request of 19.99 from the library's own encoder.
    static std::string directRequest(const std::string& pan, const std::string& order,
                                     const std::string& identifier = "",
                                     const std::string& description = "Libro");
    /// Sends a direct payment and decodes the answer, checking the envelope's signature.
    DirectPaymentResponse pay(const std::string& pan, const std::string& order,
                              const std::string& identifier = "",
                              const std::string& description = "Libro");
    /// The answer of a JSON service decoded as a direct payment's, for refusals.
    std::optional<DirectPaymentResponse> serviceAnswer(const httplib::Result& result);
    /// A signed web-payment request of 19.99 from the library's own encoder.
    static std::string webRequest(const std::string& order, const std::string& identifier = "",
                                  const std::string& description = "Libro de pruebas");
    /// Asks the signature service to sign a web payment of 19.99 and decodes the answer.
    WebViewPaymentResponse signWebPayment(const std::string& order,
                                          const std::string& identifier = "",
                                          const std::string& description = "Libro de pruebas");

    /// Signs the order and opens its payment page, keeping the page's cookie.
    httplib::Result openPage(const std::string& order, const std::string& identifier = "",
                             const std::string& description = "Libro de pruebas");
    /// POSTs a form to the page's addresses with the kept cookie, or without any.
    httplib::Result postForm(const std::string& path, const std::string& form,
                             bool withCookie = true);
    /// Submits the card form of page `pageId` with `number`, expiry 12/29 and code 123.
    httplib::Result submitCard(const std::string& pageId, const std::string& number,
                               const std::string& action = "pagar");
    /// Opens the page of a new order and submits `number`: the answer to the card form.
    httplib::Result payOnPage(const std::string& order, const std::string& number,
                              const std::string& identifier = "",
                              const std::string& action = "pagar");
    /// The return address of a card form's redirection.
    static std::string locationOf(const httplib::Result& answer);
    /// "https://<authority>/sandbox/REDIR_URL_OK" or "..._KO": the placeholders' pages.
    std::string placeholderPage(bool ok) const;
    /// Checks the shape and signature of a return address and reads its result the way the
    /// library's presenter does.
    static Parameters resultAt(const std::string& location, const std::string& expectedStart);

    std::unique_ptr<SandboxGateway> gateway_;
    std::unique_ptr<httplib::SSLClient> client_;
    /// "VANTOPAGE=<value>" as the payment page last set it.
    std::string pageCookie_;
};

}  // namespace vanto::sandbox::testing
