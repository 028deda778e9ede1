#pragma once

#include <functional>
#include <string>

#include "vanto/Export.h"
#include "vanto/platform/ui/Font.h"
#include "vanto/platform/ui/Rect.h"
#include "vanto/platform/ui/View.h"

namespace vanto::platform::ui {

/// A push button placed in code, such as the web screen's close button (QPushButton).
class VANTO_EXPORT Button : public View {
  public:
    /// The caption in the button's normal state.
    virtual void setTitle(const std::string& title) = 0;
    /// The caption's font.
    virtual void setFont(const Font& font) = 0;
    /// Hides (true) or shows (false) the button; a hidden button cannot be pressed.
    virtual void setHidden(bool hidden) = 0;
    /// Position and size within the element it was added to, in points.
    virtual void setFrame(const Rect& frame) = 0;
    /// What runs, on the main queue, each time the cardholder presses the shown button.
    virtual void setAction(std::function<void()> action) = 0;
};

}  // namespace vanto::platform::ui
