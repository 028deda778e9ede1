#pragma once

#include <unistd.h>

#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include "CardDataWatch.h"
#include "RecordingViews.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/direct/DirectPaymentPresenter.h"
#include "vanto/direct/DirectPaymentResponse.h"
#include "vanto/encoding/Encode.h"
#include "vanto/encoding/IAClientServiceSSM.h"
#include "vanto/encoding/Sha256.h"
#include "vanto/platform/ProcessState.h"
#include "vanto/platform/URLSession.h"
#include "vanto/sandbox/HeadlessBrowser.h"
#include "vanto/sandbox/SandboxGateway.h"
#include "vanto/text/UrlText.h"
#include "vanto/transport/Manager.h"
#include "vanto/web/WebViewPaymentPresenter.h"
#include "vanto/web/WebViewPaymentResponse.h"

namespace vanto::sandbox::testing {

inline constexpr const char* kDirectPath = "/zel/virtualControllerV2/pagoVirtual";
inline constexpr const char* kSignaturePath = "/zel/virtualControllerV2/generaFirmaPagoVirtual";
inline constexpr const char* kPagePath = "/zel/realizarPago";
inline constexpr const char* kCardFormPath = "/sandbox/pago";
inline constexpr const char* kFormType = "application/x-www-form-urlencoded";
inline const std::regex kAuthorisationCode("[0-9A-Z]{6}");

/// A path for a temporary file of this process: test programs of other builds may run at the
/// same time and share the temporary directory.
inline std::string temporaryPath(const std::string& name) {
    return ::testing::TempDir() + std::to_string(::getpid()) + "-" + name;
}

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
inline std::string rawRequest(const std::string& method, const std::string& path,
                              const std::string& body = "", const std::string& extraHeaders = "",
                              bool close = true) {
    return method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extraHeaders +
           (body.empty() ? "" : "Content-Type: " + std::string(kFormType) + "\r\n") +
           "Content-Length: " + std::to_string(body.size()) + "\r\n" +
           (close ? "Connection: close\r\n" : "") + "\r\n" + body;
}

/// The reply envelope of a JSON service taken apart.
struct Envelope {
    std::string mensaje;
    std::string firma;
};
inline std::optional<Envelope> readEnvelope(const std::string& body) {
    const nlohmann::json json = nlohmann::json::parse(body, nullptr, false);
    const auto text = [&json](const char* key) {
        return json.is_object() && json.contains(key) && json[key].is_string();
    };
    return text("mensaje") && text("firma")
               ? std::optional(Envelope{json["mensaje"], json["firma"]})
               : std::nullopt;
}

/// A request envelope around `mensaje`, signed with the default merchant's credential.
inline std::string signedText(const std::string& mensaje) {
    return nlohmann::ordered_json{
        {"mensaje", mensaje},
        {"firma", sha256(mensaje + SandboxGateway::defaultMerchant().signingCredential)}}
        .dump();
}
inline std::string signedEnvelope(const nlohmann::ordered_json& message) {
    return signedText(message.dump());
}

/// Standard Base64 of HMAC-SHA256, computed here independently of the sandbox.
std::string hmacBase64(const std::string& key, const std::string& data);

/// The value of the input named `name` in an HTML page, or "".
inline std::string inputValue(const std::string& html, const std::string& name) {
    std::smatch match;
    return std::regex_search(html, match, std::regex("name=\"" + name + "\" value=\"([^\"]*)\""))
               ? match[1].str()
               : "";
}

/// Percent-encodes everything outside the unreserved characters, as the library does.
inline std::string encoded(const std::string& text) {
    return safeAddingPercentEncoding(text, rfc3986Unreserved()).value_or("");
}
/// The payment page's form for the signed fields.
inline std::string pageForm(const datosPeticion& fields) {
    return "Ds_SignatureVersion=" + encoded(fields.Ds_SignatureVersion) +
           "&Ds_Signature=" + encoded(fields.Ds_Signature) +
           "&Ds_MerchantParameters=" + encoded(fields.Ds_MerchantParameters);
}
/// The card form of page `pageId` with `number`, expiry 12/29 and code 123.
inline std::string cardForm(const std::string& pageId, const std::string& number,
                            const std::string& action = "pagar") {
    return "pagina=" + pageId + "&numero=" + encoded(number) +
           "&caducidad=12%2F29&cvv=123&accion=" + action;
}

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
  public:
    /// A direct payment through a new presenter; the view it reported to.
    static std::shared_ptr<vanto::testing::RecordingDirectView> payDirectly(
        std::string_view card, std::string_view order, std::string_view cvv = "123",
        std::string_view expiry = "3012") {
        vanto::testing::cardDataWatch().secret(cvv);
        vanto::testing::cardDataWatch().expiry(expiry);
        auto view = std::make_shared<vanto::testing::RecordingDirectView>();
        std::make_shared<DirectPaymentPresenter<vanto::testing::RecordingDirectView>>(view)
            ->makePaymentAction(card, cvv, expiry, 19.99, order, "", TransactionType::normal,
                                "Libro");
        EXPECT_TRUE(Manager::waitForCallsInFlight(std::chrono::seconds(30)));
        return view;
    }

