#include "vanto/sandbox/SandboxGateway.h"

#include <arpa/inet.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <exception>
#include <fstream>
#include <mutex>
#include <sstream>

#include <nlohmann/json.hpp>

#include "vanto/config/Constants.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/platform/URLSession.h"
#include "vanto/transport/Trace.h"

#include "Certificate.h"
#include "ConsoleLog.h"
#include "GatewayState.h"
#include "HttpsServer.h"
#include "Recording.h"
#include "Services.h"
#include "Text.h"

namespace vanto::sandbox {

namespace {

using detail::Exchange;
using detail::HttpRequest;
using detail::HttpResponse;

constexpr std::string_view kDirectPaymentPath = "/zel/virtualControllerV2/pagoVirtual";
constexpr std::string_view kSignaturePath = "/zel/virtualControllerV2/generaFirmaPagoVirtual";
constexpr std::string_view kPaymentPagePath = "/zel/realizarPago";
constexpr std::string_view kRecordedPath = "/sandbox/recorded";
// Bytes of records put in one piece of the answer to GET /sandbox/recorded.
constexpr std::size_t kRecordedPieceBytes = 64 * 1024;
// How long stop() waits for the console lines of the last requests to be written.
constexpr auto kConsoleFlushLimit = std::chrono::seconds(1);
// How long stop() waits for the recording file to take the lines still queued.
constexpr auto kRecordFileCloseLimit = std::chrono::seconds(1);

bool isLoopback(const std::string& host) {
    if (host == "localhost") {
        return true;
    }
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    in6_addr v6{};
    return inet_pton(AF_INET6, host.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

std::string withPort(const std::string& host, int port) {
    const bool ipv6 = host.find(':') != std::string::npos;
    return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

/// The "Host" field when it is a plain "host[:port]", else `fallback`: the client's own name
/// for the sandbox is what the certificate was checked against.
std::string authorityOf(const HttpRequest& request, const std::string& fallback) {
    const std::string host = request.header("Host");
    const bool plain = !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == ':' ||
               c == '[' || c == ']';
    });
    return plain ? host : fallback;
}

/// The value of the cookie `name` in the request, if `issued` says this sandbox issued it.
template <typename Issued>
std::optional<std::string> issuedCookie(const HttpRequest& request, std::string_view name,
                                        Issued issued) {
    for (const std::string& header : request.headerValues("Cookie")) {
        std::string_view rest = header;
        while (!rest.empty()) {
            const std::size_t end = std::min(rest.find(';'), rest.size());
            const std::string_view pair = detail::trim(rest.substr(0, end));
            rest.remove_prefix(std::min(end + 1, rest.size()));
            const std::size_t equals = pair.find('=');
            if (equals == std::string_view::npos || pair.substr(0, equals) != name) {
                continue;
            }
            std::string value(pair.substr(equals + 1));
            if (issued(value)) {
                return value;
            }
        }
    }
    return std::nullopt;
}

using Service = void (*)(Exchange&);

/// The service of a method and path; the sandbox's own return pages are any single name under
/// /sandbox/.
Service route(const HttpRequest& request) {
    const bool get = request.method == "GET" || request.method == "HEAD";
    const bool post = request.method == "POST";
    const std::string_view path = request.path;
    if (post && path == kDirectPaymentPath) {
        return detail::serveDirectPayment;
    }
    if (post && path == kSignaturePath) {
        return detail::serveSignature;
    }
    if ((get || post) && path == kPaymentPagePath) {
        return detail::servePaymentPage;
    }
    if (post && path == detail::kCardFormPath) {
        return detail::serveCardForm;
    }
    if (post && path == detail::kAuthenticationPath) {
        return detail::serveAuthentication;
    }
    if (get && path.starts_with(detail::kReturnPagePrefix) &&
        path.find('/', detail::kReturnPagePrefix.size()) == std::string_view::npos) {
        return detail::serveReturnPage;
    }
    return detail::serveNotFound;
}

bool isRecordingRead(const HttpRequest& request) {
    return request.path == kRecordedPath && request.method == "GET";
}

}  // namespace

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (detail::equalsIgnoringCase(key, name)) {
            return value;
        }
    }
    return std::nullopt;
}

