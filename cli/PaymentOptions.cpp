#include "PaymentOptions.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include <CLI/CLI.hpp>

#include "CardInput.h"
#include "vanto/config/Constants.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/platform/SecureWipe.h"
#include "vanto/platform/URLSession.h"
#include "vanto/sandbox/SandboxGateway.h"
#include "vanto/text/CardText.h"
#include "vanto/transport/TraceSink.h"

namespace vanto::cli {
namespace {

// The options whose values the parser keeps and that are wiped once read.
constexpr std::array<std::string_view, 4> kSecretOptions = {"--card", "--expiry", "--cvv",
                                                            "--license"};

// Far longer than any signing credential; a line beyond it is not one.
constexpr std::size_t kLongestCredential = 1024;

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

bool allDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

bool equalsIgnoringCase(std::string_view text, std::string_view lower) {
    return std::ranges::equal(text, lower, [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
    });
}

// An amount as a person writes one (Amount::fromText()); the library rounds finer amounts by its
// own rule, and a command line that rounded silently would charge what was not written. Which
// rule a text breaks is said as a person would see it: "nan" is no finite number, "1e300" too
// large rather than oddly written.
std::optional<double> amountValue(std::string_view text, std::string& problem) {
    const std::string_view unsigned_ =
        text.starts_with('-') || text.starts_with('+') ? text.substr(1) : text;
    if (equalsIgnoringCase(unsigned_, "nan") || equalsIgnoringCase(unsigned_, "inf") ||
        equalsIgnoringCase(unsigned_, "infinity")) {
        problem = "--amount must be a finite number";
        return std::nullopt;
    }
    // from_chars takes no "+".
    const std::string_view number = text.starts_with('+') ? unsigned_ : text;
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (number.empty() || end != number.data() + number.size() ||
        (error != std::errc() && error != std::errc::result_out_of_range)) {
        problem = "--amount is not a number";
        return std::nullopt;
    }
    Amount::Problem why{};
    if (const auto amount = Amount::fromText(text, &why)) {
        return amount->units();
    }
    // Out of range the other way, "1e-400", is no amount as a person writes one either.
    const bool tiny = unsigned_.find("e-") != std::string_view::npos ||
                      unsigned_.find("E-") != std::string_view::npos;
    const bool huge =
        error == std::errc::result_out_of_range ? !tiny : std::fabs(value) * 100.0 >= 0x1p51;
    if (why == Amount::Problem::tooLarge || huge) {
        problem = "--amount is too large to be charged exactly";
    } else if (why == Amount::Problem::tooManyDecimals) {
        problem = "--amount has more than two decimals";
    } else {
        problem = "--amount must be written as plain digits, such as 19.99";
    }
    return std::nullopt;
}

struct Authority {
    std::string host;
    bool bracketed = false;
};

// A TCP port in plain decimal, 1 to 65535, no leading zero.
bool isPort(std::string_view port) {
    if (!allDigits(port) || port.size() > 5 || port.front() == '0') {
        return false;
    }
    unsigned value = 0;
    std::from_chars(port.data(), port.data() + port.size(), value);
    return value <= 65535;
}

bool isIPv6(const std::string& host) {
    in6_addr address{};
    return inet_pton(AF_INET6, host.c_str(), &address) == 1;
}

// "host", "host:port", "[IPv6]" or "[IPv6]:port", as the library takes a gateway host: no
// scheme, no path, no user.
std::optional<Authority> parseAuthority(std::string_view text) {
    Authority authority;
    std::string_view port;
    bool hasPort = false;
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        authority.host = std::string(text.substr(1, close - 1));
        authority.bracketed = true;
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty() && rest.front() != ':') {
            return std::nullopt;
        }
        hasPort = !rest.empty();
        port = hasPort ? rest.substr(1) : rest;
        if (!isIPv6(authority.host)) {
            return std::nullopt;
        }
    } else {
        const auto colon = text.rfind(':');
        hasPort = colon != std::string_view::npos;
        authority.host = std::string(text.substr(0, colon));
        port = hasPort ? text.substr(colon + 1) : std::string_view();
        const bool hostName =
            !authority.host.empty() && authority.host.find_first_not_of(
                                           "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                           "0123456789-.") == std::string::npos;
        if (!hostName) {
            return std::nullopt;
        }
    }
    if (hasPort && !isPort(port)) {
        return std::nullopt;
    }
    return authority;
}

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream contents;
    contents << file.rdbuf();
    if (file.bad()) {
        return std::nullopt;
    }
    return contents.str();
}

}  // namespace

