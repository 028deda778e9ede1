#include "vanto/sandbox/HeadlessBrowser.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>

#include "ConsoleLog.h"
#include "vanto/platform/SecureWipe.h"
#include "vanto/text/UrlText.h"
#include "vanto/transport/Trace.h"

namespace vanto::sandbox {
namespace {

constexpr int kMostRedirects = 10;
// A payment passes the card form and at most a few steps after it.
constexpr int kMostPages = 6;
// The sandbox's pages are a few kilobytes; anything this large is not one of them.
constexpr std::size_t kMostPageBytes = 1024 * 1024;
// How much of a page's title or first line an error text quotes.
constexpr std::size_t kMostQuotedBytes = 80;

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string decodeEntities(std::string_view text) {
    static const std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        bool replaced = false;
        for (const auto& [entity, character] : kEntities) {
            if (text.substr(at, entity.size()) == entity) {
                out += character;
                at += entity.size();
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            out += text[at++];
        }
    }
    return out;
}

// The value of attribute `name` in the tag text `tag` (quoted with " or '), if present.
std::optional<std::string> attribute(std::string_view tag, std::string_view name) {
    const std::string lowered = lower(tag);
    const std::string wanted = " " + std::string(name) + "=";
    for (std::size_t at = lowered.find(wanted); at != std::string::npos;
         at = lowered.find(wanted, at + 1)) {
        const std::size_t start = at + wanted.size();
        if (start >= tag.size() || (tag[start] != '"' && tag[start] != '\'')) {
            continue;
        }
        const std::size_t end = tag.find(tag[start], start + 1);
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        return decodeEntities(tag.substr(start + 1, end - start - 1));
    }
    return std::nullopt;
}

std::string_view trimmed(std::string_view text) {
    const auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && space(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && space(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The tags named `name` in `html`, each as the text from "<" to ">".
std::vector<std::string_view> tags(std::string_view html, std::string_view name) {
    std::vector<std::string_view> found;
    const std::string lowered = lower(html);
    const std::string opening = "<" + std::string(name);
    for (std::size_t at = lowered.find(opening); at != std::string::npos;
         at = lowered.find(opening, at + 1)) {
        const char after = at + opening.size() < html.size() ? html[at + opening.size()] : '>';
        if (!std::isspace(static_cast<unsigned char>(after)) && after != '>') {
            continue;
        }
        const std::size_t end = html.find('>', at);
        if (end == std::string_view::npos) {
            break;
        }
        found.push_back(html.substr(at, end - at + 1));
    }
    return found;
}

// A page as it arrives, refused once it grows past kMostPageBytes.
struct Download {
    std::string* body;
    bool tooLarge = false;
};

std::size_t collect(char* data, std::size_t size, std::size_t count, void* user) {
    auto* download = static_cast<Download*>(user);
    if (download->body->size() + size * count > kMostPageBytes) {
        download->tooLarge = true;
        return 0;  // ends the transfer
    }
    download->body->append(data, size * count);
    return size * count;
}

// The first non-empty line of the page's text, tags left out.
std::string firstLine(std::string_view html) {
    std::string text;
    bool inTag = false;
    for (const char c : html) {
        if (c == '<' || c == '>') {
            inTag = c == '<';
            text += inTag ? "" : " ";
        } else if (!inTag) {
            if ((c == '\n' || c == '\r') && !trimmed(text).empty()) {
                break;
            }
            text += c == '\n' || c == '\r' ? ' ' : c;
        }
    }
    return std::string(trimmed(text));
}

// What a page is, for an error text: its status and its title, or else its first line,
// shortened, escaped and with anything like a card number masked.
std::string describe(const HeadlessBrowser::Page& page) {
    const auto titles = tags(page.body, "title");
    std::string shown;
    if (!titles.empty()) {
        const std::size_t start = titles.front().data() - page.body.data() + titles.front().size();
        const std::size_t end = lower(page.body).find("</title", start);
        shown = decodeEntities(std::string_view(page.body).substr(start, end - start));
    } else {
        shown = firstLine(page.body);
    }
    if (shown.size() > kMostQuotedBytes) {
        shown = shown.substr(0, kMostQuotedBytes) + "...";
    }
    return "status " + std::to_string(page.status) + ", \"" +
           detail::printable(maskCardData(shown)) + "\"";
}

// The host of an absolute address, or "" when it is not one.
std::string hostOf(const std::string& address) {
    std::string host;
    CURLU* url = curl_url();
    char* part = nullptr;
    if (curl_url_set(url, CURLUPART_URL, address.c_str(), 0) == CURLUE_OK &&
        curl_url_get(url, CURLUPART_HOST, &part, 0) == CURLUE_OK) {
        host = part;
    }
    curl_free(part);
    curl_url_cleanup(url);
    return host;
}

// `location` resolved against `base`, as a browser follows a redirect.
std::string resolve(const std::string& base, const std::string& location) {
    std::string resolved;
    CURLU* url = curl_url();
    char* full = nullptr;
    if (curl_url_set(url, CURLUPART_URL, base.c_str(), 0) == CURLUE_OK &&
        curl_url_set(url, CURLUPART_URL, location.c_str(), 0) == CURLUE_OK &&
        curl_url_get(url, CURLUPART_URL, &full, 0) == CURLUE_OK) {
        resolved = full;
    }
    curl_free(full);
    curl_url_cleanup(url);
    return resolved;
}

}  // namespace

bool HtmlForm::fill(std::string_view name, std::string value) {
    for (auto& [field, current] : fields) {
        if (field == name) {
            current = std::move(value);
            return true;
        }
    }
    return false;
}

std::optional<platform::SecretText> HtmlForm::encoded(std::string_view pressed) const {
    platform::SecretText body;
    bool encodable = true;
    const auto add = [&](std::string_view name, std::string_view value) {
        std::optional<std::string> encodedName =
            safeAddingPercentEncoding(name, rfc3986Unreserved());
        std::optional<std::string> encodedValue =
            safeAddingPercentEncoding(value, rfc3986Unreserved());
        encodable = encodable && encodedName && encodedValue;
        if (encodable) {
            body.append(body.empty() ? "" : "&");
            body.append(*encodedName);
            body.append("=");
            body.append(*encodedValue);
            platform::secureWipe(*encodedValue);  // it may be card data
        }
    };
    for (const auto& [name, value] : fields) {
        add(name, value);
    }
    const auto button = std::find_if(buttons.begin(), buttons.end(),
                                     [pressed](const auto& b) { return b.second == pressed; });
    if (button != buttons.end()) {
        add(button->first, button->second);
    } else if (!buttons.empty()) {
        add(buttons.front().first, buttons.front().second);
    }
    return encodable ? std::optional<platform::SecretText>(std::move(body)) : std::nullopt;
}

std::optional<HtmlForm> firstForm(std::string_view html) {
    const auto forms = tags(html, "form");
    if (forms.empty()) {
        return std::nullopt;
    }
    const std::size_t start = forms.front().data() - html.data();
    const std::size_t end = lower(html).find("</form", start);
    const std::string_view inside =
        html.substr(start, end == std::string::npos ? std::string_view::npos : end - start);
    HtmlForm form;
    form.action = attribute(forms.front(), "action").value_or("");
    form.method = lower(attribute(forms.front(), "method").value_or("get"));
    for (const auto input : tags(inside, "input")) {
        const auto name = attribute(input, "name");
        const std::string type = lower(attribute(input, "type").value_or("text"));
        if (!name || type == "submit" || type == "button") {
            continue;
        }
        form.fields.emplace_back(*name, attribute(input, "value").value_or(""));
    }
    for (const auto button : tags(inside, "button")) {
        if (const auto name = attribute(button, "name")) {
            form.buttons.emplace_back(*name, attribute(button, "value").value_or(""));
        }
    }
    return form;
}

struct HeadlessBrowser::Handle {
    CURL* curl = nullptr;
    std::string trustAnchor;
};

HeadlessBrowser::HeadlessBrowser(std::string trustAnchor) : handle_(std::make_unique<Handle>()) {
    handle_->trustAnchor = std::move(trustAnchor);
    handle_->curl = curl_easy_init();
    if (handle_->curl == nullptr) {
        return;
    }
    CURL* curl = handle_->curl;
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!handle_->trustAnchor.empty()) {
        curl_blob anchor{handle_->trustAnchor.data(), handle_->trustAnchor.size(),
                         CURL_BLOB_NOCOPY};
        curl_easy_setopt(curl, CURLOPT_CAINFO_BLOB, &anchor);
    }
    // The cookie engine keeps what the pages set for the rest of the session, as a browser does.
    curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 60L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &collect);
}

HeadlessBrowser::~HeadlessBrowser() {
    if (handle_->curl != nullptr) {
        curl_easy_cleanup(handle_->curl);
    }
}

std::optional<HeadlessBrowser::Page> HeadlessBrowser::load(const platform::URLRequest& request,
                                                           const Navigation& navigation) {
    problem_.clear();
    CURL* curl = handle_->curl;
    if (curl == nullptr) {
        problem_ = "libcurl could not be set up";
        return std::nullopt;
    }
    std::string address = request.url;
    std::string method = request.httpMethod.value_or("GET");
    // The card form's body carries card data: it stays secret text on the way to libcurl.
    std::optional<platform::SecretText> body;
    if (request.httpBody) {
        body = request.httpBody->copy();
    }
    if (host_.empty()) {
        host_ = hostOf(address);
    }
    for (int step = 0; step <= kMostRedirects; ++step) {
        if (!navigation(address)) {
            return std::nullopt;
        }
        if (hostOf(address) != host_) {
            problem_ = "the page went on to another host, which this browser does not load";
            return std::nullopt;
        }
        Page page{address, 0, {}};
        Download download{&page.body};
        // The request's own header fields go with its first load only; redirects are the
        // browser's own requests.
        curl_slist* headers = curl_slist_append(nullptr, "Expect:");
        for (const auto& [name, value] : request.allHTTPHeaderFields.fields()) {
            if (step == 0) {
                headers = curl_slist_append(headers, (name + ": " + value).c_str());
            }
        }
        curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &download);
        if (method == "POST" && body) {
            curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body->empty() ? "" : body->data());
            curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(body->size()));
        } else {
            curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
        }
        const CURLcode result = curl_easy_perform(curl);
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
        curl_slist_free_all(headers);
        if (download.tooLarge) {
            problem_ = "the page at " + detail::printable(maskCardData(address)) +
                       " is larger than 1 MiB, which no payment page is";
            return std::nullopt;
        }
        if (result != CURLE_OK) {
            problem_ = std::string("the page did not load: ") + curl_easy_strerror(result);
            return std::nullopt;
        }
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        page.status = static_cast<int>(status);
        char* location = nullptr;
        curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &location);
        if (status < 300 || status >= 400 || location == nullptr) {
            return page;
        }
        address = resolve(address, location);
        if (status != 307 && status != 308) {
            method = "GET";
            body.reset();
        }
    }
    problem_ = "too many redirects";
    return std::nullopt;
}

