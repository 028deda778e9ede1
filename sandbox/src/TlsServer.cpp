#include "TlsServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <functional>

#include <openssl/ssl.h>

#include "Text.h"

namespace vanto::sandbox::detail {

namespace {

// A request head longer than this is not kept for the recording (httplib refuses far shorter
// ones anyway).
constexpr std::size_t kMaxKeptHead = 64 * 1024;
// How often a connection waiting for its next request looks whether the server is stopping.
constexpr int kStopCheckMilliseconds = 50;

bool waitForSocket(socket_t sock, short events, int timeoutMilliseconds) {
    pollfd descriptor{sock, events, 0};
    for (;;) {
        const int ready = ::poll(&descriptor, 1, timeoutMilliseconds);
        if (ready >= 0) {
            return ready > 0;
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

void describeAddress(const sockaddr_storage& address, std::string& ip, int& port) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        port = ntohs(v6.sin6_port);
    }
    ip = text;
}

void setSocketOptions(socket_t sock, time_t readSeconds, time_t writeSeconds) {
    // Answers go out in more than one write (head, then body); without TCP_NODELAY the second
    // waits for the client's delayed acknowledgement, some 40 ms on every exchange.
    const int yes = 1;
    setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    timeval readTimeout{readSeconds, 0};
    timeval writeTimeout{writeSeconds, 0};
    setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &readTimeout, sizeof readTimeout);
    setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, &writeTimeout, sizeof writeTimeout);
}

/// One accepted TLS connection, seen by httplib as its stream.
class Connection final : public httplib::Stream {
  public:
    Connection(socket_t sock, SSL* ssl, time_t readTimeoutSeconds, time_t writeTimeoutSeconds)
        : sock_(sock),
          ssl_(ssl),
          readTimeoutMilliseconds_(static_cast<int>(readTimeoutSeconds * 1000)),
          writeTimeoutMilliseconds_(static_cast<int>(writeTimeoutSeconds * 1000)) {}

    bool is_readable() const override {
        return SSL_pending(ssl_) > 0 || waitForSocket(sock_, POLLIN, readTimeoutMilliseconds_);
    }

    bool is_writable() const override {
        return abandoned_ || waitForSocket(sock_, POLLOUT, writeTimeoutMilliseconds_);
    }

    ssize_t read(char* ptr, size_t size) override {
        if (size == 0) {
            return 0;
        }
        if (!is_readable()) {
            return -1;
        }
        const int count = SSL_read(ssl_, ptr, static_cast<int>(std::min<size_t>(size, INT_MAX)));
        if (count <= 0) {
            return SSL_get_error(ssl_, count) == SSL_ERROR_ZERO_RETURN ? 0 : -1;
        }
        keepHead(ptr, static_cast<std::size_t>(count));
        return count;
    }

