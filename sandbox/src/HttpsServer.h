#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <openssl/evp.h>
#include <openssl/x509.h>

namespace vanto::sandbox::detail {

using HeaderFields = std::vector<std::pair<std::string, std::string>>;

/// One request as it came off the connection.
struct HttpRequest {
    std::string method;
    /// The path, percent-decoded, without the query.
    std::string path;
    /// The query as sent (what follows "?"), not decoded; "" when there is none.
    std::string query;
    /// The header fields in the order they arrived, names as sent.
    HeaderFields headers;
    std::string body;
    /// The body is longer than the server keeps: `body` is empty and the connection closes after
    /// the answer.
    bool bodyTooLarge = false;
    /// The connection's TLS session was resumed from an earlier one, not made by a full handshake.
    bool resumedTls = false;

    /// The values of every field with this name (compared without regard to case), in order.
    std::vector<std::string> headerValues(std::string_view name) const;
    /// The value of the first field with this name, or "".
    std::string header(std::string_view name) const;
};

/// The answer to a request, and what becomes of the connection.
struct HttpResponse {
    enum class Delivery {
        /// The whole answer goes out.
        complete,
        /// Only the status line and header fields go out (the Content-Length of the whole body
        /// among them); then the connection closes.
        headOnly,
        /// Nothing goes out: the connection closes without any answer.
        none,
    };

    int status = 200;
    /// Header fields in the order they are sent; the server adds Content-Length and, when it
    /// closes the connection, "Connection: close".
    HeaderFields headers;
    std::string body;
    /// When set, the body is made piece by piece as it goes out (chunked) instead of `body`:
    /// each call puts the next piece in `piece`, false once there is none. An answer of any
    /// length then takes the memory of one piece.
    std::function<bool(std::string& piece)> stream;
    Delivery delivery = Delivery::complete;
    /// Close the connection once the answer is out.
    bool closeConnection = false;
    /// How long the answer is held before it leaves (a delay fault). Other connections are
    /// served meanwhile; when the server stops, a held answer is dropped as Delivery::none.
    std::chrono::milliseconds delay{0};

    /// Sets the body and its Content-Type.
    void setContent(std::string content, std::string_view contentType);
    /// Sets a header field, replacing one of the same name.
    void setHeader(std::string_view name, std::string value);
    /// Adds a header field after the others, even when one of the same name is there.
    void addHeader(std::string_view name, std::string value);
};

/// What the server asks of the application it serves. Called on the server's threads, for
/// different connections at once.
class HttpService {
  public:
    virtual ~HttpService() = default;
    /// Whether the body of a request with this head (its body still unread) is kept for
    /// handle(); one that is not is read and dropped, and handle() sees it empty.
    virtual bool keepsBody(const HttpRequest& head) = 0;
    /// Makes the answer. It must not wait: a delay goes into HttpResponse::delay.
    virtual void handle(const HttpRequest& request, HttpResponse& response) = 0;
    /// The answer has gone out, or has been dropped as its delivery says.
    virtual void answered(const HttpRequest& request, const HttpResponse& response) = 0;
    /// The answer is being held for its delay.
    virtual void held(const HttpRequest& request, std::chrono::milliseconds delay) = 0;
    /// A connection was closed at once because `open` connections are already being served.
    virtual void refused(std::size_t open) = 0;
};

struct HttpsServerSettings {
    /// Threads that run every connection's I/O; a connection that waits takes none of them.
    std::size_t threads = 2;
    /// Connections served at the same time; the acceptor closes any beyond at once.
    std::size_t maxConnections = 512;
    /// How long the TLS handshake, a request's head (the first, and each next one on a
    /// kept-alive connection), its body and an answer may take, each as a whole.
    std::chrono::seconds handshakeTimeout{10};
    std::chrono::seconds headTimeout{10};
    std::chrono::seconds keepAliveTimeout{5};
    std::chrono::seconds bodyTimeout{30};
    std::chrono::seconds writeTimeout{30};
    std::size_t requestsPerConnection = 100;
    /// Longest request head; a longer one is answered 431.
    std::size_t maxHeadBytes = 64 * 1024;
    /// Longest body kept; a longer one reaches the service as bodyTooLarge.
    std::size_t maxBodyBytes = 1024 * 1024;
};

/// An HTTP/1.1 server over TLS on Boost.Beast, for the sandbox: its services can answer
/// normally, hold an answer for a while, send only the head of an answer or drop the connection
/// without a byte, and requests keep their header fields in the order they arrived.
///
/// Every connection is asynchronous: one that idles, trickles its bytes or waits for a held
/// answer takes no thread. Each stage has its own time limit, and stop() ends every connection at
/// once, held answers included, without answering them.
class HttpsServer {
  public:
    explicit HttpsServer(HttpsServerSettings settings, HttpService& service);
    /// Stops the server if it runs.
    ~HttpsServer();
    HttpsServer(const HttpsServer&) = delete;
    HttpsServer& operator=(const HttpsServer&) = delete;

    /// Makes the TLS context from the certificate and key and listens on `host`:`port` (0 for
    /// a free port). False, with `error` set, when either fails.
    bool listen(const std::string& host, int port, X509* certificate, EVP_PKEY* key,
                std::string& error);
    /// Starts accepting and serving connections, after a successful listen().
    void start();
    /// Stops accepting, ends every connection and joins every thread. Idempotent.
    void stop();
    /// The port being served.
    int port() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vanto::sandbox::detail
