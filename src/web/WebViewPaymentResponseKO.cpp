#include "vanto/web/WebViewPaymentResponseKO.h"

#include <utility>

#include "encoding/JsonRead.h"
#include "vanto/encoding/JsonWriter.h"

namespace vanto {

WebViewPaymentResponseKO::WebViewPaymentResponseKO(std::int64_t code, std::string desc)
    : code(code), desc(std::move(desc)) {}

std::optional<WebViewPaymentResponseKO> WebViewPaymentResponseKO::fromJSON(std::string_view json) {
    try {
        const std::optional<nlohmann::json> object = detail::parseJsonObject(json);
        std::int64_t failureCode = 0;
        std::string failureDesc;
        if (!object || !detail::readInteger(*object, "code", failureCode) ||
            !detail::readText(*object, "desc", failureDesc)) {
            return std::nullopt;
        }
        return WebViewPaymentResponseKO(failureCode, std::move(failureDesc));
    } catch (...) {
        return std::nullopt;
    }
}

std::string WebViewPaymentResponseKO::toJSON() const {
    JsonWriter writer;
    writer.beginObject();
    writer.member("code", code);
    writer.member("desc", desc);
    writer.endObject();
    return writer.ok() ? writer.take() : std::string();
}

}  // namespace vanto
