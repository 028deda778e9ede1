#pragma once

#include <functional>

#include "vanto/qt/Export.h"

namespace vanto {
class BaseViewController;
}  // namespace vanto

namespace vanto::qt::detail {

class ScreenWindow;

/// A screen as the Widgets binding draws it: its window, and what tells its view model that it
/// is on screen.
struct DrawnScreen {
    ScreenWindow* window = nullptr;
    std::function<void()> appeared;
};

/// Draws the screens of one kind: the window of `screen`, made for it when `make` and it has none
/// yet; nothing when `screen` is not of its kind, or has no window and `make` is false.
using ScreenDrawer = std::function<DrawnScreen(const BaseViewController& screen, bool make)>;

/// Makes present() and windowOf() draw the screens that `drawer` knows, besides the card-entry
/// screen, which they always draw. The drawers of screens in libraries of their own (the payment
/// page) add themselves, once, before their first screen is presented.
VANTO_QT_EXPORT void addScreenDrawer(ScreenDrawer drawer);

}  // namespace vanto::qt::detail
