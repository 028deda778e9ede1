#include "vanto/platform/URLSession.h"

#include <curl/curl.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>

#include "platform/CurlGlobal.h"
#include "platform/DispatchQueue.h"
#include "platform/Lifetime.h"
#include "platform/Owned.h"
#include "platform/StatePart.h"
#include "vanto/platform/SecureWipe.h"

namespace vanto::platform {
namespace {

using Clock = std::chrono::steady_clock;

// State of one transfer, reached from libcurl's callbacks.
struct Transfer {
    std::string body;
    // Set when the reply grew past the largest a reply may be; its bytes are not kept.
    bool tooLarge = false;
    HeaderFields headers;
    std::chrono::milliseconds idleLimit{0};
    curl_off_t lastDown = -1;
    curl_off_t lastUp = -1;
    Clock::time_point lastActivity = Clock::now();
};

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    if (transfer->body.size() + bytes > URLSession::kLargestReplyBytes) {
        transfer->tooLarge = true;
        secureWipe(transfer->body);
        return 0;  // anything but `bytes` ends the transfer
    }
    transfer->body.append(data, bytes);
    return bytes;
}

// Collects the header fields of the final reply; a new status line (after 100 Continue, for
// instance) starts the collection again.
std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    std::string_view line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    if (line.starts_with("HTTP/")) {
        transfer->headers = HeaderFields();
    } else if (const auto colon = line.find(':'); colon != std::string_view::npos) {
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
            value.remove_prefix(1);
        }
        transfer->headers.add(std::string(line.substr(0, colon)), std::string(value));
    }
    return size * count;
}

// The request's time-out is an idle limit: the transfer fails when no byte has moved either way
// for that long, however long the whole exchange takes.
int onProgress(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded) {
    if (lifetime::ending()) {
        return 1;  // the process is ending: cut the transfer short so the thread can leave
    }
    auto* transfer = static_cast<Transfer*>(user);
    const auto now = Clock::now();
    if (downloaded != transfer->lastDown || uploaded != transfer->lastUp) {
        transfer->lastDown = downloaded;
        transfer->lastUp = uploaded;
        transfer->lastActivity = now;
        return 0;
    }
    return now - transfer->lastActivity > transfer->idleLimit ? 1 : 0;
}

// Whether the system's certificate directory names its certificates by their subjects' hashes
// (as update-ca-certificates and c_rehash do): a lookup there reads only the few certificates a
// chain needs, where reading the system's bundle parses every one of them, which costs tens of
// milliseconds, more than the whole of a payment's exchange on a local network.
bool hashedDirectory(const std::filesystem::path& directory) {
    std::error_code error;
    for (std::filesystem::directory_iterator entry(directory, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.size() >= 10 && name[8] == '.' &&
            std::all_of(name.begin(), name.begin() + 8,
                        [](unsigned char c) { return std::isxdigit(c) != 0; }) &&
            std::all_of(name.begin() + 9, name.end(),
                        [](unsigned char c) { return std::isdigit(c) != 0; })) {
            return true;
        }
    }
    return false;
}

