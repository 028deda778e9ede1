#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "JournalChoice.h"
#include "vanto/config/CodeTables.h"
#include "vanto/direct/DirectPaymentResponse.h"
#include "vanto/platform/SecretText.h"
#include "vanto/web/WebViewPaymentResponse.h"

namespace CLI {
class App;
}

namespace vanto::cli {

class CardInput;

/// The environment variable that holds the signing credential when no option gives it.
inline constexpr const char* kLicenseVariable = "VANTO_LICENSE";

/// The options that `vanto pay` and `vanto web` share: the card as a cardholder types it (or "-"
/// to read it from standard input), the order, the merchant and its signing credential, and where
/// the gateway is.
struct PaymentOptions {
    std::string card;
    std::string expiry;
    std::string cvv;
    std::string amount;
    std::string order;
    std::string description = "Compra de prueba";
    std::string type = "normal";
    std::string identifier;
    std::string merchant;
    std::string terminal;
    /// The credential as given by --license ("-": a line of standard input), or, once
    /// takeCredential() has run, the credential of the run.
    std::string license;
    std::string licenseFile;
    std::string environment;
    std::string gateway;
    std::string trust;
    bool allowNetwork = false;
    JournalChoice journal;
};

/// A payment ready to go: the options checked and turned into what the presenters take.
struct Payment {
    platform::SecretText pan;
    platform::SecretText cvv;
    /// Year then month, as the card-entry screen sends it ("2612" for 12/26).
    platform::SecretText expiryDate;
    /// MM/YY as typed, for a payment page.
    platform::SecretText typedExpiry;
    double amount = 0;
    std::string order;
    std::string description;
    TransactionType type = TransactionType::normal;
    std::string identifier;
    /// Whether `identifier` is a card reference, which pays without card data.
    bool storedCard = false;

    /// Wipes the card data.
    void wipeCardData();
};

/// Where a run pays: the built-in sandbox (no environment), or an environment's gateway.
struct GatewayChoice {
    std::optional<EnviromentType> environment;
    /// "host[:port]" in place of the environment's gateway host; "" for its own.
    std::string authority;
    /// The PEM text of a certificate to trust besides the system's.
    std::string trustAnchor;
};

/// Adds the shared options to `command`, the journal's among them.
void addPaymentOptions(CLI::App& command, PaymentOptions& options);

/// Wipes what the option parser kept of the card options' and --license's values: the values
/// given as arguments.
void wipeCardArguments(CLI::App& command);

/// Checks the order options (amount, order, type, identifier), leaving the card aside; on a
/// problem, returns none and sets `problem` to one line that names the option.
std::optional<Payment> checkOrder(const PaymentOptions& options, std::string& problem);

/// Checks where the payment goes (--environment, --gateway, --trust, --allow-network) and how the
/// credential comes (--license as an argument only against the built-in sandbox, not with
/// --license-file) without contacting or reading anything; on a problem, returns none and sets
/// `problem`, which never holds the credential.
std::optional<GatewayChoice> checkGateway(const PaymentOptions& options, std::string& problem);

/// Whether "host[:port]" names this machine by its numbers (127.0.0.0/8, [::1]) or as
/// "localhost": a name that only looks like a loopback address is no such host.
bool isLoopbackAuthority(std::string_view authority);

/// A payment whose options have all been checked, with its card data, and where it goes.
struct CheckedPayment {
    Payment payment;
    GatewayChoice gateway;
};

/// Puts the signing credential of the run in `options.license`: a line read from `input` for
/// --license -, the first line of --license-file, the value of --license, else the environment
/// variable kLicenseVariable, else the built-in sandbox's. On a problem, returns false and sets
/// `problem` to one line that names the option, never the credential.
bool takeCredential(PaymentOptions& options, CardInput& input, std::string& problem);

/// Checks the order and the gateway options, takes the credential, then the card data: taken
/// from the options where
/// they are given as arguments (against the built-in sandbox only: elsewhere they must come from
/// standard input), read from `input` in the order card, expiry, security code for each option
/// given as "-" (after the credential's line for --license -), and checked as the card-entry screen
/// checks what a cardholder types. Nothing is read when the order or the gateway is wrong. On a
/// problem, returns none and sets `problem` to one line that names the option, never its value.
/// Either way, the card options are wiped: from then on the card data live in the payment only.
std::optional<CheckedPayment> checkPayment(PaymentOptions& options, CardInput& input,
                                           std::string& problem);

/// Whether any of --card, --expiry and --cvv was given.
bool hasCardOptions(const PaymentOptions& options);

/// Where the payment goes for one run: the built-in sandbox, started in process on loopback with
/// its certificate trusted for this run only, or a configured environment. Sets the shared
/// configuration's merchant and sends the library's traces to standard error.
class GatewayForRun {
  public:
    /// Returns none, with `problem` set, when the built-in sandbox does not start.
    static std::unique_ptr<GatewayForRun> start(const GatewayChoice& choice,
                                                const PaymentOptions& merchant,
                                                std::string& problem);
    ~GatewayForRun();
    GatewayForRun(const GatewayForRun&) = delete;
    GatewayForRun& operator=(const GatewayForRun&) = delete;

    /// The PEM text of the trust anchor the run uses besides the system's, if any.
    const std::string& trustAnchor() const;

    struct State;

  private:
    explicit GatewayForRun(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

using DirectOutcome = std::variant<DirectPaymentResponseOK, DirectPaymentResponseKO>;
using WebOutcome = std::variant<WebViewPaymentResponseOK, WebViewPaymentResponseKO>;

/// Passes an outcome on as the view receives it; whether it reached its reader. Until it has,
/// the journal holds the payment answered, not delivered.
template <typename Outcome>
using OutcomeTeller = std::function<bool(const Outcome&)>;

/// Runs a direct payment through the direct-payment presenter and waits for its outcome (none
/// after three minutes), which `tell`, when given, passes on as the view receives it. Wipes the
/// payment's card data.
std::optional<DirectOutcome> directPayment(Payment& payment,
                                           const OutcomeTeller<DirectOutcome>& tell = {});

/// Runs a web payment through the web-payment presenter, filling the sandbox's card form with a
/// minimal browser, and waits for its outcome; none, with `problem` set, when the page ended
/// without one. `tell` as for directPayment. Wipes the payment's card data.
std::optional<WebOutcome> webPayment(Payment& payment, const std::string& trustAnchor,
                                     std::string& problem,
                                     const OutcomeTeller<WebOutcome>& tell = {});

}  // namespace vanto::cli
