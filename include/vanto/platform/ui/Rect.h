#pragma once

#include "vanto/Export.h"

namespace vanto::platform::ui {

/// A frame in points, relative to the element's parent: origin at the top-left corner.
struct VANTO_EXPORT Rect {
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;

    friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace vanto::platform::ui
