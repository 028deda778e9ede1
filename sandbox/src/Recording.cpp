#include "Recording.h"

#include <algorithm>

#include "Services.h"
#include "Text.h"

namespace vanto::sandbox::detail {

namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kOmittedBody = "(cuerpo omitido: contiene datos de tarjeta)";

enum class CardField { number, secret };

/// The masked form of a card value: a number keeps its last four digits, a security code or an
/// expiry date keeps nothing. The length stays, so that an empty value still shows as empty.
std::string masked(std::string_view value, CardField field) {
    std::string out(value.size(), '*');
    const bool lastFourDigits = value.size() > 4 && isDigits(value.substr(value.size() - 4));
    if (field == CardField::number && lastFourDigits) {
        out.replace(out.size() - 4, 4, value.substr(value.size() - 4));
    }
    return out;
}

bool isMasked(std::string_view value, CardField field) {
    return masked(value, field) == value;
}

constexpr std::pair<std::string_view, CardField> kJsonCardMembers[] = {
    {"DS_MERCHANT_PAN", CardField::number},
    {"DS_MERCHANT_CVV2", CardField::secret},
    {"DS_MERCHANT_EXPIRYDATE", CardField::secret},
};

constexpr std::pair<std::string_view, CardField> kFormCardFields[] = {
    {"numero", CardField::number},
    {"caducidad", CardField::secret},
    {"cvv", CardField::secret},
};

/// Skips backslashes and spaces, then expects `expected`; the position after it, or npos.
std::size_t after(std::string_view text, std::size_t at, char expected) {
    while (at < text.size() && (text[at] == '\\' || text[at] == ' ')) {
        ++at;
    }
    return at < text.size() && text[at] == expected ? at + 1 : std::string_view::npos;
}

/// Masks the value of every `"key": "value"` (or `"key": digits`) pair, also when the quotation
/// marks are escaped because the pair sits inside the text of the envelope's "mensaje".
void maskJsonMember(std::string& body, std::string_view key, CardField field) {
    for (std::size_t found = body.find(key); found != std::string::npos;
         found = body.find(key, found + key.size())) {
        std::size_t at = after(body, found + key.size(), '"');
        at = at == std::string::npos ? at : after(body, at, ':');
        if (at == std::string::npos) {
            continue;
        }
        const std::size_t quoted = after(body, at, '"');
        std::size_t end = 0;
        if (quoted != std::string::npos) {
            at = quoted;
            end = std::min(body.find_first_of("\\\"", at), body.size());
        } else {
            at = std::min(body.find_first_not_of(' ', at), body.size());
            end = std::min(body.find_first_not_of("0123456789", at), body.size());
        }
        body.replace(at, end - at, masked(std::string_view(body).substr(at, end - at), field));
    }
}

/// Masks the card fields of a form body in place, leaving every other field as it was sent.
std::string maskFormFields(std::string_view body) {
    std::string out;
    for (bool first = true; first || !body.empty(); first = false) {
        const std::size_t end = std::min(body.find('&'), body.size());
        const std::string_view field = body.substr(0, end);
        body.remove_prefix(std::min(end + 1, body.size()));
        out += first ? "" : "&";
        const std::size_t equals = field.find('=');
        const std::string name =
            equals == std::string_view::npos ? "" : formDecode(field.substr(0, equals));
        const auto* cardField =
            std::find_if(std::begin(kFormCardFields), std::end(kFormCardFields),
                         [&name](const auto& entry) { return entry.first == name; });
        if (cardField == std::end(kFormCardFields)) {
            out += field;
        } else {
            out += std::string(field.substr(0, equals + 1)) +
                   masked(formDecode(field.substr(equals + 1)), cardField->second);
        }
    }
    return out;
}

/// Whether the body, read as the JSON services read it, still holds a card value in clear (a
/// member name written with escapes, for instance, escapes the text search).
bool holdsClearCardData(std::string_view body) {
    const std::size_t at = body.find("datoEntrada=");
    const Json envelope =
        Json::parse(body.substr(at == std::string_view::npos ? 0 : at + 12), nullptr, false);
    if (!envelope.is_object() || !envelope.contains("mensaje") ||
        !envelope["mensaje"].is_string()) {
        return false;
    }
    const Json message = Json::parse(envelope["mensaje"].get<std::string>(), nullptr, false);
    if (!message.is_object() || !message.contains("datosPeticion") ||
        !message["datosPeticion"].is_object()) {
        return false;
    }
    const Json& details = message["datosPeticion"];
    return std::any_of(std::begin(kJsonCardMembers), std::end(kJsonCardMembers),
                       [&details](const auto& member) {
                           const auto found = details.find(member.first);
                           if (found == details.end() || found->is_null()) {
                               return false;
                           }
                           return !found->is_string() ||
                                  !isMasked(found->template get<std::string>(), member.second);
                       });
}

}  // namespace

std::string maskCardData(std::string_view body) {
    std::string out = maskFormFields(body);
    for (const auto& [key, field] : kJsonCardMembers) {
        maskJsonMember(out, key, field);
    }
    return holdsClearCardData(out) ? std::string(kOmittedBody) : out;
}

nlohmann::ordered_json recordedJson(const RecordedRequest& request) {
    Json headers = Json::array();
    for (const auto& [name, value] : request.headers) {
        headers.push_back(Json::array({name, value}));
    }
    Json record;
    record["method"] = request.method;
    record["path"] = request.path;
    record["headers"] = std::move(headers);
    record["carriedSessionCookie"] = request.carriedSessionCookie;
    record["body"] = maskCardData(request.body);
    return record;
}

bool RecordFile::open(const std::string& path, std::string& error) {
    std::lock_guard lock(mutex_);
    out_.open(path, std::ios::out | std::ios::app | std::ios::binary);
    if (!out_) {
        error = "cannot open the recording file " + path;
        return false;
    }
    return true;
}

void RecordFile::append(const RecordedRequest& request) {
    const std::string line = compactJson(recordedJson(request)) + "\n";
    std::lock_guard lock(mutex_);
    if (out_.is_open()) {
        out_ << line << std::flush;
    }
}

}  // namespace vanto::sandbox::detail
