#include "vanto/sandbox/SandboxGateway.h"

#include <arpa/inet.h>
#include <pthread.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>

#include "Certificate.h"
#include "GatewayState.h"
#include "Services.h"
#include "Text.h"
#include "TlsServer.h"

namespace vanto::sandbox {

namespace {

using detail::Exchange;

constexpr std::string_view kDirectPaymentPath = "/zel/virtualControllerV2/pagoVirtual";
constexpr std::string_view kSignaturePath = "/zel/virtualControllerV2/generaFirmaPagoVirtual";
constexpr std::string_view kPaymentPagePath = "/zel/realizarPago";

// Requests one connection may carry before the sandbox closes it.
constexpr std::size_t kRequestsPerConnection = 100;
constexpr auto kStartTimeout = std::chrono::seconds(5);

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
std::string authorityOf(const httplib::Request& request, const std::string& fallback) {
    const std::string host = request.get_header_value("Host");
    const bool plain = !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == ':' ||
               c == '[' || c == ']';
    });
    return plain ? host : fallback;
}

/// The value of the sandbox's session cookie in the request, if this sandbox issued it.
std::optional<std::string> issuedSessionCookie(const httplib::Request& request,
                                               const detail::GatewayState& state) {
    const std::size_t count = request.get_header_value_count("Cookie");
    for (std::size_t index = 0; index < count; ++index) {
        const std::string header = request.get_header_value("Cookie", index);
        std::string_view rest = header;
        while (!rest.empty()) {
            const std::size_t end = std::min(rest.find(';'), rest.size());
            const std::string_view pair = detail::trim(rest.substr(0, end));
            rest.remove_prefix(std::min(end + 1, rest.size()));
            const std::size_t equals = pair.find('=');
            if (equals == std::string_view::npos ||
                pair.substr(0, equals) != SandboxGateway::kSessionCookieName) {
                continue;
            }
            std::string value(pair.substr(equals + 1));
            if (state.issuedSessionCookie(value)) {
                return value;
            }
        }
    }
    return std::nullopt;
}

