#pragma once

#include "vanto/Export.h"
#include "vanto/platform/ui/View.h"

namespace vanto::platform::ui {

/// The bar at the top of a screen that holds its bar buttons.
class VANTO_EXPORT NavigationBar : public View {
  public:
    /// Opacity from 0.0 (invisible) to 1.0; an animation of it (Toolkit::animate) fades.
    virtual void setAlpha(double alpha) = 0;
};

}  // namespace vanto::platform::ui
