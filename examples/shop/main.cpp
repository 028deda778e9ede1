// A small merchant application on the Qt binding: a checkout window that pays on either of the
// library's screens, against a sandbox gateway started in this process on loopback, and records
// every payment in a payment journal.
//
// Usage: vanto_example_shop [--journal PATH]; by default the journal is
// vanto/tienda.sqlite in $XDG_STATE_HOME, or in ~/.local/state.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <QApplication>
#include <QMessageBox>

#include "ShopWindow.h"
#include "vanto/journal/PaymentJournal.h"
#include "vanto/qt/QtBinding.h"
#include "vanto/sandbox/SandboxGateway.h"

namespace {

// Chromium does not start as root with its sandbox; and the shop needs nothing off this machine.
void prepareWebEngine() {
    const char* given = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS");
    std::string flags = given ? given : "";
    flags += " --disable-background-networking --proxy-server=http://127.0.0.1:9";
    if (::geteuid() == 0) {
        flags += " --no-sandbox";
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    }
    ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
}

// The journal's file: --journal's, or the shop's in the user's state folder, whose folders are
// made for their owner only.
std::string journalPath(const QStringList& arguments) {
    const auto given = arguments.indexOf(QStringLiteral("--journal"));
    if (given >= 0 && given + 1 < arguments.size()) {
        return arguments[given + 1].toStdString();
    }
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    std::filesystem::path folder = state && *state == '/' ? std::filesystem::path(state)
                                   : home ? std::filesystem::path(home) / ".local/state"
                                          : std::filesystem::temp_directory_path();
    folder /= "vanto";
    std::filesystem::path made;
    for (const auto& part : folder) {
        made /= part;
        ::mkdir(made.c_str(), 0700);
    }
    return (folder / "tienda.sqlite").string();
}

}  // namespace

int main(int argc, char** argv) {
    prepareWebEngine();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);

    vanto::sandbox::SandboxOptions options;
    options.logRequests = false;
    vanto::sandbox::SandboxGateway gateway(options);
    // The sandbox stands in for the test environment's gateway; its certificate is trusted.
    if (!gateway.start() || !gateway.useAsTestEnvironment()) {
        QMessageBox::critical(nullptr, QStringLiteral("Tienda de ejemplo"),
                              QString::fromStdString(gateway.lastError()));
        return 1;
    }

    // Opened at the start, so that what a crash left in doubt is shown before the first sale; a
    // journal that cannot be opened refuses every payment, which the shop shows as it comes.
    auto journal = vanto::PaymentJournal::open(journalPath(QCoreApplication::arguments()));
    vanto::PaymentJournal::install(journal);

    int status = 0;
    {
        const vanto::qt::QtBinding binding;
        shop::ShopWindow window(gateway, journal);
        window.show();
        status = QApplication::exec();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}
