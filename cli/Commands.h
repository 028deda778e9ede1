#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "PaymentOptions.h"
#include "vanto/direct/DirectPaymentResponseDelegate.h"
#include "vanto/web/WebViewPaymentResponseDelegate.h"

namespace vanto::cli {

/// Exit statuses of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitBadInput = 2;
/// What a run needs could not be had: the built-in sandbox did not start, no display for a
/// window, no payment page came, no place for the journal.
inline constexpr int kExitCannotRun = 3;
/// In doubt: the request left (or the payment page opened) and no decision of the gateway was
/// read, so the gateway may have charged the card. Never a refusal.
inline constexpr int kExitInDoubt = 4;
/// The outcome line could not be written whole to standard output (its reader had gone): the
/// journal holds the payment answered (or in doubt), never delivered, and lists it as unresolved.
inline constexpr int kExitNotTold = 5;
/// The outcome was told, but the journal could not record the payment's last steps even when
/// tried again at the end: it holds the payment unresolved (answered or in doubt), to be checked.
inline constexpr int kExitNotRecorded = 6;

class CardInput;

/// `vanto encode direct|web`: reads one JSON object from `in` and writes the signed request
/// envelope and a line break to `out`; on bad input one line to `err` and kExitBadInput.
int runEncode(const std::string& kind, std::istream& in, std::ostream& out, std::ostream& err);

/// How `vanto demo` pays: `way` says it in a few words for the heading.
struct DemoPayments {
    std::string way;
    std::function<std::optional<DirectOutcome>(Payment&, std::string& problem)> direct;
    std::function<std::optional<WebOutcome>(Payment&, std::string& problem)> web;
};

/// Payments through something other than the presenters, set up once the demo's gateway runs;
/// none to pay through the presenters.
using DemoScreens = std::function<std::optional<DemoPayments>(const GatewayForRun& gateway)>;

/// `vanto demo`: an accepted and a refused direct payment and an accepted web payment against the
/// built-in sandbox, each outcome on one line of `out`: through `screens` when given and it sets
/// up, through the presenters otherwise, recorded in the chosen journal. With `traces`, the
/// library's traces go to standard error.
int runDemo(bool traces, const JournalChoice& journal, const DemoScreens& screens,
            std::ostream& out, std::ostream& err);

/// `vanto pay`: a direct payment through the direct-payment presenter, without a screen, its
/// card data read from `input` where the options say "-", recorded in the chosen journal. Writes
/// the outcome record as one JSON object on the last line of `out` (traces go to standard error)
/// and returns kExitOk for an accepted payment, kExitFailure for a refused one, kExitInDoubt for
/// one the journal holds in doubt or whose answer did not come whole within three minutes.
int runPay(PaymentOptions& options, CardInput& input, std::ostream& out, std::ostream& err);

/// `vanto web --headless`: a web payment through the web-payment presenter, with a minimal
/// browser that fills the sandbox's card form with the card data. Input, output and statuses as
/// runPay.
int runHeadlessWeb(PaymentOptions& options, CardInput& input, std::ostream& out, std::ostream& err);

/// Checks the options of `vanto web` with a window, where the cardholder types the card data into
/// the page: no card options, a display to show it on, and the order and the gateway as for any
/// payment. Returns kExitOk with `checked` set, or the exit status with `problem` set.
int checkWindowOptions(const PaymentOptions& options, std::optional<CheckedPayment>& checked,
                       std::string& problem);

/// The outcome of a web payment as one JSON line on `out`, card data masked, and the exit status
/// webStatus() gives it.
int reportWebOutcome(const std::optional<WebOutcome>& outcome, const std::string& problem,
                     PaymentJournal& journal, const std::string& order, std::ostream& out,
                     std::ostream& err);

/// The exit status a web payment's outcome stands for, once its line was written (`written`) or
/// not: kExitNotTold, with a line on `err`, when an outcome's line could not be written;
/// kExitNotRecorded, with a line on `err`, when steps of the payment still wait to be recorded;
/// kExitInDoubt, with a line on `err`, when the journal holds the payment of `order` in doubt;
/// with no outcome otherwise, `problem` on `err` and kExitCannotRun.
int webStatus(const std::optional<WebOutcome>& outcome, bool written, const std::string& problem,
              PaymentJournal& journal, const std::string& order, std::ostream& err);

/// An outcome as one JSON line on `out`, card data masked, whole and flushed; whether it was.
bool writeOutcomeLine(const DirectOutcome& outcome, std::ostream& out);
bool writeOutcomeLine(const WebOutcome& outcome, std::ostream& out);

/// The line that says the outcome of `order` could not be written, for standard error.
std::string notToldLine(const std::string& command, const std::string& order);
/// The line for kExitNotRecorded.
std::string notRecordedLine(const std::string& command, const std::string& order);

/// Whether `journal` holds the latest payment of `order` in doubt.
bool leftInDoubt(const PaymentJournal& journal, const std::string& order);

/// The line that says a payment of `order` is in doubt, for standard error.
std::string inDoubtLine(const std::string& command, const std::string& order);

/// A payment's outcome as one value, told by what `journal` holds of the order's latest payment.
template <typename Outcome>
PaymentOutcome outcomeOf(const Outcome& outcome, const PaymentJournal& journal,
                         const std::string& order) {
    const auto latest = journal.payment(order);
    const JournalEntry* entry = latest.ok() && latest.value() ? &*latest.value() : nullptr;
    return std::visit(
        [&](const auto& record) {
            return paymentOutcome(record, order, entry ? entry->amount : "", entry);
        },
        outcome);
}

/// The exit status of a payment that had `outcome`: kExitOk when paid, kExitInDoubt (with its
/// line on `err`) when the journal holds it in doubt, kExitFailure otherwise (with a line on
/// `err` when the journal holds an earlier payment of the order).
int outcomeStatus(const PaymentOutcome& outcome, const std::string& command, std::ostream& err);

/// What `vanto journal` does.
enum class JournalAction { list, show, unresolved, review, backup, exportEvents, prune };

/// `vanto journal list|show ORDER|unresolved|review ORDER --note NOTE|backup FILE|export
/// [--since CURSOR]|prune --resolved-before DATE`, as a table on `out` or, with `json`, as JSON;
/// export always writes JSON Lines. `order` holds FILE for a backup, CURSOR for an export (empty:
/// none) and DATE for a prune. kExitOk; kExitFailure when `show` or `review` finds no payment to
/// act on; kExitBadInput when there is no journal at the chosen path (none is created), FILE
/// exists, or CURSOR or DATE is not one; kExitCannotRun when the journal cannot be read. Only
/// `review` and `prune` open the journal to write.
int runJournal(JournalAction action, const JournalChoice& journal, bool json,
               const std::string& order, const std::string& note, std::ostream& out,
               std::ostream& err);

/// `{"code":<code>,"desc":<desc>}`, the properties of a refusal record.
std::string refusalJson(std::int64_t code, std::string_view desc);

/// Options of `vanto sandbox`.
struct SandboxSettings {
    std::string host = "127.0.0.1";
    int port = 0;
    std::string certificateFile;
    std::string keyFile;
    /// A file to append every request to, as one line of JSON with card data masked.
    std::string recordFile;
    /// A file to write the served certificate to, in PEM.
    std::string certificateOut;
};

/// `vanto sandbox`: runs the sandbox gateway, prints a line of JSON for scripts (address,
/// authority, certificate file, process id), then its address, merchant, test cards and
/// certificate to `out`, and serves until SIGINT or SIGTERM; kExitFailure when it cannot start.
int runSandbox(const SandboxSettings& settings, std::ostream& out, std::ostream& err);

}  // namespace vanto::cli
