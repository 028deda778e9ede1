#include "SandboxTestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <regex>

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include "vanto/config/VantoConfiguration.h"
#include "vanto/encoding/Encode.h"
#include "vanto/encoding/IAClientServiceSSM.h"
#include "vanto/encoding/Sha256.h"
#include "vanto/platform/ProcessState.h"
#include "vanto/text/UrlText.h"

namespace vanto::sandbox::testing {

namespace {

// A client writing to a connection the sandbox closed must see EPIPE, not die of SIGPIPE.
[[maybe_unused]] const bool kIgnoreSigpipe = [] {
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}();

constexpr auto kRawExchangeLimit = std::chrono::seconds(10);

X509_STORE* storeTrusting(const std::string& pem) {
    X509_STORE* store = X509_STORE_new();
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    if (X509* certificate = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr)) {
        X509_STORE_add_cert(store, certificate);
        X509_free(certificate);
    }
    BIO_free(bio);
    return store;
}

/// Reads until the server closes the connection; false when the time runs out first.
bool readToEnd(SSL* ssl, int sock, std::string& received) {
    const auto deadline = std::chrono::steady_clock::now() + kRawExchangeLimit;
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd descriptor{sock, POLLIN, 0};
        if (SSL_pending(ssl) == 0 &&
            (left.count() <= 0 || ::poll(&descriptor, 1, static_cast<int>(left.count())) <= 0)) {
            return false;
        }
        const int count = SSL_read(ssl, buffer, sizeof buffer);
        if (count <= 0) {
            return true;
        }
        received.append(buffer, static_cast<std::size_t>(count));
    }
}

}  // namespace

std::string temporaryPath(const std::string& name) {
    return ::testing::TempDir() + std::to_string(::getpid()) + "-" + name;
}

std::unique_ptr<httplib::SSLClient> trustingClient(const std::string& host, int port,
                                                   const std::string& pem) {
    auto client = std::make_unique<httplib::SSLClient>(host, port);
    client->set_ca_cert_store(storeTrusting(pem));  // the client takes the store
    client->enable_server_certificate_verification(true);
    // Generous, for a loaded machine.
    client->set_connection_timeout(30);
    client->set_read_timeout(30);
    return client;
}

int connectTo(int port) {
    const int sock = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    if (::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(sock);
        return -1;
    }
    return sock;
}

std::optional<std::string> rawExchange(int port, const std::string& pem,
                                       const std::string& request) {
    const int sock = connectTo(port);
    // Bounds each blocking step, the handshake included; readToEnd bounds the whole read.
    timeval timeout{10, 0};
    setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    SSL_CTX_set_cert_store(context, storeTrusting(pem));
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    SSL* ssl = SSL_new(context);
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), "127.0.0.1");
    std::optional<std::string> received;
    if (sock >= 0 && SSL_set_fd(ssl, sock) == 1 && SSL_connect(ssl) == 1 &&
        SSL_write(ssl, request.data(), static_cast<int>(request.size())) ==
            static_cast<int>(request.size())) {
        received.emplace();
        if (!readToEnd(ssl, sock, *received)) {
            ADD_FAILURE() << "the server neither finished nor closed within the time limit";
            received.reset();
        }
    }
    SSL_free(ssl);
    SSL_CTX_free(context);
    ::close(sock);
    return received;
}

std::string rawRequest(const std::string& method, const std::string& path, const std::string& body,
                       const std::string& extraHeaders, bool close) {
    return method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extraHeaders +
           (body.empty() ? "" : "Content-Type: " + std::string(kFormType) + "\r\n") +
           "Content-Length: " + std::to_string(body.size()) + "\r\n" +
           (close ? "Connection: close\r\n" : "") + "\r\n" + body;
}

std::optional<Envelope> readEnvelope(const std::string& body) {
    const nlohmann::json json = nlohmann::json::parse(body, nullptr, false);
    const auto text = [&json](const char* key) {
        return json.is_object() && json.contains(key) && json[key].is_string();
    };
    if (!text("mensaje") || !text("firma")) {
        return std::nullopt;
    }
    return Envelope{json["mensaje"].get<std::string>(), json["firma"].get<std::string>()};
}

std::string signedEnvelope(const nlohmann::ordered_json& message) {
    return signedText(message.dump());
}

