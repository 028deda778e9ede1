#include "HttpsServer.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include "Text.h"

namespace vanto::sandbox::detail {

namespace {

using Clock = std::chrono::steady_clock;

// A request head (request line and header fields) longer than this is refused.
constexpr std::size_t kMaxHeadBytes = 64 * 1024;
constexpr std::size_t kReadChunk = 16 * 1024;
// When the server ends a connection, it reads and drops what the client still sends, for this
// long at most, so that the client gets to read the answer before the connection closes (a
// close with unread data would reset the connection and could destroy the answer in transit).
constexpr auto kLingerTime = std::chrono::seconds(2);
constexpr std::size_t kMostLingerBytes = 64 * 1024 * 1024;
// How long the acceptor waits before accepting again when the system refuses a new socket.
constexpr int kAcceptRetryMilliseconds = 50;

struct SslContextFree {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};

int millisecondsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

std::string_view reasonPhrase(int status) {
    switch (status) {
        case 100:
            return "Continue";
        case 200:
            return "OK";
        case 204:
            return "No Content";
        case 303:
            return "See Other";
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 431:
            return "Request Header Fields Too Large";
        case 500:
            return "Internal Server Error";
        case 501:
            return "Not Implemented";
        case 502:
            return "Bad Gateway";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
    }
}

/// Whether a comma-separated header value lists `token` (compared without regard to case).
bool listsToken(const std::vector<std::string>& values, std::string_view token) {
    for (const std::string& value : values) {
        std::string_view rest = value;
        while (!rest.empty()) {
            const std::size_t end = std::min(rest.find(','), rest.size());
            if (equalsIgnoringCase(trim(rest.substr(0, end)), token)) {
                return true;
            }
            rest.remove_prefix(std::min(end + 1, rest.size()));
        }
    }
    return false;
}

/// Where the head in `buffer` ends (after its blank line), if it is complete.
std::optional<std::size_t> headEnd(std::string_view buffer) {
    const std::size_t crlf = buffer.find("\r\n\r\n");
    const std::size_t lf = buffer.find("\n\n");
    std::size_t end = crlf == std::string_view::npos ? crlf : crlf + 4;
    if (lf != std::string_view::npos) {
        end = std::min(end, lf + 2);
    }
    return end == std::string_view::npos ? std::nullopt : std::optional<std::size_t>(end);
}

bool isToken(std::string_view text) {
    return !text.empty() && std::none_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F || c == ':';
    });
}

/// Reads the request line and the header fields; false when they are malformed.
bool parseHead(std::string_view head, HttpRequest& request, std::string& version) {
    bool requestLine = true;
    while (!head.empty()) {
        const std::size_t end = std::min(head.find('\n'), head.size());
        std::string_view line = head.substr(0, end);
        head.remove_prefix(std::min(end + 1, head.size()));
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (requestLine) {
            requestLine = false;
            const std::size_t first = line.find(' ');
            const std::size_t second = line.find(' ', first + 1);
            if (first == std::string_view::npos || second == std::string_view::npos) {
                return false;
            }
            request.method = std::string(line.substr(0, first));
            const std::string_view target = line.substr(first + 1, second - first - 1);
            version = std::string(line.substr(second + 1));
            if (!isToken(request.method) || !target.starts_with('/') ||
                target.find_first_of(" \t") != std::string_view::npos ||
                (version != "HTTP/1.1" && version != "HTTP/1.0")) {
                return false;
            }
            const std::size_t question = std::min(target.find('?'), target.size());
            request.path = percentDecode(target.substr(0, question));
            request.query = std::string(target.substr(std::min(question + 1, target.size())));
            continue;
        }
        if (line.empty()) {
            break;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || !isToken(line.substr(0, colon))) {
            return false;  // no name, or a folded continuation line
        }
        request.headers.emplace_back(std::string(line.substr(0, colon)),
                                     std::string(trim(line.substr(colon + 1))));
    }
    return !requestLine;
}

/// The Content-Length of the request: 0 without one, nullopt when unreadable or ambiguous.
std::optional<std::size_t> contentLength(const HttpRequest& request) {
    const std::vector<std::string> values = request.headerValues("Content-Length");
    std::optional<std::size_t> length =
        values.empty() ? std::optional<std::size_t>(0) : std::nullopt;
    for (const std::string& value : values) {
        if (!isDigits(value) || value.size() > 15 || (length && std::stoull(value) != *length)) {
            return std::nullopt;
        }
        length = static_cast<std::size_t>(std::stoull(value));
    }
    return length;
}

