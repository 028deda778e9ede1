#pragma once

#include <string>

#include "vanto/Export.h"

namespace vanto::platform {

/// A failure of the URL loading system, or of building a request for it.
///
/// Callers tell failures apart by `kind`; `detail` says more for a trace or a log (it may name the
/// underlying library's own code) and is not meant to be parsed.
struct VANTO_EXPORT PlatformError {
    enum class Kind {
        /// The server could not be reached: its name did not resolve, or nothing accepted the
        /// connection.
        couldNotConnect,
        /// The TLS handshake failed or the server's certificate was refused (not trusted, issued
        /// to another name, or not the pinned key).
        tlsRefused,
        /// Nothing moved either way for as long as the request's time-out allowed.
        timedOut,
        /// The connection ended before a whole reply had arrived, or broke while one was sent.
        connectionLost,
        /// The address is not an https address: nothing was sent.
        notHttps,
        /// The request could not be built or sent as it is (a body that is not UTF-8 text, an
        /// address that does not parse).
        invalidRequest,
        /// A reply arrived but is not what the call expects, or is larger than a reply may be
        /// (URLSession::kLargestReplyBytes).
        invalidReply,
        /// The transfer was cut short because the process is ending.
        cancelled,
        /// Any other failure.
        other,
    };

    Kind kind = Kind::other;
    /// What went wrong, in a sentence.
    std::string localizedDescription;
    /// More for traces, such as the transfer library's code and message; may be empty.
    std::string detail;
    /// Whether bytes of the request had left when the transfer failed: the server may then have
    /// acted on the request although no whole answer came back.
    bool requestSent = false;
};

}  // namespace vanto::platform