  protected:
    void SetUp() override {
        ProcessState::reset();
        // The expiry date of the requests and card forms below.
        vanto::testing::cardDataWatch().expiry("2912");
        gateway_ = std::make_unique<SandboxGateway>(options());
        ASSERT_TRUE(gateway_->start()) << gateway_->lastError();
        ASSERT_TRUE(gateway_->useAsTestEnvironment());
        VantoConfiguration::shared().setAppMerchantData("datos del comercio");
        IAClientServiceSSM::setVerSDK("1.0");
        IAClientServiceSSM::setAppBundle("SandboxTests");
        client_ = trustingClient("127.0.0.1", gateway_->port(), gateway_->certificatePem());
    }
    void TearDown() override {
        client_.reset();
        gateway_.reset();
        ProcessState::reset();
    }
    /// The options the sandbox starts with. Its request lines go to standard output, where the
    /// card-data watch reads them with the rest of what the test printed.
    virtual SandboxOptions options() const { return SandboxOptions(); }

    /// POSTs "datoEntrada=" followed by `envelope` to a JSON service.
    httplib::Result postService(const char* path, const std::string& envelope,
                                const httplib::Headers& headers = {}) {
        return client_->Post(path, headers, "datoEntrada=" + envelope, kFormType);
    }
    /// A signed direct-payment request of 19.99 from the library's own encoder.
    static std::string directRequest(const std::string& pan, const std::string& order,
                                     const std::string& identifier = "",
                                     const std::string& description = "Libro") {
        const bool withCard = !pan.empty();
        return std::string(Encode::encodeStringDirectPayment(pan, withCard ? "123" : "",
                                                             withCard ? "2912" : "", "1999", order,
                                                             identifier, "true", "0", description)
                               .view());
    }
    /// Sends a direct payment and decodes the answer, checking the envelope's signature.
    DirectPaymentResponse pay(const std::string& pan, const std::string& order,
                              const std::string& identifier = "",
                              const std::string& description = "Libro");
    /// The answer of a JSON service decoded as a direct payment's, for refusals.
    std::optional<DirectPaymentResponse> serviceAnswer(const httplib::Result& result) {
        const auto envelope =
            result && result->status == 200 ? readEnvelope(result->body) : std::nullopt;
        return envelope ? DirectPaymentResponse::fromJSON(envelope->mensaje) : std::nullopt;
    }
    /// The service at `path` takes the signed message of `request` as it is, and refuses it with
    /// 9901 once any of its `members` (its own and those of its object `nested`) is taken out or
    /// made null.
    void expectEveryMemberRequired(const char* path, const std::string& request,
                                   const std::string& nested, std::size_t members);
    /// A signed web-payment request of 19.99 from the library's own encoder.
    static std::string webRequest(const std::string& order, const std::string& identifier = "",
                                  const std::string& description = "Libro de pruebas") {
        return Encode::encodeStringWebViewPayment(order, identifier, 19.99, "false", "0",
                                                  description);
    }
    /// Asks the signature service to sign a web payment of 19.99 and decodes the answer.
    WebViewPaymentResponse signWebPayment(const std::string& order,
                                          const std::string& identifier = "",
                                          const std::string& description = "Libro de pruebas");

