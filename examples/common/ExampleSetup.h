#pragma once
// What both example applications share: the web engine's set-up, the choice of their payment
// journal's file, and how they name a payment that needs a review.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <QString>
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

// A payment that needs a review, in one line: its order and why.
inline QString reviewLine(const JournalEntry& entry) {
    const QString what =
        entry.standing == PaymentStanding::damaged
            ? QStringLiteral("dañado en el diario: compruebe el pedido con la pasarela")
        : entry.standing == PaymentStanding::inDoubt
            ? QStringLiteral(
                  "en duda: la pasarela puede haber cobrado la tarjeta; compruebe el pedido antes "
                  "de cobrarlo de nuevo")
            : QStringLiteral("respondido pero no mostrado: %1")
                  .arg(entry.outcome && entry.outcome->accepted
                           ? QStringLiteral("aceptado, autorización %1")
                                 .arg(QString::fromStdString(entry.outcome->authorisationCode))
                           : QStringLiteral("rechazado"));
    return QString::fromStdString(entry.order) + QStringLiteral(" — ") + what;
}

}  // namespace vanto::examples