// The store a session verifies servers with: the system's certificates and the application's
// extra trust anchors. The system's are looked up in its hashed directory where there is one, and
// read from its bundle otherwise. Null when an anchor is not a PEM certificate, so that nothing is
// trusted by mistake and every transfer fails verification.
std::shared_ptr<X509_STORE> makeTrustStore(const std::vector<std::string>& anchors) {
    std::shared_ptr<X509_STORE> store(X509_STORE_new(), &X509_STORE_free);
    if (!store) {
        return nullptr;
    }
    const char* directory = X509_get_default_cert_dir();
    if (!hashedDirectory(directory)) {
        X509_STORE_load_file(store.get(), X509_get_default_cert_file());
    }
    X509_STORE_load_path(store.get(), directory);
    for (const auto& pem : anchors) {
        const Owned<BIO, BIO_free> input(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
        bool any = false;
        while (input != nullptr) {
            const Owned<X509, X509_free> certificate(
                PEM_read_bio_X509(input.get(), nullptr, nullptr, nullptr));
            if (certificate == nullptr) {
                break;
            }
            X509_STORE_add_cert(store.get(), certificate.get());
            any = true;
        }
        if (!any) {
            return nullptr;
        }
    }
    return store;
}

// What the process keeps of the trust configurations it has seen: the most recent few, each
// built once and shared by every session that gives the same configuration. An application that
// keeps changing its anchors or pins does not grow without end: an older configuration lives on
// only while a session still uses it, and is built again if it comes back.
template <typename Key, typename Value>
class RecentTrust {
  public:
    template <typename Make>
    std::shared_ptr<Value> get(const Key& key, Make make) {
        const std::lock_guard lock(mutex_);
        auto& entry = entries_[key];
        if (!entry.value) {
            entry.value = make();
        }
        entry.used = ++uses_;
        if (entries_.size() > kKept) {
            entries_.erase(std::min_element(
                entries_.begin(), entries_.end(),
                [](const auto& a, const auto& b) { return a.second.used < b.second.used; }));
        }
        return entry.value;
    }

  private:
    static constexpr std::size_t kKept = 8;
    struct Entry {
        std::shared_ptr<Value> value;
        std::uint64_t used = 0;
    };
    std::mutex mutex_;
    std::map<Key, Entry> entries_;
    std::uint64_t uses_ = 0;
};

// The trust store for a set of anchors: without a hashed directory, building one reads the
// system's bundle, which costs more than a whole exchange on a local network.
std::shared_ptr<X509_STORE> sharedTrustStore(const std::vector<std::string>& anchors) {
    struct Stores : internal::StatePart {
        RecentTrust<std::vector<std::string>, X509_STORE> byAnchors;
    };
    return internal::processPart<Stores>().byAnchors.get(anchors,
                                                         [&] { return makeTrustStore(anchors); });
}

// The TLS sessions of one trust configuration (its anchors and pinned key), kept for the transfers
// that come after: each transfer still has a connection of its own, but resumes the session an
// earlier one made with the same host instead of a full handshake. libcurl keys the sessions by
// host and port; another configuration has sessions of its own, so a session made under one trust
// is never resumed under another.
class TlsSessions {
  public:
    TlsSessions() : share_(curl_share_init()) {
        if (share_ != nullptr) {
            curl_share_setopt(share_.get(), CURLSHOPT_LOCKFUNC, &lock);
            curl_share_setopt(share_.get(), CURLSHOPT_UNLOCKFUNC, &unlock);
            curl_share_setopt(share_.get(), CURLSHOPT_USERDATA, static_cast<void*>(this));
            curl_share_setopt(share_.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
        }
    }
    TlsSessions(const TlsSessions&) = delete;
    TlsSessions& operator=(const TlsSessions&) = delete;

    // Null when libcurl could not make one: every transfer then makes a full handshake.
    CURLSH* share() const { return share_.get(); }

  private:
    static std::mutex& mutexOf(void* user, curl_lock_data data) {
        auto& mutexes = static_cast<TlsSessions*>(user)->mutexes_;
        return mutexes[static_cast<std::size_t>(data) % mutexes.size()];
    }
    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* user) {
        mutexOf(user, data).lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* user) { mutexOf(user, data).unlock(); }

    // The mutexes come first: libcurl may take them while it cleans the share up, so they must
    // outlive it.
    std::array<std::mutex, CURL_LOCK_DATA_LAST> mutexes_;
    Owned<CURLSH, curl_share_cleanup> share_;
};

// What a session's transfers trust, and the TLS sessions they share.
struct Trust {
    std::shared_ptr<X509_STORE> store;
    std::shared_ptr<TlsSessions> sessions;
};

std::shared_ptr<Trust> sharedTrust(const URLSessionConfiguration& configuration) {
    struct Sessions : internal::StatePart {
        RecentTrust<std::pair<std::vector<std::string>, std::string>, TlsSessions> byTrust;
    };
    auto trust = std::make_shared<Trust>();
    trust->store = sharedTrustStore(configuration.additionalTrustAnchors);
    trust->sessions = internal::processPart<Sessions>().byTrust.get(
        {configuration.additionalTrustAnchors, configuration.pinnedPublicKey.value_or("")},
        [] { return std::make_shared<TlsSessions>(); });
    return trust;
}

// Gives the transfer's TLS context the session's trust store.
CURLcode onSslContext(CURL*, void* context, void* user) {
    auto* store = static_cast<X509_STORE*>(user);
    if (store == nullptr) {
        return CURLE_SSL_CACERT_BADFILE;
    }
    SSL_CTX_set1_cert_store(static_cast<SSL_CTX*>(context), store);
    return CURLE_OK;
}

std::vector<std::string> cookieLines(CURL* handle) {
    std::vector<std::string> lines;
    curl_slist* got = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_COOKIELIST, &got) == CURLE_OK) {
        const Owned<curl_slist, curl_slist_free_all> list(got);
        for (const curl_slist* item = list.get(); item != nullptr; item = item->next) {
            lines.emplace_back(item->data);
        }
    }
    return lines;
}

