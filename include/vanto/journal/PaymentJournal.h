#pragma once

#include <chrono>
#include <concepts>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "vanto/Export.h"

namespace vanto {

namespace internal {
class JournalAccess;
}

/// Which payment flow made a journal entry.
enum class PaymentFlowKind { direct, web };

/// A step of a payment as the journal records it. Each is committed to the file before what it
/// records goes ahead, and each but delivered and closedWithoutOutcome is waited for on the disk
/// too. Those two record what has already happened at the view: a power cut that loses one only
/// brings the payment back for review (answered, or in doubt), never hides one.
///
/// A direct payment goes prepared, sent, answered (or unanswered, or notSent when its request
/// never left), delivered. A web payment goes signatureRequested, pageOpened, resultRead,
/// delivered, or signatureRequested, notSent, delivered when its page never opened. Either may
/// end with closedWithoutOutcome instead of delivered.
enum class PaymentStep {
    /// A direct payment was made from the order and card data, at the step's time. It is
    /// committed together with `sent`: a payment refused before its request could leave has no
    /// entry.
    prepared,
    /// The request is about to leave; recorded before its first byte does.
    sent,
    /// The gateway's answer arrived whole and was read; recorded on the transport's thread before
    /// the outcome is handed to the main queue, so that it is kept even if the outcome is never
    /// delivered.
    answered,
    /// The request left but no readable answer came back (the connection dropped, the answer was
    /// cut, the time-out passed, the process began to end, or the reply was not the gateway's
    /// answer): the gateway may have charged the card.
    unanswered,
    /// The payment was refused before its request left: nothing was charged.
    notSent,
    /// The view received the outcome.
    delivered,
    /// A web payment asked the gateway's signature service for the payment page's parameters.
    signatureRequested,
    /// The payment page is about to open: from here on the cardholder may pay.
    pageOpened,
    /// The payment page came back to a return address and its result was read (or found
    /// unreadable: then the payment is in doubt).
    resultRead,
    /// The payment's screen closed before it had an outcome to show. A direct payment's request
    /// had been sent (the journal holds a direct payment from then on): it is in doubt until its
    /// answer, if one still comes, is read. A web payment is in doubt when its page had posted a
    /// form, abandoned otherwise, and its page no longer opens. A payment whose outcome was
    /// already known keeps the standing that outcome gives it.
    closedWithoutOutcome,
};

/// What the journal knows of a payment now.
enum class PaymentStanding {
    /// Still under way in a process that runs: this one, or another one that shares the journal.
    inFlight,
    /// Nothing left for the gateway, or the payment page never opened: nothing was charged.
    notSent,
    /// The screen closed before anything could be paid (the payment page had posted no form):
    /// nothing was charged, and nothing needs a review.
    abandoned,
    /// The request left (or the payment page opened) and no decision of the gateway was read: the
    /// gateway may have charged the card. Check the order before charging it again.
    inDoubt,
    /// The gateway's decision was read but never reached a view (the process ended, or the view
    /// had gone away): the outcome is recovered from the journal.
    answered,
    /// The view received the outcome.
    delivered,
    /// The payment's row in the file is damaged: its order, amount, steps and outcome may be
    /// wrong. It needs a review (check the order with the gateway), and keeps its order from
    /// being paid again until then.
    damaged,
};

/// "prepared", "sent", "answered", "unanswered", "notSent", "delivered", "signatureRequested",
/// "pageOpened", "resultRead" or "closedWithoutOutcome".
VANTO_EXPORT std::string paymentStepName(PaymentStep step);
/// "inFlight", "notSent", "abandoned", "inDoubt", "answered", "delivered" or "damaged".
VANTO_EXPORT std::string paymentStandingName(PaymentStanding standing);
/// "direct" or "web".
VANTO_EXPORT std::string paymentFlowName(PaymentFlowKind flow);

/// One step of a payment, with the time it was recorded.
struct VANTO_EXPORT JournalStep {
    PaymentStep step = PaymentStep::prepared;
    std::chrono::system_clock::time_point at;
    /// What the library adds, such as why a request did not leave; may be empty.
    std::string detail;
};

/// How a payment ended, as its view received it (or would have).
struct VANTO_EXPORT JournalOutcome {
    /// An accepted payment (the OK record); otherwise a refusal (the KO record).
    bool accepted = false;
    /// The record's code: 0 (direct) or the response number (web) when accepted; the refusal's
    /// code otherwise.
    std::int64_t code = 0;
    /// The authorisation code of an accepted payment; "" for a refusal.
    std::string authorisationCode;
    /// The record's text: the gateway's description, or the refusal's text.
    std::string text;
};

/// A review of a payment that needed one, made by the application.
struct VANTO_EXPORT JournalReview {
    std::chrono::system_clock::time_point at;
    std::string note;
};

/// One payment in the journal. It holds no card number, security code, expiry date, signing
/// credential or signature: only the card's last four digits, when they were typed.
struct VANTO_EXPORT JournalEntry {
    std::int64_t id = 0;
    PaymentFlowKind flow = PaymentFlowKind::direct;
    std::string order;
    /// The amount in hundredths as sent to the gateway, such as "1999" for 19.99.
    std::string amount;
    /// The currency's code, such as "978".
    std::string currency;
    /// The transaction type's text, such as "normal".
    std::string transactionType;
    std::string merchant;
    std::string terminal;
    /// "test", "integration" or "real".
    std::string environment;
    /// The last four digits of the card number typed for a direct payment, or of the masked card
    /// number in a web payment's result; none otherwise.
    std::optional<std::string> cardLastFour;
    /// The steps, oldest first.
    std::vector<JournalStep> steps;
    /// The outcome, once the gateway decided or the library refused.
    std::optional<JournalOutcome> outcome;
    PaymentStanding standing = PaymentStanding::inFlight;
    /// The application's review, once made.
    std::optional<JournalReview> review;

