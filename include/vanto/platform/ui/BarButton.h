#pragma once

#include <functional>
#include <string>

#include "vanto/Export.h"
#include "vanto/platform/ui/View.h"

namespace vanto::platform::ui {

/// A button of the screen's top bar (a QToolButton or QPushButton in a Qt binding).
class VANTO_EXPORT BarButton : public View {
  public:
    /// The caption.
    virtual void setTitle(const std::string& title) = 0;
    /// Allows (true) or blocks (false) pressing it; a blocked button runs no action.
    virtual void setEnabled(bool enabled) = 0;
    /// What runs, on the main queue, each time the cardholder presses the enabled button.
    virtual void setAction(std::function<void()> action) = 0;
};

}  // namespace vanto::platform::ui
