// An example kiosk on the Qt Quick binding: full screen, one order paid on either of the
// library's screens, against a sandbox gateway started in this process on loopback, with every
// payment recorded in a payment journal.
//
// Usage: vanto_example_kiosk [--windowed] [--journal PATH]; by default the journal is
// vanto/kiosco.sqlite in $XDG_STATE_HOME, or in ~/.local/state.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <QGuiApplication>
#include <QQuickView>

#include "Kiosk.h"
#include "vanto/journal/PaymentJournal.h"
#include "vanto/quick/QuickBinding.h"
#include "vanto/sandbox/SandboxGateway.h"

namespace {

// Chromium does not start as root with its sandbox; and the kiosk needs nothing off this machine.
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

// The journal's file: --journal's, or the kiosk's in the user's state folder, whose folders are
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
    return (folder / "kiosco.sqlite").string();
}

}  // namespace

int main(int argc, char** argv) {
    prepareWebEngine();
    vanto::quick::QuickBinding::prepareApplication();
    QGuiApplication application(argc, argv);

    vanto::sandbox::SandboxOptions options;
    options.logRequests = false;
    vanto::sandbox::SandboxGateway gateway(options);
    // The sandbox stands in for the test environment's gateway; its certificate is trusted.
    if (!gateway.start() || !gateway.useAsTestEnvironment()) {
        qCritical("The sandbox gateway did not start: %s", gateway.lastError().c_str());
        return 1;
    }

    // Opened at the start, so that what a crash left in doubt is shown before the first sale; a
    // journal that cannot be opened refuses every payment, which the kiosk shows as it comes.
    auto journal = vanto::PaymentJournal::open(journalPath(QCoreApplication::arguments()));
    vanto::PaymentJournal::install(journal);

    int status = 0;
    {
        const vanto::quick::QuickBinding binding;
        kiosk::Kiosk sale(journal);
        QQuickView view;
        view.setTitle(QStringLiteral("Quiosco de ejemplo"));
        view.setResizeMode(QQuickView::SizeRootObjectToView);
        view.setInitialProperties(
            {{QStringLiteral("kiosk"), QVariant::fromValue<QObject*>(&sale)}});
        view.setSource(QUrl(QStringLiteral("qrc:/kiosk/Kiosk.qml")));
        if (view.status() != QQuickView::Ready) {
            return 1;
        }
        if (QCoreApplication::arguments().contains(QStringLiteral("--windowed"))) {
            view.resize(800, 600);
            view.show();
        } else {
            view.showFullScreen();
        }
        status = QGuiApplication::exec();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}
