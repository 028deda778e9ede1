#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "flow/Acceptance.h"

#include "vanto/journal/PaymentJournal.h"

namespace vanto::flow {

// The installed journal's entry of the payment of `order` that began at `began` or later (the
// latest such); none without a journal, when it cannot be read, or when it holds none: a payment
// refused before it was recorded, whose order's entries are all earlier payments'.
std::optional<JournalEntry> journalEntrySince(std::string_view order,
                                              std::chrono::system_clock::time_point began);

// Whether steps of the installed journal's payment `id` wait in memory to be recorded.
bool stepsWaitFor(std::int64_t id);

// Tells `delegate` the outcome `make` gives (from the order, the amount as sent and the journal's
// entry of the payment, or null) for the payment of `order` and `amount` shown since `began`.
template <typename Delegate, typename Make>
void tellPaymentEnded(Delegate& delegate, const std::string& order, double amount,
                      std::chrono::system_clock::time_point began, Make make) {
    const auto entry = journalEntrySince(order, began);
    auto outcome =
        make(order, acceptance::payableAmount(amount).value_or(""), entry ? &*entry : nullptr);
    if (entry && stepsWaitFor(entry->id)) {
        outcome.stepsWaiting = true;
        outcome.standing = entry->outcome ? PaymentStanding::answered : PaymentStanding::inDoubt;
    }
    delegate.paymentEnded(outcome);
}

}  // namespace vanto::flow