// The idle limit of a request's time-out in seconds: the default for a time-out that is not a
// positive number, and at most a day, so that an "endless" time-out (infinity, or a number too
// large for the clock) still gives a limit that the arithmetic can hold.
std::chrono::milliseconds idleLimit(double seconds) {
    constexpr double kDefault = 60.0;
    constexpr double kLongest = 24 * 60 * 60.0;
    if (!(seconds > 0)) {
        seconds = kDefault;
    }
    seconds = std::min(seconds, kLongest);
    return std::chrono::milliseconds(static_cast<long long>(std::ceil(seconds * 1000)));
}

// Card data travel only over TLS: any other scheme fails before a connection is made.
bool isHttpsAddress(std::string_view url) {
    constexpr std::string_view kScheme = "https://";
    if (url.size() < kScheme.size()) {
        return false;
    }
    for (std::size_t i = 0; i < kScheme.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(url[i])) != kScheme[i]) {
            return false;
        }
    }
    return true;
}

// What kind of failure a transfer's result is, for callers that tell them apart.
PlatformError::Kind kindOf(CURLcode result) {
    switch (result) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_CONNECT:
            return PlatformError::Kind::couldNotConnect;
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_ISSUER_ERROR:
            return PlatformError::Kind::tlsRefused;
        case CURLE_OPERATION_TIMEDOUT:
            return PlatformError::Kind::timedOut;
        case CURLE_ABORTED_BY_CALLBACK:
            // The progress callback ends a transfer for two reasons only.
            return lifetime::ending() ? PlatformError::Kind::cancelled
                                      : PlatformError::Kind::timedOut;
        case CURLE_GOT_NOTHING:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_PARTIAL_FILE:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
            return PlatformError::Kind::connectionLost;
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_URL_MALFORMAT:
            return PlatformError::Kind::invalidRequest;
        default:
            return PlatformError::Kind::other;
    }
}

// The failure of a transfer, with libcurl's own message for the trace.
PlatformError failure(CURLcode result, const char* message) {
    std::string detail = "libcurl code " + std::to_string(static_cast<int>(result));
    if (message != nullptr && *message != '\0') {
        detail += ": ";
        detail += message;
    }
    return PlatformError{kindOf(result), curl_easy_strerror(result), std::move(detail)};
}

struct Outcome {
    std::optional<std::string> data;
    std::optional<HTTPURLResponse> response;
    std::optional<PlatformError> error;
};

using Handle = Owned<CURL, curl_easy_cleanup>;
using HeaderList = Owned<curl_slist, curl_slist_free_all>;

// Sets the options of one transfer; the first option libcurl refuses is kept, and the transfer is
// then not made.
class Options {
  public:
    explicit Options(CURL* handle) : handle_(handle) {}

    template <typename Value>
    void set(CURLoption option, Value value) {
        if (refused_ == CURLE_OK) {
            refused_ = curl_easy_setopt(handle_, option, value);
            refusedOption_ = option;
        }
    }

    // The failure of setting them up, if an option was refused.
    std::optional<PlatformError> refusal() const {
        if (refused_ == CURLE_OK) {
            return std::nullopt;
        }
        return PlatformError{PlatformError::Kind::invalidRequest,
                             "the transfer could not be set up",
                             "libcurl code " + std::to_string(static_cast<int>(refused_)) +
                                 " setting option " + std::to_string(refusedOption_)};
    }

  private:
    CURL* handle_;
    CURLcode refused_ = CURLE_OK;
    int refusedOption_ = 0;
};

// Appends "name: value" to a header list; false when libcurl could not.
bool append(HeaderList& list, const std::string& line) {
    curl_slist* longer = curl_slist_append(list.get(), line.c_str());
    if (longer == nullptr) {
        return false;
    }
    list.release();
    list.reset(longer);
    return true;
}

