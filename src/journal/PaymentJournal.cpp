#include "vanto/journal/PaymentJournal.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "journal/JournalAccess.h"
#include "journal/ProcessIdentity.h"
#include "platform/StatePart.h"

namespace vanto {
namespace {

// The journal the flows record in: none until the application installs one.
struct InstalledJournal : internal::StatePart {
    std::mutex mutex;
    std::shared_ptr<PaymentJournal> journal;

    void reset() override {
        const std::lock_guard lock(mutex);
        journal.reset();
    }
};

InstalledJournal& slot() {
    return internal::processPart<InstalledJournal>();
}

// Whether a payment is still under way somewhere: through this journal in this process, or in
// another process that still runs. A payment of this process made through another journal object
// on the same file counts as under way while this process runs.
bool underWay(const PaymentJournal::Impl& impl, const journal::StoredPayment& stored) {
    if (impl.began.contains(stored.entry.id)) {
        return impl.underWay.contains(stored.entry.id);
    }
    return journal::stillRuns(stored.writer);
}

// Whether the payment's request left: every direct payment's entry begins so.
bool wasSent(const JournalEntry& entry) {
    return std::ranges::any_of(
        entry.steps, [](const JournalStep& step) { return step.step == PaymentStep::sent; });
}

PaymentStanding standingOf(const journal::StoredPayment& stored, bool inFlight) {
    if (stored.damaged) {
        return PaymentStanding::damaged;
    }
    // A request that left without a readable decision stays in doubt, whatever follows.
    if (stored.inDoubt) {
        return PaymentStanding::inDoubt;
    }
    switch (stored.state) {
        case PaymentStep::notSent:
            return PaymentStanding::notSent;
        case PaymentStep::delivered:
            return PaymentStanding::delivered;
        case PaymentStep::closedWithoutOutcome:
            // The screen has gone, whether or not the process still runs. A request still on its
            // way may have been charged; its answer, if it comes, takes this step's place.
            return wasSent(stored.entry) ? PaymentStanding::inDoubt : PaymentStanding::abandoned;
        default:
            break;
    }
    if (inFlight) {
        return PaymentStanding::inFlight;
    }
    switch (stored.state) {
        case PaymentStep::prepared:
        case PaymentStep::signatureRequested:
            return PaymentStanding::notSent;  // nothing had left when it ended
        case PaymentStep::answered:
        case PaymentStep::resultRead:
            return stored.entry.outcome ? PaymentStanding::answered : PaymentStanding::inDoubt;
        default:
            return PaymentStanding::inDoubt;  // sent, pageOpened or unanswered
    }
}

// The payments as the application sees them: each with its standing now.
std::vector<JournalEntry> entriesOf(const PaymentJournal::Impl& impl,
                                    std::vector<journal::StoredPayment> stored) {
    std::vector<JournalEntry> entries;
    entries.reserve(stored.size());
    for (auto& payment : stored) {
        payment.entry.standing = standingOf(payment, underWay(impl, payment));
        entries.push_back(std::move(payment.entry));
    }
    return entries;
}

// Whether a prune may delete the payment: resolved, and last touched (a step or its review)
// before `before`. One in doubt stays even once reviewed: its charge was never read.
bool resolvedBefore(const JournalEntry& entry, std::chrono::system_clock::time_point before) {
    if (entry.unresolved() || entry.steps.empty() || entry.standing == PaymentStanding::inFlight ||
        entry.standing == PaymentStanding::inDoubt || entry.standing == PaymentStanding::damaged) {
        return false;
    }
    auto last = entry.steps.back().at;
    if (entry.review) {
        last = std::max(last, entry.review->at);
    }
    return last < before;
}

template <typename T>
JournalResult<T> readFailure(const JournalProblem& problem) {
    return JournalResult<T>(problem);
}

}  // namespace

std::string paymentStepName(PaymentStep step) {
    switch (step) {
        case PaymentStep::prepared:
            return "prepared";
        case PaymentStep::sent:
            return "sent";
        case PaymentStep::answered:
            return "answered";
        case PaymentStep::unanswered:
            return "unanswered";
        case PaymentStep::notSent:
            return "notSent";
        case PaymentStep::delivered:
            return "delivered";
        case PaymentStep::signatureRequested:
            return "signatureRequested";
        case PaymentStep::pageOpened:
            return "pageOpened";
        case PaymentStep::resultRead:
            return "resultRead";
        case PaymentStep::closedWithoutOutcome:
            return "closedWithoutOutcome";
    }
    return "";
}

std::string paymentStandingName(PaymentStanding standing) {
    switch (standing) {
        case PaymentStanding::inFlight:
            return "inFlight";
        case PaymentStanding::notSent:
            return "notSent";
        case PaymentStanding::abandoned:
            return "abandoned";
        case PaymentStanding::inDoubt:
            return "inDoubt";
        case PaymentStanding::answered:
            return "answered";
        case PaymentStanding::delivered:
            return "delivered";
        case PaymentStanding::damaged:
            return "damaged";
    }
    return "";
}

std::string paymentFlowName(PaymentFlowKind flow) {
    return flow == PaymentFlowKind::web ? "web" : "direct";
}

bool JournalEntry::unresolved() const {
    return !review &&
           (standing == PaymentStanding::inDoubt || standing == PaymentStanding::answered ||
            standing == PaymentStanding::damaged);
}

bool JournalEntry::holdsOrder() const {
    if (review) {
        return false;
    }
    switch (standing) {
        case PaymentStanding::inFlight:
        case PaymentStanding::inDoubt:
        case PaymentStanding::damaged:
            return true;
        case PaymentStanding::answered:
        case PaymentStanding::delivered:
            return outcome && outcome->accepted;
        default:
            return false;
    }
}

std::optional<JournalProblem> PaymentJournal::Impl::ensureOpen() {
    if (store.isOpen()) {
        return std::nullopt;
    }
    if (auto opened = store.open(); !opened) {
        openProblem = problemOf(opened.error());
        return openProblem;
    }
    openProblem.reset();
    return std::nullopt;
}

JournalProblem PaymentJournal::Impl::problemOf(const platform::PlatformError& error) const {
    return JournalProblem{store.lastProblem(),
                          error.localizedDescription + " (" + path + ": " + error.detail + ")"};
}

std::string PaymentJournal::refusalText() {
    return "No se ha podido anotar el pago en el diario de pagos: no se ha enviado.";
}

std::string PaymentJournal::duplicateOrderText() {
    return "El pedido ya tiene un pago enviado o aceptado: revíselo antes de cobrarlo de nuevo.";
}

std::optional<JournalEntry> PaymentJournal::Impl::holdingOrder(
    std::vector<journal::StoredPayment> stored) const {
    for (auto& entry : entriesOf(*this, std::move(stored))) {
        if (entry.holdsOrder()) {
            return std::move(entry);
        }
    }
    return std::nullopt;
}

PaymentJournal::PaymentJournal(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

// Letting go of the journal is the waiting steps' last chance.
PaymentJournal::~PaymentJournal() {
    const std::lock_guard lock(impl_->mutex);
    impl_->recordWaiting();
}

std::optional<platform::PlatformError> PaymentJournal::Impl::recordWaiting() {
    while (!waiting.empty()) {
        if (auto problem = ensureOpen()) {
            return platform::PlatformError{platform::PlatformError::Kind::other, problem->text, ""};
        }
        auto recorded = store.append(waiting.front().first, waiting.front().second);
        if (!recorded) {
            return recorded.error();
        }
        waiting.erase(waiting.begin());
    }
    return std::nullopt;
}

std::size_t PaymentJournal::recordWaitingSteps() {
    const std::lock_guard lock(impl_->mutex);
    impl_->recordWaiting();
    return impl_->waiting.size();
}

JournalResult<std::string> PaymentJournal::defaultPath(std::string_view fileName) {
    const auto fromEnvironment = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value != nullptr ? value : "");
    };
    // The XDG base directories: a relative $XDG_STATE_HOME is to be ignored.
    std::filesystem::path state = fromEnvironment("XDG_STATE_HOME");
    if (state.empty() || state.is_relative()) {
        const std::string home = fromEnvironment("HOME");
        if (home.empty()) {
            return JournalProblem{JournalProblem::Kind::cannotOpen,
                                  "no state folder for the journal ($XDG_STATE_HOME and $HOME "
                                  "are not set)"};
        }
        state = std::filesystem::path(home) / ".local" / "state";
    }
    const auto folder = state / "vanto";
    std::filesystem::path made;
    for (const auto& part : folder) {
        made /= part;
        if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) {
            return JournalProblem{
                JournalProblem::Kind::cannotOpen,
                "cannot make the folder " + made.string() + ": " + std::strerror(errno)};
        }
    }
    return (folder / fileName).string();
}

