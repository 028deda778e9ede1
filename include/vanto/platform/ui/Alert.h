#pragma once

#include <functional>
#include <string>
#include <vector>

#include "vanto/Export.h"

namespace vanto::platform::ui {

/// How an alert's button is drawn.
enum class AlertActionStyle {
    defaultStyle = 0,
    cancel = 1,
    destructive = 2,
};

/// A button of an alert: its caption and what runs, on the main queue, once the alert has closed
/// because the button was pressed.
struct VANTO_EXPORT AlertAction {
    std::string title;
    AlertActionStyle style = AlertActionStyle::defaultStyle;
    std::function<void()> handler;
};

/// A modal message with a title, a text (which may hold line breaks) and its buttons, in order
/// (a QMessageBox in a Qt binding). Pressing any button closes it.
struct VANTO_EXPORT Alert {
    std::string title;
    std::string message;
    std::vector<AlertAction> actions;
};

}  // namespace vanto::platform::ui
