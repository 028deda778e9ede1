#pragma once

namespace vanto::platform::ui {

/// How a screen is presented, with the raw values hosts use for them.
enum class ModalPresentationStyle {
    /// The screen covers the whole display (or a whole top-level window).
    fullScreen = 0,
};

}  // namespace vanto::platform::ui
