#pragma once

// libcurl's own cookie engine as a transfer uses it, for the cookie store's fuzzer and tests.
#include <curl/curl.h>

#include <string>
#include <vector>

namespace vanto::fuzz {

/// The cookie lines libcurl's cookie engine keeps of `setCookieFields` (each a Set-Cookie
/// field's value), in the list form a transfer hands the cookie store.
template <typename Fields>
std::vector<std::string> cookieEngineLines(const Fields& setCookieFields) {
    std::vector<std::string> lines;
    CURL* handle = curl_easy_init();
    if (handle == nullptr) {
        return lines;
    }
    curl_easy_setopt(handle, CURLOPT_COOKIEFILE, "");
    for (const auto& field : setCookieFields) {
        const std::string header = "Set-Cookie: " + std::string(field);
        curl_easy_setopt(handle, CURLOPT_COOKIELIST, header.c_str());
    }
    curl_slist* list = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_COOKIELIST, &list) == CURLE_OK) {
        for (const curl_slist* item = list; item != nullptr; item = item->next) {
            lines.emplace_back(item->data);
        }
        curl_slist_free_all(list);
    }
    curl_easy_cleanup(handle);
    return lines;
}

}  // namespace vanto::fuzz
