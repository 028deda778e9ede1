#pragma once

#include <string>

namespace vanto::cli {

/// Whether this process can open windows: a display to draw on (X or Wayland), or a Qt platform
/// chosen explicitly.
bool canOpenWindows();

/// Whether this build has the screens program, `vanto-screens`, which shows the library's Qt
/// screens for `vanto web` with a window and `vanto demo` on a display. `vanto` itself loads no
/// Qt: a payment without a screen stays small.
bool buildHasScreens();

/// Replaces this process with the screens program, found beside this program (a build tree) or in
/// its libexec folder (an installation), passing `argv` on with its first entry replaced; card
/// data are never among the arguments. Returns only when it could not: with `problem` set.
void runScreensProgram(char** argv, std::string& problem);

}  // namespace vanto::cli