void setUp(Options& options, const URLRequest& request,
           const URLSessionConfiguration& configuration, const Trust& trust, Transfer& transfer,
           char* errorText) {
    options.set(CURLOPT_ERRORBUFFER, errorText);
    options.set(CURLOPT_URL, request.url.c_str());
    options.set(CURLOPT_PROTOCOLS_STR, "https");
    options.set(CURLOPT_NOSIGNAL, 1L);
    options.set(CURLOPT_SSL_VERIFYPEER, 1L);
    options.set(CURLOPT_SSL_VERIFYHOST, 2L);
    // libcurl would read the system's bundle for every transfer; the session's store stands in.
    options.set(CURLOPT_CAINFO, static_cast<const char*>(nullptr));
    options.set(CURLOPT_CAPATH, static_cast<const char*>(nullptr));
    options.set(CURLOPT_SSL_CTX_FUNCTION, &onSslContext);
    options.set(CURLOPT_SSL_CTX_DATA, static_cast<void*>(trust.store.get()));
    if (trust.sessions->share() != nullptr) {
        options.set(CURLOPT_SHARE, trust.sessions->share());
    }
    if (configuration.pinnedPublicKey) {
        options.set(CURLOPT_PINNEDPUBLICKEY, configuration.pinnedPublicKey->c_str());
    }
    // A fresh connection for every call; replies are not followed to other addresses.
    options.set(CURLOPT_FORBID_REUSE, 1L);
    options.set(CURLOPT_FOLLOWLOCATION, 0L);
    options.set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(transfer.idleLimit.count()));
    options.set(CURLOPT_NOPROGRESS, 0L);
    options.set(CURLOPT_XFERINFOFUNCTION, &onProgress);
    options.set(CURLOPT_XFERINFODATA, static_cast<void*>(&transfer));
    options.set(CURLOPT_WRITEFUNCTION, &onBody);
    options.set(CURLOPT_WRITEDATA, static_cast<void*>(&transfer));
    options.set(CURLOPT_HEADERFUNCTION, &onHeader);
    options.set(CURLOPT_HEADERDATA, static_cast<void*>(&transfer));
    // An empty cookie engine of the transfer's own parses what the reply sets; it has nothing to
    // add to the request, whose cookies the caller chose.
    if (configuration.httpCookieStorage != nullptr) {
        options.set(CURLOPT_COOKIEFILE, "");
    }
    const std::string method = request.httpMethod.value_or("GET");
    if (request.httpBody) {
        options.set(CURLOPT_POST, 1L);
        // Never null: with no data libcurl would read the body from standard input.
        options.set(CURLOPT_POSTFIELDS, request.httpBody->empty() ? "" : request.httpBody->data());
        options.set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.httpBody->size()));
    }
    if (method == "HEAD") {
        options.set(CURLOPT_NOBODY, 1L);
    } else if (method != (request.httpBody ? "POST" : "GET")) {
        options.set(CURLOPT_CUSTOMREQUEST, method.c_str());
    }
}

