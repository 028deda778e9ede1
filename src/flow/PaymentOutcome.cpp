#include "vanto/flow/PaymentOutcome.h"

#include <algorithm>
#include <mutex>

#include <nlohmann/json.hpp>

#include "flow/ThisPayment.h"
#include "journal/JournalAccess.h"
#include "vanto/transport/Trace.h"

namespace vanto {
namespace {

constexpr std::int64_t kLibraryError = 5548;

PaymentVerdict verdictOf(RefusalKind kind, std::int64_t code, const JournalEntry* entry) {
    switch (kind) {
        case RefusalKind::refusedByIssuer:
            return PaymentVerdict::declined;
        case RefusalKind::cancelled:
            return PaymentVerdict::cancelled;
        case RefusalKind::invalidData:
            // The library's own refusal of the amount never left; any other is the gateway's.
            return code == kLibraryError ? PaymentVerdict::failedBeforeSending
                                         : PaymentVerdict::declined;
        case RefusalKind::transportFailure:
            return entry && entry->standing == PaymentStanding::notSent
                       ? PaymentVerdict::failedBeforeSending
                       : PaymentVerdict::inDoubt;
        case RefusalKind::inDoubt:
            return PaymentVerdict::inDoubt;
        case RefusalKind::notRecorded:
        case RefusalKind::duplicateOrder:
            return PaymentVerdict::failedBeforeSending;
    }
    return PaymentVerdict::inDoubt;
}

// The entry's standing once the outcome is delivered: a payment still under way in this process
// reads as it will stand when its view has the outcome.
std::optional<PaymentStanding> standingAfter(const JournalEntry* entry, PaymentVerdict verdict,
                                             bool closed) {
    if (!entry) {
        return std::nullopt;
    }
    if (entry->standing == PaymentStanding::answered) {
        return PaymentStanding::delivered;
    }
    if (entry->standing != PaymentStanding::inFlight) {
        return entry->standing;
    }
    switch (verdict) {
        case PaymentVerdict::inDoubt:
            return PaymentStanding::inDoubt;
        case PaymentVerdict::failedBeforeSending:
            return PaymentStanding::notSent;
        case PaymentVerdict::cancelled:
            return closed ? PaymentStanding::abandoned : PaymentStanding::delivered;
        case PaymentVerdict::paid:
        case PaymentVerdict::declined:
            return PaymentStanding::delivered;
    }
    return entry->standing;
}

// An outcome of `flow` with its payment's order and amount, and a record's code and text.
PaymentOutcome recorded(PaymentFlowKind flow, std::string order, std::string amount,
                        std::int64_t code, std::string_view text) {
    PaymentOutcome outcome;
    outcome.flow = flow;
    outcome.order = std::move(order);
    outcome.amount = std::move(amount);
    outcome.code = code;
    outcome.text = maskCardData(text);
    return outcome;
}

nlohmann::json nameOrNull(const auto& value, auto name) {
    return value ? nlohmann::json(name(*value)) : nlohmann::json(nullptr);
}

}  // namespace

PaymentOutcome paidOutcome(PaymentFlowKind flow, std::int64_t code, std::string_view text,
                           std::string authorisation, std::string order, std::string amount,
                           const JournalEntry* entry) {
    auto outcome = recorded(flow, std::move(order), std::move(amount), code, text);
    outcome.verdict = PaymentVerdict::paid;
    outcome.authorisationCode = std::move(authorisation);
    outcome.standing = standingAfter(entry, outcome.verdict, false);
    return outcome;
}

PaymentOutcome refusedOutcome(PaymentFlowKind flow, std::int64_t code, std::string_view text,
                              std::string order, std::string amount, const JournalEntry* entry) {
    // The journal's own refusals sent nothing: the entry of their order is an earlier payment's.
    if (code == PaymentJournal::kRefusalCode || code == PaymentJournal::kDuplicateOrderCode) {
        entry = nullptr;
    }
    auto outcome = recorded(flow, std::move(order), std::move(amount), code, text);
    outcome.refusal = entry ? classifyRefusal(code, text, *entry) : classifyRefusal(code, text);
    outcome.verdict = verdictOf(*outcome.refusal, code, entry);
    outcome.standing = standingAfter(entry, outcome.verdict, false);
    return outcome;
}

std::string paymentVerdictName(PaymentVerdict verdict) {
    switch (verdict) {
        case PaymentVerdict::paid:
            return "paid";
        case PaymentVerdict::declined:
            return "declined";
        case PaymentVerdict::cancelled:
            return "cancelled";
        case PaymentVerdict::failedBeforeSending:
            return "failedBeforeSending";
        case PaymentVerdict::inDoubt:
            return "inDoubt";
    }
    return "";
}

std::string PaymentOutcome::toJSON() const {
    const nlohmann::ordered_json json = {
        {"verdict", paymentVerdictName(verdict)},
        {"flow", paymentFlowName(flow)},
        {"order", order},
        {"amount", amount},
        {"code", code},
        {"text", text},
        {"authorisationCode", authorisationCode},
        {"refusal", nameOrNull(refusal, refusalKindName)},
        {"standing", nameOrNull(standing, paymentStandingName)},
        {"stepsWaiting", stepsWaiting},
    };
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

PaymentOutcome closedOutcome(PaymentFlowKind flow, bool mayHavePaid, std::string order,
                             std::string amount, const JournalEntry* entry) {
    auto outcome = recorded(flow, std::move(order), std::move(amount), 0, "");
    outcome.verdict = mayHavePaid ? PaymentVerdict::inDoubt : PaymentVerdict::cancelled;
    outcome.standing = standingAfter(entry, outcome.verdict, true);
    return outcome;
}

namespace flow {

std::optional<JournalEntry> journalEntrySince(std::string_view order,
                                              std::chrono::system_clock::time_point began) {
    const auto journal = PaymentJournal::installed();
    if (!journal) {
        return std::nullopt;
    }
    auto read = journal->payments(order);
    if (!read.ok()) {
        return std::nullopt;
    }
    auto payments = std::move(read).value();
    // The journal keeps milliseconds.
    const auto from = std::chrono::floor<std::chrono::milliseconds>(began);
    for (auto entry = payments.rbegin(); entry != payments.rend(); ++entry) {
        if (!entry->steps.empty() && entry->steps.front().at >= from) {
            return std::move(*entry);
        }
    }
    return std::nullopt;
}

bool stepsWaitFor(std::int64_t id) {
    const auto journal = PaymentJournal::installed();
    if (!journal) {
        return false;
    }
    auto& state = internal::JournalAccess::of(*journal);
    const std::lock_guard lock(state.mutex);
    return std::ranges::any_of(state.waiting, [id](const auto& step) { return step.first == id; });
}

}  // namespace flow
}  // namespace vanto
