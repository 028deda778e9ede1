#include "vanto/platform/HTTPCookieStorage.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <limits>
#include <mutex>
#include <string>
#include <system_error>

#include "platform/CookieMatch.h"
#include "platform/CurlGlobal.h"
#include "platform/Owned.h"
#include "platform/StatePart.h"

namespace vanto::platform {
namespace {

constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::vector<std::string_view> splitTabs(std::string_view line) {
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    for (std::size_t tab = line.find('\t'); tab != std::string_view::npos;
         tab = line.find('\t', from)) {
        parts.push_back(line.substr(from, tab - from));
        from = tab + 1;
    }
    parts.push_back(line.substr(from));
    return parts;
}

// The expiry field of a cookie line. libcurl writes any 64-bit count of seconds (the largest one
// for a Max-Age too large to add to the time); a count beyond even that range keeps its sign.
long long epochSeconds(std::string_view field) {
    long long seconds = 0;
    const auto parsed = std::from_chars(field.data(), field.data() + field.size(), seconds);
    if (parsed.ec == std::errc::result_out_of_range) {
        return field.starts_with('-') ? std::numeric_limits<long long>::min()
                                      : std::numeric_limits<long long>::max();
    }
    return seconds;
}

// The clock counts nanoseconds in 64 bits and so ends in the year 2262, long before a 64-bit count
// of seconds does: converting a later expiry as it stands would overflow. Times beyond either end
// of the clock are pinned to that end, so a far-future expiry stays a far-future one.
std::chrono::system_clock::time_point timeFromEpochSeconds(long long seconds) {
    using std::chrono::duration_cast;
    using Clock = std::chrono::system_clock;
    constexpr long long kLatest =
        duration_cast<std::chrono::seconds>(Clock::duration::max()).count();
    constexpr long long kEarliest =
        duration_cast<std::chrono::seconds>(Clock::duration::min()).count();
    return Clock::time_point(duration_cast<Clock::duration>(
        std::chrono::seconds(std::clamp(seconds, kEarliest, kLatest))));
}

// The reverse, which cannot overflow: seconds are the coarser unit.
long long epochSeconds(std::chrono::system_clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

// One line of libcurl's cookie list: domain, subdomains flag, path, secure flag, expiry in
// seconds since the epoch (0 for a session cookie), name, value.
std::optional<HTTPCookie> parseNetscapeLine(std::string_view line) {
    HTTPCookie cookie;
    if (line.starts_with(kHttpOnlyPrefix)) {
        cookie.httpOnly = true;
        line.remove_prefix(kHttpOnlyPrefix.size());
    }
    const auto parts = splitTabs(line);
    if (parts.size() != 7) {
        return std::nullopt;
    }
    std::string_view domain = parts[0];
    if (domain.starts_with('.')) {
        domain.remove_prefix(1);
    }
    cookie.domain = lower(domain);
    cookie.includesSubdomains = parts[1] == "TRUE";
    cookie.path = std::string(parts[2]);
    cookie.secure = parts[3] == "TRUE";
    if (const long long expires = epochSeconds(parts[4]); expires != 0) {
        cookie.expiresDate = timeFromEpochSeconds(expires);
    }
    cookie.name = std::string(parts[5]);
    cookie.value = std::string(parts[6]);
    return cookie;
}

std::string netscapeLine(const HTTPCookie& cookie) {
    // 0 would make the cookie a session cookie and libcurl refuses a negative time: an expiry at
    // or before the epoch is written as one second after it, which has passed all the same.
    const long long expires =
        cookie.expiresDate ? std::max(1LL, epochSeconds(*cookie.expiresDate)) : 0;
    std::string line = cookie.httpOnly ? std::string(kHttpOnlyPrefix) : std::string();
    line += cookie.includesSubdomains ? "." + cookie.domain : cookie.domain;
    line += cookie.includesSubdomains ? "\tTRUE\t" : "\tFALSE\t";
    line += cookie.path + (cookie.secure ? "\tTRUE\t" : "\tFALSE\t");
    line += std::to_string(expires) + "\t" + cookie.name + "\t" + cookie.value;
    return line;
}

bool expired(const HTTPCookie& cookie) {
    return cookie.expiresDate && *cookie.expiresDate <= std::chrono::system_clock::now();
}

bool isIPAddress(std::string_view host) {
    return host.starts_with('[') || std::all_of(host.begin(), host.end(), [](char c) {
               return std::isdigit(static_cast<unsigned char>(c)) || c == '.';
           });
}

// Domain matching of RFC 6265: the host itself, or a subdomain when the cookie allows it (never
// for an IP address).
bool domainMatches(const HTTPCookie& cookie, const std::string& host) {
    if (host == cookie.domain) {
        return true;
    }
    return cookie.includesSubdomains && !isIPAddress(host) && host.size() > cookie.domain.size() &&
           host.ends_with(cookie.domain) && host[host.size() - cookie.domain.size() - 1] == '.';
}

// Path matching of RFC 6265: the same path, or a prefix that ends at a "/" boundary.
bool pathMatches(const std::string& cookiePath, const std::string& requestPath) {
    if (requestPath == cookiePath) {
        return true;
    }
    if (!requestPath.starts_with(cookiePath)) {
        return false;
    }
    return cookiePath.ends_with('/') || requestPath[cookiePath.size()] == '/';
}

struct ParsedURL {
    std::string scheme;
    std::string host;
    std::string path;
};

using CurlText = Owned<char, curl_free>;

// A part of a parsed URL, as libcurl hands it out; null when the URL has no such part.
CurlText urlPart(CURLU* handle, CURLUPart which) {
    char* part = nullptr;
    const CURLUcode code = curl_url_get(handle, which, &part, 0);
    CurlText owned(part);
    if (code != CURLUE_OK) {
        owned.reset();
    }
    return owned;
}

std::optional<ParsedURL> parseURL(std::string_view url) {
    const Owned<CURLU, curl_url_cleanup> handle(curl_url());
    const std::string text(url);
    if (handle == nullptr ||
        curl_url_set(handle.get(), CURLUPART_URL, text.c_str(), 0) != CURLUE_OK) {
        return std::nullopt;
    }
    const auto scheme = urlPart(handle.get(), CURLUPART_SCHEME);
    const auto host = urlPart(handle.get(), CURLUPART_HOST);
    const auto path = urlPart(handle.get(), CURLUPART_PATH);
    if (!scheme || !host || !path) {
        return std::nullopt;
    }
    return ParsedURL{lower(scheme.get()), lower(host.get()),
                     path.get()[0] == '\0' ? "/" : path.get()};
}

bool applies(const HTTPCookie& cookie, const ParsedURL& url) {
    return domainMatches(cookie, url.host) && pathMatches(cookie.path, url.path) &&
           (!cookie.secure || url.scheme == "https") && !expired(cookie);
}

}  // namespace

std::vector<HTTPCookie> cookiesApplyingTo(const std::vector<HTTPCookie>& cookies,
                                          std::string_view url) {
    std::vector<HTTPCookie> matching;
    if (cookies.empty()) {
        return matching;
    }
    const auto parsed = parseURL(url);
    for (const auto& cookie : cookies) {
        if (cookie.domain.empty() || (parsed && applies(cookie, *parsed))) {
            matching.push_back(cookie);
        }
    }
    return matching;
}

bool sameCookie(const HTTPCookie& a, const HTTPCookie& b) {
    return a.name == b.name && a.domain == b.domain && a.path == b.path;
}

HeaderFields requestHeaderFieldsWithCookies(const std::vector<HTTPCookie>& cookies) {
    HeaderFields fields;
    if (cookies.empty()) {
        return fields;
    }
    std::string value;
    for (const auto& cookie : cookies) {
        if (!value.empty()) {
            value += "; ";
        }
        value += cookie.name + "=" + cookie.value;
    }
    fields.set("Cookie", std::move(value));
    return fields;
}

// The jar is the cookie engine of one libcurl handle that is never used for a transfer. Transfers
// run with an empty engine of their own (so that libcurl adds no cookies to requests by itself:
// the library sends the cookies it chooses) and hand the cookies their reply set over to the jar
// in libcurl's own cookie-list form. One mutex serialises the use of the handle.
struct HTTPCookieStorage::Jar {
    std::mutex handleMutex;
    Owned<CURL, curl_easy_cleanup> handle;

