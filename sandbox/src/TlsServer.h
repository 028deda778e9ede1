#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <httplib.h>

namespace vanto::sandbox::detail {

/// cpp-httplib's HTTPS server with its own connection loop.
///
/// httplib parses requests, routes them and writes answers; this class only replaces the part
/// that owns each accepted socket (the TLS handshake, the keep-alive loop and the closing), so
/// that a handler can
/// - end its connection without any answer: httplib always writes a response, so the connection
///   is told to discard everything written after abandonCurrentConnection() and is then closed
///   (TCP FIN, without a TLS close_notify) as soon as httplib returns;
/// - see the header fields in the order they arrived (httplib keeps them sorted by name): the
///   bytes of the request head are kept as they are read.
///
/// Handlers run on the thread that serves their connection, so both work through a per-thread
/// pointer to that connection.
class TlsServer final : public httplib::SSLServer {
  public:
    TlsServer(X509* certificate, EVP_PKEY* key);

    /// Makes the connection of the request being handled on this thread discard its answer and
    /// close. False when called outside a handler.
    static bool abandonCurrentConnection();

    /// Makes the connection of the request being handled on this thread send only the head of its
    /// answer (status line and header fields) and then close, so that the client has a reply whose
    /// body never arrives. False when called outside a handler.
    static bool truncateCurrentAnswer();

    /// The header fields of the request being handled on this thread, in received order.
    static std::optional<std::vector<std::pair<std::string, std::string>>> currentRequestHeaders();

    /// Whether abandonCurrentConnection() was called for the request of this thread.
    static bool currentConnectionAbandoned();

    /// Lets the bound socket queue as many connections as the system allows: httplib listens
    /// with a backlog of 5, too few when dozens of clients connect at once.
    void widenListenBacklog();

  private:
    bool process_and_close_socket(socket_t sock) override;
    bool serverStopped() const;
};

}  // namespace vanto::sandbox::detail
