#include "HttpsServer.h"

#include <atomic>
#include <optional>
#include <thread>

#include <boost/asio/dispatch.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>

#include "Text.h"

namespace vanto::sandbox::detail {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

// A body that is too large to keep, or that goes to an unknown address, is still read and
// dropped up to this size, so that the connection does not close with unread bytes, which would
// reset it under the answer.
constexpr std::uint64_t kMostDroppedBodyBytes = 64 * 1024 * 1024;
// Bytes read at a time while blank lines before a request are skipped.
constexpr std::size_t kBlankLineReadBytes = 4096;
// How long a closing connection waits for the client's TLS close_notify.
constexpr auto kShutdownTimeout = std::chrono::seconds(2);
// How long the acceptor pauses when the system refuses a new socket (out of descriptors).
constexpr auto kAcceptRetry = std::chrono::milliseconds(50);

/// A body read and dropped: only its size is kept.
struct DroppedBody {
    using value_type = std::uint64_t;

    class reader {
      public:
        template <bool isRequest, class Fields>
        reader(http::header<isRequest, Fields>&, value_type& size) : size_(size) {}
        void init(const boost::optional<std::uint64_t>&, beast::error_code& error) { error = {}; }
        template <class Buffers>
        std::size_t put(const Buffers& buffers, beast::error_code& error) {
            error = {};
            const std::size_t size = asio::buffer_size(buffers);
            size_ += size;
            return size;
        }
        void finish(beast::error_code& error) { error = {}; }

      private:
        value_type& size_;
    };
};

/// What every connection of a server shares.
struct Shared {
    HttpsServerSettings settings;
    HttpService& service;
    asio::ssl::context tls{asio::ssl::context::tls_server};
    std::atomic<std::size_t> open{0};
};

/// A failure of the request's syntax, which is answered, rather than of the connection.
bool isSyntaxError(const beast::error_code& error) {
    return error.category() == http::make_error_code(http::error::bad_target).category() &&
           error != http::error::end_of_stream && error != http::error::partial_message &&
           error != http::error::need_more;
}

/// `value` with line breaks as spaces: a line break would start a header field nobody set.
std::string oneLine(std::string value) {
    std::replace_if(
        value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return value;
}

/// 400 for a body whose length the head gives twice or not at all, 501 for a transfer coding
/// the server does not know, 0 for a body it can frame. A request whose framing is in doubt is
/// refused rather than framed one way by the server and another by whatever relayed it.
int framingRefusal(const http::request_header<>& head) {
    const auto codings = head.equal_range(http::field::transfer_encoding);
    if (codings.first == codings.second) {
        return 0;
    }
    if (head.count(http::field::content_length) > 0 || head.version() < 11) {
        return 400;
    }
    std::size_t chunked = 0;
    for (auto field = codings.first; field != codings.second; ++field) {
        for (const auto coding : http::token_list(field->value())) {
            if (!beast::iequals(coding, "chunked")) {
                return 501;
            }
            ++chunked;
        }
    }
    return chunked == 1 ? 0 : 400;
}

/// The answer as it goes on the wire, taking the response's body; for a HEAD request without it.
http::response<http::string_body> wireAnswer(HttpResponse& response, bool headRequest,
                                             bool closing) {
    http::response<http::string_body> answer;
    answer.result(static_cast<unsigned>(response.status));
    const beast::string_view reason = http::obsolete_reason(answer.result());
    answer.reason(reason == "<unknown-status>" ? "Status" : reason);
    for (const auto& [name, value] : response.headers) {
        answer.insert(name, oneLine(value));
    }
    if (response.status != 204 && response.status != 304) {
        answer.content_length(response.body.size());
        if (!headRequest) {
            answer.body() = std::move(response.body);
        }
    }
    answer.keep_alive(!closing);
    return answer;
}

/// One accepted connection, from the TLS handshake to its close. Its steps run one after another
/// on the connection's strand; the connection lives as long as a step is pending.
class Connection : public std::enable_shared_from_this<Connection> {
  public:
    Connection(tcp::socket socket, Shared& shared)
        : stream_(std::move(socket), shared.tls), hold_(stream_.get_executor()), shared_(shared) {
        ++shared_.open;
    }
    ~Connection() { --shared_.open; }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void start() {
        asio::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->handshake(); });
    }

  private:
    using Step = void (Connection::*)(beast::error_code);

    /// The completion handler that runs `step` of this connection.
    auto next(Step step) {
        return [self = shared_from_this(), step](beast::error_code error, std::size_t = 0) {
            ((*self).*step)(error);
        };
    }