std::string answerHead(const HttpResponse& response, std::size_t bodySize, bool closing) {
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " +
                       std::string(reasonPhrase(response.status)) + "\r\n";
    for (const auto& [name, value] : response.headers) {
        std::string clean = value;
        // A line break in a value would start a header field the handler never set.
        std::replace_if(
            clean.begin(), clean.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
        head += name + ": " + clean + "\r\n";
    }
    if (response.status != 204) {
        head += "Content-Length: " + std::to_string(bodySize) + "\r\n";
    }
    if (closing) {
        head += "Connection: close\r\n";
    }
    return head + "\r\n";
}

/// What came off a connection when the server waited for a request.
struct Incoming {
    enum class Kind {
        request,
        /// Unreadable: answered with `errorStatus` and the connection closed.
        malformed,
        /// The client closed, went quiet between requests, or the server is stopping.
        ended,
        /// The connection broke off in the middle of a request.
        broken,
    };
    Kind kind = Kind::ended;
    HttpRequest request;
    int errorStatus = 400;
    bool keepAlive = true;
};

/// One accepted TLS connection on a non-blocking socket. Every wait also watches `stopFd`,
/// which becomes readable when the server stops.
class Connection {
  public:
    Connection(int fd, SSL* ssl, int stopFd, const HttpsServerSettings& settings)
        : fd_(fd), ssl_(ssl), stopFd_(stopFd), settings_(settings) {}

    bool handshake() {
        const auto deadline = Clock::now() + settings_.readTimeout;
        for (;;) {
            ERR_clear_error();
            const int result = SSL_accept(ssl_);
            if (result == 1) {
                return true;
            }
            if (!waitAfter(result, deadline)) {
                return false;
            }
        }
    }

    Incoming nextRequest(bool first) {
        Incoming incoming;
        dropLeadingLineBreaks();
        if (buffer_.empty()) {
            const auto idle = first ? settings_.readTimeout : settings_.keepAliveTimeout;
            if (readMore(Clock::now() + idle) <= 0) {
                return incoming;  // ended
            }
            dropLeadingLineBreaks();
        }
        const auto deadline = Clock::now() + settings_.readTimeout;
        std::optional<std::size_t> end;
        while (!(end = headEnd(buffer_)) && buffer_.size() <= kMaxHeadBytes) {
            if (readMore(deadline) <= 0) {
                incoming.kind = Incoming::Kind::broken;
                return incoming;
            }
        }
        incoming.kind = Incoming::Kind::malformed;
        if (!end || *end > kMaxHeadBytes) {
            incoming.errorStatus = 431;
            return incoming;
        }
        std::string version;
        const bool readable =
            parseHead(std::string_view(buffer_).substr(0, *end), incoming.request, version);
        buffer_.erase(0, *end);
        if (!readable) {
            return incoming;
        }
        HttpRequest& request = incoming.request;
        const std::vector<std::string> connection = request.headerValues("Connection");
        incoming.keepAlive = version == "HTTP/1.1" ? !listsToken(connection, "close")
                                                   : listsToken(connection, "keep-alive");
        if (!request.headerValues("Transfer-Encoding").empty()) {
            incoming.errorStatus = 501;  // only bodies with a Content-Length are read
            return incoming;
        }
        const std::optional<std::size_t> length = contentLength(request);
        if (!length) {
            return incoming;
        }
        incoming.kind = Incoming::Kind::request;
        if (*length > settings_.maxBodyBytes) {
            request.bodyTooLarge = true;
            return incoming;
        }
        if (buffer_.size() < *length &&
            equalsIgnoringCase(request.header("Expect"), "100-continue") &&
            !send("HTTP/1.1 100 Continue\r\n\r\n")) {
            incoming.kind = Incoming::Kind::broken;
            return incoming;
        }
        while (buffer_.size() < *length) {
            if (readMore(deadline) <= 0) {
                incoming.kind = Incoming::Kind::broken;
                return incoming;
            }
        }
        request.body = buffer_.substr(0, *length);
        buffer_.erase(0, *length);
        return incoming;
    }

    bool send(std::string_view data) {
        const auto deadline = Clock::now() + settings_.writeTimeout;
        while (!data.empty()) {
            ERR_clear_error();
            std::size_t written = 0;
            const int result = SSL_write_ex(ssl_, data.data(), data.size(), &written);
            if (result == 1) {
                data.remove_prefix(written);
            } else if (!waitAfter(result, deadline)) {
                return false;
            }
        }
        return true;
    }

    /// Sends the TLS close_notify, then, if the client may still be sending, reads and drops
    /// its bytes until it closes too (bounded in time and size).
    void closeGracefully(bool linger) {
        ERR_clear_error();
        if (SSL_shutdown(ssl_) < 0) {
            const auto deadline = Clock::now() + std::chrono::seconds(1);
            if (SSL_get_error(ssl_, -1) == SSL_ERROR_WANT_WRITE && waitFor(POLLOUT, deadline)) {
                ERR_clear_error();
                SSL_shutdown(ssl_);
            }
        }
        ::shutdown(fd_, SHUT_WR);
        if (linger) {
            const auto deadline = Clock::now() + kLingerTime;
            char scratch[kReadChunk];
            std::size_t dropped = 0;
            while (dropped < kMostLingerBytes && waitFor(POLLIN, deadline)) {
                const ssize_t count = ::recv(fd_, scratch, sizeof scratch, 0);
                if (count <= 0 && !(count < 0 && (errno == EINTR || errno == EAGAIN))) {
                    break;
                }
                dropped += count > 0 ? static_cast<std::size_t>(count) : 0;
            }
        }
    }

  private:
    /// Waits for what the failed TLS call `result` needs; false on an error, a timeout or stop.
    bool waitAfter(int result, Clock::time_point deadline) {
        switch (SSL_get_error(ssl_, result)) {
            case SSL_ERROR_WANT_READ:
                return waitFor(POLLIN, deadline);
            case SSL_ERROR_WANT_WRITE:
                return waitFor(POLLOUT, deadline);
            default:
                return false;
        }
    }

    bool waitFor(short events, Clock::time_point deadline) const {
        for (;;) {
            pollfd descriptors[2] = {{fd_, events, 0}, {stopFd_, POLLIN, 0}};
            const int ready = ::poll(descriptors, 2, millisecondsUntil(deadline));
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            return ready > 0 && descriptors[1].revents == 0;
        }
    }

    /// Reads what has arrived into the buffer: the number of bytes, 0 at the end of the
    /// stream, -1 on an error, a timeout or stop.
    long readMore(Clock::time_point deadline) {
        char chunk[kReadChunk];
        for (;;) {
            ERR_clear_error();
            std::size_t count = 0;
            const int result = SSL_read_ex(ssl_, chunk, sizeof chunk, &count);
            if (result == 1) {
                buffer_.append(chunk, count);
                return static_cast<long>(count);
            }
            if (SSL_get_error(ssl_, result) == SSL_ERROR_ZERO_RETURN) {
                return 0;
            }
            if (!waitAfter(result, deadline)) {
                return -1;
            }
        }
    }

    // Blank lines between requests are allowed and skipped.
    void dropLeadingLineBreaks() {
        const std::size_t start = buffer_.find_first_not_of("\r\n");
        buffer_.erase(0, start == std::string::npos ? buffer_.size() : start);
    }

    int fd_;
    SSL* ssl_;
    int stopFd_;
    const HttpsServerSettings& settings_;
    std::string buffer_;
};

void closeSocket(int fd) {
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
}

}  // namespace

