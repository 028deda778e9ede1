// An example kiosk on the Qt Quick binding: full screen, one order paid on either of the
// library's screens, against a sandbox gateway started in this process on loopback, with every
// payment recorded in a payment journal.
//
// Usage: vanto_example_kiosk [--windowed] [--journal PATH]; by default the journal is
// vanto/kiosco.sqlite in $XDG_STATE_HOME, or in ~/.local/state.
#include <string>

#include <QGuiApplication>
#include <QQuickView>

#include "ExampleSetup.h"
#include "Kiosk.h"
#include "vanto/journal/PaymentJournal.h"
#include "vanto/quick/QuickBinding.h"
#include "vanto/sandbox/SandboxGateway.h"

int main(int argc, char** argv) {
    // The on-screen keyboard, unless the system brings its own input method.
    if (!qEnvironmentVariableIsSet("QT_IM_MODULE")) {
        qputenv("QT_IM_MODULE", QByteArrayLiteral("qtvirtualkeyboard"));
    }
    vanto::examples::prepareWebEngine();
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
    auto journal = vanto::PaymentJournal::open(
        vanto::examples::journalPath(QCoreApplication::arguments(), "kiosco.sqlite"));
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
            kiosk::showFillingScreen(view);
        }
        status = QGuiApplication::exec();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}