void Payment::wipeCardData() {
    pan.clear();
    cvv.clear();
    expiryDate.clear();
    typedExpiry.clear();
}

void addPaymentOptions(CLI::App& command, PaymentOptions& options) {
    const auto merchant = sandbox::SandboxGateway::defaultMerchant();
    options.merchant = merchant.merchantCode;
    options.terminal = merchant.terminal;
    command.add_option("--card", options.card,
                       "Card number: - to read it from standard input (typed without echo on a "
                       "terminal); as an argument only against the built-in sandbox");
    command.add_option("--expiry", options.expiry,
                       "Expiry date as the cardholder types it, MM/YY: - to read it from standard "
                       "input, after the card number");
    command.add_option("--cvv", options.cvv,
                       "Security code: - to read it from standard input, after the expiry date");
    command
        .add_option("--amount", options.amount,
                    "Amount in currency units with at most two decimals, such as 19.99")
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
    command.add_option("--license", options.license,
                       "The application's signing credential: - to read it from standard input "
                       "(its line before the card data's); as an argument only against the "
                       "built-in sandbox. Without it and --license-file, the environment "
                       "variable VANTO_LICENSE, else the sandbox's");
    command.add_option("--license-file", options.licenseFile,
                       "A file whose first line is the signing credential");
    command.add_option("--environment", options.environment,
                       "test, integration or real: pay through that environment's gateway "
                       "instead of the built-in sandbox; card data then come from standard "
                       "input only");
    command.add_option("--gateway", options.gateway,
                       "host or host:port (an IPv6 address in brackets) to put in place of the "
                       "environment's gateway host");
    command.add_option("--trust", options.trust,
                       "PEM file of a certificate to trust besides the system's");
    command.add_flag("--allow-network", options.allowNetwork,
                     "Allow a gateway that is not on this machine (loopback by its numbers, or "
                     "localhost)");
    addJournalOptions(command, options.journal);
}

void wipeCardArguments(CLI::App& command) {
    for (const std::string_view name : kSecretOptions) {
        if (CLI::Option* option = command.get_option_no_throw(std::string(name))) {
            // The parser's own copies of the values; the option is ours, not const.
            for (std::string& value : const_cast<CLI::results_t&>(option->results())) {
                platform::secureWipe(value);
            }
        }
    }
}

