#pragma once

#include "vanto/Export.h"
#include "vanto/direct/DirectPaymentResponseKO.h"
#include "vanto/direct/DirectPaymentResponseOK.h"
#include "vanto/flow/BaseViewProtocol.h"

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

}  // namespace vanto