    /// Whether the payment needs the application's attention: in doubt, answered and never
    /// delivered, or damaged, and not yet reviewed.
    bool unresolved() const;
    /// Whether the payment keeps a new payment of its order from being sent: under way, in
    /// doubt, or accepted by the gateway (answered or delivered), and not yet reviewed. A refused
    /// payment, or one that was never sent, does not.
    bool holdsOrder() const;
};

/// One event of the journal, as a log shipper forwards it: a step of a payment, or its review.
struct VANTO_EXPORT JournalEvent {
    /// Where the event stands among the journal's events: greater for every event recorded
    /// later, and never given again, also after a prune. Keep it to ask for the later ones
    /// (PaymentJournal::events()).
    std::int64_t cursor = 0;
    /// The payment's id, order, flow, amount (in hundredths) and currency, as its entry has them.
    std::int64_t paymentId = 0;
    PaymentFlowKind flow = PaymentFlowKind::direct;
    std::string order;
    std::string amount;
    std::string currency;
    /// The step; none for a review, and for a step whose name was damaged in the file.
    std::optional<PaymentStep> step;
    /// The step's name as the file holds it, when it is not one the library writes.
    std::string damagedStepName;
    std::chrono::system_clock::time_point at;
    /// What the library added to the step (may be empty); the note, for a review.
    std::string detail;
    /// The payment's outcome as the journal holds it now, on the steps that record one
    /// (answered, unanswered, notSent, resultRead, delivered).
    std::optional<JournalOutcome> outcome;
    /// The payment's row, or the step's, is damaged in the file: what it says may be wrong.
    bool damaged = false;

    bool isReview() const { return !step && damagedStepName.empty(); }
};

/// Why the journal could not do what was asked.
struct VANTO_EXPORT JournalProblem {
    enum class Kind {
        /// The file could not be opened or created (a missing folder, no permission to read).
        cannotOpen,
        /// Another connection held the journal for longer than the wait allowed.
        locked,
        /// The file cannot be written.
        readOnly,
        /// The disk, or the journal's size limit, is full.
        full,
        /// The file is not a payment journal, or is damaged. It is left as it is.
        corrupt,
        /// The file was written by a newer version of the library. It is left as it is.
        newerVersion,
        /// No payment matches the order.
        notFound,
        /// Anything else.
        other,
        /// The file does not exist, and the journal was opened to read it or to review, which
        /// never create one.
        missing,
    };

    Kind kind = Kind::other;
    /// What went wrong, in a sentence.
    std::string text;
};

/// A value read from the journal, or why it could not be read.
template <typename T>
class JournalResult {
  public:
    JournalResult(T value) : result_(std::in_place_index<0>, std::move(value)) {}
    JournalResult(JournalProblem problem) : result_(std::in_place_index<1>, std::move(problem)) {}

