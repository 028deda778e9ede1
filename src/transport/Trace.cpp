#include "vanto/transport/Trace.h"

#include <cstdio>

#include "vanto/text/Utf8.h"
#include "vanto/transport/TraceSink.h"

namespace vanto {
namespace {

// Header values are masked one by one: a reply may echo the request in any of them (a cookie, a
// return address with a payment result), and a value never runs into the next field.
std::string dictionary(const platform::HeaderFields& fields) {
    std::string text = "[";
    for (const auto& [name, value] : fields.fields()) {
        if (text.size() > 1) {
            text += ", ";
        }
        text += name + ": " + maskCardData(value);
    }
    return text + "]";
}

}  // namespace

std::string requestTrace(const platform::URLRequest& request) {
    std::string text = "====== REQUEST ======\nMethod: ";
    text += request.httpMethod.value_or("NOT DEFINED");
    text += "\nURL: ";
    text += request.url.empty() ? "NOT DEFINED" : maskCardData(request.url);
    text += "\nHEADERS: ";
    text += request.allHTTPHeaderFields.empty() ? "NOT DEFINED"
                                                : dictionary(request.allHTTPHeaderFields);
    text += "\nBODY: ";
    text += request.httpBody && isValidUtf8(request.httpBody->view())
                ? maskCardData(request.httpBody->view())
                : "NOT DEFINED";
    return text;
}

std::string responseTrace(const platform::HTTPURLResponse& response,
                          const std::optional<std::string>& data) {
    std::string text = "====== RESPONSE ======\nSTATUS CODE: ";
    text += std::to_string(response.statusCode);
    text += "\nHEADERS: ";
    text += dictionary(response.allHeaderFields);
    text += "\nBODY: ";
    text += data && isValidUtf8(*data) ? maskCardData(*data) : "EMPTY RESPONSE";
    return text;
}

void showLog(const platform::URLRequest& request) {
    writeTrace(requestTrace(request));
}

void showLog(const platform::HTTPURLResponse& response, const std::optional<std::string>& data) {
    writeTrace(responseTrace(response, data));
}

}  // namespace vanto
