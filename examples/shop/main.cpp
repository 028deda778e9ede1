// A small merchant application on the Qt binding: a checkout window that pays on either of the
// library's screens, against a sandbox gateway started in this process on loopback, and records
// every payment in a payment journal.
//
// Usage: vanto_example_shop [--journal PATH]; by default the journal is
// vanto/tienda.sqlite in $XDG_STATE_HOME, or in ~/.local/state.
#include <string>

#include <QApplication>
#include <QMessageBox>

#include "ExampleSetup.h"
#include "ShopWindow.h"
#include "vanto/journal/PaymentJournal.h"
#include "vanto/qt/QtBinding.h"
#include "vanto/sandbox/SandboxGateway.h"

int main(int argc, char** argv) {
    vanto::examples::prepareWebEngine();
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
    auto journal = vanto::PaymentJournal::open(
        vanto::examples::journalPath(QCoreApplication::arguments(), "tienda.sqlite"));
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
