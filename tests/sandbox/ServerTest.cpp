// The server around the services: its HTTP handling, many connections at once, what it keeps of
// requests, addresses, certificates, start and stop. The certificate's names are checked by the
// integration tests (CertificateTrust), which rely on them.

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <functional>
#include <regex>

#include <openssl/pem.h>
#include <openssl/ssl.h>

#include "Certificate.h"
#include "GatewayState.h"
#include "SandboxTestSupport.h"
#include "TestRows.h"

namespace vanto::sandbox::testing {
namespace {

using ServerTest = SandboxTest;

TEST_F(ServerTest, AnswersPipelinedRequestsInOrderAndRecordsThemAsSent) {
    const std::string pem = gateway_->certificatePem();
    const auto statuses = [&](const std::string& request) {
        std::vector<std::string> found;
        const std::string received = rawExchange(gateway_->port(), pem, request).value_or("");
        const std::regex statusLine(R"(HTTP/1\.1 (\d{3}) )");
        for (auto line = std::sregex_iterator(received.begin(), received.end(), statusLine);
             line != std::sregex_iterator(); ++line) {
            found.push_back((*line)[1].str());
        }
        return found;
    };
    const std::string body =
        "datoEntrada=" + directRequest("4000000000000002", "PIPE01", "", "x+y&z=%20");
    // A blank line after a body is allowed before the next request.
    EXPECT_EQ(statuses(rawRequest("POST", kDirectPath, body, "Z-Last: 1\r\nA-First: 2\r\n", false) +
                       "\r\n" + rawRequest("GET", "/nowhere")),
              (std::vector<std::string>{"200", "404"}));
    ASSERT_EQ(gateway_->requests().size(), 2u);
    // Recorded as received: the body verbatim, the header fields in arrival order.
    const RecordedRequest recorded = gateway_->requests()[0];
    EXPECT_EQ(std::tie(recorded.method, recorded.path, recorded.body),
              std::tie("POST", kDirectPath, body));
    EXPECT_EQ(recorded.headers, (std::vector<std::pair<std::string, std::string>>{
                                    {"Host", "127.0.0.1"},
                                    {"Z-Last", "1"},
                                    {"A-First", "2"},
                                    {"Content-Type", kFormType},
                                    {"Content-Length", std::to_string(body.size())}}));
    EXPECT_EQ(recorded.header("content-type"), kFormType);
}

TEST_F(ServerTest, FramesEveryRequestOneWayOrRefusesIt) {
    const auto answer = [this](const std::string& request) {
        return rawExchange(gateway_->port(), gateway_->certificatePem(), request)
            .value_or("no answer");
    };
    std::size_t served = 0;
    for (const auto& row : vanto::testing::readTestRows("sandbox-framing.txt")) {
        const std::string received = answer(*row.at(1));
        EXPECT_EQ(received.substr(0, 12), "HTTP/1.1 " + *row.at(0)) << *row.at(1);
        EXPECT_TRUE(row.size() < 3 || received.find(*row[2]) != std::string::npos) << received;
        served += *row[0] == "400" || *row[0] == "501" ? 0 : 1;
    }
    // A head, from its request line to the blank line that ends it, may be 64 KiB long.
    const auto head = [](std::size_t size) {
        const std::string start = "GET /nowhere HTTP/1.1\r\nHost: x\r\nConnection: close\r\nX: ";
        return start + std::string(size - start.size() - 4, 'a') + "\r\n\r\n";
    };
    EXPECT_EQ(answer(head(64 * 1024)).substr(0, 12), "HTTP/1.1 404");
    EXPECT_EQ(answer(head(64 * 1024 + 1)).substr(0, 12), "HTTP/1.1 431");
    EXPECT_EQ(gateway_->requests().size(), served + 1) << "refused requests reach no service";
}

/// Whether the server still holds the connection open: reading what it sent so far ends in a
/// wait, not in the end of the stream or a reset.
bool heldOpen(int sock) {
    char scratch[4096];
    ssize_t count = 0;
    while ((count = ::recv(sock, scratch, sizeof scratch, MSG_DONTWAIT)) > 0) {
    }
    return count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
}

/// Connections that take a place on the server and then wait: a third never start TLS, a third
/// stop in the middle of the handshake, a third send part of a request head.
struct IdleConnections {
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    std::vector<int> sockets;
    std::vector<SSL*> sessions;

