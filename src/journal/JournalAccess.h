#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "journal/JournalStore.h"
#include "vanto/journal/PaymentJournal.h"

namespace vanto {

// A journal's state; every member but the path and the settings is guarded by `mutex`, which also
// serialises the store's calls.
struct PaymentJournal::Impl {
    Impl(std::string file, JournalSettings chosen)
        : path(file), settings(chosen), store(std::move(file), chosen) {}

    // Opens the store if it is not open; the problem when it cannot be.
    std::optional<JournalProblem> ensureOpen();
    JournalProblem problemOf(const platform::PlatformError& error) const;
    // The first of an order's payments that holds the order (JournalEntry::holdsOrder()).
    std::optional<JournalEntry> holdingOrder(std::vector<journal::StoredPayment> stored) const;

    const std::string path;
    const JournalSettings settings;
    mutable std::mutex mutex;
    journal::JournalStore store;
    std::optional<JournalProblem> openProblem;
    // Payments this journal began in this process, and those of them still under way: their
    // closures have not all gone.
    std::set<std::int64_t> began;
    std::set<std::int64_t> underWay;
    // Steps that could not be recorded when they happened, oldest first, with their payments.
    std::vector<std::pair<std::int64_t, journal::StepWrite>> waiting;

    // Records the waiting steps in order, stopping at the first that still fails (its failure).
    std::optional<platform::PlatformError> recordWaiting();
};

namespace internal {

// How the flows reach a journal's state.
class JournalAccess {
  public:
    static PaymentJournal::Impl& of(const PaymentJournal& journal) { return *journal.impl_; }
};

}  // namespace internal
}  // namespace vanto