std::shared_ptr<PaymentJournal> PaymentJournal::open(std::string path, JournalSettings settings) {
    auto journal = std::shared_ptr<PaymentJournal>(
        new PaymentJournal(std::make_unique<Impl>(std::move(path), settings)));
    const std::lock_guard lock(journal->impl_->mutex);
    journal->impl_->ensureOpen();
    return journal;
}

const std::string& PaymentJournal::path() const {
    return impl_->path;
}

std::optional<JournalProblem> PaymentJournal::problem() const {
    const std::lock_guard lock(impl_->mutex);
    return impl_->store.isOpen() ? std::nullopt : impl_->openProblem;
}

JournalResult<std::vector<JournalEntry>> PaymentJournal::payments() const {
    const std::lock_guard lock(impl_->mutex);
    if (auto problem = impl_->ensureOpen()) {
        return readFailure<std::vector<JournalEntry>>(*problem);
    }
    auto stored = impl_->store.read(std::nullopt);
    if (!stored) {
        return readFailure<std::vector<JournalEntry>>(impl_->problemOf(stored.error()));
    }
    return entriesOf(*impl_, std::move(stored).value());
}

JournalResult<std::optional<JournalEntry>> PaymentJournal::payment(std::string_view order) const {
    auto all = payments(order);
    if (!all) {
        return readFailure<std::optional<JournalEntry>>(std::move(all).problem());
    }
    auto entries = std::move(all).value();
    if (entries.empty()) {
        return std::optional<JournalEntry>();
    }
    return std::optional<JournalEntry>(std::move(entries.back()));
}