    /// Signs the order and opens its payment page, keeping the page's cookie.
    httplib::Result openPage(const std::string& order, const std::string& identifier = "",
                             const std::string& description = "Libro de pruebas");
    /// POSTs a form to the page's addresses with the kept cookie, or without any.
    httplib::Result postForm(const std::string& path, const std::string& form,
                             bool withCookie = true) {
        httplib::Headers headers;
        if (withCookie) {
            headers.emplace("Cookie", pageCookie_);
        }
        return client_->Post(path, headers, form, kFormType);
    }
    httplib::Result submitCard(const std::string& pageId, const std::string& number,
                               const std::string& action = "pagar") {
        return postForm(kCardFormPath, cardForm(pageId, number, action));
    }
    /// Opens the page of a new order and submits `number`: the answer to the card form.
    httplib::Result payOnPage(const std::string& order, const std::string& number,
                              const std::string& identifier = "",
                              const std::string& action = "pagar");
    /// The return address of a card form's redirection.
    static std::string locationOf(const httplib::Result& answer) {
        if (!answer || answer->status != 303) {
            ADD_FAILURE() << "the card form did not redirect: "
                          << (answer ? std::to_string(answer->status) : "no answer");
            return "";
        }
        return answer->get_header_value("Location");
    }
    /// "https://<authority>/sandbox/REDIR_URL_OK" or "..._KO": the placeholders' pages.
    std::string placeholderPage(bool ok) const {
        return "https://" + gateway_->authority() + "/sandbox/" +
               (ok ? "REDIR_URL_OK" : "REDIR_URL_KO");
    }
    /// Checks the shape and signature of a return address and reads its result the way the
    /// library's presenter does.
    static Parameters resultAt(const std::string& location, const std::string& expectedStart);

    // The library's own road to the sandbox: its sessions, its manager and its presenters.

    /// A session configuration that trusts the sandbox's certificate.
    platform::URLSessionConfiguration trusting() const {
        auto configuration = platform::URLSessionConfiguration::defaultSessionConfiguration();
        configuration.additionalTrustAnchors = {gateway_->certificatePem()};
        return configuration;
    }
    /// The outcome of one call, filled by the callbacks.
    template <typename Record>
    struct Outcome {
        int deliveries = 0;
        std::optional<Record> record;
        std::optional<SDKError> error;
    };
    /// Sends `request` with a new manager and waits, pumping the main queue, for its outcome.
    template <typename T>
    Outcome<typename T::Response> send(
        std::shared_ptr<T> request, std::optional<platform::URLSessionConfiguration> trust = {}) {
        auto outcome = std::make_shared<Outcome<typename T::Response>>();
        Manager::create(trust.value_or(trusting()))
            ->send(
                request, std::nullopt,
                [outcome](std::optional<typename T::Response> record) {
                    ++outcome->deliveries;
                    outcome->record = std::move(record);
                },
                [outcome](SDKError error) {
                    ++outcome->deliveries;
                    outcome->error = std::move(error);
                });
        // A call stops being in flight once its handler and its delivery are gone, so a second
        // delivery would have happened by then.
        EXPECT_TRUE(Manager::waitForCallsInFlight(std::chrono::seconds(30)));
        EXPECT_EQ(outcome->deliveries, 1);
        return *outcome;
    }
    /// A web payment for `order`: the presenter's signature request, then the sandbox's page
    /// walked with `card` and security code `cvv`. What the view was told.
    std::shared_ptr<vanto::testing::RecordingWebView> payWebPayment(std::string_view card,
                                                                    std::string_view order,
                                                                    std::string_view cvv);

    std::unique_ptr<SandboxGateway> gateway_;
    std::unique_ptr<httplib::SSLClient> client_;
    /// "VANTOPAGE=<value>" as the payment page last set it.
    std::string pageCookie_;
};

}  // namespace vanto::sandbox::testing
