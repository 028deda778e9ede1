#pragma once

#include "vanto/Export.h"

namespace vanto {

/// What every view of a payment flow is: the screens implement the protocol of their flow, which
/// refines this one.
class VANTO_EXPORT BaseViewProtocol {
  public:
    virtual ~BaseViewProtocol() = default;

    /// Whether the outcome the view was last told reached the one it is for. A view that passes
    /// the outcome on where passing it can fail (a pipe, a printer, another process) answers
    /// false when it failed: the payment journal then keeps the payment answered, not delivered,
    /// so that it is listed for review. True unless the view says otherwise.
    virtual bool outcomeReached() const { return true; }

  protected:
    BaseViewProtocol() = default;
    BaseViewProtocol(const BaseViewProtocol&) = default;
    BaseViewProtocol& operator=(const BaseViewProtocol&) = default;
};

}  // namespace vanto
