#pragma once

#include "vanto/Export.h"

namespace vanto::platform::ui {

/// A colour as red, green, blue and alpha components from 0.0 to 1.0, independent of any UI
/// toolkit (a Qt binding maps it with QColor::fromRgbF).
struct VANTO_EXPORT Color {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    double alpha = 1.0;

    static constexpr Color black() { return {0.0, 0.0, 0.0, 1.0}; }
    static constexpr Color white() { return {1.0, 1.0, 1.0, 1.0}; }

    friend bool operator==(const Color&, const Color&) = default;
};

}  // namespace vanto::platform::ui
