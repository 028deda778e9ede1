#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

#include "vanto/Export.h"
#include "vanto/journal/PaymentJournal.h"

namespace vanto {

/// What a refusal record (DirectPaymentResponseKO, WebViewPaymentResponseKO) says happened, for
/// applications that would rather not read codes.
enum class RefusalKind {
    /// The gateway decided against the card (code 78 with its response number): nothing was
    /// charged.
    refusedByIssuer,
    /// The cardholder cancelled: code 78 "Operación cancelada por el usuario.", or the payment
    /// page's cancellation (78 with response 9915). Nothing was charged.
    cancelled,
    /// The payment was refused for its data before the gateway decided: the library's invalid
    /// amount (5548 "El importe tiene que ser igual o mayor de 0,00"), or any code of the gateway's
    /// own (data it refuses, an unknown merchant, an issuer it cannot reach). Nothing was charged.
    invalidData,
    /// No decision of the gateway was read: the call failed on the way (5550), its answer could
    /// not be read (5548 other than the invalid amount), or the payment page came back without a
    /// readable result (5551). From the record alone this may be a payment that never reached the
    /// gateway or one the gateway charged; the payment journal tells which.
    transportFailure,
    /// The journal says the request left (or the payment page opened) and no decision of the
    /// gateway was read: the gateway may have charged the card. Check the order before charging
    /// it again. Only the journal can tell this.
    inDoubt,
    /// The journal could not record the payment (PaymentJournal::kRefusalCode): nothing was sent.
    notRecorded,
    /// The journal holds an earlier payment of the same order that may have charged it
    /// (PaymentJournal::kDuplicateOrderCode): nothing was sent. Review the earlier payment
    /// before charging the order again.
    duplicateOrder,
};

/// "refusedByIssuer", "cancelled", "invalidData", "transportFailure", "inDoubt", "notRecorded"
/// or "duplicateOrder".
VANTO_EXPORT std::string refusalKindName(RefusalKind kind);

/// What a refusal with `code` and `desc` says, from the record alone: never inDoubt, which
/// needs the journal.
VANTO_EXPORT RefusalKind classifyRefusal(std::int64_t code, std::string_view desc);

/// The same, told more exactly by the journal's entry of the payment: inDoubt when the journal
/// holds the payment in doubt, whatever the code says, except for the journal's own refusals
/// (notRecorded, duplicateOrder), which sent nothing: the entry found for their order is an
/// earlier payment's.
VANTO_EXPORT RefusalKind classifyRefusal(std::int64_t code, std::string_view desc,
                                         const JournalEntry& entry);

/// A refusal record: anything with a numeric `code` and a text `desc`.
template <typename Record>
concept RefusalRecord = requires(const Record& record) {
    { record.code } -> std::convertible_to<std::int64_t>;
    { record.desc } -> std::convertible_to<std::string_view>;
};

/// classifyRefusal(record.code, record.desc).
template <RefusalRecord Record>
RefusalKind classifyRefusal(const Record& record) {
    return classifyRefusal(record.code, record.desc);
}

/// classifyRefusal(record.code, record.desc, entry).
template <RefusalRecord Record>
RefusalKind classifyRefusal(const Record& record, const JournalEntry& entry) {
    return classifyRefusal(record.code, record.desc, entry);
}

}  // namespace vanto
