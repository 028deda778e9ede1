#include <iostream>
#include <string>
#include <variant>

#include "Commands.h"
#include "PaymentOptions.h"
#include "vanto/sandbox/SandboxGateway.h"
#include "vanto/sandbox/TestCards.h"
#include "vanto/transport/TraceSink.h"

#ifdef VANTO_CLI_WITH_QT
#include "QtScreens.h"
#endif

namespace vanto::cli {
namespace {

std::string lastFour(std::string_view card) {
    return std::string(card.substr(card.size() - 4));
}

Payment samplePayment(std::string_view card, std::string order) {
    Payment payment;
    payment.pan = std::string(card);
    payment.cvv = "123";
    payment.typedExpiry = "12/30";
    payment.expiryDate = "3012";
    payment.amount = 19.99;
    payment.order = std::move(order);
    payment.description = "Libro de ejemplo";
    return payment;
}

// One line a person reads at a glance.
std::string summary(const DirectOutcome& outcome) {
    if (const auto* accepted = std::get_if<DirectPaymentResponseOK>(&outcome)) {
        return "ACCEPTED  authorisation " + accepted->Ds_AuthorisationCode + ", Ds_Response " +
               accepted->Ds_Response;
    }
    const auto& refused = std::get<DirectPaymentResponseKO>(outcome);
    return "REFUSED   code " + std::to_string(refused.code) + ", \"" + refused.desc + "\"";
}

std::string summary(const WebOutcome& outcome) {
    if (const auto* accepted = std::get_if<WebViewPaymentResponseOK>(&outcome)) {
        return "ACCEPTED  authorisation " + accepted->Ds_AuthorisationCode + ", Ds_Response " +
               accepted->Ds_Response;
    }
    const auto& refused = std::get<WebViewPaymentResponseKO>(outcome);
    return "REFUSED   code " + std::to_string(refused.code) + ", \"" + refused.desc + "\"";
}

}  // namespace

int runDemo(bool traces, std::ostream& out, std::ostream& err) {
    PaymentOptions options;
    const auto merchant = sandbox::SandboxGateway::defaultMerchant();
    options.merchant = merchant.merchantCode;
    options.terminal = merchant.terminal;
    options.license = merchant.signingCredential;
    std::string problem;
    const auto gateway = GatewayForRun::prepare(options, problem);
    if (!gateway) {
        err << "vanto demo: " << problem << '\n';
        return kExitCannotRun;
    }
    if (!traces) {
        setTraceSink([](std::string_view) {});
    }
    // With a display the payments go through the library's own screens, driven as a cardholder
    // would drive them; without one, through the presenters alone.
#ifdef VANTO_CLI_WITH_QT
    std::unique_ptr<QtSession> screens;
    if (canOpenWindows()) {
        screens = std::make_unique<QtSession>(true);
    }
    const bool onScreens = screens != nullptr;
#else
    const bool onScreens = false;
#endif
    out << "Three payments of 19.99 EUR through the library's "
        << (onScreens ? "payment screens (Qt)" : "presenters")
        << ", against the built-in sandbox gateway\n(merchant " << merchant.merchantCode
        << ", terminal " << merchant.terminal << "; the cards are the sandbox's test cards).\n\n"
        << std::flush;

    const auto direct = [&](std::string_view card, std::string order) {
        auto payment = samplePayment(card, std::move(order));
#ifdef VANTO_CLI_WITH_QT
        if (screens) {
            const auto outcome = directPaymentOnScreen(*screens, payment, problem);
            return outcome ? summary(*outcome) : "no outcome: " + problem;
        }
#endif
        const auto outcome = directPayment(payment);
        return outcome ? summary(*outcome) : std::string("no outcome within three minutes");
    };
    const auto web = [&](std::string_view card, std::string order) {
        auto payment = samplePayment(card, std::move(order));
#ifdef VANTO_CLI_WITH_QT
        if (screens) {
            return webPaymentInWindow(*screens, payment, true, problem);
        }
#endif
        return webPayment(payment, gateway->trustAnchor(), problem);
    };
    out << "  Direct payment, card ending in " << lastFour(sandbox::kAcceptedCard) << ":  "
        << direct(sandbox::kAcceptedCard, "DEMO0001") << '\n'
        << std::flush;
    out << "  Direct payment, card ending in " << lastFour(sandbox::kDeclinedCard) << ":  "
        << direct(sandbox::kDeclinedCard, "DEMO0002") << '\n'
        << std::flush;
    const auto onPage = web(sandbox::kAcceptedCard, "DEMO0003");
    out << "  Web payment on the payment page, card ending in " << lastFour(sandbox::kAcceptedCard)
        << ":  " << (onPage ? summary(*onPage) : "no outcome: " + problem) << "\n\n";
    if (!traces) {
        out << "Run `vanto demo --traces` to see every request and reply on standard error, card "
               "data masked.\n";
    }
    return kExitOk;
}

}  // namespace vanto::cli