    bool ok() const { return result_.index() == 0; }
    explicit operator bool() const { return ok(); }
    /// The value; only when ok(). Of a temporary result, a value of its own, so that
    /// `for (const auto& entry : journal->unresolved().value())` is safe.
    const T& value() const& { return std::get<0>(result_); }
    T value() && { return std::get<0>(std::move(result_)); }
    /// The problem; only when !ok().
    const JournalProblem& problem() const& { return std::get<1>(result_); }
    JournalProblem problem() && { return std::get<1>(std::move(result_)); }

  private:
    std::variant<T, JournalProblem> result_;
};

/// What a journal may do with its file.
enum class JournalOpenMode {
    /// Read and write it, creating it when it is missing: for payments.
    create,
    /// Read and write it only if it exists (the problem `missing` otherwise): for reviews.
    existing,
    /// Only read it: the file and its companions are never created, written or brought up to
    /// date, so that a user who may only read the file, or a copy on a read-only disk, can list
    /// its payments. Recording a payment or a review fails (the problem readOnly). A missing file
    /// is the problem `missing`.
    readOnly,
};

/// How a journal uses its file.
struct VANTO_EXPORT JournalSettings {
    /// How long a step waits for another connection (another process sharing the file) that
    /// holds the journal. Past it, the step is not recorded and the payment is refused.
    std::chrono::milliseconds busyWait{5000};
    /// The size, in bytes, past which the journal does not grow: a step that would need more is
    /// not recorded (as on a full disk). None: no limit of its own.
    std::optional<std::uint64_t> largestSize;
    /// The free space, in bytes, a payment needs on the journal's disk before its request
    /// leaves, so that its later steps (answered, delivered) still fit: with less, it is refused
    /// (5552) and nothing is sent. 0: no check.
    std::uint64_t reserve = 1024 * 1024;
    JournalOpenMode mode = JournalOpenMode::create;
};

/// A durable record of each payment's steps and outcome, in one SQLite file, so that no outcome
/// is lost and the payments left in doubt by a crash can be found.
///
/// Off by default: the flows record nothing until a journal is installed with install(). Then
/// every payment made afterwards records its steps (PaymentStep) in it, each committed to the file
/// before what it records goes ahead, and waited for on the disk (write-ahead log, synchronous
/// writes) where losing it to a power cut could lose a payment: every step but delivered and
/// closedWithoutOutcome, which are written without waiting. Where the journal cannot record a step
/// that guards the payment (the steps before the request leaves, or before the payment page opens),
/// the payment is not sent and the view receives a refusal with code kRefusalCode and
/// refusalText(), which no gateway gives. Where it cannot record a later step, the outcome still
/// reaches the view, the failure goes to the traces, and the step waits to be recorded
/// (recordWaitingSteps()).
///
/// An order pays once: a payment whose order the journal holds as under way, in doubt or
/// accepted (JournalEntry::holdsOrder()) is not sent, and the view receives a refusal with code
/// kDuplicateOrderCode and duplicateOrderText(), until the application reviews the earlier
/// payment. The journal looks and records in one transaction, so that two processes sharing the
/// file cannot both send a payment of the same order.
///
/// After a crash, unresolved() lists the payments sent but never answered (in doubt: the gateway
/// may have charged the card; check the order before charging it again) and those answered but
/// never delivered (their outcome is recovered from the journal); the application marks each one
/// reviewed with a note. A payment whose screen closed without an outcome after the cardholder may
/// have paid is in doubt at once, without a crash.
///
/// Several processes of the same machine may share one file: a write waits for another's for up
/// to JournalSettings::busyWait. A payment of another process that still runs is in flight until
/// that process ends. The journal keeps no card number, security code, expiry date, signing
/// credential or signature. The file is created readable and writable by its owner only, whole:
/// no process ever finds it empty, so an empty file is a journal whose content was lost, and is
/// refused like a damaged one. A file written by an older version of the library is brought up to
/// date when opened; a damaged file, an empty one, or one of a newer version, is never written to.
///
/// The object is thread-safe: the flows record from the main queue and from the transport's
/// threads.
class VANTO_EXPORT PaymentJournal {
  public:
    /// The code of the refusal a payment gets when the journal cannot record it: nothing was
    /// sent. No gateway gives it.
    static constexpr std::int64_t kRefusalCode = 5552;
    /// "No se ha podido anotar el pago en el diario de pagos: no se ha enviado."
    static std::string refusalText();
    /// The code of the refusal a payment gets when the journal holds a payment of the same order
    /// that may have charged it (JournalEntry::holdsOrder()): nothing was sent. No gateway gives
    /// it. It goes once the application has reviewed the earlier payment (markReviewed()).
    static constexpr std::int64_t kDuplicateOrderCode = 5553;
    /// "El pedido ya tiene un pago enviado o aceptado: revíselo antes de cobrarlo de nuevo."
    static std::string duplicateOrderText();

