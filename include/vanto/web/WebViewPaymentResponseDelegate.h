#pragma once

#include "vanto/Export.h"
#include "vanto/web/WebViewPaymentResponseKO.h"
#include "vanto/web/WebViewPaymentResponseOK.h"

namespace vanto {

/// What the merchant application implements to receive the outcome of a web payment from the
/// payment web page. Called on the main queue, at most once for each time the screen comes on
/// screen.
class VANTO_EXPORT WebViewPaymentResponseDelegate {
  public:
    virtual ~WebViewPaymentResponseDelegate() = default;

    /// The payment was accepted.
    virtual void responsePaymentOK(const WebViewPaymentResponseOK& response) = 0;
    /// The payment did not succeed: refused, failed, unreadable, or its amount was negative.
    virtual void responsePaymentKO(const WebViewPaymentResponseKO& response) = 0;

  protected:
    WebViewPaymentResponseDelegate() = default;
    WebViewPaymentResponseDelegate(const WebViewPaymentResponseDelegate&) = default;
    WebViewPaymentResponseDelegate& operator=(const WebViewPaymentResponseDelegate&) = default;
};

}  // namespace vanto
