#include "Text.h"

#include <algorithm>
#include <cctype>

namespace vanto::sandbox::detail {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string unescape(std::string_view text, bool plusIsSpace) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+' && plusIsSpace) {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
                   hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

template <typename Decode>
std::vector<std::pair<std::string, std::string>> split(std::string_view text, Decode decode) {
    std::vector<std::pair<std::string, std::string>> fields;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('&'), text.size());
        const std::string_view field = text.substr(0, end);
        if (!field.empty()) {
            const std::size_t equals = field.find('=');
            if (equals == std::string_view::npos) {
                fields.emplace_back(decode(field), "");
            } else {
                fields.emplace_back(decode(field.substr(0, equals)),
                                    decode(field.substr(equals + 1)));
            }
        }
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return fields;
}

}  // namespace

bool isDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string htmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string formDecode(std::string_view text) {
    return unescape(text, true);
}

std::string percentDecode(std::string_view text) {
    return unescape(text, false);
}

std::vector<std::pair<std::string, std::string>> parseForm(std::string_view body) {
    return split(body, formDecode);
}

std::string formValue(const std::vector<std::pair<std::string, std::string>>& fields,
                      std::string_view name) {
    for (const auto& [key, value] : fields) {
        if (key == name) {
            return value;
        }
    }
    return "";
}

std::vector<std::pair<std::string, std::string>> splitRawQuery(std::string_view query) {
    return split(query, [](std::string_view text) { return std::string(text); });
}

}  // namespace vanto::sandbox::detail
