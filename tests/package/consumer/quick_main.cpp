// An integrator's Qt Quick application on the installed package's Qt Quick component: both
// screens drawn by the QML module Vanto in one window, each handed to QML in a ScreenHandle, and
// their refusals of a negative amount told on the Qt event loop. Nothing is loaded: the amount is
// refused before any request.
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QTimer>
#include <cstdio>
#include <memory>

#include <vanto/direct/DirectPaymentResponseDelegate.h>
#include <vanto/direct/DirectPaymentViewController.h>
#include <vanto/quick/QuickBinding.h>
#include <vanto/quick/ScreenHandle.h>
#include <vanto/web/WebViewPaymentController.h>
#include <vanto/web/WebViewPaymentResponseDelegate.h>

namespace {

const char* const kWindow = R"(
import QtQuick
import Vanto

Window {
    required property QtObject card
    required property QtObject page
    width: 900
    height: 700
    visible: true
    Row {
        anchors.fill: parent
        CardEntryScreen { width: parent.width / 2; height: parent.height; screen: card }
        PaymentPage { width: parent.width / 2; height: parent.height; screen: page }
    }
}
)";

// Ends the program once both screens have told their refusal.
struct Receipt : vanto::DirectPaymentResponseDelegate, vanto::WebViewPaymentResponseDelegate {
    void responseDirectPaymentOK(const vanto::DirectPaymentResponseOK&) override {
        QGuiApplication::exit(3);
    }
    void responseDirectPaymentKO(const vanto::DirectPaymentResponseKO& response) override {
        refused(response.code);
    }
    void responsePaymentOK(const vanto::WebViewPaymentResponseOK&) override {
        QGuiApplication::exit(3);
    }
    void responsePaymentKO(const vanto::WebViewPaymentResponseKO& response) override {
        refused(response.code);
    }
    void refused(std::int64_t code) {
        if (code != 5548) {
            QGuiApplication::exit(4);
        } else if (++refusals == 2) {
            QGuiApplication::exit(0);
        }
    }
    int refusals = 0;
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // No GPU on the machines that check the package: Qt Quick draws in software.
    qputenv("QT_QUICK_BACKEND", "software");
    // Chromium as root in a container runs without its sandbox and without a GPU, and asks
    // nothing of the network behind the page's back.
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
            "--no-sandbox --disable-gpu --disable-background-networking "
            "--disable-component-update --proxy-server=http://127.0.0.1:9");
    vanto::quick::QuickBinding::prepareApplication();
    QGuiApplication application(argc, argv);
    int status = 0;
    {
        const vanto::quick::QuickBinding binding;
        const auto receipt = std::make_shared<Receipt>();
        auto card = vanto::DirectPaymentViewController::create(
            "PKGQK0001", -0.01, "Libro", vanto::TransactionType::normal, "", nullptr);
        card->setDelegate(receipt);
        auto page = vanto::WebViewPaymentController::create("PKGQK0002", -0.01, "Libro",
                                                            vanto::TransactionType::normal, "");
        page->setDelegate(receipt);
        vanto::quick::ScreenHandle cardHandle(card);
        vanto::quick::ScreenHandle pageHandle(page);

        QQmlApplicationEngine engine;
        engine.setInitialProperties({{"card", QVariant::fromValue<QObject*>(&cardHandle)},
                                     {"page", QVariant::fromValue<QObject*>(&pageHandle)}});
        engine.loadData(kWindow);
        if (engine.rootObjects().isEmpty()) {
            std::fprintf(stderr, "the window with both screens did not load\n");
            return 1;
        }
        // Should the refusals never come, the loop ends with a failure instead of hanging.
        QTimer::singleShot(60000, &application, [] { QGuiApplication::exit(2); });
        status = QGuiApplication::exec();
    }
    if (status != 0) {
        std::fprintf(stderr, "the refusals were not told as expected (%d)\n", status);
    }
    return status;
}
