#include <chrono>
#include <iostream>
#include <memory>
#include <optional>
#include <variant>

#include "Commands.h"
#include "PaymentOptions.h"
#include "vanto/direct/DirectPaymentPresenter.h"
#include "vanto/encoding/JsonWriter.h"
#include "vanto/journal/PaymentJournal.h"
#include "vanto/platform/MainQueue.h"
#include "vanto/transport/Trace.h"

namespace vanto::cli {
namespace {

using namespace std::chrono_literals;

// The view of a payment without a screen: it keeps the one outcome and passes it on, if told to,
// before the journal records it delivered.
class OutcomeView : public DirectPaymentViewProtocol {
  public:
    explicit OutcomeView(const OutcomeTeller<DirectOutcome>& tell) : tell_(tell) {}
    void notifyUserOK(const DirectPaymentResponseOK& response) override { keep(response); }
    void notifyUserKO(const DirectPaymentResponseKO& response) override { keep(response); }
    bool outcomeReached() const override { return reached_; }
    std::optional<DirectOutcome> outcome;

  private:
    void keep(DirectOutcome given) {
        outcome = std::move(given);
        reached_ = !tell_ || tell_(*outcome);
    }
    OutcomeTeller<DirectOutcome> tell_;
    bool reached_ = false;
};

}  // namespace

std::string refusalJson(std::int64_t code, std::string_view desc) {
    JsonWriter writer(64 + desc.size());
    writer.beginObject();
    writer.member("code", code);
    writer.member("desc", desc);
    writer.endObject();
    // The gateway's text may quote the request it was sent, card data and all.
    return maskCardData(writer.take());
}

bool writeOutcomeLine(const DirectOutcome& outcome, std::ostream& out) {
    if (const auto* accepted = std::get_if<DirectPaymentResponseOK>(&outcome)) {
        // The record carries the card's masked number and its expiry date as the gateway sent
        // them: neither is printed in clear.
        out << maskCardData(accepted->toJSON()) << '\n';
    } else {
        const auto& refused = std::get<DirectPaymentResponseKO>(outcome);
        out << refusalJson(refused.code, refused.desc) << '\n';
    }
    return out.flush().good();
}

std::string notToldLine(const std::string& command, const std::string& order) {
    return "vanto " + command + ": the outcome could not be written to standard output; the " +
           "journal keeps it (vanto journal show " + printable(order) + ")";
}

std::string notRecordedLine(const std::string& command, const std::string& order) {
    return "vanto " + command + ": the outcome above is told, but the journal could not record " +
           "the payment's last steps: it holds it unresolved; check order " + printable(order) +
           " (vanto journal show " + printable(order) + ")";
}

std::optional<DirectOutcome> directPayment(Payment& payment,
                                           const OutcomeTeller<DirectOutcome>& tell) {
    auto view = std::make_shared<OutcomeView>(tell);
    auto presenter = std::make_shared<DirectPaymentPresenter<OutcomeView>>(view);
    presenter->makePaymentAction(payment.pan.view(), payment.cvv.view(), payment.expiryDate.view(),
                                 payment.amount, payment.order, payment.identifier, payment.type,
                                 payment.description);
    payment.wipeCardData();
    if (!platform::MainQueue::runUntil([&] { return view->outcome.has_value(); }, 180s)) {
        return std::nullopt;
    }
    return view->outcome;
}

bool leftInDoubt(const PaymentJournal& journal, const std::string& order) {
    const auto payment = journal.payment(order);
    return payment.ok() && payment.value() && payment.value()->standing == PaymentStanding::inDoubt;
}

std::string inDoubtLine(const std::string& command, const std::string& order) {
    return "vanto " + command + ": in doubt: the gateway may have charged the card; check order " +
           printable(order) + " before charging it again (vanto journal show " + printable(order) +
           ")";
}

int outcomeStatus(const PaymentOutcome& outcome, const std::string& command, std::ostream& err) {
    const std::string& order = outcome.order;
    if (outcome.verdict == PaymentVerdict::paid) {
        return kExitOk;
    }
    if (outcome.refusal == RefusalKind::duplicateOrder) {
        err << "vanto " << command << ": not sent: the journal holds a payment of order "
            << printable(order) << " that was sent or accepted; check it (vanto journal show "
            << printable(order) << ") and review it (vanto journal review " << printable(order)
            << ") before charging the order again\n";
    } else if (outcome.standing == PaymentStanding::inDoubt) {
        err << inDoubtLine(command, order) << '\n';
        return kExitInDoubt;
    }
    return kExitFailure;
}

int runPay(PaymentOptions& options, CardInput& input, std::ostream& out, std::ostream& err) {
    std::string problem;
    auto checked = checkPayment(options, input, problem);
    if (!checked) {
        err << "vanto pay: " << problem << '\n';
        return kExitBadInput;
    }
    const auto journal = JournalForRun::start(options.journal, problem);
    const auto gateway =
        journal ? GatewayForRun::start(checked->gateway, options, problem) : nullptr;
    if (!gateway) {
        checked->payment.wipeCardData();
        err << "vanto pay: " << maskCardData(problem) << '\n';
        return kExitCannotRun;
    }
    if (const auto cannot = journal->problem(); !cannot.empty()) {
        err << "vanto pay: " << maskCardData(cannot) << '\n';
    }
    bool written = false;
    const auto outcome = directPayment(checked->payment, [&](const DirectOutcome& received) {
        written = writeOutcomeLine(received, out);
        return written;
    });
    if (!outcome) {
        // The request left when the payment began: an answer still trickling in, or never
        // coming, may carry a charge.
        err << "vanto pay: no outcome within three minutes\n"
            << inDoubtLine("pay", checked->payment.order) << '\n';
        return kExitInDoubt;
    }
    if (!written) {
        err << notToldLine("pay", checked->payment.order) << '\n';
        return kExitNotTold;
    }
    if (journal->journal().recordWaitingSteps() > 0) {
        err << notRecordedLine("pay", checked->payment.order) << '\n';
        return kExitNotRecorded;
    }
    return outcomeStatus(outcomeOf(*outcome, journal->journal(), checked->payment.order), "pay",
                         err);
}

}  // namespace vanto::cli