    void open(int port, int count) {
        const std::string head = "GET /zel/realizarPago HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ";
        for (int i = 0; i < count; ++i) {
            const int sock = sockets.emplace_back(connectTo(port));
            ASSERT_GE(sock, 0);
            if (i % 3 == 1) {
                // The first bytes of a TLS record that never comes whole.
                ASSERT_EQ(::send(sock, "\x16\x03\x01\x02", 4, MSG_NOSIGNAL), 4);
            } else if (i % 3 == 2) {
                SSL* ssl = sessions.emplace_back(SSL_new(context));
                ASSERT_TRUE(SSL_set_fd(ssl, sock) == 1 && SSL_connect(ssl) == 1 &&
                            SSL_write(ssl, head.data(), static_cast<int>(head.size())) > 0);
            }
        }
    }
    ~IdleConnections() {
        std::for_each(sessions.begin(), sessions.end(), SSL_free);
        SSL_CTX_free(context);
        std::for_each(sockets.begin(), sockets.end(), ::close);
    }
};

TEST_F(ServerTest, AnswersWhileManyConnectionsIdleMidHandshakeOrTrickle) {
    IdleConnections idle;
    idle.open(gateway_->port(), 200);
    ASSERT_FALSE(HasFatalFailure());
    const httplib::Result page = client_->Get("/sandbox/REDIR_URL_OK");
    ASSERT_TRUE(page && page->status == 200) << "no answer while 200 connections waited";
    // The answer did not wait for the idle ones to time out and make room: all still wait.
    EXPECT_TRUE(std::all_of(idle.sockets.begin(), idle.sockets.end(), heldOpen));
}

/// A sandbox with small limits: four connections at once, three requests or 64 KiB recorded.
class SmallSandboxTest : public SandboxTest {
  protected:
    SandboxOptions options() const override {
        SandboxOptions options = SandboxTest::options();
        options.maxConnections = 4;
        options.recordedRequestsKept = 3;
        options.recordedBytesKept = 64 * 1024;
        return options;
    }
};

TEST_F(SmallSandboxTest, ClosesConnectionsBeyondItsLimitAtOnceInsteadOfQueueingThem) {
    IdleConnections idle;
    idle.open(gateway_->port(), 4);
    ASSERT_FALSE(HasFatalFailure());
    const int extra = connectTo(gateway_->port());
    const timeval limit{10, 0};
    setsockopt(extra, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    SSL* ssl = SSL_new(idle.context);
    SSL_set_fd(ssl, extra);
    errno = 0;
    EXPECT_NE(SSL_connect(ssl), 1) << "a fifth connection was served";
    EXPECT_NE(errno, EAGAIN) << "closed, not left waiting";
    SSL_free(ssl);
    ::close(extra);
}

TEST_F(SmallSandboxTest, DropsUnknownAddressesBodiesAndKeepsOnlyTheNewestRequests) {
    const std::string large(512 * 1024, 'x');
    const httplib::Result unknown = client_->Post("/nowhere", large, kFormType);
    ASSERT_TRUE(unknown && unknown->status == 404);
    EXPECT_EQ(gateway_->requests().at(0).header("Content-Length"), std::to_string(large.size()));
    EXPECT_TRUE(gateway_->requests().at(0).body.empty()) << "an unknown address's body is kept";

    const auto post = [this](const std::string& order, std::size_t descriptionBytes) {
        const std::string description(descriptionBytes, 'x');
        return postService(kDirectPath, directRequest("4000000000000002", order, "", description));
    };
    for (const char* order : {"KEEP1", "KEEP2", "KEEP3", "KEEP4", "KEEP5"}) {
        ASSERT_TRUE(post(order, 10));
    }
    EXPECT_TRUE(gateway_->waitForRequests(6, std::chrono::seconds(1))) << "dropped ones count";
    std::vector<RecordedRequest> recorded = gateway_->requests();
    ASSERT_EQ(recorded.size(), 3u) << "at most three kept";
    EXPECT_NE(recorded[0].body.find("KEEP3"), std::string::npos) << "the newest stay";

    ASSERT_TRUE(post("BIG1", 40 * 1024));
    ASSERT_TRUE(post("BIG2", 40 * 1024));
    recorded = gateway_->requests();
    ASSERT_EQ(recorded.size(), 1u) << "two of 40 KiB do not fit in 64 KiB";
    EXPECT_NE(recorded[0].body.find("BIG2"), std::string::npos);

    const httplib::Result listed = client_->Get("/sandbox/recorded");
    ASSERT_TRUE(listed);
    EXPECT_EQ(nlohmann::json::parse(listed->body).size(), 1u);
    EXPECT_EQ(listed->get_header_value("Sandbox-Records-Dropped"), "7");
}

std::chrono::steady_clock::time_point stateClock;

TEST(SandboxState, KeepsTheNewestEntriesOfEachKindAndForgetsThemWithAge) {
    using namespace std::chrono_literals;
    detail::GatewayState state(
        {10, 1 << 20},
        {.entries = 3, .sessionAge = 30min, .keptAge = 24h, .now = [] { return stateClock; }});
    const Merchant merchant = SandboxGateway::defaultMerchant();
    int orders = 0;
    struct Kind {
        std::function<std::string()> add;
        std::function<bool(const std::string&)> holds;
        bool keptADay;
    };
    const std::vector<Kind> kinds = {
        {[&] { return state.issueSessionCookie(); },
         [&](const std::string& key) { return state.issuedSessionCookie(key); }, false},
        {[&] { return state.issuePageCookie(); },
         [&](const std::string& key) { return state.issuedPageCookie(key); }, false},
        {[&] {
             return state.openPage({merchant, {}, "cookie", std::nullopt, std::nullopt});
         },
         [&](const std::string& key) { return state.openedPage(key).has_value(); }, false},
        {[&] {
             return state.storeCard({merchant.merchantCode, "****", "2912", {}});
         },
         [&](const std::string& key) {
             return state.storedCard(merchant.merchantCode, key).has_value();
         },
         true},
        {[&] {
             const std::string order = "ORDER" + std::to_string(++orders);
             state.noteDecidedOrder(merchant, order, {});
             return order;
         },
         [&](const std::string& key) { return state.decidedOrder(merchant, key).has_value(); },
         true}};
    for (const Kind& kind : kinds) {
        stateClock = {};
        std::vector<std::string> keys;
        for (int i = 0; i < 4; ++i, stateClock += 1min) {
            keys.push_back(kind.add());
        }
        EXPECT_EQ(std::count_if(keys.begin(), keys.end(), kind.holds), 3) << "one past the cap";
        EXPECT_FALSE(kind.holds(keys[0])) << "the oldest goes first";
        stateClock += 28min;  // the second is 31 minutes old, the last 29
        EXPECT_EQ(kind.holds(keys[1]), kind.keptADay);
        EXPECT_TRUE(kind.holds(keys[3]));
        stateClock += 24h;
        EXPECT_FALSE(kind.holds(keys[3]));
    }
}

TEST(SandboxLifecycle, StopsServingAndARestartKeepsTheCertificate) {
    SandboxGateway gateway;
    ASSERT_TRUE(gateway.start());
    const int port = gateway.port();
    const std::string pem = gateway.certificatePem();
    gateway.stop();
    EXPECT_FALSE(trustingClient("127.0.0.1", port, pem)->Get(kPagePath)) << "still served";
    ASSERT_TRUE(gateway.start());
    EXPECT_EQ(gateway.certificatePem(), pem);
    EXPECT_TRUE(trustingClient("127.0.0.1", gateway.port(), pem)->Get(kPagePath));
}

TEST(SandboxLifecycle, ListensOnAGivenPortAndOnlyOnLoopback) {
    SandboxOptions options;
    SandboxGateway first(options);
    ASSERT_TRUE(first.start()) << first.lastError();

    // The port the first one holds: taken on its address, free on another loopback address.
    options.port = first.port();
    SandboxGateway busy(options);
    EXPECT_FALSE(busy.start() || busy.lastError().empty());
    options.host = "127.0.0.2";
    options.certificateNames = {"127.0.0.2"};
    SandboxGateway fixed(options);
    ASSERT_TRUE(fixed.start()) << fixed.lastError();
    EXPECT_EQ(fixed.port(), first.port());
    EXPECT_TRUE(trustingClient("127.0.0.2", fixed.port(), fixed.certificatePem())->Get(kPagePath));

    for (const char* host : {"0.0.0.0", "192.0.2.10", "example.com"}) {
        options.host = host;
        options.port = 0;
        SandboxGateway exposed(options);
        EXPECT_FALSE(exposed.start() || exposed.lastError().empty()) << host;
    }
}

/// A fresh key and a self-signed certificate for 127.0.0.1, in PEM.
std::pair<std::string, std::string> makeCertificateAndKey() {
    std::string error;
    const auto made = detail::makeSelfSignedCredentials({"127.0.0.1"}, error);
    if (!made) {
        ADD_FAILURE() << error;
        return {};
    }
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PrivateKey(bio, made->key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    std::string key(data, static_cast<std::size_t>(length));
    BIO_free(bio);
    return {made->certificatePem, key};
}

std::string writeFile(const std::string& name, const std::string& contents) {
    const std::string path = temporaryPath(name);
    std::ofstream(path, std::ios::binary) << contents;
    return path;
}

TEST(SandboxLifecycle, ServesGivenPemFilesAndRefusesAKeyOfAnotherCertificate) {
    const auto [certificate, key] = makeCertificateAndKey();
    SandboxOptions options;
    options.certificateFile = writeFile("sandbox-cert.pem", certificate);
    options.keyFile = writeFile("sandbox-key.pem", key);
    SandboxGateway gateway(options);
    ASSERT_TRUE(gateway.start()) << gateway.lastError();
    EXPECT_EQ(gateway.certificatePem(), certificate);
    EXPECT_TRUE(trustingClient("127.0.0.1", gateway.port(), certificate)->Get(kPagePath));

    options.keyFile = writeFile("sandbox-other-key.pem", makeCertificateAndKey().second);
    SandboxGateway mismatched(options);
    EXPECT_FALSE(mismatched.start() || mismatched.lastError().empty());
    options.keyFile.clear();
    EXPECT_FALSE(SandboxGateway(options).start()) << "a certificate without its key";
}

}  // namespace
}  // namespace vanto::sandbox::testing
