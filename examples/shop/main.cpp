// A small merchant application on the Qt binding: a checkout window that pays on either of the
// library's screens, against a sandbox gateway started in this process on loopback.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <QApplication>
#include <QMessageBox>

#include "ShopWindow.h"
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

    int status = 0;
    {
        const vanto::qt::QtBinding binding;
        shop::ShopWindow window(gateway);
        window.show();
        status = QApplication::exec();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}
