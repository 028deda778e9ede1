#include "vanto/transport/Trace.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "encoding/JsonRead.h"
#include "vanto/encoding/JsonWriter.h"
#include "vanto/text/Utf8.h"
#include "vanto/transport/TraceSink.h"

namespace vanto {
namespace {

enum class CardField { number, hidden };

// The members that carry card data in the gateway's messages and answers.
constexpr std::pair<std::string_view, CardField> kCardMembers[] = {
    {"DS_MERCHANT_PAN", CardField::number},        {"DS_MERCHANT_CVV2", CardField::hidden},
    {"DS_MERCHANT_EXPIRYDATE", CardField::hidden}, {"Ds_CardNumber", CardField::number},
    {"Ds_Card_Number", CardField::number},         {"Ds_ExpiryDate", CardField::hidden},
};

// A card number keeps its last four characters; anything else becomes asterisks entirely.
std::string masked(std::string_view value, CardField field) {
    const std::size_t visible = field == CardField::number && value.size() > 4 ? 4 : 0;
    return std::string(value.size() - visible, '*') +
           std::string(value.substr(value.size() - visible));
}

struct Found {
    std::string_view key;
    CardField field;
    std::string value;
};

// Collects the card members of `document` and of any JSON carried as a text inside it (the
// gateway nests the message as a text in its envelope), down to a few levels.
void collect(const nlohmann::json& document, std::vector<Found>& found, int depth) {
    if (depth > 3) {
        return;
    }
    if (document.is_object()) {
        for (const auto& [key, value] : document.items()) {
            for (const auto& [cardKey, field] : kCardMembers) {
                if (key == cardKey && value.is_string()) {
                    found.push_back({cardKey, field, value.get<std::string>()});
                }
            }
            collect(value, found, depth + 1);
        }
    } else if (document.is_array()) {
        for (const auto& item : document) {
            collect(item, found, depth + 1);
        }
    } else if (document.is_string()) {
        const auto& text = document.get_ref<const std::string&>();
        if (!text.empty() && (text.front() == '{' || text.front() == '[')) {
            if (auto nested = detail::parseJson(text)) {
                collect(*nested, found, depth + 1);
            }
        }
    }
}

std::string escaped(std::string_view text) {
    std::string out;
    appendJsonEscaped(out, text);
    return out;
}

void replaceAll(std::string& text, std::string_view what, std::string_view with) {
    if (what.empty() || what == with) {
        return;
    }
    for (std::size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + with.size())) {
        text.replace(at, what.size(), with);
    }
}

// Where the JSON of a traced body starts: after the form key of the gateway's requests.
std::string_view jsonPart(std::string_view text) {
    constexpr std::string_view kFormKey = "datoEntrada=";
    return text.starts_with(kFormKey) ? text.substr(kFormKey.size()) : text;
}

// Without a readable structure, any long run of digits may be a card number.
void maskDigitRuns(std::string& text) {
    std::size_t at = 0;
    while (at < text.size()) {
        if (!std::isdigit(static_cast<unsigned char>(text[at]))) {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) {
            ++end;
        }
        if (end - at >= 12) {
            text.replace(at, end - at,
                         masked(std::string_view(text).substr(at, end - at), CardField::number));
        }
        at = end;
    }
}

std::string dictionary(const platform::HeaderFields& fields) {
    std::string text = "[";
    for (const auto& [name, value] : fields.fields()) {
        if (text.size() > 1) {
            text += ", ";
        }
        text += name + ": " + value;
    }
    return text + "]";
}


}  // namespace

std::string maskCardData(std::string_view text) {
    std::string result(text);
    const auto document = detail::parseJson(jsonPart(text));
    if (!document) {
        maskDigitRuns(result);
        return result;
    }
    std::vector<Found> found;
    collect(*document, found, 0);
    for (const auto& [key, field, value] : found) {
        if (value.empty()) {
            continue;
        }
        const std::string hidden = masked(value, field);
        // The member as it stands in JSON, and the same once more escaped where that JSON is
        // itself carried as a text.
        const std::string member = "\"" + std::string(key) + "\":\"" + escaped(value) + "\"";
        const std::string maskedMember = "\"" + std::string(key) + "\":\"" + escaped(hidden) + "\"";
        replaceAll(result, member, maskedMember);
        replaceAll(result, escaped(member), escaped(maskedMember));
        if (field == CardField::number) {
            // A card number must not survive anywhere else either (in a description, say).
            replaceAll(result, value, hidden);
        }
    }
    return result;
}

std::string requestTrace(const platform::URLRequest& request) {
    std::string text = "====== REQUEST ======\nMethod: ";
    text += request.httpMethod.value_or("NOT DEFINED");
    text += "\nURL: ";
    text += request.url.empty() ? "NOT DEFINED" : request.url;
    text += "\nHEADERS: ";
    text += request.allHTTPHeaderFields.empty() ? "NOT DEFINED"
                                                : dictionary(request.allHTTPHeaderFields);
    text += "\nBODY: ";
    text += request.httpBody && isValidUtf8(*request.httpBody) ? maskCardData(*request.httpBody)
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
