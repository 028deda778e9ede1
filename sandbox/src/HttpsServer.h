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
    /// The body announced is longer than the server reads: `body` is empty and the connection
    /// closes after the answer.
    bool bodyTooLarge = false;

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
    Delivery delivery = Delivery::complete;
    /// Close the connection once the answer is out.
    bool closeConnection = false;

    /// Sets the body and its Content-Type.
    void setContent(std::string content, std::string_view contentType);
    /// Sets a header field, replacing one of the same name.
    void setHeader(std::string_view name, std::string value);
    /// Adds a header field after the others, even when one of the same name is there.
    void addHeader(std::string_view name, std::string value);
};

struct HttpsServerSettings {
    /// Connections served at the same time.
    std::size_t threads = 48;
    /// How long a request may take to arrive once it has started, and an answer to leave.
    std::chrono::seconds readTimeout{30};
    std::chrono::seconds writeTimeout{30};
    /// How long a kept-alive connection waits for its next request.
    std::chrono::seconds keepAliveTimeout{5};
    std::size_t requestsPerConnection = 100;
    /// Longest body the server reads; a longer one reaches the handler as bodyTooLarge.
    std::size_t maxBodyBytes = 1024 * 1024;
};

/// A small HTTP/1.1 server over TLS, written for the sandbox so that its handlers can decide
/// everything a gateway under test may do: answer normally, send only the head of an answer,
/// or drop the connection without a byte; and so that requests keep their header fields in
/// the order they arrived.
///
/// It reads requests with a Content-Length body (a "Transfer-Encoding" is answered 501),
/// honours "Expect: 100-continue" and keep-alive, and calls the handler on a pool of worker
/// threads, one connection per thread. Every wait is bounded by a timeout and ends at once when
/// the server stops.
class HttpsServer {
  public:
    using Handler = std::function<void(const HttpRequest&, HttpResponse&)>;
    /// Called after each answer has gone out (or been dropped).
    using Logger = std::function<void(const HttpRequest&, const HttpResponse&)>;

    HttpsServer(HttpsServerSettings settings, Handler handler, Logger logger);
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
