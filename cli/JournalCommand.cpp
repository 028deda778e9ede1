#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Commands.h"
#include "JournalChoice.h"
#include "vanto/journal/PaymentJournal.h"
#include "vanto/text/Utf8.h"
#include "vanto/transport/Trace.h"

namespace vanto::cli {
namespace {

using nlohmann::json;

constexpr std::string_view kInDoubtAdvice =
    "in doubt: the gateway may have charged the card; check this order before charging again";
constexpr std::string_view kRecoveredAdvice =
    "answered but never delivered: the outcome was recovered from the journal";
constexpr std::string_view kDamagedAdvice =
    "damaged: this payment's row in the journal's file is damaged, so its order, amount and "
    "outcome may be wrong; check the gateway's records";
constexpr std::string_view kAbandonedAdvice =
    "abandoned: the screen closed before the cardholder could pay; nothing was charged";

// The characters a printable text takes on a terminal: its code points.
std::size_t widthOf(std::string_view shown) {
    return static_cast<std::size_t>(std::ranges::count_if(
        shown, [](char c) { return (static_cast<unsigned char>(c) & 0xc0) != 0x80; }));
}

// JSON for a program: bytes that are not UTF-8 become U+FFFD (nlohmann would throw on them);
// control characters are escaped as JSON escapes them.
std::string jsonText(const json& value) {
    return value.dump(2, ' ', false, json::error_handler_t::replace);
}

// To the second, for a person.
std::string timeText(std::chrono::system_clock::time_point at) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(at);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%SZ", &utc);
    return text;
}

// "1999" as "19.99".
std::string inUnits(const std::string& hundredths) {
    const bool negative = hundredths.starts_with('-');
    std::string digits = negative ? hundredths.substr(1) : hundredths;
    if (digits.empty()) {
        return "";
    }
    if (digits.size() < 3) {
        digits.insert(0, 3 - digits.size(), '0');
    }
    return (negative ? "-" : "") + digits.substr(0, digits.size() - 2) + "." +
           digits.substr(digits.size() - 2);
}

// To the millisecond, as ISO 8601 in UTC, for a program.
std::string isoTime(std::chrono::system_clock::time_point at) {
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(millis / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    return std::string(text) + "." + std::to_string(1000 + millis % 1000).substr(1) + "Z";
}

// A text that came from outside (a gateway's outcome text, an operator's note, what the file
// holds): card data masked, as wherever the library prints such a text.
std::string fromOutside(std::string_view text) {
    return maskCardData(text);
}

std::string outcomeText(const JournalEntry& entry) {
    if (!entry.outcome) {
        return "-";
    }
    if (entry.outcome->accepted) {
        return "accepted " + entry.outcome->authorisationCode;
    }
    return "refused " + std::to_string(entry.outcome->code) + " \"" +
           fromOutside(entry.outcome->text) + "\"";
}

std::string advice(const JournalEntry& entry) {
    switch (entry.standing) {
        case PaymentStanding::inDoubt:
            return std::string(kInDoubtAdvice);
        case PaymentStanding::answered:
            return std::string(kRecoveredAdvice);
        case PaymentStanding::abandoned:
            return std::string(kAbandonedAdvice);
        case PaymentStanding::damaged:
            return std::string(kDamagedAdvice);
        default:
            return "";
    }
}

json toJson(const JournalEntry& entry) {
    json steps = json::array();
    for (const auto& step : entry.steps) {
        steps.push_back({{"step", paymentStepName(step.step)},
                         {"at", isoTime(step.at)},
                         {"detail", step.detail}});
    }
    json outcome = nullptr;
    if (entry.outcome) {
        outcome = {{"accepted", entry.outcome->accepted},
                   {"code", entry.outcome->code},
                   {"authorisationCode", entry.outcome->authorisationCode},
                   {"text", fromOutside(entry.outcome->text)}};
    }
    json review = nullptr;
    if (entry.review) {
        review = {{"at", isoTime(entry.review->at)}, {"note", fromOutside(entry.review->note)}};
    }
    return {{"id", entry.id},
            {"flow", paymentFlowName(entry.flow)},
            {"order", entry.order},
            {"amount", entry.amount},
            {"currency", entry.currency},
            {"transactionType", entry.transactionType},
            {"merchant", entry.merchant},
            {"terminal", entry.terminal},
            {"environment", entry.environment},
            {"cardLastFour", entry.cardLastFour ? json(*entry.cardLastFour) : json(nullptr)},
            {"standing", paymentStandingName(entry.standing)},
            {"unresolved", entry.unresolved()},
            {"advice", advice(entry)},
            {"outcome", outcome},
            {"steps", steps},
            {"review", review}};
}

json toJson(const std::vector<JournalEntry>& entries) {
    json array = json::array();
    for (const auto& entry : entries) {
        array.push_back(toJson(entry));
    }
    return array;
}

// One line per payment, in columns as wide as their widest cell; with `advising`, what to do
// about each on the line below it.
void table(const std::vector<JournalEntry>& entries, bool advising, std::ostream& out) {
    std::vector<std::vector<std::string>> rows = {
        {"ORDER", "FLOW", "AMOUNT", "STANDING", "OUTCOME", "LAST STEP"}};
    for (const auto& entry : entries) {
        const std::string last = entry.steps.empty() ? "-"
                                                     : paymentStepName(entry.steps.back().step) +
                                                           " " + timeText(entry.steps.back().at);
        rows.push_back({printable(entry.order), paymentFlowName(entry.flow),
                        printable(inUnits(entry.amount) + " " + entry.currency),
                        paymentStandingName(entry.standing) + (entry.review ? " (reviewed)" : ""),
                        printable(outcomeText(entry)), last});
    }
    std::vector<std::size_t> widths(rows.front().size(), 0);
    for (const auto& row : rows) {
        for (std::size_t column = 0; column < row.size(); ++column) {
            widths[column] = std::max(widths[column], widthOf(row[column]));
        }
    }
    for (std::size_t index = 0; index < rows.size(); ++index) {
        std::string line;
        for (std::size_t column = 0; column < rows[index].size(); ++column) {
            line += rows[index][column];
            if (column + 1 < rows[index].size()) {
                line += std::string(widths[column] - widthOf(rows[index][column]) + 2, ' ');
            }
        }
        out << line << '\n';
        if (advising && index > 0 && !advice(entries[index - 1]).empty()) {
            out << "  " << advice(entries[index - 1]) << '\n';
        }
    }
}

void details(const JournalEntry& entry, std::ostream& out) {
    out << "Order        " << printable(entry.order) << '\n'
        << "Flow         " << paymentFlowName(entry.flow) << '\n'
        << "Amount       " << printable(inUnits(entry.amount)) << " (currency "
        << printable(entry.currency) << ")\n"
        << "Type         " << printable(entry.transactionType) << '\n'
        << "Merchant     " << printable(entry.merchant) << ", terminal "
        << printable(entry.terminal) << ", environment " << printable(entry.environment) << '\n'
        << "Card         "
        << (entry.cardLastFour ? "ending in " + printable(*entry.cardLastFour) : "-") << '\n'
        << "Standing     " << paymentStandingName(entry.standing) << '\n';
    if (const auto what = advice(entry); !what.empty()) {
        out << "             " << what << '\n';
    }
    out << "Outcome      " << printable(outcomeText(entry)) << '\n';
    if (entry.review) {
        out << "Reviewed     " << timeText(entry.review->at) << ": "
            << printable(fromOutside(entry.review->note)) << '\n';
    }
    out << "Steps\n";
    for (const auto& step : entry.steps) {
        out << "  " << timeText(step.at) << "  " << paymentStepName(step.step);
        if (!step.detail.empty()) {
            out << "  " << printable(step.detail);
        }
        out << '\n';
    }
}

// The version of the export's lines; a later one only adds members.
constexpr int kExportSchema = 1;

// One line of `journal export`: what happened, to which payment, when. Its texts are masked and
// written as JSON writes them (control characters escaped, bytes that are not UTF-8 as U+FFFD),
// so that one line is one event whatever the journal holds.
std::string exportLine(const JournalEvent& event) {
    // Members in the order a person reads them.
    nlohmann::ordered_json line = {
        {"schema", kExportSchema},
        {"cursor", std::to_string(event.cursor)},
        {"payment", event.paymentId},
        {"order", fromOutside(event.order)},
        {"flow", paymentFlowName(event.flow)},
        {"amount", fromOutside(event.amount)},
        {"currency", fromOutside(event.currency)},
        {"step", event.step                      ? paymentStepName(*event.step)
                 : event.damagedStepName.empty() ? std::string("reviewed")
                                                 : fromOutside(event.damagedStepName)},
        {"at", isoTime(event.at)},
        {"damaged", event.damaged}};
    line[event.isReview() ? "note" : "detail"] = fromOutside(event.detail);
    if (event.outcome) {
        line["outcome"] = {{"accepted", event.outcome->accepted},
                           {"code", event.outcome->code},
                           {"authorisationCode", event.outcome->authorisationCode},
                           {"text", fromOutside(event.outcome->text)}};
    }
    return line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

// A cursor as export prints it: digits, no sign.
std::optional<std::int64_t> cursorFrom(std::string_view text) {
    std::int64_t cursor = 0;
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), cursor);
    if (text.empty() || text.front() == '-' || problem != std::errc() ||
        end != text.data() + text.size()) {
        return std::nullopt;
    }
    return cursor;
}

// "YYYY-MM-DD" as that day's first moment in UTC; none for any other text or a day that is not.
std::optional<std::chrono::system_clock::time_point> dayFrom(std::string_view text) {
    const bool shaped = text.size() == 10 && text[4] == '-' && text[7] == '-' &&
                        std::ranges::all_of(text, [](char c) {
                            return c == '-' || std::isdigit(static_cast<unsigned char>(c));
                        });
    if (!shaped) {
        return std::nullopt;
    }
    const auto number = [&](std::size_t at, std::size_t length) {
        int value = 0;
        std::from_chars(text.data() + at, text.data() + at + length, value);
        return value;
    };
    const std::chrono::year_month_day day{std::chrono::year(number(0, 4)),
                                          std::chrono::month(static_cast<unsigned>(number(5, 2))),
                                          std::chrono::day(static_cast<unsigned>(number(8, 2)))};
    if (!day.ok() || number(0, 4) == 0) {
        return std::nullopt;
    }
    // The clock counts nanoseconds, which run out in 2262: a later day takes every payment.
    using Clock = std::chrono::system_clock;
    const auto days = std::chrono::sys_days(day);
    if (days >= std::chrono::floor<std::chrono::days>(Clock::time_point::max())) {
        return Clock::time_point::max();
    }
    if (days <= std::chrono::ceil<std::chrono::days>(Clock::time_point::min())) {
        return Clock::time_point::min();
    }
    return std::chrono::time_point_cast<Clock::duration>(days);
}

int cannotRead(const JournalProblem& problem, std::ostream& err) {
    err << "vanto journal: " << printable(problem.text) << '\n';
    return problem.kind == JournalProblem::Kind::notFound ? kExitFailure : kExitCannotRun;
}

}  // namespace