/// The header fields as they arrived; httplib's own map (sorted, with the fields it adds
/// itself) only if the raw head is not at hand.
std::vector<std::pair<std::string, std::string>> receivedHeaders(const httplib::Request& request) {
    if (auto headers = detail::TlsServer::currentRequestHeaders()) {
        return std::move(*headers);
    }
    std::vector<std::pair<std::string, std::string>> headers;
    for (const auto& [name, value] : request.headers) {
        if (name != "REMOTE_ADDR" && name != "REMOTE_PORT" && name != "LOCAL_ADDR" &&
            name != "LOCAL_PORT") {
            headers.emplace_back(name, value);
        }
    }
    return headers;
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

struct SandboxGateway::Impl {
    explicit Impl(Options options) : options(std::move(options)) {}

    using Service = void (*)(Exchange&);

    /// Wraps a service: records the request, then lets the service answer.
    httplib::Server::Handler handler(Service service) {
        return [this, service](const httplib::Request& request, httplib::Response& response) {
            std::optional<std::string> cookie = issuedSessionCookie(request, state);
            state.record({request.method, request.path, receivedHeaders(request), request.body,
                          cookie.has_value()});
            Exchange exchange{state, request, response, std::move(cookie),
                              authorityOf(request, withPort(options.host, boundPort))};
            service(exchange);
        };
    }

    void route(httplib::Server& server) {
        server.Post(std::string(kDirectPaymentPath), handler(detail::serveDirectPayment));
        server.Post(std::string(kSignaturePath), handler(detail::serveSignature));
        server.Post(std::string(kPaymentPagePath), handler(detail::servePaymentPage));
        server.Get(std::string(kPaymentPagePath), handler(detail::servePaymentPage));
        server.Post(std::string(detail::kCardFormPath), handler(detail::serveCardForm));
        server.Get(std::string(detail::kReturnPagePrefix) + "[^/]*",
                   handler(detail::serveReturnPage));
        // Everything else, last because routes are tried in order.
        server.Get(".*", handler(detail::serveNotFound));
        server.Post(".*", handler(detail::serveNotFound));
        server.Put(".*", handler(detail::serveNotFound));
        server.Patch(".*", handler(detail::serveNotFound));
        server.Delete(".*", handler(detail::serveNotFound));
        server.Options(".*", handler(detail::serveNotFound));
    }

    void log(const httplib::Request& request, const httplib::Response& response) const {
        // Method, path and status only: bodies, queries and headers may hold card data.
        std::lock_guard lock(logMutex);
        if (detail::TlsServer::currentConnectionAbandoned()) {
            std::printf("sandbox: %s %s closed without an answer\n", request.method.c_str(),
                        request.path.c_str());
        } else {
            std::printf("sandbox: %s %s %d\n", request.method.c_str(), request.path.c_str(),
                        response.status);
        }
        std::fflush(stdout);
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

    /// Waits until the accept loop runs; false if it ended or did not start in time.
    bool waitUntilListening(std::chrono::milliseconds timeout) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!server->is_running()) {
            if (listenerDone || std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    void shutDown() {
        state.setStopping(true);
        // httplib's stop() acts only on a running accept loop, so wait for it to run or end.
        while (!server->is_running() && !listenerDone) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        server->stop();
        listener.join();
        server.reset();
        boundPort = 0;
    }

    Options options;
    detail::GatewayState state;
    std::optional<detail::ServerCredentials> credentials;
    std::unique_ptr<detail::TlsServer> server;
    std::thread listener;
    std::atomic<bool> listenerDone{false};
    int boundPort = 0;
    std::string error;
    mutable std::mutex lifecycleMutex;
    mutable std::mutex logMutex;
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
    auto server = std::make_unique<detail::TlsServer>(impl.credentials->certificate.get(),
                                                      impl.credentials->key.get());
    if (!server->is_valid()) {
        impl.error = "the TLS context could not take the certificate and key";
        return false;
    }
    const std::size_t threads = std::max<std::size_t>(impl.options.threads, 1);
    server->new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    // SO_REUSEADDR only: httplib's default adds SO_REUSEPORT, which would let a second sandbox
    // bind the same port and share its connections with the first.
    server->set_socket_options([](socket_t sock) {
        const int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server->set_keep_alive_max_count(kRequestsPerConnection);
    // Generous limits for reading a request and writing an answer: dozens of clients at once on a
    // loaded (or sanitised) test machine can take seconds over a TLS handshake.
    server->set_read_timeout(30, 0);
    server->set_write_timeout(30, 0);
    server->set_payload_max_length(1024 * 1024);
    impl.route(*server);
    if (impl.options.logRequests) {
        server->set_logger(
            [&impl](const httplib::Request& request, const httplib::Response& response) {
                impl.log(request, response);
            });
    }
    int port = impl.options.port;
    if (port == 0) {
        port = server->bind_to_any_port(impl.options.host);
    } else if (!server->bind_to_port(impl.options.host, port)) {
        port = -1;
    }
    if (port <= 0) {
        impl.error = "cannot listen on " + withPort(impl.options.host, impl.options.port);
        return false;
    }
    server->widenListenBacklog();
    impl.state.setStopping(false);
    impl.boundPort = port;
    impl.server = std::move(server);
    impl.listenerDone = false;
    impl.listener = std::thread([server = impl.server.get(), &done = impl.listenerDone] {
        // The worker threads inherit this mask: a write to a connection the client has closed
        // then fails with EPIPE instead of raising SIGPIPE, which would end the process.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        server->listen_after_bind();
        done = true;
    });
    if (!impl.waitUntilListening(kStartTimeout)) {
        impl.error = "the server did not start accepting connections";
        impl.shutDown();
        return false;
    }
    return true;
}

void SandboxGateway::stop() {
    std::lock_guard lock(impl_->lifecycleMutex);
    Impl& impl = *impl_;
    if (!impl.server) {
        return;
    }
    impl.shutDown();
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
}

}  // namespace vanto::sandbox