struct SandboxGateway::Impl : detail::HttpService {
    explicit Impl(Options options)
        : options(std::move(options)),
          state({this->options.recordedRequestsKept, this->options.recordedBytesKept}) {}

    bool keepsBody(const HttpRequest& head) override {
        return isRecordingRead(head) || route(head) != detail::serveNotFound;
    }

    void handle(const HttpRequest& request, HttpResponse& response) override {
        if (isRecordingRead(request)) {
            answerRecorded(response);  // reading the recording does not add to it
            return;
        }
        std::optional<std::string> sessionCookie = issuedCookie(
            request, kSessionCookieName,
            [this](const std::string& value) { return state.issuedSessionCookie(value); });
        std::optional<std::string> pageCookie = issuedCookie(
            request, kPageCookieName,
            [this](const std::string& value) { return state.issuedPageCookie(value); });
        if (request.resumedTls) {
            ++resumedTls;
        }
        RecordedRequest recorded{request.method, request.path, request.headers, request.body,
                                 sessionCookie.has_value() || pageCookie.has_value()};
        recordFile.append(recorded);
        state.record(std::move(recorded));
        Exchange exchange{state,
                          request,
                          response,
                          std::move(sessionCookie),
                          std::move(pageCookie),
                          authorityOf(request, withPort(options.host, boundPort))};
        route(request)(exchange);
    }

    /// The kept requests as a JSON array, made a few records at a time as the answer goes out,
    /// from the shared records: memory per reader stays one piece; header fields say how many
    /// were dropped from memory and how many the record file lost.
    void answerRecorded(HttpResponse& response) const {
        response.status = 200;
        response.setHeader("Content-Type", "application/json");
        response.setHeader("Sandbox-Records-Dropped", std::to_string(state.droppedRecorded()));
        response.setHeader("Sandbox-Records-Unwritten", std::to_string(recordFile.unwritten()));
        response.stream = [records = state.recordedShared(),
                           next = std::size_t{0}](std::string& piece) mutable {
            if (next > records.size()) {
                return false;
            }
            piece = next == 0 ? "[" : "";
            while (next < records.size() && piece.size() < kRecordedPieceBytes) {
                piece += (next > 0 ? "," : "") +
                         detail::compactJson(detail::recordedJson(*records[next]));
                ++next;
            }
            if (next == records.size()) {
                piece += "]";
                ++next;
            }
            return true;
        };
    }

    void answered(const HttpRequest& request, const HttpResponse& response) override {
        if (response.delivery == HttpResponse::Delivery::none) {
            log(request, "closed without an answer");
        } else {
            log(request, std::to_string(response.status));
        }
    }

    void held(const HttpRequest& request, std::chrono::milliseconds delay) override {
        log(request, "answer held for " + std::to_string(delay.count()) + " ms");
    }

    void refused(std::size_t open) override {
        if (options.logRequests) {
            detail::ConsoleLog::shared().write(
                detail::ConsoleLog::Stream::output,
                "sandbox: a connection was closed unserved: " + std::to_string(open) +
                    " are open, the most at once");
        }
    }

    /// Method and path only, escaped and masked: bodies, queries and headers may hold card
    /// data, and a path may hold anything.
    void log(const HttpRequest& request, const std::string& what) const {
        if (options.logRequests) {
            detail::ConsoleLog::shared().write(
                detail::ConsoleLog::Stream::output,
                "sandbox: " + detail::printable(maskCardData(request.method)) + " " +
                    detail::printable(maskCardData(request.path)) + " " + what);
        }
    }