    /// Opens the journal at `path`, creating the file (and nothing else: the folder must exist)
    /// or bringing an older one up to date, or only as `settings.mode` allows. Never null: a
    /// journal that could not be opened says why with problem(), refuses every payment while
    /// installed, and tries again at the next one. The path ":memory:" keeps the journal in memory,
    /// for the life of the object.
    static std::shared_ptr<PaymentJournal> open(std::string path, JournalSettings settings = {});
    /// Where an application keeps its journal by default: `fileName` in the folder "vanto" of
    /// the user's state directory ($XDG_STATE_HOME when it is an absolute path, else
    /// ~/.local/state), made (with any folder above it that is missing) for its owner only.
    /// The problem cannotOpen when there is no such directory or it cannot be made.
    static JournalResult<std::string> defaultPath(std::string_view fileName);
    ~PaymentJournal();
    PaymentJournal(const PaymentJournal&) = delete;
    PaymentJournal& operator=(const PaymentJournal&) = delete;

    const std::string& path() const;
    /// Why the journal is not open, when it is not; none when it is.
    std::optional<JournalProblem> problem() const;

    /// Every payment, oldest first.
    JournalResult<std::vector<JournalEntry>> payments() const;
    /// The latest payment made for `order`; none when there is none.
    JournalResult<std::optional<JournalEntry>> payment(std::string_view order) const;
    /// Every payment made for `order`, oldest first.
    JournalResult<std::vector<JournalEntry>> payments(std::string_view order) const;
    /// The payments that need the application's attention (JournalEntry::unresolved()), oldest
    /// first.
    JournalResult<std::vector<JournalEntry>> unresolved() const;
    /// Marks every payment of `order` reviewed that is unresolved, or holds the order and is no
    /// longer under way, with `note` (kept with card data masked), and returns them; the problem
    /// notFound when there is none.
    JournalResult<std::vector<JournalEntry>> markReviewed(std::string_view order,
                                                          std::string_view note);

    /// A step that cannot be recorded when it happens, after the request left (the disk full,
    /// the file held by another process past busyWait), waits in memory, in order behind the
    /// payment's earlier waiting steps, and is tried again at the journal's next payment, when
    /// its payment ends, and when the journal is let go; the traces say so. This tries them now
    /// and returns how many still wait: an application that ends while some do leaves their
    /// payments unresolved in the file (answered or in doubt), to be checked.
    std::size_t recordWaitingSteps();

    /// Writes a consistent copy of the journal as the single file `target` (its write-ahead log
    /// folded in, for its owner only) while payments may go on, and returns how many payments
    /// it holds. A file already at `target` is never replaced (the problem cannotOpen).
    JournalResult<std::int64_t> backUpTo(const std::string& target) const;

    /// The oldest `most` of the events recorded after the one at `since` (of every event when
    /// none): each step of each payment, and each review. A review recorded by an older version
    /// of the library stands after the last step its payment had then. A reader of a large
    /// journal asks for a bounded number at a time, each time after the last cursor it got.
    JournalResult<std::vector<JournalEvent>> events(
        std::optional<std::int64_t> since,
        std::size_t most = std::numeric_limits<std::size_t>::max()) const;

    /// Deletes, in one transaction, the payments that are resolved and whose last step and
    /// review are before `before`, with their steps, and returns how many went. Resolved: not
    /// unresolved(), and neither under way, in doubt (even once reviewed) nor damaged. The
    /// journal's newest payment, and the payment of its newest event, are always kept, so that
    /// ids and event cursors are never given again. A pruned accepted payment no longer keeps its
    /// order from being paid again (kDuplicateOrderCode). The journal must be open to write.
    JournalResult<std::int64_t> pruneResolvedBefore(std::chrono::system_clock::time_point before);

    /// Makes `journal` the one the flows record payments in, from the next payment on; null
    /// turns the journal off. ProcessState::reset() turns it off too.
    static void install(std::shared_ptr<PaymentJournal> journal);
    /// The installed journal, or null.
    static std::shared_ptr<PaymentJournal> installed();

    /// The journal's state, which only the library sees.
    struct Impl;

  private:
    friend class internal::JournalAccess;
    explicit PaymentJournal(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

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
