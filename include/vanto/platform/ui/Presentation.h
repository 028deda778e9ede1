#pragma once

#include "vanto/Export.h"
#include "vanto/platform/ui/Alert.h"

namespace vanto::platform::ui {

/// How a screen shows things over itself and takes itself away.
class VANTO_EXPORT Presentation {
  public:
    virtual ~Presentation() = default;

    /// Shows `alert` over the screen, modally, with an animation when `animated`.
    virtual void present(Alert alert, bool animated) = 0;
    /// Takes the screen away (closes its window), with an animation when `animated`, and runs
    /// nothing afterwards. The screen object itself lives on as long as its owner keeps it.
    virtual void dismiss(bool animated) = 0;

  protected:
    Presentation() = default;
    Presentation(const Presentation&) = default;
    Presentation& operator=(const Presentation&) = default;
};

}  // namespace vanto::platform::ui