    bool ensureCredentials() {
        if (credentials) {
            return true;
        }
        if (options.certificateFile.empty() != options.keyFile.empty()) {
            error = "give both a certificate file and a key file, or neither";
            return false;
        }
        try {
            credentials =
                options.certificateFile.empty()
                    ? detail::makeSelfSignedCredentials(options.certificateNames, error)
                    : detail::loadCredentials(options.certificateFile, options.keyFile, error);
        } catch (const std::exception& failure) {  // the random generator gave no bytes
            error = failure.what();
        }
        return credentials.has_value();
    }

    Options options;
    detail::GatewayState state;
    detail::RecordFile recordFile;
    // Requests on a connection that resumed a TLS session, since the start or the last clear.
    std::atomic<std::size_t> resumedTls = 0;
    std::optional<detail::ServerCredentials> credentials;
    std::unique_ptr<detail::HttpsServer> server;
    int boundPort = 0;
    std::string error;
    mutable std::mutex lifecycleMutex;
};

SandboxGateway::SandboxGateway() : SandboxGateway(Options{}) {}

SandboxGateway::SandboxGateway(Options options)
    : impl_(std::make_unique<Impl>(std::move(options))) {}

SandboxGateway::~SandboxGateway() {
    stop();
}

bool SandboxGateway::start() {
    std::lock_guard lock(impl_->lifecycleMutex);
    Impl& impl = *impl_;
    if (impl.server) {
        return true;
    }
    impl.error.clear();
    if (!isLoopback(impl.options.host)) {
        impl.error = "the sandbox listens only on loopback addresses, not on " + impl.options.host;
        return false;
    }
    if (!impl.ensureCredentials()) {
        return false;
    }
    if (!impl.options.recordFile.empty() &&
        !impl.recordFile.open(impl.options.recordFile, impl.error)) {
        return false;
    }
    detail::HttpsServerSettings settings;
    settings.threads = std::max<std::size_t>(impl.options.threads, 1);
    settings.maxConnections = std::max<std::size_t>(impl.options.maxConnections, 1);
    auto server = std::make_unique<detail::HttpsServer>(settings, impl);
    if (!server->listen(impl.options.host, impl.options.port, impl.credentials->certificate.get(),
                        impl.credentials->key.get(), impl.error)) {
        return false;
    }
    impl.boundPort = server->port();
    server->start();
    impl.server = std::move(server);
    return true;
}

void SandboxGateway::stop() {
    std::lock_guard lock(impl_->lifecycleMutex);
    Impl& impl = *impl_;
    if (!impl.server) {
        return;
    }
    impl.server->stop();
    impl.server.reset();
    impl.boundPort = 0;
    impl.recordFile.close(kRecordFileCloseLimit);
    if (impl.options.logRequests) {
        detail::ConsoleLog::shared().write(detail::ConsoleLog::Stream::output,
                                           "sandbox: stopped; answers still held were not sent");
    }
    if (const std::size_t unwritten = impl.recordFile.unwritten(); unwritten > 0) {
        detail::ConsoleLog::shared().write(
            detail::ConsoleLog::Stream::error,
            "sandbox: " + std::to_string(unwritten) +
                " requests could not be written to the recording file " +
                detail::printable(impl.recordFile.path()));
    }
    detail::ConsoleLog::shared().flush(kConsoleFlushLimit);
    detail::ConsoleLog::shared().reportLost();
    detail::ConsoleLog::shared().flush(kConsoleFlushLimit);
}

bool SandboxGateway::running() const {
    std::lock_guard lock(impl_->lifecycleMutex);
    return impl_->server != nullptr;
}

std::string SandboxGateway::lastError() const {
    std::lock_guard lock(impl_->lifecycleMutex);
    return impl_->error;
}

int SandboxGateway::port() const {
    std::lock_guard lock(impl_->lifecycleMutex);
    return impl_->boundPort;
}

std::string SandboxGateway::authority() const {
    std::lock_guard lock(impl_->lifecycleMutex);
    return withPort(impl_->options.host, impl_->boundPort);
}

