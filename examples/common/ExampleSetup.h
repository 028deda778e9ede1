#pragma once
// What both example applications do before they start: the web engine's set-up and the choice
// of their payment journal's file.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <QStringList>

#include "vanto/journal/PaymentJournal.h"

namespace vanto::examples {

// Chromium does not start as root with its sandbox; and the examples need nothing off this
// machine.
inline void prepareWebEngine() {
    const char* given = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS");
    std::string flags = given ? given : "";
    flags += " --disable-background-networking --proxy-server=http://127.0.0.1:9";
    if (::geteuid() == 0) {
        flags += " --no-sandbox";
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    }
    ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
}

// The journal's file: --journal's, or `fileName` in the library's default place; in the
// temporary folder when the user has no state folder.
inline std::string journalPath(const QStringList& arguments, const char* fileName) {
    const auto given = arguments.indexOf(QStringLiteral("--journal"));
    if (given >= 0 && given + 1 < arguments.size()) {
        return arguments[given + 1].toStdString();
    }
    auto path = PaymentJournal::defaultPath(fileName);
    return path ? std::move(path).value()
                : (std::filesystem::temp_directory_path() / fileName).string();
}

}  // namespace vanto::examples
