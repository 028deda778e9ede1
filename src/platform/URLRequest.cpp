#include "vanto/platform/URLRequest.h"

#include <algorithm>
#include <cctype>

namespace vanto::platform {
namespace {

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

void HeaderFields::set(std::string name, std::string value) {
    for (auto& field : fields_) {
        if (sameName(field.first, name)) {
            field.second = std::move(value);
            return;
        }
    }
    fields_.emplace_back(std::move(name), std::move(value));
}

std::optional<std::string> HeaderFields::value(std::string_view name) const {
    for (const auto& field : fields_) {
        if (sameName(field.first, name)) {
            return field.second;
        }
    }
    return std::nullopt;
}

URLRequest URLRequest::copy() const {
    URLRequest copied(url);
    copied.httpMethod = httpMethod;
    copied.allHTTPHeaderFields = allHTTPHeaderFields;
    if (httpBody) {
        copied.httpBody = httpBody->copy();
    }
    copied.timeoutInterval = timeoutInterval;
    copied.cachePolicy = cachePolicy;
    return copied;
}

void HeaderFields::add(std::string name, std::string value) {
    fields_.emplace_back(std::move(name), std::move(value));
}

}  // namespace vanto::platform
