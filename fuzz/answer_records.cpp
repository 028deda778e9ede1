// The gateway's answers: every record decoder, chosen by the first byte, on the rest of the
// input. A record that decodes must write JSON that decodes to the same record.
#include <string>

#include "FuzzSupport.h"
#include "vanto/direct/DatosRespuesta.h"
#include "vanto/direct/DirectPaymentResponse.h"
#include "vanto/direct/DirectPaymentResponseOK.h"
#include "vanto/transport/Response.h"
#include "vanto/web/Parameters.h"
#include "vanto/web/WebViewPaymentResponse.h"
#include "vanto/web/WebViewPaymentResponseKO.h"
#include "vanto/web/WebViewPaymentResponseOK.h"
#include "vanto/web/datosPeticion.h"

namespace {

using namespace vanto;

template <typename Record>
std::optional<Record> decodedAndWrittenBack(std::string_view json) {
    const std::optional<Record> record = Record::fromJSON(json);
    if (record) {
        const std::optional<Record> again = Record::fromJSON(record->toJSON());
        FUZZ_CHECK(again && *again == *record);
    }
    return record;
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
            decodedAndWrittenBack<DirectPaymentResponseOK>(json);
            break;
        case 3:
            decodedAndWrittenBack<DatosRespuesta>(json);
            break;
        case 4:
            decodedAndWrittenBack<WebViewPaymentResponse>(json);
            break;
        case 5:
            decodedAndWrittenBack<WebViewPaymentResponseOK>(json);
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
