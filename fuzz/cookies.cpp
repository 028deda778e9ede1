// Set-Cookie handling through the cookie store. The first line of the input is the address to
// ask cookies for; each further line is given to libcurl's cookie engine as a Set-Cookie header,
// and the cookies it keeps are handed to the store in libcurl's own list form, as a transfer
// does. What the store answers must apply to the address by its host, path and scheme.
#include <curl/curl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "CookieEngine.h"
#include "FuzzSupport.h"
#include "vanto/platform/HTTPCookieStorage.h"

namespace {

using vanto::platform::HTTPCookie;

struct Address {
    std::string scheme, host, path;
};

std::optional<Address> parsed(const std::string& url) {
    CURLU* handle = curl_url();
    std::optional<Address> address;
    char* parts[3] = {};
    if (curl_url_set(handle, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
        curl_url_get(handle, CURLUPART_SCHEME, &parts[0], 0) == CURLUE_OK &&
        curl_url_get(handle, CURLUPART_HOST, &parts[1], 0) == CURLUE_OK &&
        curl_url_get(handle, CURLUPART_PATH, &parts[2], 0) == CURLUE_OK) {
        address = Address{parts[0], parts[1], parts[2][0] == '\0' ? "/" : parts[2]};
    }
    for (char* part : parts) {
        curl_free(part);
    }
    curl_url_cleanup(handle);
    return address;
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool appliesTo(const HTTPCookie& cookie, const Address& address) {
    const std::string host = lower(address.host);
    const bool hostMatches =
        host == cookie.domain || (cookie.includesSubdomains && host.ends_with("." + cookie.domain));
    const bool pathMatches = address.path.starts_with(cookie.path);
    return hostMatches && pathMatches && (!cookie.secure || lower(address.scheme) == "https");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A header line ends at a line break; a zero byte would end libcurl's C text early.
    const std::string_view input = vanto::fuzz::textOf(data, size);
    if (input.find('\0') != std::string_view::npos) {
        return 0;
    }
    auto lines = vanto::fuzz::split(input, '\n');
    const std::string url(lines.front());
    lines.erase(lines.begin());

    vanto::platform::HTTPCookieStorage storage;
    storage.takeIn(vanto::fuzz::cookieEngineLines(lines));
    const std::vector<HTTPCookie> stored = storage.cookies();
    const std::vector<HTTPCookie> applying = storage.cookiesForURL(url);
    const auto address = parsed(url);
    FUZZ_CHECK(address || applying.empty());
    for (std::size_t i = 0; i < applying.size(); ++i) {
        FUZZ_CHECK(appliesTo(applying[i], *address));
        FUZZ_CHECK(std::find(stored.begin(), stored.end(), applying[i]) != stored.end());
        FUZZ_CHECK(i == 0 || applying[i - 1].path.size() >= applying[i].path.size());
    }
    return 0;
}
