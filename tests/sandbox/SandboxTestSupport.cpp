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

void SandboxTest::expectEveryMemberRequired(const char* path, const std::string& request,
                                            const std::string& nested, std::size_t members) {
    const auto message = nlohmann::ordered_json::parse(readEnvelope(request)->mensaje);
    EXPECT_EQ(serviceAnswer(postService(path, signedEnvelope(message)))->code, 0);
    EXPECT_EQ(message.size() + message.at(nested).size(), members);
    for (const std::string& parent : {std::string(), nested}) {
        for (const auto& [key, value] : (parent.empty() ? message : message.at(parent)).items()) {
            for (const bool remove : {true, false}) {
                nlohmann::ordered_json changed = message;
                auto& holder = parent.empty() ? changed : changed[parent];
                remove ? void(holder.erase(key)) : void(holder[key] = nullptr);
                const auto answer = serviceAnswer(postService(path, signedEnvelope(changed)));
                EXPECT_EQ(answer ? answer->code : -1, 9901) << key << (remove ? " out" : " null");
            }
        }
    }
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

httplib::Result SandboxTest::payOnPage(const std::string& order, const std::string& number,
                                       const std::string& identifier, const std::string& action) {
    httplib::Result page = openPage(order, identifier);
    if (!page || page->status != 200) {
        ADD_FAILURE() << "no payment page for order " << order;
        return page;
    }
    return submitCard(inputValue(page->body, "pagina"), number, action);
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

std::shared_ptr<vanto::testing::RecordingWebView> SandboxTest::payWebPayment(std::string_view card,
                                                                             std::string_view order,
                                                                             std::string_view cvv) {
    vanto::testing::cardDataWatch().secret(cvv);
    vanto::testing::cardDataWatch().expiry("12/30");
    auto view = std::make_shared<vanto::testing::RecordingWebView>();
    auto presenter =
        std::make_shared<WebViewPaymentPresenter<vanto::testing::RecordingWebView>>(view);
    std::optional<platform::URLRequest> page;
    presenter->loadWebViewRequest(
        order, "", 19.99, TransactionType::normal, "Libro",
        [&page](platform::URLRequest request) { page = std::move(request); });
    EXPECT_TRUE(Manager::waitForCallsInFlight(std::chrono::seconds(30)));
    if (!page) {
        return view;
    }
    HeadlessBrowser browser(gateway_->certificatePem());
    PageWalk walk;
    walk.navigation = [&](const std::string& address) {
        presenter->webViewNotifyUser(address);
        return view->told.empty();  // an outcome ends the walk, as the screen closes
    };
    walk.finished = [](const HeadlessBrowser::Page&) { return true; };
    walkPaymentPage(browser, *page, {std::string(card), "12/30", std::string(cvv)}, walk);
    return view;
}

}  // namespace vanto::sandbox::testing