    std::vector<HTTPCookie> all() {
        std::vector<HTTPCookie> cookies;
        curl_slist* got = nullptr;
        const std::lock_guard guard(handleMutex);
        if (handle == nullptr ||
            curl_easy_getinfo(handle.get(), CURLINFO_COOKIELIST, &got) != CURLE_OK) {
            return cookies;
        }
        const Owned<curl_slist, curl_slist_free_all> list(got);
        for (const curl_slist* item = list.get(); item != nullptr; item = item->next) {
            if (auto cookie = parseNetscapeLine(item->data); cookie && !expired(*cookie)) {
                cookies.push_back(std::move(*cookie));
            }
        }
        return cookies;
    }
};

HTTPCookieStorage::HTTPCookieStorage() : jar_(std::make_unique<Jar>()) {
    ensureCurlGlobalInit();
    jar_->handle.reset(curl_easy_init());
    if (jar_->handle == nullptr) {
        return;
    }
    // An empty file name switches the cookie engine on without reading any file.
    curl_easy_setopt(jar_->handle.get(), CURLOPT_COOKIEFILE, "");
}

HTTPCookieStorage::~HTTPCookieStorage() = default;

namespace {

// Transfers still in flight while the process ends take their cookies in here.
struct SharedJar : internal::StatePart {
    HTTPCookieStorage storage;
    void reset() override { storage.removeAll(); }
};

}  // namespace

HTTPCookieStorage& HTTPCookieStorage::shared() {
    return internal::processPart<SharedJar>().storage;
}

void HTTPCookieStorage::takeIn(const std::vector<std::string>& netscapeLines) {
    const std::lock_guard guard(jar_->handleMutex);
    if (jar_->handle == nullptr) {
        return;
    }
    for (const auto& line : netscapeLines) {
        curl_easy_setopt(jar_->handle.get(), CURLOPT_COOKIELIST, line.c_str());
    }
}

void HTTPCookieStorage::setCookie(const HTTPCookie& cookie) {
    takeIn({netscapeLine(cookie)});
}

std::vector<HTTPCookie> HTTPCookieStorage::cookiesForURL(std::string_view url) const {
    std::vector<HTTPCookie> matching;
    const auto parsed = parseURL(url);
    if (!parsed) {
        return matching;
    }
    for (auto& cookie : jar_->all()) {
        if (applies(cookie, *parsed)) {
            matching.push_back(std::move(cookie));
        }
    }
    std::stable_sort(
        matching.begin(), matching.end(),
        [](const HTTPCookie& a, const HTTPCookie& b) { return a.path.size() > b.path.size(); });
    return matching;
}

std::vector<HTTPCookie> HTTPCookieStorage::cookies() const {
    return jar_->all();
}

void HTTPCookieStorage::removeAll() {
    const std::lock_guard guard(jar_->handleMutex);
    if (jar_->handle != nullptr) {
        curl_easy_setopt(jar_->handle.get(), CURLOPT_COOKIELIST, "ALL");
    }
}

}  // namespace vanto::platform