JournalResult<std::vector<JournalEntry>> PaymentJournal::payments(std::string_view order) const {
    const std::lock_guard lock(impl_->mutex);
    if (auto problem = impl_->ensureOpen()) {
        return readFailure<std::vector<JournalEntry>>(*problem);
    }
    auto stored = impl_->store.read(order);
    if (!stored) {
        return readFailure<std::vector<JournalEntry>>(impl_->problemOf(stored.error()));
    }
    return entriesOf(*impl_, std::move(stored).value());
}

JournalResult<std::vector<JournalEntry>> PaymentJournal::unresolved() const {
    const std::lock_guard lock(impl_->mutex);
    if (auto problem = impl_->ensureOpen()) {
        return readFailure<std::vector<JournalEntry>>(*problem);
    }
    auto stored = impl_->store.read(std::nullopt, true);
    if (!stored) {
        return readFailure<std::vector<JournalEntry>>(impl_->problemOf(stored.error()));
    }
    auto entries = entriesOf(*impl_, std::move(stored).value());
    std::erase_if(entries, [](const JournalEntry& entry) { return !entry.unresolved(); });
    return entries;
}

JournalResult<std::int64_t> PaymentJournal::backUpTo(const std::string& target) const {
    const std::lock_guard lock(impl_->mutex);
    if (auto problem = impl_->ensureOpen()) {
        return readFailure<std::int64_t>(*problem);
    }
    auto copied = impl_->store.backUpTo(target);
    if (!copied) {
        return readFailure<std::int64_t>(impl_->problemOf(copied.error()));
    }
    return copied.value();
}