    beast::tcp_stream& socketStream() { return beast::get_lowest_layer(stream_); }
    const HttpsServerSettings& settings() const { return shared_.settings; }

    void handshake() {
        beast::error_code ignored;
        // Answers may leave in more than one write; without TCP_NODELAY the second would wait
        // for the client's delayed acknowledgement.
        socketStream().socket().set_option(tcp::no_delay(true), ignored);
        socketStream().expires_after(settings().handshakeTimeout);
        stream_.async_handshake(asio::ssl::stream_base::server, next(&Connection::readHead));
    }

    void readHead(beast::error_code error) {
        if (error) {
            return;  // the handshake failed or timed out: nothing to answer
        }
        request_ = HttpRequest();
        request_.resumedTls = SSL_session_reused(stream_.native_handle()) == 1;
        response_ = HttpResponse();
        blankBytes_ = 0;
        socketStream().expires_after(served_ == 0 ? settings().headTimeout
                                                  : settings().keepAliveTimeout);
        skipBlankLines({});
    }

    /// Blank lines before a request are skipped, however they arrive (some clients end a body
    /// with one more), up to the length of a head.
    void skipBlankLines(beast::error_code error) {
        if (error) {
            return;  // the client closed or went quiet between requests
        }
        while (buffer_.size() > 0 && (*static_cast<const char*>(buffer_.data().data()) == '\r' ||
                                      *static_cast<const char*>(buffer_.data().data()) == '\n')) {
            buffer_.consume(1);
            ++blankBytes_;
        }
        if (blankBytes_ > settings().maxHeadBytes) {
            answerMalformed(431);
            return;
        }
        if (buffer_.size() == 0) {
            stream_.async_read_some(
                buffer_.prepare(kBlankLineReadBytes),
                [self = shared_from_this()](beast::error_code failure, std::size_t size) {
                    self->buffer_.commit(size);
                    self->skipBlankLines(failure);
                });
            return;
        }
        head_.emplace();
        // The parser's own limit leaves out the request line; the whole head is judged below.
        head_->header_limit(static_cast<std::uint32_t>(settings().maxHeadBytes));
        // The body's size is judged once the head is read, by the parser that reads the body.
        head_->body_limit(boost::none);
        http::async_read_header(
            stream_, buffer_, *head_,
            [self = shared_from_this()](beast::error_code failure, std::size_t size) {
                self->onHead(failure, size);
            });
    }

    void onHead(beast::error_code error, std::size_t headBytes) {
        if (error == http::error::header_limit || (!error && headBytes > settings().maxHeadBytes)) {
            answerMalformed(431);
            return;
        }
        if (isSyntaxError(error)) {
            answerMalformed(400);
            return;
        }
        const auto& head = head_->get();
        const std::string_view target = head.target();
        if (error || !target.starts_with('/')) {
            if (!error) {
                answerMalformed(400);
            }
            return;  // the client closed, broke off or went quiet: nothing to answer
        }
        if (const int refusal = framingRefusal(head)) {
            answerMalformed(refusal);
            return;
        }
        request_.method = head.method_string();
        const std::size_t question = std::min(target.find('?'), target.size());
        request_.path = percentDecode(target.substr(0, question));
        request_.query = target.substr(std::min(question + 1, target.size()));
        for (const auto& field : head) {
            request_.headers.emplace_back(field.name_string(), field.value());
        }
        readBody();
    }

    void readBody() {
        const bool keep = shared_.service.keepsBody(request_);
        const auto length = head_->content_length();
        const bool tooLarge = length && *length > settings().maxBodyBytes;
        const bool expectsContinue =
            beast::iequals(head_->get()[http::field::expect], "100-continue");
        closing_ = !head_->keep_alive();
        socketStream().expires_after(settings().bodyTimeout);
        if (keep && !tooLarge) {
            body_.emplace(std::move(*head_));
            body_->body_limit(settings().maxBodyBytes);
            if (expectsContinue && !body_->is_done()) {
                interim_.emplace(http::status::continue_, 11);
                http::async_write(stream_, *interim_, next(&Connection::readKeptBody));
            } else {
                readKeptBody({});
            }
            return;
        }
        request_.bodyTooLarge = keep;
        if (expectsContinue || (length && *length > kMostDroppedBodyBytes)) {
            // The client waits for a word before sending a body the sandbox will not keep, or
            // the body is too large even to be dropped: it is answered unread.
            closing_ = true;
            respond();
            return;
        }
        dropped_.emplace(std::move(*head_));
        dropped_->body_limit(kMostDroppedBodyBytes);
        http::async_read(stream_, buffer_, *dropped_, next(&Connection::onDroppedBody));
    }