std::vector<std::string> HttpRequest::headerValues(std::string_view name) const {
    std::vector<std::string> values;
    for (const auto& [key, value] : headers) {
        if (equalsIgnoringCase(key, name)) {
            values.push_back(value);
        }
    }
    return values;
}

std::string HttpRequest::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (equalsIgnoringCase(key, name)) {
            return value;
        }
    }
    return "";
}

void HttpResponse::setContent(std::string content, std::string_view contentType) {
    body = std::move(content);
    setHeader("Content-Type", std::string(contentType));
}

void HttpResponse::setHeader(std::string_view name, std::string value) {
    for (auto& [key, existing] : headers) {
        if (equalsIgnoringCase(key, name)) {
            existing = std::move(value);
            return;
        }
    }
    addHeader(name, std::move(value));
}

void HttpResponse::addHeader(std::string_view name, std::string value) {
    headers.emplace_back(std::string(name), std::move(value));
}

struct HttpsServer::Impl {
    Impl(HttpsServerSettings settings, Handler handler, Logger logger)
        : settings(settings), handler(std::move(handler)), logger(std::move(logger)) {}

    bool makeContext(X509* certificate, EVP_PKEY* key, std::string& error) {
        context.reset(SSL_CTX_new(TLS_server_method()));
        if (!context || SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION) != 1 ||
            SSL_CTX_use_certificate(context.get(), certificate) != 1 ||
            SSL_CTX_use_PrivateKey(context.get(), key) != 1 ||
            SSL_CTX_check_private_key(context.get()) != 1) {
            error = "the TLS context could not take the certificate and key";
            return false;
        }
        SSL_CTX_set_mode(context.get(),
                         SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
        // Clients often close without a TLS close_notify; that is an end, not an error.
        SSL_CTX_set_options(context.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);
        return true;
    }