int runJournal(JournalAction action, const JournalChoice& choice, bool asJson,
               const std::string& order, const std::string& note, std::ostream& out,
               std::ostream& err) {
    // `order` holds the cursor of an export (empty: none) and the day of a prune.
    std::optional<std::int64_t> since;
    std::optional<std::chrono::system_clock::time_point> before;
    if (action == JournalAction::exportEvents && !order.empty() && !(since = cursorFrom(order))) {
        err << "vanto journal export: --since takes a cursor that an earlier export printed, not "
            << printable(order) << '\n';
        return kExitBadInput;
    }
    if (action == JournalAction::prune && !(before = dayFrom(order))) {
        err << "vanto journal prune: --resolved-before takes a day as YYYY-MM-DD (UTC), not "
            << printable(order) << '\n';
        return kExitBadInput;
    }
    std::string problem;
    bool missing = false;
    // Only a review and a prune write; no command creates a journal that is not there.
    const auto mode = action == JournalAction::review || action == JournalAction::prune
                          ? JournalOpenMode::existing
                          : JournalOpenMode::readOnly;
    const auto journal = openJournalToRead(choice, mode, problem, missing);
    if (!journal) {
        err << "vanto journal: " << printable(problem) << '\n';
        return missing ? kExitBadInput : kExitCannotRun;
    }
    switch (action) {
        case JournalAction::list:
        case JournalAction::unresolved: {
            const auto entries =
                action == JournalAction::list ? journal->payments() : journal->unresolved();
            if (!entries) {
                return cannotRead(entries.problem(), err);
            }
            if (asJson) {
                out << jsonText(toJson(entries.value())) << '\n';
            } else {
                table(entries.value(), action == JournalAction::unresolved, out);
            }
            return kExitOk;
        }
        case JournalAction::show: {
            // Every attempt of the order, oldest first: a later one never hides an earlier charge.
            const auto entries = journal->payments(order);
            if (!entries) {
                return cannotRead(entries.problem(), err);
            }
            if (entries.value().empty()) {
                err << "vanto journal: no payment of order " << printable(order) << " in "
                    << printable(journal->path()) << '\n';
                return kExitFailure;
            }
            if (asJson) {
                out << jsonText(toJson(entries.value())) << '\n';
                return kExitOk;
            }
            for (std::size_t index = 0; index < entries.value().size(); ++index) {
                out << (index > 0 ? "\n" : "") << "Attempt      " << index + 1 << " of "
                    << entries.value().size() << '\n';
                details(entries.value()[index], out);
            }
            return kExitOk;
        }
        case JournalAction::backup: {
            // `order` holds the copy's path here.
            if (std::error_code ignored; std::filesystem::exists(order, ignored)) {
                err << "vanto journal: " << printable(order)
                    << " exists: a copy never replaces a file\n";
                return kExitBadInput;
            }
            const auto copied = journal->backUpTo(order);
            if (!copied) {
                return cannotRead(copied.problem(), err);
            }
            out << "copied " << copied.value() << " payments to " << printable(order) << '\n';
            return kExitOk;
        }
        case JournalAction::exportEvents: {
            // A batch at a time, each after the last cursor written: a large journal never sits
            // whole in memory.
            constexpr std::size_t kBatch = 1000;
            for (std::size_t got = kBatch; got == kBatch && out;) {
                const auto events = journal->events(since, kBatch);
                if (!events) {
                    return cannotRead(events.problem(), err);
                }
                for (const auto& event : events.value()) {
                    out << exportLine(event) << '\n';
                }
                got = events.value().size();
                if (got > 0) {
                    since = events.value().back().cursor;
                }
            }
            out.flush();
            return out ? kExitOk : kExitCannotRun;
        }
        case JournalAction::prune: {
            const auto pruned = journal->pruneResolvedBefore(*before);
            if (!pruned) {
                return cannotRead(pruned.problem(), err);
            }
            out << "pruned " << pruned.value() << " resolved payments last changed before " << order
                << '\n';
            return kExitOk;
        }
        case JournalAction::review: {
            const auto reviewed = journal->markReviewed(order, note);
            if (!reviewed) {
                return cannotRead(reviewed.problem(), err);
            }
            if (asJson) {
                out << jsonText(toJson(reviewed.value())) << '\n';
            } else {
                table(reviewed.value(), false, out);
            }
            return kExitOk;
        }
    }
    return kExitBadInput;
}

}  // namespace vanto::cli