std::string signedText(const std::string& mensaje) {
    nlohmann::ordered_json envelope;
    envelope["mensaje"] = mensaje;
    envelope["firma"] = sha256(mensaje + SandboxGateway::defaultMerchant().signingCredential);
    return envelope.dump();
}

std::vector<std::pair<std::string, std::string>> memberNames(const nlohmann::ordered_json& message,
                                                             const std::string& nested) {
    std::vector<std::pair<std::string, std::string>> members;
    for (const auto& [key, value] : message.items()) {
        members.emplace_back("", key);
    }
    for (const auto& [key, value] : message[nested].items()) {
        members.emplace_back(nested, key);
    }
    return members;
}

std::string hmacBase64(const std::string& key, const std::string& data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
         reinterpret_cast<const unsigned char*>(data.data()), data.size(), digest, &length);
    std::string base64(4 * ((length + 2) / 3), '\0');
    EVP_EncodeBlock(reinterpret_cast<unsigned char*>(base64.data()), digest,
                    static_cast<int>(length));
    return base64;
}

std::string inputValue(const std::string& html, const std::string& name) {
    std::smatch match;
    return std::regex_search(html, match, std::regex("name=\"" + name + "\" value=\"([^\"]*)\""))
               ? match[1].str()
               : "";
}

std::string encoded(const std::string& text) {
    return safeAddingPercentEncoding(text, rfc3986Unreserved()).value_or("");
}

std::string pageForm(const datosPeticion& fields) {
    return "Ds_SignatureVersion=" + encoded(fields.Ds_SignatureVersion) +
           "&Ds_Signature=" + encoded(fields.Ds_Signature) +
           "&Ds_MerchantParameters=" + encoded(fields.Ds_MerchantParameters);
}

std::string cardForm(const std::string& pageId, const std::string& number,
                     const std::string& action) {
    return "pagina=" + pageId + "&numero=" + encoded(number) +
           "&caducidad=12%2F29&cvv=123&accion=" + action;
}

void SandboxTest::SetUp() {
    ProcessState::reset();
    auto& configuration = VantoConfiguration::shared();
    const Merchant merchant = SandboxGateway::defaultMerchant();
    configuration.setAppFuc(merchant.merchantCode);
    configuration.setAppTerminal(merchant.terminal);
    configuration.setAppLicense(merchant.signingCredential);
    configuration.setAppMerchantData("datos del comercio");
    IAClientServiceSSM::setVerSDK("1.0");
    IAClientServiceSSM::setAppBundle("SandboxTests");

    gateway_ = std::make_unique<SandboxGateway>(options());
    ASSERT_TRUE(gateway_->start()) << gateway_->lastError();
    client_ = trustingClient("127.0.0.1", gateway_->port(), gateway_->certificatePem());
}

void SandboxTest::TearDown() {
    client_.reset();
    gateway_.reset();
    ProcessState::reset();
}

httplib::Result SandboxTest::postService(const char* path, const std::string& envelope,
                                         const httplib::Headers& headers) {
    return client_->Post(path, headers, "datoEntrada=" + envelope, kFormType);
}

std::string SandboxTest::directRequest(const std::string& pan, const std::string& order,
                                       const std::string& identifier,
                                       const std::string& description) {
    const bool withCard = !pan.empty();
    return std::string(Encode::encodeStringDirectPayment(pan, withCard ? "123" : "",
                                                         withCard ? "2912" : "", "1999", order,
                                                         identifier, "true", "0", description)
                           .view());
}

DirectPaymentResponse SandboxTest::pay(const std::string& pan, const std::string& order,
                                       const std::string& identifier,
                                       const std::string& description) {
    const httplib::Result result =
        postService(kDirectPath, directRequest(pan, order, identifier, description));
    const std::optional<DirectPaymentResponse> response = serviceAnswer(result);
    if (!response) {
        ADD_FAILURE() << "no readable answer for order " << order;
        return {std::nullopt, -1, ""};
    }
    const Envelope envelope = *readEnvelope(result->body);
    EXPECT_EQ(envelope.firma,
              sha256(envelope.mensaje + SandboxGateway::defaultMerchant().signingCredential));
    return *response;
}

