#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "journal/JournalStore.h"
#include "vanto/config/CodeTables.h"
#include "vanto/journal/PaymentJournal.h"
#include "vanto/platform/Expected.h"
#include "vanto/transport/SDKError.h"

namespace vanto::journal {

// One payment's record in the installed journal, held by the payment's own closures: while it
// lives the payment is under way in this process, and when the last closure lets go of it the
// payment has ended, delivered or not.
class PaymentTrail {
  public:
    // How a payment begins: with its trail, or with the refusal its view gets instead.
    struct Beginning {
        // Null when no journal is installed (the payment goes as it always did) or when refused.
        std::shared_ptr<PaymentTrail> trail;
        // Set when the payment must not go ahead: the journal cannot record it (notRecorded()),
        // or it holds a payment of the same order (duplicateOrder()).
        std::optional<JournalOutcome> refusal;
    };
    // Records a new payment with its first steps in the installed journal, committed before this
    // returns, unless a payment of its order holds the order.
    static Beginning begin(NewPayment payment, std::vector<StepWrite> steps);
    ~PaymentTrail();
    PaymentTrail(const PaymentTrail&) = delete;
    PaymentTrail& operator=(const PaymentTrail&) = delete;

    // Records `step`, committed before this returns. Safe from any thread.
    Expected<Recorded> record(const StepWrite& step);
    // Records `step` where nothing waits on it: a failure goes to the traces.
    void note(const StepWrite& step);

  private:
    PaymentTrail(std::shared_ptr<PaymentJournal> journal, std::int64_t id);

    std::shared_ptr<PaymentJournal> journal_;
    std::int64_t id_;
};

// A payment of `flow` as the journal first records it: the order data given, and the merchant,
// currency and environment of the shared configuration. Read on the main queue.
NewPayment paymentOf(PaymentFlowKind flow, std::string_view order, double amount,
                     TransactionType type);

// What a failed call to the gateway leaves the payment as: the step to record and why. When
// bytes of the request may have left and no answer of the gateway was read, the gateway may have
// acted on it: the payment is in doubt (unanswered). Otherwise nothing reached the gateway
// (notSent).
StepWrite afterFailure(const SDKError& error, const JournalOutcome& refusal);

// The refusal a payment gets when the journal cannot record it: PaymentJournal::kRefusalCode and
// its text. The journal's problem goes to the traces.
JournalOutcome notRecorded(const platform::PlatformError& problem);

// The refusal a payment gets when the journal holds `earlier`, a payment of the same order that
// holds it: PaymentJournal::kDuplicateOrderCode and its text. Which payment goes to the traces.
JournalOutcome duplicateOrder(const JournalEntry& earlier);

// The last four characters of `digits` when they are four digits; none otherwise.
std::optional<std::string> lastFour(std::string_view digits);

}  // namespace vanto::journal
