#include "platform/Bundle.h"

#include <filesystem>
#include <system_error>

namespace vanto::platform {

std::string executableName() {
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return "";
    }
    return path.filename().string();
}

}  // namespace vanto::platform
