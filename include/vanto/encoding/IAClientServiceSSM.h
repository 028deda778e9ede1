#pragma once

#include <optional>
#include <string>

#include "vanto/Export.h"

namespace vanto {

/// The client identification sent with every request: library version, host application and
/// operating system.
struct VANTO_EXPORT IAClientServiceSSM {
    /// The library's version, from the build; or the text set with setVerSDK().
    static std::string getVerSDK();
    /// The host application's identifier: the text set with setAppBundle(), else the running
    /// program's file name, else "".
    static std::string getAppBundle();
    /// Always "ios": the gateway knows this library's requests by that system name.
    static std::string getOperativeSystem();

    /// Sets the application identifier the gateway receives, the one agreed with the gateway
    /// operator (the program's file name changes with a rename or a wrapper); nullopt goes back to
    /// the default.
    static void setAppBundle(std::optional<std::string> bundle);
    /// Replaces the version the gateway receives (for reproducing a request made by another
    /// version); nullopt goes back to the library's own.
    static void setVerSDK(std::optional<std::string> version);
};

}  // namespace vanto