std::optional<DirectPaymentResponse> SandboxTest::serviceAnswer(const httplib::Result& result) {
    if (!result || result->status != 200) {
        return std::nullopt;
    }
    const std::optional<Envelope> envelope = readEnvelope(result->body);
    return envelope ? DirectPaymentResponse::fromJSON(envelope->mensaje) : std::nullopt;
}

std::string SandboxTest::webRequest(const std::string& order, const std::string& identifier,
                                    const std::string& description) {
    return Encode::encodeStringWebViewPayment(order, identifier, 19.99, "false", "0", description);
}

WebViewPaymentResponse SandboxTest::signWebPayment(const std::string& order,
                                                   const std::string& identifier,
                                                   const std::string& description) {
    const httplib::Result result =
        postService(kSignaturePath, webRequest(order, identifier, description));
    const std::optional<Envelope> envelope =
        result && result->status == 200 ? readEnvelope(result->body) : std::nullopt;
    const std::optional<WebViewPaymentResponse> response =
        envelope ? WebViewPaymentResponse::fromJSON(envelope->mensaje) : std::nullopt;
    if (!response) {
        ADD_FAILURE() << "no readable answer from the signature service for order " << order;
        return {std::nullopt, -1, "", std::nullopt};
    }
    return *response;
}

httplib::Result SandboxTest::openPage(const std::string& order, const std::string& identifier,
                                      const std::string& description) {
    const WebViewPaymentResponse signedParameters = signWebPayment(order, identifier, description);
    if (!signedParameters.datosPeticion) {
        ADD_FAILURE() << "the signature service did not sign order " << order;
        return client_->Get(kPagePath);
    }
    httplib::Result page =
        client_->Post(kPagePath, pageForm(*signedParameters.datosPeticion), kFormType);
    const std::string setCookie = page ? page->get_header_value("Set-Cookie") : "";
    if (!setCookie.empty()) {
        pageCookie_ = setCookie.substr(0, setCookie.find(';'));
    }
    return page;
}

httplib::Result SandboxTest::postForm(const std::string& path, const std::string& form,
                                      bool withCookie) {
    httplib::Headers headers;
    if (withCookie) {
        headers.emplace("Cookie", pageCookie_);
    }
    return client_->Post(path, headers, form, kFormType);
}

httplib::Result SandboxTest::submitCard(const std::string& pageId, const std::string& number,
                                        const std::string& action) {
    return postForm(kCardFormPath, cardForm(pageId, number, action));
}

httplib::Result SandboxTest::payOnPage(const std::string& order, const std::string& number,
                                       const std::string& identifier, const std::string& action) {
    httplib::Result page = openPage(order, identifier);
    if (!page || page->status != 200) {
        ADD_FAILURE() << "no payment page for order " << order;
        return page;
    }
    return submitCard(inputValue(page->body, "pagina"), number, action);
}

std::string SandboxTest::locationOf(const httplib::Result& answer) {
    if (!answer || answer->status != 303) {
        ADD_FAILURE() << "the card form did not redirect: "
                      << (answer ? std::to_string(answer->status) : "no answer");
        return "";
    }
    return answer->get_header_value("Location");
}

std::string SandboxTest::placeholderPage(bool ok) const {
    return "https://" + gateway_->authority() + "/sandbox/" +
           (ok ? "REDIR_URL_OK" : "REDIR_URL_KO");
}

Parameters SandboxTest::resultAt(const std::string& location, const std::string& expectedStart) {
    std::smatch match;
    const bool shaped = std::regex_match(
        location, match,
        std::regex(
            "(.*?)[?&]Ds_SignatureVersion=HMAC_SHA256_V1&Ds_MerchantParameters=([A-Za-z0-9+/]"
            "+={0,2})&Ds_Signature=([A-Za-z0-9+/]+={0,2})"));
    if (!shaped) {
        ADD_FAILURE() << "unexpected return address " << location;
        return {};
    }
    EXPECT_EQ(match[1].str(), expectedStart);
    EXPECT_EQ(match[3].str(),
              hmacBase64(SandboxGateway::defaultMerchant().pageSecret, match[2].str()));
    const auto text = parseJsonString(getUrlParams(location)["Ds_MerchantParameters"]);
    const auto parameters = text ? Parameters::fromJSON(*text) : std::nullopt;
    if (!parameters) {
        ADD_FAILURE() << "unreadable result in " << location;
        return {};
    }
    return *parameters;
}

}  // namespace vanto::sandbox::testing
