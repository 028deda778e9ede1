#pragma once

#include <string>
#include <utility>

#include "vanto/Export.h"
#include "vanto/direct/DirectPaymentResponse.h"
#include "vanto/flow/BasePresenter.h"
#include "vanto/flow/PaymentOutcome.h"

namespace vanto {

/// What the direct-payment presenter tells its view: how the payment ended. Called on the main
/// queue, once per payment.
class VANTO_EXPORT DirectPaymentViewProtocol : public BaseViewProtocol {
  public:
    /// The payment was accepted.
    virtual void notifyUserOK(const DirectPaymentResponseOK& response) = 0;
    /// The payment did not succeed: refused, failed, cancelled or never sent.
    virtual void notifyUserKO(const DirectPaymentResponseKO& response) = 0;
    /// The screen closed before the payment had an outcome; `mayHavePaid`: the payment had been
    /// sent, so the cardholder may have paid.
    virtual void notifyUserClosedWithoutOutcome(bool mayHavePaid) { (void)mayHavePaid; }
};

/// What the merchant application implements to receive the outcome of a direct payment from the
/// card-entry screen. Called on the main queue: each time the screen comes on screen, exactly one
/// of the three reports is called, the outcome just before the screen closes, and right after it
/// paymentEnded() with the same outcome as one value. The application
/// may let go of the screen inside any of them.
class VANTO_EXPORT DirectPaymentResponseDelegate {
  public:
    virtual ~DirectPaymentResponseDelegate() = default;

    /// The payment was accepted. Does nothing unless overridden.
    virtual void responseDirectPaymentOK(const DirectPaymentResponseOK& response) {
        (void)response;
    }
    /// The payment did not succeed: refused, failed, cancelled by the cardholder, or its amount
    /// was negative. Does nothing unless overridden.
    virtual void responseDirectPaymentKO(const DirectPaymentResponseKO& response) {
        (void)response;
    }
    /// The screen went without an outcome: the application let go of it while it was on screen.
    /// `mayHavePaid`: the payment had been sent and its outcome had not come, so whether the
    /// cardholder paid is in doubt (the gateway's records tell); false: nothing was sent, the
    /// payment was abandoned. Does nothing unless overridden.
    virtual void paymentScreenClosedWithoutOutcome(bool mayHavePaid) { (void)mayHavePaid; }
    /// Right after each of the three: the same outcome as one value, with the screen's order
    /// and amount and, where a journal is installed, the journal's standing of the payment. An
    /// application may handle every outcome here alone. Does nothing unless overridden.
    virtual void paymentEnded(const PaymentOutcome& outcome) { (void)outcome; }

  protected:
    DirectPaymentResponseDelegate() = default;
    DirectPaymentResponseDelegate(const DirectPaymentResponseDelegate&) = default;
    DirectPaymentResponseDelegate& operator=(const DirectPaymentResponseDelegate&) = default;
};

/// The outcome of an accepted record, for the payment of `order` and `amount` (hundredths);
/// `entry`: the journal's entry of this payment, when there is one.
inline PaymentOutcome paymentOutcome(const DirectPaymentResponseOK& record, std::string order,
                                     std::string amount, const JournalEntry* entry = nullptr) {
    return paidOutcome(PaymentFlowKind::direct, record.code, record.desc,
                       record.Ds_AuthorisationCode, std::move(order), std::move(amount), entry);
}
/// The outcome of a refusal record, told by `entry` as refusedOutcome() tells it.
inline PaymentOutcome paymentOutcome(const DirectPaymentResponseKO& record, std::string order,
                                     std::string amount, const JournalEntry* entry = nullptr) {
    return refusedOutcome(PaymentFlowKind::direct, record.code, record.desc, std::move(order),
                          std::move(amount), entry);
}

}  // namespace vanto