    void readKeptBody(beast::error_code error) {
        if (error) {
            return;
        }
        http::async_read(stream_, buffer_, *body_, next(&Connection::onKeptBody));
    }

    void onKeptBody(beast::error_code error) {
        if (error == http::error::body_limit) {
            // A chunked body that grew past the limit: the rest of it is never read.
            request_.bodyTooLarge = true;
            closing_ = true;
        } else if (error) {
            return;
        } else {
            request_.body = std::move(body_->get().body());
        }
        respond();
    }

    void onDroppedBody(beast::error_code error) {
        if (error && error != http::error::body_limit) {
            return;
        }
        closing_ = closing_ || request_.bodyTooLarge || error == http::error::body_limit;
        respond();
    }

    void answerMalformed(int status) {
        response_.status = status;
        response_.setContent(status == 501 ? "Codificación de transferencia no admitida\n"
                                           : "Petición HTTP incorrecta\n",
                             "text/plain; charset=utf-8");
        closing_ = true;
        deliver();
    }

    void respond() {
        try {
            shared_.service.handle(request_, response_);
        } catch (...) {  // the random generator failed: the request cannot be served
            response_ = HttpResponse();
            response_.status = 500;
            response_.setContent("Error interno de la pasarela de pruebas\n",
                                 "text/plain; charset=utf-8");
        }
        if (response_.status < 200 || response_.status > 599) {
            response_.status = 500;  // a 1xx would leave the client waiting for the real answer
        }
        closing_ = closing_ || response_.closeConnection ||
                   served_ + 1 >= settings().requestsPerConnection;
        if (response_.delay.count() <= 0) {
            deliver();
            return;
        }
        shared_.service.held(request_, response_.delay);
        socketStream().expires_never();
        hold_.expires_after(response_.delay);
        hold_.async_wait([self = shared_from_this()](beast::error_code error) {
            if (!error) {
                self->deliver();
            }
        });
    }

    void deliver() {
        ++served_;
        socketStream().expires_after(settings().writeTimeout);
        switch (response_.delivery) {
            case HttpResponse::Delivery::none:
                shared_.service.answered(request_, response_);
                closeAbruptly();
                return;
            case HttpResponse::Delivery::headOnly:
                answer_.emplace(wireAnswer(response_, false, true));
                headOnly_.emplace(*answer_);
                http::async_write_header(stream_, *headOnly_, next(&Connection::onHeadOnlySent));
                return;
            case HttpResponse::Delivery::complete:
                answer_.emplace(wireAnswer(response_, request_.method == "HEAD", closing_));
                if (response_.stream && request_.method != "HEAD") {
                    answer_->erase(http::field::content_length);
                    answer_->chunked(true);
                    headOnly_.emplace(*answer_);
                    http::async_write_header(stream_, *headOnly_,
                                             next(&Connection::writeNextPiece));
                    return;
                }
                http::async_write(stream_, *answer_, next(&Connection::onSent));
                return;
        }
    }

    /// One piece of a body made as it goes out, as a chunk; the last chunk once there is none.
    void writeNextPiece(beast::error_code error) {
        if (error) {
            onSent(error);
            return;
        }
        socketStream().expires_after(settings().writeTimeout);
        if (response_.stream(piece_)) {
            chunk_.emplace(http::make_chunk(asio::const_buffer(piece_.data(), piece_.size())));
            asio::async_write(stream_, *chunk_, next(&Connection::writeNextPiece));
            return;
        }
        lastChunk_.emplace(http::make_chunk_last());
        asio::async_write(stream_, *lastChunk_, next(&Connection::onSent));
    }

    void onHeadOnlySent(beast::error_code) {
        shared_.service.answered(request_, response_);
        closeAbruptly();
    }

    void onSent(beast::error_code error) {
        shared_.service.answered(request_, response_);
        if (error) {
            return;
        }
        if (!closing_) {
            readHead({});
            return;
        }
        socketStream().expires_after(kShutdownTimeout);
        stream_.async_shutdown([self = shared_from_this()](beast::error_code) {});
    }

    /// A plain TCP close without a TLS close_notify: the client sees the connection end with no
    /// answer, or with a body that breaks off.
    void closeAbruptly() {
        beast::error_code ignored;
        socketStream().socket().shutdown(tcp::socket::shutdown_both, ignored);
        socketStream().socket().close(ignored);
    }