Outcome perform(const URLRequest& request, const URLSessionConfiguration& configuration,
                const Trust& trust) {
    Outcome outcome;
    if (!isHttpsAddress(request.url)) {
        outcome.error =
            PlatformError{PlatformError::Kind::notHttps, "only https addresses are used", ""};
        return outcome;
    }
    // What the handle points at is declared first, so that it outlives the handle.
    Transfer transfer;
    transfer.idleLimit =
        idleLimit(configuration.timeoutIntervalForRequest.value_or(request.timeoutInterval));
    char errorText[CURL_ERROR_SIZE] = {};
    HeaderList headers;
    const Handle handle(curl_easy_init());
    if (!handle) {
        outcome.error = failure(CURLE_FAILED_INIT, nullptr);
        return outcome;
    }
    Options options(handle.get());
    setUp(options, request, configuration, trust, transfer, errorText);
    bool listed = true;
    for (const auto& [name, value] : request.allHTTPHeaderFields.fields()) {
        listed = listed && append(headers, name + ": " + value);
    }
    // No "Expect: 100-continue" round trip before the body.
    listed = listed && append(headers, "Expect:");
    options.set(CURLOPT_HTTPHEADER, headers.get());
    if (!listed) {
        outcome.error = failure(CURLE_OUT_OF_MEMORY, nullptr);
        return outcome;
    }
    if (auto refusal = options.refusal()) {
        outcome.error = std::move(refusal);
        return outcome;
    }

    const CURLcode result = curl_easy_perform(handle.get());

    long status = 0;
    curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status > 0) {
        char* effective = nullptr;
        curl_easy_getinfo(handle.get(), CURLINFO_EFFECTIVE_URL, &effective);
        outcome.response = HTTPURLResponse{effective != nullptr ? effective : request.url,
                                           static_cast<int>(status), std::move(transfer.headers)};
        if (!transfer.tooLarge) {
            outcome.data = std::move(transfer.body);
        }
        if (configuration.httpCookieStorage != nullptr) {
            configuration.httpCookieStorage->takeIn(cookieLines(handle.get()));
        }
    }
    if (transfer.tooLarge) {
        outcome.error = PlatformError{
            PlatformError::Kind::invalidReply, "the reply is larger than a gateway's reply may be",
            "more than " + std::to_string(URLSession::kLargestReplyBytes) + " bytes"};
    } else if (result != CURLE_OK) {
        outcome.error = failure(result, errorText);
        if (outcome.error->kind == PlatformError::Kind::timedOut) {
            // libcurl names the way it was ended ("aborted by an application callback"); what
            // happened is that the time-out passed.
            outcome.error->localizedDescription =
                "the time-out passed: nothing was sent or received for " +
                std::to_string(
                    std::chrono::duration_cast<std::chrono::seconds>(transfer.idleLimit).count()) +
                " s";
        }
    }
    if (outcome.error) {
        long sent = 0;
        curl_easy_getinfo(handle.get(), CURLINFO_REQUEST_SIZE, &sent);
        outcome.error->requestSent = sent > 0;
    }
    secureWipe(transfer.body);
    return outcome;
}

}  // namespace

namespace {

struct DefaultConfiguration : internal::StatePart {
    std::mutex mutex;
    std::optional<URLSessionConfiguration> configuration;

    void reset() override {
        const std::lock_guard lock(mutex);
        configuration.reset();
    }
};

DefaultConfiguration& defaultConfiguration() {
    return internal::processPart<DefaultConfiguration>();
}

}  // namespace

URLSessionConfiguration URLSessionConfiguration::defaultSessionConfiguration() {
    auto& state = defaultConfiguration();
    const std::lock_guard lock(state.mutex);
    return state.configuration.value_or(URLSessionConfiguration{});
}

void URLSessionConfiguration::setDefaultSessionConfiguration(
    std::optional<URLSessionConfiguration> configuration) {
    auto& state = defaultConfiguration();
    const std::lock_guard lock(state.mutex);
    state.configuration = std::move(configuration);
}

void URLSessionDataTask::resume() {
    if (auto start = std::exchange(start_, nullptr)) {
        start();
    }
}

URLSession::URLSession(URLSessionConfiguration configuration)
    : configuration_(std::make_shared<const URLSessionConfiguration>(std::move(configuration))),
      trust_(sharedTrust(*configuration_)),
      delegateQueue_(std::make_shared<DispatchQueue>("vanto.urlsession.delegate")) {
    ensureCurlGlobalInit();
}

URLSession::~URLSession() = default;

std::shared_ptr<URLSessionDataTask> URLSession::dataTask(URLRequest request,
                                                         CompletionHandler completionHandler) {
    // The task holds the queue, not the session: a task may be started after its session is gone.
    auto queue = delegateQueue_;
    auto shared = std::make_shared<URLRequest>(std::move(request));
    return std::make_shared<URLSessionDataTask>([queue, configuration = configuration_,
                                                 trust = trust_, shared,
                                                 handler = std::move(completionHandler)]() mutable {
        queue->async([configuration, trust, shared, handler = std::move(handler)]() mutable {
            // Once the process is ending, neither the transfer nor its handler starts: the
            // outcome is dropped.
            lifetime::runUnlessEnding([&] {
                Outcome outcome =
                    perform(*shared, *configuration, *static_cast<const Trust*>(trust.get()));
                handler(std::move(outcome.data), std::move(outcome.response),
                        std::move(outcome.error));
            });
            // The body may hold card data: let it go (it wipes itself) now that the outcome has
            // been handed on.
            shared->httpBody.reset();
            handler = nullptr;
        });
    });
}

}  // namespace vanto::platform
