#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vanto/sandbox/Fault.h"
#include "vanto/sandbox/TestCards.h"

namespace vanto::sandbox {

/// A merchant terminal that the sandbox knows.
struct Merchant {
    /// The merchant code (the configuration's appFuc).
    std::string merchantCode;
    std::string terminal;
    /// The credential with which the merchant's application signs its requests (appLicense);
    /// the sandbox signs its answers with it too.
    std::string signingCredential;
    /// The key of the HMAC-SHA256 over Ds_MerchantParameters that guards the payment page.
    std::string pageSecret;

    friend bool operator==(const Merchant&, const Merchant&) = default;
};

/// One HTTP request as the sandbox received it.
struct RecordedRequest {
    std::string method;
    /// The path, without the query.
    std::string path;
    /// The header fields in the order they arrived, names as sent.
    std::vector<std::pair<std::string, std::string>> headers;
    /// The body as received, card data included: it stays in this process.
    std::string body;
    /// Whether the request carried a session cookie that this sandbox had issued: the JSON
    /// services' VANTOSANDBOX or the payment page's VANTOPAGE.
    bool carriedSessionCookie = false;

    /// The value of the first header field with this name (compared without regard to case).
    std::optional<std::string> header(std::string_view name) const;
};

/// A payment that the sandbox decided, through the direct-payment service or on the payment
/// page's card form (once per page, however many times the form is posted).
struct DecidedPayment {
    std::string orderNumber;
    /// The amount in hundredths, as sent.
    std::string amount;
    /// Ds_Response and Ds_AuthorisationCode as answered; nullopt where the answer leaves them out.
    std::optional<std::string> response;
    std::optional<std::string> authorisationCode;
    /// Accepted by the gateway's rule (Ds_Response 0 to 99 with an authorisation code): a charge.
    bool accepted = false;
};

/// Settings of a SandboxGateway.
struct SandboxOptions {
    /// The address to listen on; only loopback addresses ("127.x.y.z", "::1", "localhost").
    std::string host = "127.0.0.1";
    /// The port; 0 picks a free one.
    int port = 0;
    /// Subject alternative names of the generated certificate: an entry that reads as an IPv4 or
    /// IPv6 address becomes an IP name, any other a DNS name. Taken exactly as given (tests
    /// use a certificate that does not name the address); list `host` when it is not the default.
    std::vector<std::string> certificateNames = {"localhost", "127.0.0.1"};
    /// PEM files of a certificate and its private key to use instead of generating them; both
    /// or neither.
    std::string certificateFile;
    std::string keyFile;
    /// Threads that serve every connection (at least one). Connections are served
    /// asynchronously: one that idles, trickles its request or waits for a delayed answer takes
    /// no thread.
    std::size_t threads = 2;
    /// Connections open at the same time; any beyond are closed as soon as they are accepted.
    std::size_t maxConnections = 512;
    /// Whether to print one line per request (method, path, status) to standard output.
    bool logRequests = true;
    /// A file to which every request is appended as one line of JSON, card data masked; none
    /// when empty. The same records are served at GET /sandbox/recorded.
    std::string recordFile;
    /// How much of the recording stays in memory (requests() and GET /sandbox/recorded): the
    /// newest requests, at most this many and this many bytes; older ones are dropped from
    /// memory (not from the record file) and counted.
    std::size_t recordedRequestsKept = 10000;
    std::size_t recordedBytesKept = 64 * 1024 * 1024;
};

/// A local stand-in for the card-payment gateway over HTTPS on loopback: the direct-payment
/// service, the signature service and the payment page, with the test cards of TestCards.h,
/// signature checks, session cookies, card references, and the switches of Switches.h and
/// Fault.h that change answers and inject faults.
///
/// The object is thread-safe. Requests are served asynchronously on a few threads; the
/// recording, merchant and fault tables are shared by them and guarded.
class SandboxGateway {
  public:
    using Options = SandboxOptions;

    SandboxGateway();
    explicit SandboxGateway(Options options);
    /// Stops the server if it runs.
    ~SandboxGateway();
    SandboxGateway(const SandboxGateway&) = delete;
    SandboxGateway& operator=(const SandboxGateway&) = delete;

