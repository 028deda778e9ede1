// An integrator's Qt application on the installed package's Qt component: the card-entry screen
// presented in a window, closed by hand, and its cancellation told on the Qt event loop.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <memory>

#include <vanto/direct/DirectPaymentResponseDelegate.h>
#include <vanto/direct/DirectPaymentViewController.h>
#include <vanto/qt/QtBinding.h>

namespace {

struct Receipt : vanto::DirectPaymentResponseDelegate {
    void responseDirectPaymentOK(const vanto::DirectPaymentResponseOK&) override {
        QApplication::exit(3);
    }
    void responseDirectPaymentKO(const vanto::DirectPaymentResponseKO& response) override {
        QApplication::exit(response.code == 78 ? 0 : 4);
    }
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    vanto::qt::QtBinding binding;
    auto screen = vanto::DirectPaymentViewController::create(
        "PKGQT0001", 1.00, "Libro", vanto::TransactionType::normal, "", nullptr);
    screen->setDelegate(std::make_shared<Receipt>());
    QWidget* window = vanto::qt::present(screen);
    if (!window || vanto::qt::windowOf(*screen) != window) {
        std::fprintf(stderr, "the card-entry screen has no window\n");
        return 1;
    }
    // Closing the window takes the screen's cancel, whose outcome ends the event loop. Should it
    // never come, the loop ends with a failure instead of hanging the check.
    QTimer::singleShot(0, window, [window] { window->close(); });
    QTimer::singleShot(60000, &application, [] { QApplication::exit(2); });
    const int status = QApplication::exec();
    if (status != 0) {
        std::fprintf(stderr, "the cancellation was not told as expected (%d)\n", status);
    }
    return status;
}
