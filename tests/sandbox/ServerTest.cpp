// The server around the services: concurrency, certificates, addresses, start and stop, and the
// `vanto sandbox` command.

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <regex>
#include <thread>

#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include "SandboxTestSupport.h"

extern char** environ;

namespace vanto::sandbox::testing {
namespace {

using ServerTest = SandboxTest;

TEST_F(ServerTest, ServesManyConnectionsAtOnce) {
    constexpr int kClients = 40;
    std::vector<std::string> requests;
    for (int index = 0; index < kClients; ++index) {
        requests.push_back(directRequest("4000000000000002", "CONC" + std::to_string(index)));
    }
    std::atomic<int> authorised{0};
    std::vector<std::thread> clients;
    for (const std::string& request : requests) {
        clients.emplace_back([&, request] {
            auto client = trustingClient("127.0.0.1", gateway_->port(), gateway_->certificatePem());
            const httplib::Result result =
                client->Post(kDirectPath, "datoEntrada=" + request, kFormType);
            const std::optional<Envelope> envelope =
                result && result->status == 200 ? readEnvelope(result->body) : std::nullopt;
            const auto response =
                envelope ? DirectPaymentResponse::fromJSON(envelope->mensaje) : std::nullopt;
            if (response && response->datosRespuesta &&
                response->datosRespuesta->Ds_Response == "0000") {
                ++authorised;
            }
        });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    EXPECT_EQ(authorised, kClients);
    EXPECT_EQ(gateway_->requests().size(), static_cast<std::size_t>(kClients));
}

TEST_F(ServerTest, CertificateCarriesTheConfiguredNamesAndIsTheOnlyOneTrusted) {
    for (const char* host : {"127.0.0.1", "localhost"}) {
        auto client = trustingClient(host, gateway_->port(), gateway_->certificatePem());
        const httplib::Result page = client->Get(kPagePath);
        ASSERT_TRUE(page) << host << ": " << httplib::to_string(page.error());
        EXPECT_EQ(page->status, 200);
    }

    SandboxOptions otherOptions;
    otherOptions.logRequests = false;
    otherOptions.certificateNames = {"tienda.example"};
    SandboxGateway other(otherOptions);
    ASSERT_TRUE(other.start()) << other.lastError();
    EXPECT_FALSE(
        trustingClient("127.0.0.1", gateway_->port(), other.certificatePem())->Get(kPagePath))
        << "a certificate that is not the sandbox's was accepted";
    EXPECT_FALSE(trustingClient("127.0.0.1", other.port(), other.certificatePem())->Get(kPagePath))
        << "a certificate without the address among its names was accepted";
}

TEST_F(ServerTest, AnswersPipelinedRequestsInOrderAndRefusesMalformedOnes) {
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
    const std::string body = "datoEntrada=" + directRequest("4000000000000002", "PIPE01");
    const std::string keptAlive = "POST " + std::string(kDirectPath) +
                                  " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " + kFormType +
                                  "\r\nContent-Length: " + std::to_string(body.size()) +
                                  "\r\n\r\n" + body;
    EXPECT_EQ(statuses(keptAlive + "\r\n" + rawRequest("GET", "/nowhere")),
              (std::vector<std::string>{"200", "404"}));
    ASSERT_EQ(gateway_->requests().size(), 2u);
    EXPECT_EQ(gateway_->requests()[0].body, body);

    EXPECT_EQ(statuses("GARBAGE\r\n\r\n"), std::vector<std::string>{"400"});
    EXPECT_EQ(
        statuses("POST /x HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n"),
        std::vector<std::string>{"501"});
    EXPECT_EQ(statuses("GET / HTTP/1.1\r\nX: " + std::string(70000, 'a') + "\r\n\r\n"),
              std::vector<std::string>{"431"});
    EXPECT_EQ(gateway_->requests().size(), 2u) << "malformed requests reach no service";
}

TEST(SandboxLifecycle, StopsAndStartsAgainWithTheSameCertificate) {
    SandboxOptions options;
    options.logRequests = false;
    SandboxGateway gateway(options);
    EXPECT_EQ(gateway.port(), 0);
    ASSERT_TRUE(gateway.start());
    const int port = gateway.port();
    const std::string pem = gateway.certificatePem();
    EXPECT_TRUE(gateway.start());
    EXPECT_EQ(gateway.port(), port);
    EXPECT_EQ(gateway.authority(), "127.0.0.1:" + std::to_string(port));
    EXPECT_EQ(gateway.baseUrl(), "https://127.0.0.1:" + std::to_string(port));
    EXPECT_TRUE(trustingClient("127.0.0.1", port, pem)->Get(kPagePath));

    gateway.stop();
    gateway.stop();
    EXPECT_FALSE(gateway.running());
    EXPECT_EQ(gateway.port(), 0);

    ASSERT_TRUE(gateway.start());
    EXPECT_EQ(gateway.certificatePem(), pem);
    EXPECT_TRUE(trustingClient("127.0.0.1", gateway.port(), pem)->Get(kPagePath));
}

TEST(SandboxLifecycle, ListensOnAGivenPortAndOnlyOnLoopback) {
    SandboxOptions options;
    options.logRequests = false;
    SandboxGateway first(options);
    ASSERT_TRUE(first.start()) << first.lastError();

    // The port the first one holds: taken on its address, free on another loopback address.
    options.port = first.port();
    SandboxGateway busy(options);
    EXPECT_FALSE(busy.start());
    EXPECT_FALSE(busy.lastError().empty());
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
        EXPECT_FALSE(exposed.start()) << host;
        EXPECT_FALSE(exposed.lastError().empty());
    }
}

/// A fresh RSA key and a self-signed certificate for 127.0.0.1, in PEM.
std::pair<std::string, std::string> makeCertificateAndKey() {
    EVP_PKEY* key = EVP_RSA_gen(2048);
    X509* certificate = X509_new();
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), 7);
    X509_gmtime_adj(X509_getm_notBefore(certificate), -60);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 3600);
    X509_set_pubkey(certificate, key);
    X509_NAME_add_entry_by_txt(X509_get_subject_name(certificate), "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("sandbox test"), -1, -1, 0);
    X509_set_issuer_name(certificate, X509_get_subject_name(certificate));
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* names =
        X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, "IP:127.0.0.1");
    X509_add_ext(certificate, names, -1);
    X509_EXTENSION_free(names);
    X509_sign(certificate, key, EVP_sha256());
    auto pem = [](auto write) {
        BIO* bio = BIO_new(BIO_s_mem());
        write(bio);
        char* data = nullptr;
        const long length = BIO_get_mem_data(bio, &data);
        std::string text(data, static_cast<std::size_t>(length));
        BIO_free(bio);
        return text;
    };
    std::pair<std::string, std::string> result{
        pem([&](BIO* bio) { PEM_write_bio_X509(bio, certificate); }), pem([&](BIO* bio) {
            PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
        })};
    X509_free(certificate);
    EVP_PKEY_free(key);
    return result;
}

