#pragma once

#include <memory>
#include <optional>
#include <string>

#include "PaymentOptions.h"

namespace vanto::cli {

/// A Qt application with the Qt binding in place, for the command line's windowed payments. The
/// web engine runs without background traffic, and with `loopbackOnly` it can reach nothing but
/// this machine; run as root, it runs without Chromium's sandbox, which refuses to start as root.
class QtSession {
  public:
    explicit QtSession(bool loopbackOnly);
    ~QtSession();
    QtSession(const QtSession&) = delete;
    QtSession& operator=(const QtSession&) = delete;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

/// A direct payment on the card-entry screen, its fields typed key by key as a cardholder would
/// and continue pressed; none, with `problem` set, when the screen gave no outcome within two
/// minutes. Wipes the payment's card data.
std::optional<DirectOutcome> directPaymentOnScreen(QtSession& session, Payment& payment,
                                                   std::string& problem);

/// A web payment in the payment page window. With `fillCardForm` the sandbox's card form is
/// filled and sent by script, and the wait is bounded to two minutes; without, the cardholder
/// works in the page and the run lasts until the window closes. None, with `problem` set, when
/// the window closed without an outcome. Wipes the payment's card data.
std::optional<WebOutcome> webPaymentInWindow(QtSession& session, Payment& payment,
                                             bool fillCardForm, std::string& problem);

}  // namespace vanto::cli
