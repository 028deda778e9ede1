#include "vanto/platform/URLSession.h"

#include <curl/curl.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>

#include "platform/CurlGlobal.h"
#include "vanto/platform/SecureWipe.h"

namespace vanto::platform {
namespace {

using Clock = std::chrono::steady_clock;

// State of one transfer, reached from libcurl's callbacks.
struct Transfer {
    std::string body;
    HeaderFields headers;
    std::chrono::milliseconds idleLimit{0};
    curl_off_t lastDown = -1;
    curl_off_t lastUp = -1;
    Clock::time_point lastActivity = Clock::now();
    const std::vector<std::string>* trustAnchors = nullptr;
};

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    transfer->body.append(data, size * count);
    return size * count;
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

// Adds the application's extra trust anchors to the store that OpenSSL verifies the server with,
// beside the system's certificates that libcurl has loaded.
CURLcode onSslContext(CURL*, void* context, void* user) {
    const auto* anchors = static_cast<const std::vector<std::string>*>(user);
    X509_STORE* store = SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(context));
    for (const auto& pem : *anchors) {
        BIO* input = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
        if (input == nullptr) {
            return CURLE_SSL_CERTPROBLEM;
        }
        bool any = false;
        while (X509* certificate = PEM_read_bio_X509(input, nullptr, nullptr, nullptr)) {
            X509_STORE_add_cert(store, certificate);
            X509_free(certificate);
            any = true;
        }
        BIO_free(input);
        if (!any) {
            return CURLE_SSL_CERTPROBLEM;
        }
    }
    return CURLE_OK;
}

std::vector<std::string> cookieLines(CURL* handle) {
    std::vector<std::string> lines;
    curl_slist* list = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_COOKIELIST, &list) == CURLE_OK) {
        for (const curl_slist* item = list; item != nullptr; item = item->next) {
            lines.emplace_back(item->data);
        }
        curl_slist_free_all(list);
    }
    return lines;
}

struct Outcome {
    std::optional<std::string> data;
    std::optional<HTTPURLResponse> response;
    std::optional<PlatformError> error;
};

Outcome perform(const URLRequest& request, const URLSessionConfiguration& configuration) {
    Outcome outcome;
    CURL* handle = curl_easy_init();
    if (handle == nullptr) {
        outcome.error =
            PlatformError{"libcurl", CURLE_FAILED_INIT, "the transfer could not be set up"};
        return outcome;
    }
    Transfer transfer;
    const double seconds = request.timeoutInterval > 0 ? request.timeoutInterval : 60.0;
    transfer.idleLimit =
        std::chrono::milliseconds(static_cast<long long>(std::ceil(seconds * 1000)));
    transfer.trustAnchors = &configuration.additionalTrustAnchors;

    curl_easy_setopt(handle, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "https,http");
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!configuration.additionalTrustAnchors.empty()) {
        curl_easy_setopt(handle, CURLOPT_SSL_CTX_FUNCTION, &onSslContext);
        curl_easy_setopt(handle, CURLOPT_SSL_CTX_DATA, &configuration.additionalTrustAnchors);
    }
    if (configuration.pinnedPublicKey) {
        curl_easy_setopt(handle, CURLOPT_PINNEDPUBLICKEY, configuration.pinnedPublicKey->c_str());
    }
    // A fresh connection for every call; replies are not followed to other addresses.
    curl_easy_setopt(handle, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(transfer.idleLimit.count()));
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &onProgress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &transfer);
    // An empty cookie engine of the transfer's own parses what the reply sets; it has nothing to
    // add to the request, whose cookies the caller chose.
    const bool keepCookies = configuration.httpCookieStorage != nullptr;
    if (keepCookies) {
        curl_easy_setopt(handle, CURLOPT_COOKIEFILE, "");
    }

    const std::string method = request.httpMethod.value_or("GET");
    if (request.httpBody) {
        curl_easy_setopt(handle, CURLOPT_POST, 1L);
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, request.httpBody->data());
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request.httpBody->size()));
    }
    if (method == "HEAD") {
        curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
    } else if (method != (request.httpBody ? "POST" : "GET")) {
        curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, method.c_str());
    }
    curl_slist* headers = nullptr;
    for (const auto& [name, value] : request.allHTTPHeaderFields.fields()) {
        headers = curl_slist_append(headers, (name + ": " + value).c_str());
    }
    // No "Expect: 100-continue" round trip before the body.
    headers = curl_slist_append(headers, "Expect:");
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);

    const CURLcode result = curl_easy_perform(handle);

    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    if (status > 0) {
        char* effective = nullptr;
        curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &effective);
        outcome.response = HTTPURLResponse{effective != nullptr ? effective : request.url,
                                           static_cast<int>(status), std::move(transfer.headers)};
        outcome.data = std::move(transfer.body);
        if (keepCookies) {
            configuration.httpCookieStorage->takeIn(cookieLines(handle));
        }
    }
    if (result != CURLE_OK) {
        outcome.error =
            PlatformError{"libcurl", static_cast<long>(result), curl_easy_strerror(result)};
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(handle);
    secureWipe(transfer.body);
    return outcome;
}

}  // namespace

URLSessionConfiguration URLSessionConfiguration::defaultSessionConfiguration() {
    return URLSessionConfiguration{};
}

void URLSessionDataTask::resume() {
    if (auto start = std::exchange(start_, nullptr)) {
        start();
    }
}

URLSession::URLSession(URLSessionConfiguration configuration)
    : configuration_(std::make_shared<const URLSessionConfiguration>(std::move(configuration))),
      delegateQueue_(std::make_unique<DispatchQueue>("vanto.urlsession.delegate")) {
    ensureCurlGlobalInit();
}

URLSession::~URLSession() = default;

std::shared_ptr<URLSessionDataTask> URLSession::dataTask(URLRequest request,
                                                         CompletionHandler completionHandler) {
    DispatchQueue* queue = delegateQueue_.get();
    auto configuration = configuration_;
    auto shared = std::make_shared<URLRequest>(std::move(request));
    return std::make_shared<URLSessionDataTask>([queue, configuration, shared,
                                                 handler = std::move(completionHandler)]() mutable {
        queue->async([configuration, shared, handler = std::move(handler)]() mutable {
            Outcome outcome = perform(*shared, *configuration);
            handler(std::move(outcome.data), std::move(outcome.response), std::move(outcome.error));
            // The body may hold card data: wipe it now that the outcome has been handed on.
            if (shared->httpBody) {
                secureWipe(*shared->httpBody);
            }
            handler = nullptr;
        });
    });
}

}  // namespace vanto::platform
