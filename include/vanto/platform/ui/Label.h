#pragma once

#include <optional>
#include <string>

#include "vanto/Export.h"
#include "vanto/platform/ui/Color.h"
#include "vanto/platform/ui/Font.h"
#include "vanto/platform/ui/View.h"

namespace vanto::platform::ui {

/// A text caption (QLabel in a Qt binding).
class VANTO_EXPORT Label : public View {
  public:
    /// Shows `text` ("" shows nothing).
    virtual void setText(const std::string& text) = 0;
    /// Draws the text in `font`; absent: the toolkit's default label font.
    virtual void setFont(const std::optional<Font>& font) = 0;
    /// Draws the text in `color`; absent: the toolkit's default label colour.
    virtual void setTextColor(const std::optional<Color>& color) = 0;
    /// Opacity from 0.0 (invisible) to 1.0; an animation of it (Toolkit::animate) fades.
    virtual void setAlpha(double alpha) = 0;
};

}  // namespace vanto::platform::ui
