#pragma once

#include "vanto/Export.h"

namespace vanto::platform::ui {

/// A distance of the screen's layout that the screen adjusts: the card-entry screen's space
/// between the top of the screen and its navigation bar, in points.
class VANTO_EXPORT LayoutConstraint {
  public:
    virtual ~LayoutConstraint() = default;
    /// Sets the distance and lays the screen out again.
    virtual void setConstant(double constant) = 0;

  protected:
    LayoutConstraint() = default;
    LayoutConstraint(const LayoutConstraint&) = default;
    LayoutConstraint& operator=(const LayoutConstraint&) = default;
};

}  // namespace vanto::platform::ui
