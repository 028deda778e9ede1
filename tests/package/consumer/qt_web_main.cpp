// An integrator's Qt application on the installed package's payment page component: the payment
// page presented in a window through the binding's generic present(), as an application that
// keeps its screens as BaseViewController does, and its refusal of a negative amount told on the
// Qt event loop. Nothing is loaded: the amount is refused before any request.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <memory>

#include <vanto/qt/PaymentPage.h>
#include <vanto/qt/QtBinding.h>
#include <vanto/web/WebViewPaymentController.h>
#include <vanto/web/WebViewPaymentResponseDelegate.h>

namespace {

struct Receipt : vanto::WebViewPaymentResponseDelegate {
    void responsePaymentOK(const vanto::WebViewPaymentResponseOK&) override {
        QApplication::exit(3);
    }
    void responsePaymentKO(const vanto::WebViewPaymentResponseKO& response) override {
        QApplication::exit(response.code == 5548 ? 0 : 4);
    }
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Chromium as root in a container runs without its sandbox and without a GPU, and asks
    // nothing of the network behind the page's back.
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
            "--no-sandbox --disable-gpu --disable-background-networking "
            "--disable-component-update --proxy-server=http://127.0.0.1:9");
    QApplication application(argc, argv);
    vanto::qt::QtBinding binding;
    std::shared_ptr<vanto::BaseViewController> screen = vanto::WebViewPaymentController::create(
        "PKGQT0002", -0.01, "Libro", vanto::TransactionType::normal, "");
    std::static_pointer_cast<vanto::WebViewPaymentController>(screen)->setDelegate(
        std::make_shared<Receipt>());
    QWidget* window = vanto::qt::present(screen);
    if (!window || vanto::qt::windowOf(*screen) != window) {
        std::fprintf(stderr, "the payment page has no window\n");
        return 1;
    }
    // Should the refusal never come, the loop ends with a failure instead of hanging the check.
    QTimer::singleShot(60000, &application, [] { QApplication::exit(2); });
    const int status = QApplication::exec();
    if (status != 0) {
        std::fprintf(stderr, "the refusal was not told as expected (%d)\n", status);
    }
    return status;
}