    beast::ssl_stream<beast::tcp_stream> stream_;
    asio::steady_timer hold_;
    Shared& shared_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::empty_body>> head_;
    std::optional<http::request_parser<http::string_body>> body_;
    std::optional<http::request_parser<DroppedBody>> dropped_;
    std::optional<http::response<http::empty_body>> interim_;
    std::optional<http::response<http::string_body>> answer_;
    std::optional<http::response_serializer<http::string_body>> headOnly_;
    std::string piece_;
    std::optional<http::chunk_body<asio::const_buffer>> chunk_;
    std::optional<http::chunk_last<http::chunk_crlf>> lastChunk_;
    HttpRequest request_;
    HttpResponse response_;
    std::size_t served_ = 0;
    std::size_t blankBytes_ = 0;
    bool closing_ = false;
};

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
    Impl(HttpsServerSettings settings, HttpService& service) : shared{settings, service} {}

    bool makeContext(X509* certificate, EVP_PKEY* key, std::string& error) {
        SSL_CTX* context = shared.tls.native_handle();
        if (SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION) != 1 ||
            SSL_CTX_use_certificate(context, certificate) != 1 ||
            SSL_CTX_use_PrivateKey(context, key) != 1 || SSL_CTX_check_private_key(context) != 1) {
            error = "the TLS context could not take the certificate and key";
            return false;
        }
        // Clients often close without a TLS close_notify; that is an end, not an error.
        SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
        return true;
    }

    bool bind(const std::string& host, int port, std::string& error) {
        beast::error_code failure;
        const auto addresses = tcp::resolver(*io).resolve(
            host, std::to_string(port), tcp::resolver::numeric_service | tcp::resolver::passive,
            failure);
        if (failure) {
            error = "cannot resolve " + host;
            return false;
        }
        for (const auto& address : addresses) {
            // SO_REUSEADDR only: SO_REUSEPORT would let a second sandbox bind the same port and
            // share its connections with the first.
            acceptor->open(address.endpoint().protocol(), failure);
            if (!failure) {
                acceptor->set_option(tcp::acceptor::reuse_address(true), failure);
            }
            if (!failure) {
                acceptor->bind(address.endpoint(), failure);
            }
            if (!failure) {
                acceptor->listen(asio::socket_base::max_listen_connections, failure);
            }
            if (!failure) {
                boundPort = acceptor->local_endpoint().port();
                return true;
            }
            acceptor->close(failure);
        }
        error = "cannot listen on " + host + " port " + std::to_string(port);
        return false;
    }

    void accept() {
        acceptor->async_accept(
            asio::make_strand(*io), [this](beast::error_code error, tcp::socket socket) {
                if (error == asio::error::operation_aborted) {
                    return;
                }
                if (error) {
                    // Out of descriptors or memory: give the open connections time to end.
                    retry->expires_after(kAcceptRetry);
                    retry->async_wait([this](beast::error_code) { accept(); });
                    return;
                }
                const std::size_t open = shared.open.load();
                if (open >= shared.settings.maxConnections) {
                    shared.service.refused(open);  // the socket closes as it goes out of scope
                } else {
                    std::make_shared<Connection>(std::move(socket), shared)->start();
                }
                accept();
            });
    }

    // Destroyed in stop(), I/O objects before their context: the context's end destroys every
    // connection still pending, so it must come while `shared` is there.
    Shared shared;
    std::optional<asio::io_context> io{std::in_place};
    std::optional<tcp::acceptor> acceptor{std::in_place, *io};
    std::optional<asio::steady_timer> retry{std::in_place, *io};
    int boundPort = 0;
    std::vector<std::thread> threads;
};

HttpsServer::HttpsServer(HttpsServerSettings settings, HttpService& service)
    : impl_(std::make_unique<Impl>(settings, service)) {}

HttpsServer::~HttpsServer() {
    stop();
}

bool HttpsServer::listen(const std::string& host, int port, X509* certificate, EVP_PKEY* key,
                         std::string& error) {
    return impl_->makeContext(certificate, key, error) && impl_->bind(host, port, error);
}

void HttpsServer::start() {
    Impl& impl = *impl_;
    impl.accept();
    for (std::size_t index = 0; index < std::max<std::size_t>(impl.shared.settings.threads, 1);
         ++index) {
        impl.threads.emplace_back([&impl] { impl.io->run(); });
    }
}

void HttpsServer::stop() {
    Impl& impl = *impl_;
    if (!impl.io) {
        return;
    }
    impl.io->stop();
    for (std::thread& thread : impl.threads) {
        thread.join();
    }
    impl.threads.clear();
    impl.retry.reset();
    impl.acceptor.reset();
    // Destroys every connection still pending, held answers included: each socket closes
    // without a byte more.
    impl.io.reset();
}

int HttpsServer::port() const {
    return impl_->boundPort;
}

}  // namespace vanto::sandbox::detail