std::string walkPaymentPage(HeadlessBrowser& browser, const platform::URLRequest& page,
                            const CardholderEntry& entry, const PageWalk& walk) {
    platform::URLRequest next = page.copy();
    for (int pageCount = 0; pageCount < kMostPages; ++pageCount) {
        bool declined = false;
        const auto loaded = browser.load(next, [&](const std::string& address) {
            declined = !walk.navigation(address);
            return !declined;
        });
        if (!loaded) {
            return declined ? "" : browser.lastProblem();
        }
        if (!walk.finished(*loaded)) {
            return "";
        }
        auto form = firstForm(loaded->body);
        if (!form) {
            return "the page has no form to go on with: " + describe(*loaded);
        }
        if (form->fill("numero", entry.number)) {
            form->fill("caducidad", entry.expiry);
            form->fill("cvv", entry.cvv);
        }
        std::optional<platform::SecretText> body = form->encoded("pagar");
        for (auto& field : form->fields) {
            platform::secureWipe(field.second);
        }
        if (!body) {
            return "the card data are not text that a form can send";
        }
        next = platform::URLRequest(
            resolve(loaded->url, form->action.empty() ? loaded->url : form->action));
        next.httpMethod = form->method == "post" ? "POST" : "GET";
        next.httpBody = std::move(*body);
        next.allHTTPHeaderFields.set("Content-Type", "application/x-www-form-urlencoded");
    }
    return "too many pages";
}

}  // namespace vanto::sandbox