    bool bind(const std::string& host, int port, std::string& error) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
        addrinfo* addresses = nullptr;
        if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &addresses) != 0) {
            error = "cannot resolve " + host;
            return false;
        }
        for (const addrinfo* address = addresses; address != nullptr && listenFd < 0;
             address = address->ai_next) {
            const int fd =
                ::socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                         address->ai_protocol);
            if (fd < 0) {
                continue;
            }
            // SO_REUSEADDR only: SO_REUSEPORT would let a second sandbox bind the same port
            // and share its connections with the first.
            const int yes = 1;
            ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
            if (::bind(fd, address->ai_addr, address->ai_addrlen) == 0 &&
                ::listen(fd, SOMAXCONN) == 0) {
                listenFd = fd;
            } else {
                ::close(fd);
            }
        }
        ::freeaddrinfo(addresses);
        if (listenFd < 0) {
            error = "cannot listen on " + host + " port " + std::to_string(port);
            return false;
        }
        sockaddr_storage bound{};
        socklen_t length = sizeof bound;
        ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&bound), &length);
        boundPort = bound.ss_family == AF_INET6
                        ? ntohs(reinterpret_cast<const sockaddr_in6&>(bound).sin6_port)
                        : ntohs(reinterpret_cast<const sockaddr_in&>(bound).sin_port);
        return true;
    }

    void acceptLoop() {
        for (;;) {
            pollfd descriptors[2] = {{listenFd, POLLIN, 0}, {stopPipe[0], POLLIN, 0}};
            if (::poll(descriptors, 2, -1) < 0 && errno != EINTR) {
                return;
            }
            if (descriptors[1].revents != 0) {
                return;
            }
            if ((descriptors[0].revents & POLLIN) == 0) {
                continue;
            }
            const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd >= 0) {
                std::lock_guard lock(mutex);
                waiting.push_back(fd);
                connectionWaiting.notify_one();
            } else if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of descriptors or memory: give the workers time to close some.
                pollfd stop{stopPipe[0], POLLIN, 0};
                ::poll(&stop, 1, kAcceptRetryMilliseconds);
            }
        }
    }

    void workLoop() {
        for (;;) {
            int fd = -1;
            {
                std::unique_lock lock(mutex);
                connectionWaiting.wait(lock, [this] { return stopping || !waiting.empty(); });
                if (stopping) {
                    return;
                }
                fd = waiting.front();
                waiting.pop_front();
            }
            serve(fd);
        }
    }

    void serve(int fd) {
        const int yes = 1;
        // Answers may leave in more than one write; without TCP_NODELAY the second would wait
        // for the client's delayed acknowledgement, some 40 ms on every exchange.
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        SSL* ssl = SSL_new(context.get());
        if (ssl == nullptr || SSL_set_fd(ssl, fd) != 1) {
            SSL_free(ssl);
            closeSocket(fd);
            return;
        }
        Connection connection(fd, ssl, stopPipe[0], settings);
        const Closing closing =
            connection.handshake() ? serveRequests(connection) : Closing::abruptly;
        if (closing != Closing::abruptly) {
            connection.closeGracefully(closing == Closing::lingering);
        }
        SSL_free(ssl);
        closeSocket(fd);
    }

    enum class Closing { gracefully, lingering, abruptly };

    Closing serveRequests(Connection& connection) {
        for (std::size_t served = 0; served < settings.requestsPerConnection; ++served) {
            Incoming incoming = connection.nextRequest(served == 0);
            if (incoming.kind == Incoming::Kind::ended) {
                return Closing::gracefully;
            }
            if (incoming.kind == Incoming::Kind::broken) {
                return Closing::abruptly;
            }
            HttpRequest& request = incoming.request;
            HttpResponse response;
            if (incoming.kind == Incoming::Kind::malformed) {
                response.status = incoming.errorStatus;
                response.setContent("Petición HTTP incorrecta\n", "text/plain; charset=utf-8");
                response.closeConnection = true;
            } else {
                handle(request, response);
            }
            const bool last = response.closeConnection || request.bodyTooLarge ||
                              !incoming.keepAlive || served + 1 == settings.requestsPerConnection;
            const bool sent = deliver(connection, request, response, last);
            if (logger) {
                logger(request, response);
            }
            if (!sent || response.delivery != HttpResponse::Delivery::complete) {
                return Closing::abruptly;
            }
            if (last) {
                return Closing::lingering;
            }
        }
        return Closing::lingering;
    }

    void handle(const HttpRequest& request, HttpResponse& response) {
        try {
            handler(request, response);
        } catch (...) {  // the random generator failed: the request cannot be served
            response = HttpResponse();
            response.status = 500;
            response.setContent("Error interno de la pasarela de pruebas\n",
                                "text/plain; charset=utf-8");
        }
        if (response.status < 200 || response.status > 599) {
            response.status = 500;  // a 1xx would leave the client waiting for the real answer
        }
    }

    static bool deliver(Connection& connection, const HttpRequest& request,
                        const HttpResponse& response, bool closing) {
        const bool bodyAllowed = response.status != 204 && response.status != 304;
        const std::size_t bodySize = bodyAllowed ? response.body.size() : 0;
        switch (response.delivery) {
            case HttpResponse::Delivery::none:
                return true;
            case HttpResponse::Delivery::headOnly:
                return connection.send(answerHead(response, bodySize, closing));
            case HttpResponse::Delivery::complete:
                break;
        }
        std::string answer = answerHead(response, bodySize, closing);
        if (request.method != "HEAD" && bodyAllowed) {
            answer += response.body;
        }
        return connection.send(answer);
    }

    HttpsServerSettings settings;
    Handler handler;
    Logger logger;
    std::unique_ptr<SSL_CTX, SslContextFree> context;
    int listenFd = -1;
    int boundPort = 0;
    int stopPipe[2] = {-1, -1};
    std::mutex mutex;
    std::condition_variable connectionWaiting;
    std::deque<int> waiting;
    bool stopping = false;
    std::thread acceptor;
    std::vector<std::thread> workers;
};