std::optional<Payment> checkOrder(const PaymentOptions& options, std::string& problem) {
    Payment payment;
    payment.identifier = options.identifier;
    payment.storedCard = !options.identifier.empty() &&
                         options.identifier != VantoConfiguration::shared().REQUEST_REFERENCE();
    const auto amount = amountValue(options.amount, problem);
    if (!amount) {
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

bool isLoopbackAuthority(std::string_view text) {
    const auto authority = parseAuthority(text);
    if (!authority) {
        return false;
    }
    if (authority->bracketed) {
        in6_addr address{};
        return inet_pton(AF_INET6, authority->host.c_str(), &address) == 1 &&
               IN6_IS_ADDR_LOOPBACK(&address);
    }
    in_addr address{};
    if (inet_pton(AF_INET, authority->host.c_str(), &address) == 1) {
        return (ntohl(address.s_addr) >> 24) == 127;
    }
    return authority->host == "localhost";
}

std::optional<GatewayChoice> checkGateway(const PaymentOptions& options, std::string& problem) {
    GatewayChoice choice;
    if (!options.license.empty() && !options.licenseFile.empty()) {
        problem = "--license and --license-file both give the credential: give one of them";
        return std::nullopt;
    }
    if (options.environment.empty()) {
        if (!options.gateway.empty() || !options.trust.empty()) {
            problem = "--gateway and --trust go with --environment";
            return std::nullopt;
        }
        return choice;
    }
    choice.environment = environment(options.environment);
    if (!choice.environment) {
        problem = "--environment must be test, integration or real";
        return std::nullopt;
    }
    // Any user of the machine reads a process's arguments: only the sandbox's public credential
    // may be one.
    if (!options.license.empty() && options.license != "-") {
        problem = std::string(
                      "--license takes no credential as an argument outside the built-in "
                      "sandbox: give --license - and write it on standard input, "
                      "--license-file FILE, or set ") +
                  kLicenseVariable;
        return std::nullopt;
    }
    if (!options.gateway.empty() && !parseAuthority(options.gateway)) {
        problem = "--gateway must be host or host:port, without a scheme or a path";
        return std::nullopt;
    }
    choice.authority = options.gateway;
    const std::string authority = choice.authority.empty()
                                      ? Constants::gatewayAuthority(*choice.environment)
                                      : choice.authority;
    if (!options.allowNetwork && !isLoopbackAuthority(authority)) {
        problem = "the gateway of --environment is not on this machine: add --allow-network";
        return std::nullopt;
    }
    if (!options.trust.empty()) {
        const auto pem = readFile(options.trust);
        if (!pem) {
            problem = "--trust names a file that cannot be read";
            return std::nullopt;
        }
        choice.trustAnchor = *pem;
    }
    return choice;
}

bool takeCredential(PaymentOptions& options, CardInput& input, std::string& problem) {
    if (options.license == "-") {
        platform::SecretText line;
        switch (input.readLine("Signing credential: ", line, kLongestCredential)) {
            case CardInput::Status::read:
                break;
            case CardInput::Status::ended:
                problem = "--license: standard input ended before its line";
                return false;
            case CardInput::Status::tooLong:
                problem = "--license: its line on standard input is too long";
                return false;
            case CardInput::Status::failed:
                problem = "--license: standard input could not be read";
                return false;
        }
        platform::secureWipe(options.license);
        options.license = std::string(line.view());
        if (options.license.empty()) {
            problem = "--license: its line on standard input is empty";
            return false;
        }
        return true;
    }
    if (!options.licenseFile.empty()) {
        auto contents = readFile(options.licenseFile);
        if (!contents) {
            problem = "--license-file names a file that cannot be read";
            return false;
        }
        std::string_view firstLine = std::string_view(*contents).substr(0, contents->find('\n'));
        if (firstLine.ends_with('\r')) {
            firstLine.remove_suffix(1);
        }
        options.license = std::string(firstLine);
        platform::secureWipe(*contents);
        if (options.license.empty()) {
            problem = "--license-file: the file's first line is empty";
            return false;
        }
        return true;
    }
    if (!options.license.empty()) {
        return true;
    }
    const char* fromEnvironment = std::getenv(kLicenseVariable);
    options.license = fromEnvironment != nullptr && *fromEnvironment != '\0'
                          ? std::string(fromEnvironment)
                          : sandbox::SandboxGateway::defaultMerchant().signingCredential;
    return true;
}

bool hasCardOptions(const PaymentOptions& options) {
    return !options.card.empty() || !options.expiry.empty() || !options.cvv.empty();
}

namespace {

// One card option: what was given for it, and where its text goes.
struct CardField {
    std::string_view option;
    const std::string& given;
    platform::SecretText& text;
    std::string_view prompt;
    std::string_view what;
};

bool gatherCardData(std::array<CardField, 3>& fields, const GatewayChoice& gateway,
                    CardInput& input, std::string& problem) {
    for (const CardField& field : fields) {
        if (field.given.empty()) {
            problem = std::string(field.option) + " is missing: give " + std::string(field.option) +
                      " - and write the " + std::string(field.what) + " on standard input";
            return false;
        }
        if (gateway.environment && field.given != "-") {
            problem = std::string(field.option) +
                      " takes no card data as an argument outside the built-in sandbox: give " +
                      std::string(field.option) + " - and write the " + std::string(field.what) +
                      " on standard input";
            return false;
        }
    }
    for (CardField& field : fields) {
        if (field.given != "-") {
            field.text = platform::SecretText(field.given);
            continue;
        }
        switch (input.readLine(field.prompt, field.text)) {
            case CardInput::Status::read:
                break;
            case CardInput::Status::ended:
                problem = std::string(field.option) +
                          ": standard input ended before its line (one line for each option "
                          "given as -, in the order --license, --card, --expiry, --cvv)";
                return false;
            case CardInput::Status::tooLong:
                problem = std::string(field.option) + ": its line on standard input is too long";
                return false;
            case CardInput::Status::failed:
                problem = std::string(field.option) + ": standard input could not be read";
                return false;
        }
    }
    return true;
}

// Checks the card data as the card-entry screen checks what a cardholder types.
bool checkCardData(const platform::SecretText& typedCard, Payment& payment, std::string& problem) {
    for (const char c : typedCard.view()) {
        if (c != ' ') {
            payment.pan.append(std::string_view(&c, 1));
        }
    }
    const std::string_view pan = payment.pan.view();
    if (pan.size() > 19 || !allDigits(pan) || !lunhsTest(pan)) {
        problem = "--card is not a valid card number";
        return false;
    }
    const std::string_view expiry = payment.typedExpiry.view();
    if (!expireDateIsCorrect(expiry)) {
        problem = "--expiry must be a month to come, written MM/YY";
        return false;
    }
    payment.expiryDate.append(expiry.substr(3, 2));
    payment.expiryDate.append(expiry.substr(0, 2));
    const std::string_view cvv = payment.cvv.view();
    if (cvv.size() < 3 || cvv.size() > 4 || !allDigits(cvv)) {
        problem = "--cvv must be 3 or 4 digits";
        return false;
    }
    return true;
}

std::optional<Payment> readCard(Payment payment, const PaymentOptions& options,
                                const GatewayChoice& gateway, CardInput& input,
                                std::string& problem) {
    if (payment.storedCard) {
        if (hasCardOptions(options)) {
            problem = "--card, --expiry and --cvv are not given with a stored-card --identifier";
            return std::nullopt;
        }
        return payment;
    }
    platform::SecretText typedCard;
    std::array<CardField, 3> fields = {{
        {"--card", options.card, typedCard, "Card number: ", "card number"},
        {"--expiry", options.expiry, payment.typedExpiry, "Expiry date (MM/YY): ", "expiry date"},
        {"--cvv", options.cvv, payment.cvv, "Security code: ", "security code"},
    }};
    if (!gatherCardData(fields, gateway, input, problem) ||
        !checkCardData(typedCard, payment, problem)) {
        payment.wipeCardData();
        return std::nullopt;
    }
    return payment;
}

}  // namespace

std::optional<CheckedPayment> checkPayment(PaymentOptions& options, CardInput& input,
                                           std::string& problem) {
    std::optional<CheckedPayment> checked;
    auto order = checkOrder(options, problem);
    auto gateway = order ? checkGateway(options, problem) : std::nullopt;
    if (gateway && takeCredential(options, input, problem)) {
        auto payment = readCard(std::move(*order), options, *gateway, input, problem);
        if (payment) {
            checked = CheckedPayment{std::move(*payment), std::move(*gateway)};
        }
    }
    platform::secureWipe(options.card);
    platform::secureWipe(options.cvv);
    platform::secureWipe(options.expiry);
    return checked;
}

struct GatewayForRun::State {
    std::unique_ptr<sandbox::SandboxGateway> sandbox;
    EnviromentType environment = EnviromentType::test;
    std::string trustAnchor;
};

std::unique_ptr<GatewayForRun> GatewayForRun::start(const GatewayChoice& choice,
                                                    const PaymentOptions& merchant,
                                                    std::string& problem) {
    auto state = std::make_unique<State>();
    if (!choice.environment) {
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
        state->environment = *choice.environment;
        if (!Constants::setGatewayHost(state->environment, choice.authority)) {
            problem = "the gateway host of --gateway was not taken";
            return nullptr;
        }
        state->trustAnchor = choice.trustAnchor;
    }
    auto session = platform::URLSessionConfiguration::defaultSessionConfiguration();
    if (!state->trustAnchor.empty()) {
        session.additionalTrustAnchors = {state->trustAnchor};
    }
    platform::URLSessionConfiguration::setDefaultSessionConfiguration(session);
    auto& configuration = VantoConfiguration::shared();
    configuration.setAppEnviroment(state->environment);
    configuration.setAppFuc(merchant.merchant);
    configuration.setAppTerminal(merchant.terminal);
    configuration.setAppLicense(merchant.license);
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
