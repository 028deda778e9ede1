#include <chrono>
#include <iostream>
#include <string>
#include <variant>

#include "Commands.h"
#include "PaymentOptions.h"
#include "vanto/sandbox/SandboxGateway.h"
#include "vanto/sandbox/TestCards.h"
#include "vanto/transport/Trace.h"
#include "vanto/transport/TraceSink.h"

namespace vanto::cli {
namespace {

std::string lastFour(std::string_view card) {
    return std::string(card.substr(card.size() - 4));
}

Payment samplePayment(std::string_view card, std::string order) {
    Payment payment;
    payment.pan = platform::SecretText(card);
    payment.cvv = platform::SecretText("123");
    payment.typedExpiry = platform::SecretText("12/30");
    payment.expiryDate = platform::SecretText("3012");
    payment.amount = 19.99;
    payment.order = std::move(order);
    payment.description = "Libro de ejemplo";
    return payment;
}

// The demo's orders, of this run alone: an order pays once, and the journal keeps the orders of
// every earlier run.
std::string demoOrder(int index) {
    static const auto run = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count() %
                            100'000'000'000;
    return std::to_string(run) + std::to_string(index);
}

// One line a person reads at a glance.
std::string summary(const DirectOutcome& outcome) {
    if (const auto* accepted = std::get_if<DirectPaymentResponseOK>(&outcome)) {
        return "ACCEPTED  authorisation " + accepted->Ds_AuthorisationCode + ", Ds_Response " +
               accepted->Ds_Response;
    }
    const auto& refused = std::get<DirectPaymentResponseKO>(outcome);
    return "REFUSED   code " + std::to_string(refused.code) + ", \"" + maskCardData(refused.desc) +
           "\"";
}

std::string summary(const WebOutcome& outcome) {
    if (const auto* accepted = std::get_if<WebViewPaymentResponseOK>(&outcome)) {
        return "ACCEPTED  authorisation " + accepted->Ds_AuthorisationCode + ", Ds_Response " +
               accepted->Ds_Response;
    }
    const auto& refused = std::get<WebViewPaymentResponseKO>(outcome);
    return "REFUSED   code " + std::to_string(refused.code) + ", \"" + maskCardData(refused.desc) +
           "\"";
}

// The presenters alone, as a program without screens pays.
DemoPayments throughPresenters(const GatewayForRun& gateway) {
    DemoPayments payments;
    payments.way = "presenters";
    payments.direct = [](Payment& payment, std::string& problem) {
        auto outcome = directPayment(payment);
        if (!outcome) {
            problem = "no outcome within three minutes";
        }
        return outcome;
    };
    payments.web = [&gateway](Payment& payment, std::string& problem) {
        return webPayment(payment, gateway.trustAnchor(), problem);
    };
    return payments;
}

}  // namespace

int runDemo(bool traces, const JournalChoice& journalChoice, const DemoScreens& screens,
            std::ostream& out, std::ostream& err) {
    PaymentOptions options;
    const auto merchant = sandbox::SandboxGateway::defaultMerchant();
    options.merchant = merchant.merchantCode;
    options.terminal = merchant.terminal;
    options.license = merchant.signingCredential;
    std::string problem;
    const auto journal = JournalForRun::start(journalChoice, problem);
    const auto gateway =
        journal ? GatewayForRun::start(GatewayChoice{}, options, problem) : nullptr;
    if (!gateway) {
        err << "vanto demo: " << maskCardData(problem) << '\n';
        return kExitCannotRun;
    }
    if (const auto cannot = journal->problem(); !cannot.empty()) {
        err << "vanto demo: " << maskCardData(cannot) << '\n';
    }
    if (!traces) {
        setTraceSink([](std::string_view) {});
    }
    // With a display the payments go through the library's own screens, driven as a cardholder
    // would drive them; without one, through the presenters alone.
    std::optional<DemoPayments> payments = screens ? screens(*gateway) : std::nullopt;
    if (!payments) {
        payments = throughPresenters(*gateway);
    }
    out << "Three payments of 19.99 EUR through the library's " << payments->way
        << ", against the built-in sandbox gateway\n(merchant " << merchant.merchantCode
        << ", terminal " << merchant.terminal << "; the cards are the sandbox's test cards).\n\n"
        << std::flush;

    const auto direct = [&](std::string_view card, std::string order) {
        auto payment = samplePayment(card, std::move(order));
        const auto outcome = payments->direct(payment, problem);
        return outcome ? summary(*outcome) : "no outcome: " + problem;
    };
    out << "  Direct payment, card ending in " << lastFour(sandbox::kAcceptedCard) << ":  "
        << direct(sandbox::kAcceptedCard, demoOrder(1)) << '\n'
        << std::flush;
    out << "  Direct payment, card ending in " << lastFour(sandbox::kDeclinedCard) << ":  "
        << direct(sandbox::kDeclinedCard, demoOrder(2)) << '\n'
        << std::flush;
    auto webSample = samplePayment(sandbox::kAcceptedCard, demoOrder(3));
    const auto onPage = payments->web(webSample, problem);
    out << "  Web payment on the payment page, card ending in " << lastFour(sandbox::kAcceptedCard)
        << ":  " << (onPage ? summary(*onPage) : "no outcome: " + problem) << "\n\n";
    if (!traces) {
        out << "Run `vanto demo --traces` to see every request and reply on standard error, card "
               "data masked.\n";
    }
    return kExitOk;
}

}  // namespace vanto::cli
