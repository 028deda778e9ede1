#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vanto/Export.h"
#include "vanto/journal/PaymentJournal.h"

namespace vanto {

/// What became of a payment, in the terms an application acts on.
enum class PaymentVerdict {
    /// The gateway accepted the payment: the card was charged.
    paid,
    /// The gateway, or the card's issuer, refused the payment: nothing was charged.
    declined,
    /// The cardholder cancelled, or the screen closed before anything was sent: nothing was
    /// charged.
    cancelled,
    /// The payment never reached the gateway: an invalid amount, a journal that could not record
    /// it or that holds the order already, a call that could not be made. Nothing was charged.
    failedBeforeSending,
    /// The request left (or the payment page posted its form) and no decision of the gateway was
    /// read: the card may have been charged. Check the order with the gateway before charging it
    /// again. Without a journal, every failure on the way is in doubt: only the journal knows
    /// whether the request had left.
    inDoubt,
};

/// "paid", "declined", "cancelled", "failedBeforeSending" or "inDoubt".
VANTO_EXPORT std::string paymentVerdictName(PaymentVerdict verdict);

/// One payment's outcome, whatever report it came from: the OK and KO records of both flows and
/// a screen closed without an outcome all give one. Screens hand it to their delegate's
/// paymentEnded() after each report, with the order and amount they paid.
struct VANTO_EXPORT PaymentOutcome {
    PaymentVerdict verdict = PaymentVerdict::inDoubt;
    PaymentFlowKind flow = PaymentFlowKind::direct;
    /// The order number.
    std::string order;
    /// The amount in hundredths as sent to the gateway, such as "1999" for 19.99; "" when it
    /// could not be sent.
    std::string amount;
    /// The record's code: 0 (direct) or the response number (web) when paid, the refusal's code
    /// otherwise; 0 for a screen closed without an outcome.
    std::int64_t code = 0;
    /// The record's text with any card data masked, so that it can be printed and stored.
    std::string text;
    /// The authorisation code of a paid payment; "" otherwise.
    std::string authorisationCode;
    /// What a refusal record says happened (classifyRefusal(), told by the journal's entry where
    /// there is one); none when paid or closed without an outcome.
    std::optional<RefusalKind> refusal;
    /// The journal's standing of this payment once the outcome is delivered; none without an
    /// installed journal, or when the journal holds no entry of this payment (one refused before
    /// it was recorded).
    std::optional<PaymentStanding> standing;
    /// Steps of this payment that the journal could not record when they happened (the file held
    /// by another process, a full disk) and that wait in memory to be recorded
    /// (PaymentJournal::recordWaitingSteps()). Until they land, the file holds the payment
    /// unresolved, and `standing` says how: in doubt, or answered and never delivered. Set by the
    /// screens; false from the functions below.
    bool stepsWaiting = false;

    /// Whether the card was, or may have been, charged: paid or in doubt.
    bool mayHaveCharged() const {
        return verdict == PaymentVerdict::paid || verdict == PaymentVerdict::inDoubt;
    }
    /// Compact JSON of every member, by name, with the verdict, flow, refusal and standing by
    /// their names (null when none). Bytes of the texts that are not UTF-8 become U+FFFD.
    std::string toJSON() const;

    friend bool operator==(const PaymentOutcome&, const PaymentOutcome&) = default;
};

/// The outcome of an accepted record of `flow` with `code`, `text` and `authorisationCode`, for
/// the payment of `order` and `amount` (hundredths). `entry`: the journal's entry of this
/// payment, when there is one. Each flow's delegate header has paymentOutcome() for its records.
VANTO_EXPORT PaymentOutcome paidOutcome(PaymentFlowKind flow, std::int64_t code,
                                        std::string_view text, std::string authorisationCode,
                                        std::string order, std::string amount,
                                        const JournalEntry* entry = nullptr);
/// The outcome of a refusal record of `flow`: its verdict from classifyRefusal(), told by
/// `entry`, the journal's entry of this payment, when there is one.
VANTO_EXPORT PaymentOutcome refusedOutcome(PaymentFlowKind flow, std::int64_t code,
                                           std::string_view text, std::string order,
                                           std::string amount, const JournalEntry* entry = nullptr);
/// The outcome of a screen that closed without one: in doubt when `mayHavePaid`, cancelled
/// otherwise.
VANTO_EXPORT PaymentOutcome closedOutcome(PaymentFlowKind flow, bool mayHavePaid, std::string order,
                                          std::string amount, const JournalEntry* entry = nullptr);

}  // namespace vanto
