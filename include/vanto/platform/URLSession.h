#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vanto/Export.h"
#include "vanto/platform/HTTPCookieStorage.h"
#include "vanto/platform/URLRequest.h"

namespace vanto::platform {

// The serial queue each session runs its transfers on; the library's own.
class DispatchQueue;

/// How a URL session makes its transfers. TLS peer and host-name verification are always on.
struct VANTO_EXPORT URLSessionConfiguration {
    /// The defaults: the system's trust store, the shared cookie storage, and whatever the
    /// application set with setDefaultSessionConfiguration(). Managers made without a
    /// configuration of their own (those of the payment flows) use it.
    static URLSessionConfiguration defaultSessionConfiguration();
    /// Makes `configuration` the default for every session made afterwards, for example to trust a
    /// local stand-in gateway's certificate in every payment; nullopt restores the built-in one.
    static void setDefaultSessionConfiguration(
        std::optional<URLSessionConfiguration> configuration);

    /// Certificates (PEM text) trusted in addition to the system's, for example a local stand-in
    /// gateway's. Given by the application; nothing is read from files or the environment.
    std::vector<std::string> additionalTrustAnchors;
    /// When set, the server's public key must match: libcurl's pinned-key form, for example
    /// "sha256//<Base64 of the SHA-256 of the DER public key>".
    std::optional<std::string> pinnedPublicKey;
    /// Where the cookies that replies set are kept; none when null.
    HTTPCookieStorage* httpCookieStorage = &HTTPCookieStorage::shared();
    /// When set, every request's time-out in seconds, in place of the request's own (the
    /// gateway's calls take 50 s): how long a transfer may go with nothing sent or received
    /// before it ends as timedOut. The connection must also be made within it.
    std::optional<double> timeoutIntervalForRequest;
};

/// One transfer, started with resume().
class VANTO_EXPORT URLSessionDataTask {
  public:
    explicit URLSessionDataTask(std::function<void()> start) : start_(std::move(start)) {}
    /// Starts the transfer (once; later calls do nothing).
    void resume();

  private:
    std::function<void()> start_;
};

/// Makes transfers over libcurl, to https addresses only (any other address fails before a
/// connection is made, with no response). Each session has one serial delegate queue with a
/// thread of its own: it runs the transfers one after another and calls their completion handlers
/// there. Destroying a session never waits for its transfers: they run to their end and call
/// their handlers, and a task made by a session may still be started after the session is gone.
/// Redirects are deliberately not followed: a 3xx reply is handed over as it came.
class VANTO_EXPORT URLSession {
  public:
    /// The largest reply body a transfer takes in: a gateway's answers are a few kilobytes. A
    /// larger reply ends the transfer with an invalidReply failure and its bytes are dropped.
    static constexpr std::size_t kLargestReplyBytes = 1024 * 1024;

    /// The reply body (present whenever a reply arrived), the HTTP reply, and the failure.
    using CompletionHandler =
        std::function<void(std::optional<std::string> data, std::optional<HTTPURLResponse> response,
                           std::optional<PlatformError> error)>;

    explicit URLSession(URLSessionConfiguration configuration);
    ~URLSession();
    URLSession(const URLSession&) = delete;
    URLSession& operator=(const URLSession&) = delete;

    /// A task that sends `request` and calls `completionHandler` on the delegate queue. The body
    /// bytes the task held are wiped once the handler has returned.
    std::shared_ptr<URLSessionDataTask> dataTask(URLRequest request,
                                                 CompletionHandler completionHandler);

    const URLSessionConfiguration& configuration() const { return *configuration_; }
    DispatchQueue& delegateQueue() { return *delegateQueue_; }

  private:
    // Shared with the transfers, which may still run when the session is let go of on its own
    // delegate queue.
    std::shared_ptr<const URLSessionConfiguration> configuration_;
    // The store servers are verified with (an X509_STORE), built once per session.
    std::shared_ptr<void> trust_;
    std::shared_ptr<DispatchQueue> delegateQueue_;
};

/// Whether the certificate chain a server presented (PEM texts, the server's own certificate
/// first, then the intermediates it sent) verifies up to one of `anchorsPem` for `host`, a DNS
/// name or an IP address: signatures, validity dates, the server-authentication purpose and the
/// host name are all checked, with the anchors as the only roots trusted. For a UI toolkit's web
/// view, whose own verification knows only the system's roots: it asks here before it accepts a
/// certificate that the application trusts through URLSessionConfiguration::additionalTrustAnchors.
/// False for an empty chain, no anchor, an empty host or PEM text that does not parse.
VANTO_EXPORT bool chainsToTrustAnchor(const std::vector<std::string>& certificateChainPem,
                                      const std::vector<std::string>& anchorsPem,
                                      std::string_view host);

}  // namespace vanto::platform
