#pragma once

#include "vanto/Export.h"
#include "vanto/direct/DirectPaymentResponseKO.h"
#include "vanto/direct/DirectPaymentResponseOK.h"

namespace vanto {

/// What the merchant application implements to receive the outcome of a direct payment from the
/// card-entry screen. Called on the main queue, once per payment, just before the screen closes.
class VANTO_EXPORT DirectPaymentResponseDelegate {
  public:
    virtual ~DirectPaymentResponseDelegate() = default;

    /// The payment was accepted.
    virtual void responseDirectPaymentOK(const DirectPaymentResponseOK& response) = 0;
    /// The payment did not succeed: refused, failed, cancelled by the cardholder, or its amount
    /// was negative.
    virtual void responseDirectPaymentKO(const DirectPaymentResponseKO& response) = 0;

  protected:
    DirectPaymentResponseDelegate() = default;
    DirectPaymentResponseDelegate(const DirectPaymentResponseDelegate&) = default;
    DirectPaymentResponseDelegate& operator=(const DirectPaymentResponseDelegate&) = default;
};

}  // namespace vanto