std::string writeFile(const std::string& name, const std::string& contents) {
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << contents;
    return path;
}

TEST(SandboxLifecycle, ServesGivenPemFilesAndRefusesAKeyOfAnotherCertificate) {
    const auto [certificate, key] = makeCertificateAndKey();
    const auto [otherCertificate, otherKey] = makeCertificateAndKey();
    SandboxOptions options;
    options.logRequests = false;
    options.certificateFile = writeFile("sandbox-cert.pem", certificate);
    options.keyFile = writeFile("sandbox-key.pem", key);
    SandboxGateway gateway(options);
    ASSERT_TRUE(gateway.start()) << gateway.lastError();
    EXPECT_EQ(gateway.certificatePem(), certificate);
    EXPECT_TRUE(trustingClient("127.0.0.1", gateway.port(), certificate)->Get(kPagePath));

    options.keyFile = writeFile("sandbox-other-key.pem", otherKey);
    SandboxGateway mismatched(options);
    EXPECT_FALSE(mismatched.start());
    EXPECT_FALSE(mismatched.lastError().empty());

    options.keyFile.clear();
    SandboxGateway halfGiven(options);
    EXPECT_FALSE(halfGiven.start());
}

#ifdef VANTO_CLI_PATH

/// Reads from `fd` into `text` until it holds `marker` (with an empty marker, until the end of
/// the stream), for at most ten seconds.
bool readUntil(int fd, std::string& text, const std::string& marker) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    char buffer[1024];
    while (marker.empty() || text.find(marker) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd descriptor{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&descriptor, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count <= 0) {
            return marker.empty() && count == 0;
        }
        text.append(buffer, static_cast<std::size_t>(count));
    }
    return true;
}

TEST(SandboxCommand, ServesAndRecordsUntilTerminatedAndExitsCleanly) {
    const std::string recordFile = ::testing::TempDir() + "sandbox-command-record.jsonl";
    std::remove(recordFile.c_str());
    int output[2];
    ASSERT_EQ(::pipe(output), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    std::string program = VANTO_CLI_PATH;
    std::vector<std::string> words = {program, "sandbox", "--record", recordFile};
    std::vector<char*> arguments;
    for (std::string& word : words) {
        arguments.push_back(word.data());
    }
    arguments.push_back(nullptr);
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, program.c_str(), &actions, nullptr, arguments.data(), environ),
              0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);

    std::string printed;
    const bool described = readUntil(output[0], printed, "-----END CERTIFICATE-----");
    std::smatch port;
    const bool addressShown =
        std::regex_search(printed, port, std::regex(R"(https://127\.0\.0\.1:(\d+))"));
    if (described && addressShown) {
        EXPECT_NE(printed.find("999008881"), std::string::npos);
        EXPECT_NE(printed.find("ending in 0044"), std::string::npos);
        EXPECT_EQ(printed.find("4000000000000002"), std::string::npos);
        EXPECT_NE(printed.find("/sandbox/recorded, and appended to " + recordFile),
                  std::string::npos);
        const std::string pem = printed.substr(printed.find("-----BEGIN CERTIFICATE-----"));
        EXPECT_TRUE(trustingClient("127.0.0.1", std::stoi(port[1].str()), pem)->Get(kPagePath));
    } else {
        ADD_FAILURE() << "the command did not describe the sandbox: " << printed;
    }

    ::kill(child, SIGTERM);
    // The child's end of the pipe closes when it exits.
    if (!readUntil(output[0], printed, "")) {
        ::kill(child, SIGKILL);
        ADD_FAILURE() << "the command did not end after SIGTERM";
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(output[0]);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    std::ifstream recorded(recordFile);
    std::string line;
    ASSERT_TRUE(std::getline(recorded, line)) << "nothing recorded in " << recordFile;
    EXPECT_EQ(nlohmann::json::parse(line, nullptr, false)["path"], kPagePath);
}

#endif

}  // namespace
}  // namespace vanto::sandbox::testing
