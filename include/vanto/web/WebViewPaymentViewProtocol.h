#pragma once

#include "vanto/Export.h"
#include "vanto/flow/BaseViewProtocol.h"
#include "vanto/web/WebViewPaymentResponseKO.h"
#include "vanto/web/WebViewPaymentResponseOK.h"

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

}  // namespace vanto
