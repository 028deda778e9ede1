// The gateway's answers: every record decoder, chosen by the first byte, on the rest of the
// input. A record that decodes must write JSON that decodes to the same record; the accepted
// payment records, which an application prints, write their card data masked.
#include <string>
#include <type_traits>

#include "FuzzSupport.h"
#include "vanto/direct/DirectPaymentResponse.h"
#include "vanto/transport/Response.h"
#include "vanto/web/WebViewPaymentResponse.h"

namespace {

using namespace vanto;

// A refusal writes its text masked: what it writes decodes to the same code, and to the same
// text whenever the masking had nothing to star out.
template <typename Record>
std::optional<Record> decodedAndWrittenBack(std::string_view json) {
    const std::optional<Record> record = Record::fromJSON(json);
    if (record) {
        const std::string written = record->toJSON();
        const std::optional<Record> again = Record::fromJSON(written);
        if constexpr (std::is_same_v<Record, WebViewPaymentResponseKO>) {
            FUZZ_CHECK(again && again->code == record->code);
            FUZZ_CHECK(written.find('*') != std::string::npos || *again == *record);
        } else {
            FUZZ_CHECK(again && *again == *record);
        }
    }
    return record;
}

// An accepted payment record prints its card data masked: what it prints decodes to the same
// code with the expiry date and the card number masked.
template <typename Record>
void printedMasked(std::string_view json, std::string Record::*number) {
    const std::optional<Record> record = Record::fromJSON(json);
    if (!record) {
        return;
    }
    const std::string printed = record->toJSON();
    const std::optional<Record> again = Record::fromJSON(printed);
    FUZZ_CHECK(again && again->code == record->code);
    for (const auto& [text, lastFour] :
         {std::pair{again->Ds_ExpiryDate, false}, std::pair{(*again).*number, true}}) {
        const std::size_t stars = text.find_first_not_of('*');
        FUZZ_CHECK(stars == std::string::npos ||
                   (lastFour && text.size() - stars == 4 &&
                    text.find_first_not_of("0123456789", stars) == std::string::npos));
    }
}

// The transport's path: the envelope, then its message as either service's answer.
void envelope(std::string_view json) {
    if (const auto response = decodedAndWrittenBack<Response>(json)) {
        if (const auto direct = decodedAndWrittenBack<DirectPaymentResponse>(response->mensaje)) {
            const DirectPaymentResponseOK accepted(*direct);
            FUZZ_CHECK(accepted.code == direct->code);
        }
        decodedAndWrittenBack<WebViewPaymentResponse>(response->mensaje);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view json = vanto::fuzz::textOf(data + 1, size - 1);
    switch (data[0] % 9) {
        case 0:
            envelope(json);
            break;
        case 1:
            decodedAndWrittenBack<DirectPaymentResponse>(json);
            break;
        case 2:
            printedMasked(json, &DirectPaymentResponseOK::Ds_CardNumber);
            break;
        case 3:
            decodedAndWrittenBack<DatosRespuesta>(json);
            break;
        case 4:
            decodedAndWrittenBack<WebViewPaymentResponse>(json);
            break;
        case 5:
            printedMasked(json, &WebViewPaymentResponseOK::Ds_Card_Number);
            break;
        case 6:
            decodedAndWrittenBack<WebViewPaymentResponseKO>(json);
            break;
        case 7:
            if (const auto parameters = decodedAndWrittenBack<Parameters>(json)) {
                const WebViewPaymentResponseOK accepted(*parameters, 0);
                FUZZ_CHECK(accepted.Ds_Order == parameters->Ds_Order.value_or(""));
            }
            break;
        default:
            decodedAndWrittenBack<datosPeticion>(json);
    }
    return 0;
}
