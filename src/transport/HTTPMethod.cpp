#include "vanto/transport/RequestService.h"

#include <array>
#include <utility>

namespace vanto {
namespace {

constexpr std::array<std::pair<HTTPMethod, std::string_view>, 9> kMethods = {{
    {HTTPMethod::options, "OPTIONS"},
    {HTTPMethod::get, "GET"},
    {HTTPMethod::head, "HEAD"},
    {HTTPMethod::post, "POST"},
    {HTTPMethod::put, "PUT"},
    {HTTPMethod::patch, "PATCH"},
    {HTTPMethod::delete_, "DELETE"},
    {HTTPMethod::trace, "TRACE"},
    {HTTPMethod::connect, "CONNECT"},
}};

}  // namespace

std::string rawValue(HTTPMethod method) {
    for (const auto& [value, text] : kMethods) {
        if (value == method) {
            return std::string(text);
        }
    }
    return "";
}

std::optional<HTTPMethod> httpMethodFromRawValue(std::string_view raw) {
    for (const auto& [value, text] : kMethods) {
        if (text == raw) {
            return value;
        }
    }
    return std::nullopt;
}

}  // namespace vanto
