#include "PaymentOptions.h"

#include <charconv>
#include <fstream>
#include <iostream>
#include <sstream>

#include <CLI/CLI.hpp>

#include "vanto/config/Constants.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/platform/SecureWipe.h"
#include "vanto/platform/URLSession.h"
#include "vanto/sandbox/SandboxGateway.h"
#include "vanto/text/CardText.h"
#include "vanto/transport/TraceSink.h"

namespace vanto::cli {
namespace {

std::optional<TransactionType> transactionType(const std::string& name) {
    static const std::pair<std::string_view, TransactionType> kTypes[] = {
        {"traditional", TransactionType::traditional},
        {"normal", TransactionType::normal},
        {"preauthorization", TransactionType::preauthorization},
        {"authentication", TransactionType::authentication},
    };
    for (const auto& [typeName, type] : kTypes) {
        if (name == typeName) {
            return type;
        }
    }
    return std::nullopt;
}

std::optional<EnviromentType> environment(const std::string& name) {
    if (name == "test") {
        return EnviromentType::test;
    }
    if (name == "integration") {
        return EnviromentType::integration;
    }
    if (name == "real") {
        return EnviromentType::real;
    }
    return std::nullopt;
}

std::optional<double> number(const std::string& text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

bool allDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::string withoutSpaces(std::string text) {
    std::erase(text, ' ');
    return text;
}

// The host part of "host[:port]", brackets of an IPv6 address removed.
std::string hostOf(const std::string& authority) {
    if (authority.starts_with('[')) {
        return authority.substr(1, authority.find(']') - 1);
    }
    return authority.substr(
        0, authority.rfind(':') == std::string::npos ? authority.size() : authority.rfind(':'));
}

bool isLoopback(const std::string& host) {
    return host == "localhost" || host == "::1" || host.starts_with("127.");
}

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

}  // namespace

void addPaymentOptions(CLI::App& command, PaymentOptions& options) {
    const auto merchant = sandbox::SandboxGateway::defaultMerchant();
    options.merchant = merchant.merchantCode;
    options.terminal = merchant.terminal;
    options.license = merchant.signingCredential;
    command.add_option("--card", options.card, "Card number as printed (spaces allowed)");
    command.add_option("--expiry", options.expiry, "Expiry date as the cardholder types it: MM/YY");
    command.add_option("--cvv", options.cvv, "Security code, or - to read it from standard input");
    command.add_option("--amount", options.amount, "Amount in currency units, such as 19.99")
        ->required();
    command.add_option("--order", options.order, "The merchant's order number")->required();
    command.add_option("--description", options.description, "Product description")
        ->capture_default_str();
    command
        .add_option("--type", options.type,
                    "traditional, normal, preauthorization or authentication")
        ->capture_default_str();
    command.add_option("--identifier", options.identifier,
                       "A stored-card reference (then no card data), or REQUIRED to ask for one");
    command.add_option("--merchant", options.merchant, "Merchant code")->capture_default_str();
    command.add_option("--terminal", options.terminal, "Terminal number")->capture_default_str();
    command.add_option("--license", options.license, "The application's signing credential");
    command.add_option("--environment", options.environment,
                       "test, integration or real: pay through that environment's gateway "
                       "instead of the built-in sandbox");
    command.add_option("--gateway", options.gateway,
                       "host[:port] to put in place of the environment's gateway host");
    command.add_option("--trust", options.trust,
                       "PEM file of a certificate to trust besides the system's");
    command.add_flag("--allow-network", options.allowNetwork,
                     "Allow a gateway that is not on this machine");
}

std::optional<Payment> checkOrder(const PaymentOptions& options, std::string& problem) {
    Payment payment;
    payment.identifier = options.identifier;
    payment.storedCard = !options.identifier.empty() &&
                         options.identifier != VantoConfiguration::shared().REQUEST_REFERENCE();
    const auto amount = number(options.amount);
    if (!amount) {
        problem = "--amount is not a number";
        return std::nullopt;
    }
    payment.amount = *amount;
    payment.order = options.order;
    payment.description = options.description;
    const auto type = transactionType(options.type);
    if (!type) {
        problem = "--type must be traditional, normal, preauthorization or authentication";
        return std::nullopt;
    }
    payment.type = *type;
    return payment;
}

namespace {

std::optional<Payment> readPayment(const PaymentOptions& options, std::istream& in,
                                   std::string& problem) {
    auto order = checkOrder(options, problem);
    if (!order) {
        return std::nullopt;
    }
    Payment& payment = *order;
    if (payment.storedCard) {
        if (!options.card.empty() || !options.expiry.empty() || !options.cvv.empty()) {
            problem = "--card, --expiry and --cvv are not given with a stored-card --identifier";
            return std::nullopt;
        }
        return payment;
    }
    payment.pan = withoutSpaces(options.card);
    if (payment.pan.size() > 19 || !allDigits(payment.pan) || !lunhsTest(payment.pan)) {
        problem = "--card is not a valid card number";
        return std::nullopt;
    }
    if (!expireDateIsCorrect(options.expiry)) {
        problem = "--expiry must be a month to come, written MM/YY";
        return std::nullopt;
    }
    payment.typedExpiry = options.expiry;
    payment.expiryDate = options.expiry.substr(3, 2) + options.expiry.substr(0, 2);
    payment.cvv = options.cvv;
    if (payment.cvv == "-") {
        std::getline(in, payment.cvv);
        if (!payment.cvv.empty() && payment.cvv.back() == '\r') {
            payment.cvv.pop_back();
        }
    }
    if (payment.cvv.size() < 3 || payment.cvv.size() > 4 || !allDigits(payment.cvv)) {
        problem = "--cvv must be 3 or 4 digits";
        return std::nullopt;
    }
    return order;
}

}  // namespace

std::optional<Payment> checkPayment(PaymentOptions& options, std::istream& in,
                                    std::string& problem) {
    auto payment = readPayment(options, in, problem);
    platform::secureWipe(options.card);
    platform::secureWipe(options.cvv);
    platform::secureWipe(options.expiry);
    return payment;
}

struct GatewayForRun::State {
    std::unique_ptr<sandbox::SandboxGateway> sandbox;
    EnviromentType environment = EnviromentType::test;
    std::string trustAnchor;
};

std::unique_ptr<GatewayForRun> GatewayForRun::prepare(const PaymentOptions& options,
                                                      std::string& problem) {
    auto state = std::make_unique<State>();
    if (options.environment.empty()) {
        if (!options.gateway.empty() || !options.trust.empty()) {
            problem = "--gateway and --trust go with --environment";
            return nullptr;
        }
        sandbox::SandboxOptions sandboxOptions;
        sandboxOptions.logRequests = false;
        state->sandbox = std::make_unique<sandbox::SandboxGateway>(sandboxOptions);
        if (!state->sandbox->start()) {
            problem = "the built-in sandbox gateway did not start: " + state->sandbox->lastError();
            return nullptr;
        }
        Constants::setGatewayHost(EnviromentType::test, state->sandbox->authority());
        state->trustAnchor = state->sandbox->certificatePem();
    } else {
        const auto chosen = environment(options.environment);
        if (!chosen) {
            problem = "--environment must be test, integration or real";
            return nullptr;
        }
        state->environment = *chosen;
        if (!options.gateway.empty() && !Constants::setGatewayHost(*chosen, options.gateway)) {
            problem = "--gateway must be host or host:port";
            return nullptr;
        }
        if (!isLoopback(hostOf(Constants::gatewayAuthority(*chosen))) && !options.allowNetwork) {
            Constants::setGatewayHost(*chosen, "");
            problem = "the gateway of --environment is not on this machine: add --allow-network";
            return nullptr;
        }
        if (!options.trust.empty()) {
            const auto pem = readFile(options.trust);
            if (!pem) {
                problem = "--trust names a file that cannot be read";
                return nullptr;
            }
            state->trustAnchor = *pem;
        }
    }
    auto session = platform::URLSessionConfiguration::defaultSessionConfiguration();
    if (!state->trustAnchor.empty()) {
        session.additionalTrustAnchors = {state->trustAnchor};
    }
    platform::URLSessionConfiguration::setDefaultSessionConfiguration(session);
    auto& configuration = VantoConfiguration::shared();
    configuration.setAppEnviroment(state->environment);
    configuration.setAppFuc(options.merchant);
    configuration.setAppTerminal(options.terminal);
    configuration.setAppLicense(options.license);
    // Standard output carries the outcome; the traces go beside it.
    setTraceSink([](std::string_view block) {
        std::cerr.write(block.data(), static_cast<std::streamsize>(block.size()));
        std::cerr << '\n' << std::flush;
    });
    return std::unique_ptr<GatewayForRun>(new GatewayForRun(std::move(state)));
}

GatewayForRun::GatewayForRun(std::unique_ptr<State> state) : state_(std::move(state)) {}

GatewayForRun::~GatewayForRun() {
    setTraceSink(nullptr);
    platform::URLSessionConfiguration::setDefaultSessionConfiguration(std::nullopt);
    Constants::setGatewayHost(state_->environment, "");
    if (state_->sandbox) {
        state_->sandbox->stop();
    }
}

const std::string& GatewayForRun::trustAnchor() const {
    return state_->trustAnchor;
}

}  // namespace vanto::cli