    ssize_t write(const char* ptr, size_t size) override {
        if (abandoned_) {
            return static_cast<ssize_t>(size);  // the answer is dropped, not sent
        }
        if (truncating_) {
            // Only the head of the answer goes out; the connection is abandoned at its end.
            answerHead_.append(ptr, size);
            const std::size_t end = answerHead_.find("\r\n\r\n");
            if (end == std::string::npos) {
                return sendAll(ptr, size) ? static_cast<ssize_t>(size) : -1;
            }
            const std::size_t keep = size - (answerHead_.size() - (end + 4));
            abandoned_ = true;
            return sendAll(ptr, keep) ? static_cast<ssize_t>(size) : -1;
        }
        if (size == 0) {
            return 0;
        }
        if (!waitForSocket(sock_, POLLOUT, writeTimeoutMilliseconds_)) {
            return -1;
        }
        const int count = SSL_write(ssl_, ptr, static_cast<int>(std::min<size_t>(size, INT_MAX)));
        return count > 0 ? count : -1;
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (getpeername(sock_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            describeAddress(address, ip, port);
        }
    }

    void get_local_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (getsockname(sock_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            describeAddress(address, ip, port);
        }
    }

    socket_t socket() const override { return sock_; }

    /// Waits until the next request starts to arrive; false when the client goes quiet for
    /// `keepAliveSeconds`, closes, or `stopping` becomes true.
    bool waitForNextRequest(time_t keepAliveSeconds, const std::function<bool()>& stopping) const {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::seconds(keepAliveSeconds);
        while (!stopping()) {
            if (SSL_pending(ssl_) > 0 || waitForSocket(sock_, POLLIN, kStopCheckMilliseconds)) {
                return true;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
        }
        return false;
    }

    void beginRequest() {
        head_.clear();
        headComplete_ = false;
    }

    std::vector<std::pair<std::string, std::string>> headerFields() const {
        std::vector<std::pair<std::string, std::string>> fields;
        std::string_view rest = head_;
        bool requestLine = true;
        while (!rest.empty()) {
            const std::size_t end = std::min(rest.find('\n'), rest.size());
            std::string_view line = rest.substr(0, end);
            rest.remove_prefix(std::min(end + 1, rest.size()));
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
            if (requestLine) {
                requestLine = false;
                continue;
            }
            if (line.empty()) {
                break;
            }
            const std::size_t colon = line.find(':');
            if (colon != std::string_view::npos) {
                fields.emplace_back(std::string(line.substr(0, colon)),
                                    std::string(trim(line.substr(colon + 1))));
            }
        }
        return fields;
    }

    void abandon() { abandoned_ = true; }
    void truncate() { truncating_ = true; }
    bool abandoned() const { return abandoned_; }

  private:
    bool sendAll(const char* data, std::size_t size) {
        while (size > 0) {
            if (!waitForSocket(sock_, POLLOUT, writeTimeoutMilliseconds_)) {
                return false;
            }
            const int count =
                SSL_write(ssl_, data, static_cast<int>(std::min<size_t>(size, INT_MAX)));
            if (count <= 0) {
                return false;
            }
            data += count;
            size -= static_cast<std::size_t>(count);
        }
        return true;
    }

    // httplib reads the request line and header fields one byte at a time and the body after
    // them; only the bytes up to the blank line that ends the head are kept.
    void keepHead(const char* data, std::size_t size) {
        if (headComplete_) {
            return;
        }
        head_.append(data, std::min(size, kMaxKeptHead - std::min(head_.size(), kMaxKeptHead)));
        for (const std::string_view end : {"\r\n\r\n", "\n\n"}) {
            const std::size_t at = head_.find(end);
            if (at != std::string::npos) {
                head_.resize(at + end.size());
                headComplete_ = true;
                return;
            }
        }
        headComplete_ = head_.size() >= kMaxKeptHead;
    }

    socket_t sock_;
    SSL* ssl_;
    int readTimeoutMilliseconds_;
    int writeTimeoutMilliseconds_;
    std::string head_;
    bool headComplete_ = false;
    bool abandoned_ = false;
    bool truncating_ = false;
    std::string answerHead_;
};

thread_local Connection* currentConnection = nullptr;

/// Makes a connection the current one of this thread for as long as it is served.
class CurrentConnectionScope {
  public:
    explicit CurrentConnectionScope(Connection* connection) { currentConnection = connection; }
    ~CurrentConnectionScope() { currentConnection = nullptr; }
    CurrentConnectionScope(const CurrentConnectionScope&) = delete;
    CurrentConnectionScope& operator=(const CurrentConnectionScope&) = delete;
};

}  // namespace

TlsServer::TlsServer(X509* certificate, EVP_PKEY* key) : httplib::SSLServer(certificate, key) {}

bool TlsServer::abandonCurrentConnection() {
    if (currentConnection == nullptr) {
        return false;
    }
    currentConnection->abandon();
    return true;
}

bool TlsServer::truncateCurrentAnswer() {
    if (currentConnection == nullptr) {
        return false;
    }
    currentConnection->truncate();
    return true;
}

std::optional<std::vector<std::pair<std::string, std::string>>> TlsServer::currentRequestHeaders() {
    if (currentConnection == nullptr) {
        return std::nullopt;
    }
    return currentConnection->headerFields();
}

bool TlsServer::currentConnectionAbandoned() {
    return currentConnection != nullptr && currentConnection->abandoned();
}

void TlsServer::widenListenBacklog() {
    // Calling listen() again on a listening socket only changes its backlog.
    ::listen(svr_sock_, SOMAXCONN);
}

bool TlsServer::serverStopped() const {
    return svr_sock_ == INVALID_SOCKET;
}

bool TlsServer::process_and_close_socket(socket_t sock) {
    // Blocking reads and writes, the TLS handshake included, give up after the timeouts.
    setSocketOptions(sock, read_timeout_sec_, write_timeout_sec_);
    SSL* ssl = SSL_new(ssl_context());
    bool served = false;
    bool closeGracefully = false;
    if (ssl != nullptr && SSL_set_fd(ssl, sock) == 1 && SSL_accept(ssl) == 1) {
        Connection connection(sock, ssl, read_timeout_sec_, write_timeout_sec_);
        CurrentConnectionScope scope(&connection);
        const auto stopping = [this] { return serverStopped(); };
        for (std::size_t remaining = keep_alive_max_count_;
             remaining > 0 && connection.waitForNextRequest(keep_alive_timeout_sec_, stopping);
             --remaining) {
            connection.beginRequest();
            bool connectionClosed = false;
            served = process_request(connection, remaining == 1, connectionClosed,
                                     [ssl](httplib::Request& request) { request.ssl = ssl; });
            if (!served || connectionClosed || connection.abandoned()) {
                break;
            }
        }
        closeGracefully = served && !connection.abandoned();
    }
    if (ssl != nullptr) {
        if (closeGracefully) {
            SSL_shutdown(ssl);
        }
        SSL_free(ssl);
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return served;
}

}  // namespace vanto::sandbox::detail
