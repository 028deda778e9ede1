#include "journal/PaymentTrail.h"

#include "journal/JournalAccess.h"
#include "journal/ProcessIdentity.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/text/CardText.h"
#include "vanto/transport/TraceSink.h"

namespace vanto::journal {
namespace {

// Why a failed call left the payment as it did, for the step's detail.
std::string describe(const SDKError& error) {
    std::string text = std::to_string(error.code()) + " " + error.errorDescription();
    if (const auto* platformError = error.platformError()) {
        text += " " + platformError->localizedDescription;
    }
    if (const auto status = error.status()) {
        text += " HTTP status " + std::to_string(*status);
    }
    return text;
}

// Whether bytes of the request may have reached the gateway. Only the failures known to come
// before anything left say no: the request could not be built or addressed, the manager had no
// session, or the transfer failed (without a reply) before its request left.
bool mayHaveLeft(const SDKError& error) {
    switch (error.kind()) {
        case SDKError::Case::requestError:
        case SDKError::Case::malformedURL:
        case SDKError::Case::internalError:
            return false;
        case SDKError::Case::nonURLResponse:
            if (error.response()) {
                return true;
            }
            return error.platformError() == nullptr || error.platformError()->requestSent;
        default:
            return true;  // a reply came, so the request had left
    }
}

}  // namespace

PaymentTrail::Beginning PaymentTrail::begin(NewPayment payment, std::vector<StepWrite> steps) {
    auto journal = PaymentJournal::installed();
    if (!journal) {
        return {};
    }
    auto& impl = internal::JournalAccess::of(*journal);
    const std::lock_guard lock(impl.mutex);
    impl.recordWaiting();
    if (auto problem = impl.ensureOpen()) {
        return {nullptr, notRecorded({platform::PlatformError::Kind::other, problem->text, ""})};
    }
    auto inserted = impl.store.insert(payment, thisProcess(), steps, [&impl](auto earlier) {
        return impl.holdingOrder(std::move(earlier));
    });
    if (!inserted) {
        return {nullptr, notRecorded(inserted.error())};
    }
    if (const auto& heldBy = inserted.value().heldBy) {
        return {nullptr, duplicateOrder(*heldBy)};
    }
    const auto id = inserted.value().id;
    impl.began.insert(id);
    impl.underWay.insert(id);
    return {std::shared_ptr<PaymentTrail>(new PaymentTrail(std::move(journal), id)), std::nullopt};
}

PaymentTrail::PaymentTrail(std::shared_ptr<PaymentJournal> journal, std::int64_t id)
    : journal_(std::move(journal)), id_(id) {}

// The payment has ended: a moment when nothing waits on the journal, to fold its log back.
PaymentTrail::~PaymentTrail() {
    auto& impl = internal::JournalAccess::of(*journal_);
    const std::lock_guard lock(impl.mutex);
    impl.underWay.erase(id_);
    impl.recordWaiting();
    impl.store.checkpointIfDue();
}

Expected<Recorded> PaymentTrail::record(const StepWrite& step) {
    auto& impl = internal::JournalAccess::of(*journal_);
    const std::lock_guard lock(impl.mutex);
    if (auto problem = impl.ensureOpen()) {
        return platform::PlatformError{platform::PlatformError::Kind::other, problem->text, ""};
    }
    return impl.store.append(id_, step);
}

void PaymentTrail::note(const StepWrite& step) {
    auto& impl = internal::JournalAccess::of(*journal_);
    std::optional<platform::PlatformError> failure;
    {
        const std::lock_guard lock(impl.mutex);
        // Behind any step still waiting, so that every payment's steps keep their order.
        impl.waiting.emplace_back(id_, step);
        failure = impl.recordWaiting();
    }
    if (failure) {
        writeTrace("The payment journal did not record the step " + paymentStepName(step.step) +
                   ": " + failure->localizedDescription + " (" + failure->detail +
                   "); it waits in memory and is tried again at the journal's next payment, when "
                   "this payment ends and when the journal is let go");
    }
}

NewPayment paymentOf(PaymentFlowKind flow, std::string_view order, double amount,
                     TransactionType type) {
    const auto& configuration = VantoConfiguration::shared();
    NewPayment payment;
    payment.flow = flow;
    payment.order = std::string(order);
    payment.amount = amountText(amount).value_or("");
    payment.currency = configuration.appCurrency();
    payment.transactionType = getTransctionType(type);
    payment.merchant = configuration.appFuc();
    payment.terminal = configuration.appTerminal();
    switch (configuration.appEnviroment()) {
        case EnviromentType::test:
            payment.environment = "test";
            break;
        case EnviromentType::integration:
            payment.environment = "integration";
            break;
        case EnviromentType::real:
            payment.environment = "real";
            break;
    }
    return payment;
}

StepWrite afterFailure(const SDKError& error, const JournalOutcome& refusal) {
    StepWrite step;
    step.outcome = refusal;
    if (mayHaveLeft(error)) {
        step.step = PaymentStep::unanswered;
        step.inDoubt = true;
        step.detail = "no answer of the gateway was read after the request left (" +
                      describe(error) + "): the gateway may have charged the card";
    } else {
        step.step = PaymentStep::notSent;
        step.detail = "the request did not leave (" + describe(error) + ")";
    }
    return step;
}

JournalOutcome notRecorded(const platform::PlatformError& problem) {
    writeTrace("The payment journal could not record the payment, which is not sent: " +
               problem.localizedDescription +
               (problem.detail.empty() ? std::string() : " (" + problem.detail + ")"));
    return JournalOutcome{false, PaymentJournal::kRefusalCode, "", PaymentJournal::refusalText()};
}

JournalOutcome duplicateOrder(const JournalEntry& earlier) {
    writeTrace("The payment journal holds payment " + std::to_string(earlier.id) +
               " of the same order (" + paymentStandingName(earlier.standing) +
               "): the payment is not sent until it is reviewed");
    return JournalOutcome{false, PaymentJournal::kDuplicateOrderCode, "",
                          PaymentJournal::duplicateOrderText()};
}

std::optional<std::string> lastFour(std::string_view digits) {
    if (digits.size() < 4) {
        return std::nullopt;
    }
    const std::string_view last = digits.substr(digits.size() - 4);
    if (last.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(last);
}

}  // namespace vanto::journal
