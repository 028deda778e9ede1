#pragma once

#include <string>
#include <utility>

#include "vanto/Export.h"
#include "vanto/flow/BasePresenter.h"
#include "vanto/flow/PaymentOutcome.h"
#include "vanto/web/WebViewPaymentResponse.h"

namespace vanto {

/// What the web-payment presenter tells its view, on the main queue.
///
/// `redirect` says whether the view stays open on the web page (true: the merchant configured a
/// return address of its own, whose page stays visible) or closes (false).
class VANTO_EXPORT WebViewPaymentViewProtocol : public BaseViewProtocol {
  public:
    /// The payment was accepted.
    virtual void notifyUserOK(const WebViewPaymentResponseOK& response, bool redirect) = 0;
    /// The payment did not succeed: refused, failed, unreadable or never started.
    virtual void notifyUserKO(const WebViewPaymentResponseKO& response, bool redirect) = 0;
    /// The screen closed before the payment had an outcome; `mayHavePaid`: the page had posted a
    /// form, so the cardholder may have paid.
    virtual void notifyUserClosedWithoutOutcome(bool mayHavePaid) { (void)mayHavePaid; }
    /// The page cannot go on: offer the cardholder the way out.
    virtual void showButtonDismiss() = 0;
    /// A page failed to load.
    virtual void showDidFailLoadWithError() = 0;
};

/// What the merchant application implements to receive the outcome of a web payment from the
/// payment web page. Called on the main queue: each time the screen comes on screen, exactly one
/// of the three reports is called, and right after it paymentEnded() with the same outcome as one
/// value. The application may let go of the screen inside any of them.
class VANTO_EXPORT WebViewPaymentResponseDelegate {
  public:
    virtual ~WebViewPaymentResponseDelegate() = default;

    /// The payment was accepted. Does nothing unless overridden.
    virtual void responsePaymentOK(const WebViewPaymentResponseOK& response) { (void)response; }
    /// The payment did not succeed: refused, failed, unreadable, or its amount was negative. Does
    /// nothing unless overridden.
    virtual void responsePaymentKO(const WebViewPaymentResponseKO& response) { (void)response; }
    /// The screen closed without an outcome: by its close button, by the "Aceptar" of its
    /// "ERROR 404" alert, by hand, or because the application let go of it while it was on
    /// screen. `mayHavePaid`: the page had posted a form (the card form, most likely) and no
    /// outcome came back, so whether the cardholder paid is in doubt (the gateway's records
    /// tell); false: the payment was abandoned before anything was sent. Does nothing unless
    /// overridden.
    virtual void paymentScreenClosedWithoutOutcome(bool mayHavePaid) { (void)mayHavePaid; }
    /// Right after each of the three: the same outcome as one value, with the screen's order
    /// and amount and, where a journal is installed, the journal's standing of the payment. An
    /// application may handle every outcome here alone. Does nothing unless overridden.
    virtual void paymentEnded(const PaymentOutcome& outcome) { (void)outcome; }

  protected:
    WebViewPaymentResponseDelegate() = default;
    WebViewPaymentResponseDelegate(const WebViewPaymentResponseDelegate&) = default;
    WebViewPaymentResponseDelegate& operator=(const WebViewPaymentResponseDelegate&) = default;
};

/// The outcome of an accepted record, for the payment of `order` and `amount` (hundredths);
/// `entry`: the journal's entry of this payment, when there is one.
inline PaymentOutcome paymentOutcome(const WebViewPaymentResponseOK& record, std::string order,
                                     std::string amount, const JournalEntry* entry = nullptr) {
    return paidOutcome(PaymentFlowKind::web, record.code, record.desc, record.Ds_AuthorisationCode,
                       std::move(order), std::move(amount), entry);
}
/// The outcome of a refusal record, told by `entry` as refusedOutcome() tells it.
inline PaymentOutcome paymentOutcome(const WebViewPaymentResponseKO& record, std::string order,
                                     std::string amount, const JournalEntry* entry = nullptr) {
    return refusedOutcome(PaymentFlowKind::web, record.code, record.desc, std::move(order),
                          std::move(amount), entry);
}

}  // namespace vanto