HttpsServer::HttpsServer(HttpsServerSettings settings, Handler handler, Logger logger)
    : impl_(std::make_unique<Impl>(settings, std::move(handler), std::move(logger))) {}

HttpsServer::~HttpsServer() {
    stop();
}

bool HttpsServer::listen(const std::string& host, int port, X509* certificate, EVP_PKEY* key,
                         std::string& error) {
    Impl& impl = *impl_;
    if (!impl.makeContext(certificate, key, error) || !impl.bind(host, port, error)) {
        return false;
    }
    if (::pipe2(impl.stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = "cannot make the server's stop signal";
        return false;
    }
    return true;
}

void HttpsServer::start() {
    Impl& impl = *impl_;
    // The threads inherit this mask: a write to a connection the client has closed then fails
    // with EPIPE instead of raising SIGPIPE, which would end the process.
    sigset_t pipe;
    sigset_t previous;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, &previous);
    impl.acceptor = std::thread([&impl] { impl.acceptLoop(); });
    for (std::size_t index = 0; index < std::max<std::size_t>(impl.settings.threads, 1); ++index) {
        impl.workers.emplace_back([&impl] { impl.workLoop(); });
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void HttpsServer::stop() {
    Impl& impl = *impl_;
    if (impl.stopPipe[1] >= 0) {
        const char stop = 1;
        [[maybe_unused]] const ssize_t written = ::write(impl.stopPipe[1], &stop, 1);
    }
    {
        std::lock_guard lock(impl.mutex);
        impl.stopping = true;
    }
    impl.connectionWaiting.notify_all();
    if (impl.acceptor.joinable()) {
        impl.acceptor.join();
    }
    for (std::thread& worker : impl.workers) {
        worker.join();
    }
    impl.workers.clear();
    for (const int fd : impl.waiting) {
        closeSocket(fd);
    }
    impl.waiting.clear();
    for (int* fd : {&impl.listenFd, &impl.stopPipe[0], &impl.stopPipe[1]}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

int HttpsServer::port() const {
    return impl_->boundPort;
}

}  // namespace vanto::sandbox::detail
