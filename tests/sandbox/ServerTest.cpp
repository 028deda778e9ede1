// The server around the services: its HTTP handling, addresses, certificates, start and stop, and
// the `vanto sandbox` command. Many connections at once and the certificate's names are checked
// by the integration tests (Transport, CertificateTrust), which rely on them.

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <regex>

#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include "SandboxTestSupport.h"

extern char** environ;

namespace vanto::sandbox::testing {
namespace {

using ServerTest = SandboxTest;

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

TEST(SandboxLifecycle, StartAndStopAreIdempotentAndARestartKeepsTheCertificate) {
    SandboxGateway gateway(quietOptions());
    ASSERT_TRUE(gateway.start());
    const int port = gateway.port();
    const std::string pem = gateway.certificatePem();
    EXPECT_TRUE(gateway.start());
    EXPECT_EQ(gateway.port(), port);
    gateway.stop();
    gateway.stop();
    EXPECT_FALSE(gateway.running());
    EXPECT_EQ(gateway.port(), 0);
    EXPECT_FALSE(trustingClient("127.0.0.1", port, pem)->Get(kPagePath)) << "still served";

    ASSERT_TRUE(gateway.start());
    EXPECT_EQ(gateway.certificatePem(), pem);
    EXPECT_TRUE(trustingClient("127.0.0.1", gateway.port(), pem)->Get(kPagePath));
}

TEST(SandboxLifecycle, ListensOnAGivenPortAndOnlyOnLoopback) {
    SandboxOptions options = quietOptions();
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

/// A fresh key and a self-signed certificate for 127.0.0.1, in PEM.
std::pair<std::string, std::string> makeCertificateAndKey() {
    EVP_PKEY* key = EVP_EC_gen("P-256");
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
    BIO* certificateBio = BIO_new(BIO_s_mem());
    BIO* keyBio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(certificateBio, certificate);
    PEM_write_bio_PrivateKey(keyBio, key, nullptr, nullptr, 0, nullptr, nullptr);
    const auto text = [](BIO* bio) {
        char* data = nullptr;
        const long length = BIO_get_mem_data(bio, &data);
        std::string pem(data, static_cast<std::size_t>(length));
        BIO_free(bio);
        return pem;
    };
    std::pair<std::string, std::string> result{text(certificateBio), text(keyBio)};
    X509_free(certificate);
    EVP_PKEY_free(key);
    return result;
}

std::string writeFile(const std::string& name, const std::string& contents) {
    const std::string path = temporaryPath(name);
    std::ofstream(path, std::ios::binary) << contents;
    return path;
}

TEST(SandboxLifecycle, ServesGivenPemFilesAndRefusesAKeyOfAnotherCertificate) {
    const auto [certificate, key] = makeCertificateAndKey();
    SandboxOptions options = quietOptions();
    options.certificateFile = writeFile("sandbox-cert.pem", certificate);
    options.keyFile = writeFile("sandbox-key.pem", key);
    SandboxGateway gateway(options);
    ASSERT_TRUE(gateway.start()) << gateway.lastError();
    EXPECT_EQ(gateway.certificatePem(), certificate);
    EXPECT_TRUE(trustingClient("127.0.0.1", gateway.port(), certificate)->Get(kPagePath));

    options.keyFile = writeFile("sandbox-other-key.pem", makeCertificateAndKey().second);
    SandboxGateway mismatched(options);
    EXPECT_FALSE(mismatched.start());
    EXPECT_FALSE(mismatched.lastError().empty());
    options.keyFile.clear();
    EXPECT_FALSE(SandboxGateway(options).start()) << "a certificate without its key";
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
    std::string recordFile = temporaryPath("sandbox-command-record.jsonl");
    std::remove(recordFile.c_str());
    int output[2];
    ASSERT_EQ(::pipe(output), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    char* const arguments[] = {const_cast<char*>(VANTO_CLI_PATH), const_cast<char*>("sandbox"),
                               const_cast<char*>("--record"), recordFile.data(), nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, VANTO_CLI_PATH, &actions, nullptr, arguments, environ), 0);
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
