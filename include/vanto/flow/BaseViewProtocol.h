#pragma once

#include "vanto/Export.h"

namespace vanto {

/// What every view of a payment flow is: the screens implement the protocol of their flow, which
/// refines this one.
class VANTO_EXPORT BaseViewProtocol {
  public:
    virtual ~BaseViewProtocol() = default;

  protected:
    BaseViewProtocol() = default;
    BaseViewProtocol(const BaseViewProtocol&) = default;
    BaseViewProtocol& operator=(const BaseViewProtocol&) = default;
};

}  // namespace vanto
