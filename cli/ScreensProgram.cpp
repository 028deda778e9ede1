#include "ScreensProgram.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace vanto::cli {
namespace {

bool hasValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

#ifdef VANTO_SCREENS_PROGRAM
std::filesystem::path ownFolder() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self.parent_path();
}
#endif

}  // namespace

bool canOpenWindows() {
    return hasValue("QT_QPA_PLATFORM") || hasValue("DISPLAY") || hasValue("WAYLAND_DISPLAY");
}

bool buildHasScreens() {
#ifdef VANTO_SCREENS_PROGRAM
    return true;
#else
    return false;
#endif
}

void runScreensProgram(char** argv, std::string& problem) {
#ifdef VANTO_SCREENS_PROGRAM
    const std::filesystem::path folder = ownFolder();
    if (folder.empty()) {
        problem = "the screens program could not be found: this program's own path is unknown";
        return;
    }
    // Beside this program in the build tree; in libexec once installed.
    const std::filesystem::path candidates[] = {
        folder / VANTO_SCREENS_PROGRAM,
        folder / VANTO_SCREENS_FROM_BINDIR / VANTO_SCREENS_PROGRAM,
    };
    int lastError = ENOENT;
    for (const auto& candidate : candidates) {
        std::vector<char*> arguments(argv, argv + 1);
        std::string path = candidate.lexically_normal().string();
        arguments[0] = path.data();
        for (char** rest = argv + 1; *rest != nullptr; ++rest) {
            arguments.push_back(*rest);
        }
        arguments.push_back(nullptr);
        ::execv(path.c_str(), arguments.data());
        if (errno != ENOENT) {
            lastError = errno;
        }
    }
    problem = std::string("the screens program ") + VANTO_SCREENS_PROGRAM +
              " could not be started: " + std::strerror(lastError);
#else
    (void)argv;
    problem = "this build has no screens (built without Qt)";
#endif
}

}  // namespace vanto::cli
