#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include <variant>

#include "vanto/config/TransactionType.h"
#include "vanto/direct/DirectPaymentResponseKO.h"
#include "vanto/direct/DirectPaymentResponseOK.h"
#include "vanto/web/WebViewPaymentResponseKO.h"
#include "vanto/web/WebViewPaymentResponseOK.h"

namespace CLI {
class App;
}

namespace vanto::cli {

/// The options that `vanto pay` and `vanto web` share: the card as a cardholder types it, the
/// order, and where the gateway is.
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
    std::string license;
    std::string environment;
    std::string gateway;
    std::string trust;
    bool allowNetwork = false;
};

/// A payment ready to go: the options checked and turned into what the presenters take.
struct Payment {
    std::string pan;
    std::string cvv;
    /// Year then month, as the card-entry screen sends it ("2612" for 12/26).
    std::string expiryDate;
    /// MM/YY as typed, for a payment page.
    std::string typedExpiry;
    double amount = 0;
    std::string order;
    std::string description;
    TransactionType type = TransactionType::normal;
    std::string identifier;
    /// Whether `identifier` is a card reference, which pays without card data.
    bool storedCard = false;
};

/// Adds the shared options to `command`.
void addPaymentOptions(CLI::App& command, PaymentOptions& options);

/// Checks the order options (amount, order, type, identifier), leaving the card aside; on a
/// problem, returns none and sets `problem` to one line that names the option.
std::optional<Payment> checkOrder(const PaymentOptions& options, std::string& problem);

/// Checks the options as the card-entry screen checks what a cardholder types; reads the security
/// code from `in` when it is "-". On a problem, returns none and sets `problem` to one line that
/// names the option, never its value. Either way, the card data are wiped from `options`: from
/// then on they live in the payment only.
std::optional<Payment> checkPayment(PaymentOptions& options, std::istream& in,
                                    std::string& problem);

/// Where the payment goes for one run: the built-in sandbox, started in process on loopback with
/// its certificate trusted for this run only, or a configured environment. Sets the shared
/// configuration's merchant and sends the library's traces to standard error.
class GatewayForRun {
  public:
    /// Returns none, with `problem` set, when the gateway cannot be used as asked.
    static std::unique_ptr<GatewayForRun> prepare(const PaymentOptions& options,
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

/// Runs a direct payment through the direct-payment presenter and waits for its outcome (none
/// after three minutes). Wipes the payment's card data.
std::optional<DirectOutcome> directPayment(Payment& payment);

/// Runs a web payment through the web-payment presenter, filling the sandbox's card form with a
/// minimal browser, and waits for its outcome; none, with `problem` set, when the page ended
/// without one. Wipes the payment's card data.
std::optional<WebOutcome> webPayment(Payment& payment, const std::string& trustAnchor,
                                     std::string& problem);

}  // namespace vanto::cli
