#pragma once

#include "vanto/Export.h"

namespace vanto::platform::ui {

/// The kind of device the screens run on.
enum class UserInterfaceIdiom {
    phone,
    other,
};

/// What the card-entry screen needs to know of the device for its layout.
struct VANTO_EXPORT DeviceMetrics {
    UserInterfaceIdiom idiom = UserInterfaceIdiom::other;
    /// Height of the main screen in physical pixels.
    int nativeScreenHeight = 0;
    /// Height of the system's status bar in points; 0 when there is none.
    double statusBarHeight = 0.0;
    /// Major version of the operating system (a phone system's version; 0 elsewhere).
    int systemMajorVersion = 0;
};

}  // namespace vanto::platform::ui