    /// Makes (or loads) the certificate on first use, opens the record file if one is set, binds
    /// and starts serving. Returns once the server accepts connections; false, with lastError()
    /// set, when it cannot start. Starting a running sandbox returns true and changes nothing.
    bool start();
    /// Stops serving and joins every thread. Answers held by a delay fault are never sent: their
    /// connections close without an answer, which a client reports as a failed call. Idempotent.
    void stop();
    bool running() const;
    /// Why the last start() failed.
    std::string lastError() const;

    /// The port being served, 0 when not running.
    int port() const;
    /// "host:port" (an IPv6 host in brackets), for vanto::Constants::setGatewayHost.
    std::string authority() const;
    /// "https://" followed by authority().
    std::string baseUrl() const;
    /// The server certificate in PEM, for the application to add as a trust anchor; empty
    /// before the first successful start().
    std::string certificatePem() const;

    /// Makes this sandbox the test environment of the library in this process, as an
    /// application's set-up does for a gateway: the test environment's host becomes authority(),
    /// the certificate joins the trust anchors of the default session configuration, and the
    /// shared configuration takes the test environment and defaultMerchant(). False, changing
    /// nothing, when the sandbox is not running.
    bool useAsTestEnvironment() const;

    /// Merchant code "999008881", terminal "1", signing credential "sandbox-signing-credential"
    /// and page secret "sandbox-page-secret". Known to every sandbox from the start.
    static Merchant defaultMerchant();
    /// Adds a merchant, or replaces the one with the same code and terminal.
    void addMerchant(Merchant merchant);

    /// The fault of the two JSON services and the payment page's entry for requests with this
    /// order number; nullopt removes it. Takes precedence over the FAULT_ switches of the order
    /// number (its other switches still act).
    void setFault(const std::string& orderNumber, std::optional<Fault> fault);
    /// A fault of the two JSON services and the payment page's entry for every request, applied
    /// before the request's message is read; nullopt removes it.
    void setFaultForAll(std::optional<Fault> fault);

    /// The requests received so far, oldest first (GET /sandbox/recorded left out), within the
    /// limits of SandboxOptions::recordedRequestsKept and recordedBytesKept.
    std::vector<RecordedRequest> requests() const;
    /// Waits until at least `count` requests have arrived since the start or the last
    /// clearRequests() (also those dropped from memory since); false when `timeout` passes first.
    /// A request is recorded as soon as it has been read, before it is answered.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
    /// Empties the list that requests() and GET /sandbox/recorded return; the record file keeps
    /// what it has.
    void clearRequests();
    /// How many of the requests since the start or the last clearRequests() came on a connection
    /// that resumed an earlier TLS session instead of making a full handshake.
    std::size_t resumedTlsRequests() const;

    /// The payments decided so far, oldest first (at most SandboxOptions::recordedRequestsKept).
    std::vector<DecidedPayment> payments() const;

    /// The name of the session cookie that the JSON services set.
    static constexpr std::string_view kSessionCookieName = "VANTOSANDBOX";
    /// The name of the session cookie that the payment page sets with its card form and
    /// requires on the form's posts.
    static constexpr std::string_view kPageCookieName = "VANTOPAGE";

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

/// What SandboxGateway::useAsTestEnvironment() does, for a sandbox that runs in another process
/// (`vanto sandbox`, or one a test harness started): the test environment's host becomes
/// `authority`, the certificate `certificatePem` joins the trust anchors of the default session
/// configuration (the payment page's included), and the shared configuration takes the test
/// environment and SandboxGateway::defaultMerchant(). False, changing nothing, for an authority
/// that is not host[:port] or a text with no certificate.
bool useAsTestEnvironment(std::string_view authority, std::string_view certificatePem);

/// The same from the line `vanto sandbox --cert-out FILE` prints first, which names the authority
/// and the certificate's file. False, changing nothing and saying why in `problem` (when given),
/// for a line that is not that JSON or a certificate file that cannot be read.
bool useAsTestEnvironment(std::string_view startLine, std::string* problem = nullptr);

}  // namespace vanto::sandbox