std::string SandboxGateway::baseUrl() const {
    return "https://" + authority();
}

std::string SandboxGateway::certificatePem() const {
    std::lock_guard lock(impl_->lifecycleMutex);
    return impl_->credentials ? impl_->credentials->certificatePem : std::string();
}

bool SandboxGateway::useAsTestEnvironment() const {
    return running() && sandbox::useAsTestEnvironment(authority(), certificatePem());
}

bool useAsTestEnvironment(std::string_view authority, std::string_view certificatePem) {
    const std::string pem(certificatePem);
    if (pem.find("-----BEGIN CERTIFICATE-----") == std::string::npos ||
        !Constants::setGatewayHost(EnviromentType::test, authority)) {
        return false;
    }
    auto session = platform::URLSessionConfiguration::defaultSessionConfiguration();
    if (std::find(session.additionalTrustAnchors.begin(), session.additionalTrustAnchors.end(),
                  pem) == session.additionalTrustAnchors.end()) {
        session.additionalTrustAnchors.push_back(pem);
    }
    platform::URLSessionConfiguration::setDefaultSessionConfiguration(session);
    auto& configuration = VantoConfiguration::shared();
    const Merchant merchant = SandboxGateway::defaultMerchant();
    configuration.setAppEnviroment(EnviromentType::test);
    configuration.setAppFuc(merchant.merchantCode);
    configuration.setAppTerminal(merchant.terminal);
    configuration.setAppLicense(merchant.signingCredential);
    return true;
}

bool useAsTestEnvironment(std::string_view startLine, std::string* problem) {
    const auto refuse = [problem](std::string why) {
        if (problem != nullptr) {
            *problem = std::move(why);
        }
        return false;
    };
    const auto line = nlohmann::json::parse(startLine, nullptr, false);
    const auto text = [&line](const char* key) -> std::optional<std::string> {
        if (!line.is_object() || !line.contains("vanto_sandbox") ||
            !line["vanto_sandbox"].is_object() || !line["vanto_sandbox"].contains(key) ||
            !line["vanto_sandbox"][key].is_string()) {
            return std::nullopt;
        }
        return line["vanto_sandbox"][key].get<std::string>();
    };
    const auto authority = text("authority");
    if (!authority) {
        return refuse("not the sandbox's start line: no vanto_sandbox.authority");
    }
    const auto file = text("certificate_file");
    if (!file) {
        return refuse("the sandbox wrote no certificate file: start it with --cert-out FILE");
    }
    std::ifstream in(*file, std::ios::binary);
    std::ostringstream pem;
    pem << in.rdbuf();
    if (!in || pem.str().empty()) {
        return refuse("cannot read the certificate file " + *file);
    }
    if (!useAsTestEnvironment(*authority, pem.str())) {
        return refuse("the start line's authority or certificate file is not usable");
    }
    return true;
}

Merchant SandboxGateway::defaultMerchant() {
    return {"999008881", "1", "sandbox-signing-credential", "sandbox-page-secret"};
}

void SandboxGateway::addMerchant(Merchant merchant) {
    impl_->state.addMerchant(std::move(merchant));
}

void SandboxGateway::setFault(const std::string& orderNumber, std::optional<Fault> fault) {
    impl_->state.setFault(orderNumber, fault);
}

void SandboxGateway::setFaultForAll(std::optional<Fault> fault) {
    impl_->state.setFaultForAll(fault);
}

std::vector<RecordedRequest> SandboxGateway::requests() const {
    return impl_->state.recorded();
}

bool SandboxGateway::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    return impl_->state.waitForRecorded(count, timeout);
}

void SandboxGateway::clearRequests() {
    impl_->state.clearRecorded();
    impl_->resumedTls = 0;
}

std::size_t SandboxGateway::resumedTlsRequests() const {
    return impl_->resumedTls;
}

std::vector<DecidedPayment> SandboxGateway::payments() const {
    return impl_->state.payments();
}

}  // namespace vanto::sandbox