JournalResult<std::vector<JournalEvent>> PaymentJournal::events(std::optional<std::int64_t> since,
                                                                std::size_t most) const {
    const std::lock_guard lock(impl_->mutex);
    if (auto problem = impl_->ensureOpen()) {
        return readFailure<std::vector<JournalEvent>>(*problem);
    }
    if (most == 0) {
        return std::vector<JournalEvent>();
    }
    auto events = impl_->store.events(since, most);
    if (!events) {
        return readFailure<std::vector<JournalEvent>>(impl_->problemOf(events.error()));
    }
    return std::move(events).value();
}

JournalResult<std::int64_t> PaymentJournal::pruneResolvedBefore(
    std::chrono::system_clock::time_point before) {
    const std::lock_guard lock(impl_->mutex);
    if (auto problem = impl_->ensureOpen()) {
        return readFailure<std::int64_t>(*problem);
    }
    auto pruned = impl_->store.prune([&](std::vector<journal::StoredPayment> stored) {
        std::vector<std::int64_t> ids;
        for (const auto& entry : entriesOf(*impl_, std::move(stored))) {
            if (resolvedBefore(entry, before)) {
                ids.push_back(entry.id);
            }
        }
        return ids;
    });
    if (!pruned) {
        return readFailure<std::int64_t>(impl_->problemOf(pruned.error()));
    }
    impl_->store.checkpointIfDue();
    return pruned.value();
}

JournalResult<std::vector<JournalEntry>> PaymentJournal::markReviewed(std::string_view order,
                                                                      std::string_view note) {
    const std::lock_guard lock(impl_->mutex);
    if (auto problem = impl_->ensureOpen()) {
        return readFailure<std::vector<JournalEntry>>(*problem);
    }
    auto stored = impl_->store.read(order);
    if (!stored) {
        return readFailure<std::vector<JournalEntry>>(impl_->problemOf(stored.error()));
    }
    std::vector<std::int64_t> ids;
    for (const auto& entry : entriesOf(*impl_, stored.value())) {
        // One still under way may yet be charged: it waits for its outcome.
        if (entry.unresolved() ||
            (entry.holdsOrder() && entry.standing != PaymentStanding::inFlight)) {
            ids.push_back(entry.id);
        }
    }
    if (ids.empty()) {
        return readFailure<std::vector<JournalEntry>>(
            JournalProblem{JournalProblem::Kind::notFound,
                           "no payment of order " + std::string(order) + " needs a review"});
    }
    if (auto reviewed = impl_->store.review(ids, note); !reviewed) {
        return readFailure<std::vector<JournalEntry>>(impl_->problemOf(reviewed.error()));
    }
    auto after = impl_->store.read(order);
    if (!after) {
        return readFailure<std::vector<JournalEntry>>(impl_->problemOf(after.error()));
    }
    std::vector<JournalEntry> marked;
    for (auto& entry : entriesOf(*impl_, std::move(after).value())) {
        if (std::ranges::find(ids, entry.id) != ids.end()) {
            marked.push_back(std::move(entry));
        }
    }
    return marked;
}

void PaymentJournal::install(std::shared_ptr<PaymentJournal> journal) {
    auto& installed = slot();
    const std::lock_guard lock(installed.mutex);
    installed.journal = std::move(journal);
}

std::shared_ptr<PaymentJournal> PaymentJournal::installed() {
    auto& installed = slot();
    const std::lock_guard lock(installed.mutex);
    return installed.journal;
}

}  // namespace vanto
