#include "vanto/web/WebViewPaymentResponse.h"

#include <utility>

#include "encoding/CodeAndTexts.h"
#include "vanto/transport/Trace.h"

namespace vanto {

WebViewPaymentResponseKO::WebViewPaymentResponseKO(std::int64_t code, std::string desc)
    : code(code), desc(std::move(desc)) {}

namespace {
constexpr detail::TextFields<WebViewPaymentResponseKO, 1> kTextFields{{
    {"desc", &WebViewPaymentResponseKO::desc},
}};
}  // namespace

std::optional<WebViewPaymentResponseKO> WebViewPaymentResponseKO::fromJSON(std::string_view json) {
    return detail::decodeCodeAndTexts(json, WebViewPaymentResponseKO(0, ""), kTextFields);
}

std::string WebViewPaymentResponseKO::toJSON() const {
    // A refusal's text may quote what the gateway was sent, card data and all: what an
    // application prints of the record shows the card data as the traces do.
    return maskCardData(
        detail::encodeCodeAndTexts(*this, kTextFields, 128, JsonWriter::Sensitive::no));
}

}  // namespace vanto
