#include "vanto/journal/PaymentJournal.h"

namespace vanto {
namespace {

constexpr std::int64_t kRefused = 78;
constexpr std::int64_t kLibraryError = 5548;
constexpr std::int64_t kConnectionError = 5550;
constexpr std::int64_t kNoResult = 5551;
constexpr std::string_view kCancelledText = "Operación cancelada por el usuario.";
// The response number the payment page gives when the cardholder cancels there.
constexpr std::string_view kCancelledOnPage = "9915";
constexpr std::string_view kInvalidAmountText = "El importe tiene que ser igual o mayor de 0,00";

}  // namespace

std::string refusalKindName(RefusalKind kind) {
    switch (kind) {
        case RefusalKind::refusedByIssuer:
            return "refusedByIssuer";
        case RefusalKind::cancelled:
            return "cancelled";
        case RefusalKind::invalidData:
            return "invalidData";
        case RefusalKind::transportFailure:
            return "transportFailure";
        case RefusalKind::inDoubt:
            return "inDoubt";
        case RefusalKind::notRecorded:
            return "notRecorded";
        case RefusalKind::duplicateOrder:
            return "duplicateOrder";
    }
    return "";
}

RefusalKind classifyRefusal(std::int64_t code, std::string_view desc) {
    switch (code) {
        case kRefused:
            return desc == kCancelledText || desc == kCancelledOnPage
                       ? RefusalKind::cancelled
                       : RefusalKind::refusedByIssuer;
        case kLibraryError:
            return desc == kInvalidAmountText ? RefusalKind::invalidData
                                              : RefusalKind::transportFailure;
        case kConnectionError:
        case kNoResult:
            return RefusalKind::transportFailure;
        case PaymentJournal::kRefusalCode:
            return RefusalKind::notRecorded;
        case PaymentJournal::kDuplicateOrderCode:
            return RefusalKind::duplicateOrder;
        default:
            return RefusalKind::invalidData;
    }
}

RefusalKind classifyRefusal(std::int64_t code, std::string_view desc, const JournalEntry& entry) {
    // The journal's own refusals sent nothing, whatever the entry found for their order says.
    const bool byTheJournal =
        code == PaymentJournal::kRefusalCode || code == PaymentJournal::kDuplicateOrderCode;
    if (entry.standing == PaymentStanding::inDoubt && !byTheJournal) {
        return RefusalKind::inDoubt;
    }
    return classifyRefusal(code, desc);
}

}  // namespace vanto
