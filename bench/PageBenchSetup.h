#pragma once
// What both payment page benchmarks (Widgets and Qt Quick) set up the same way.

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "vanto/web/WebViewPaymentPresenter.h"

namespace vanto::bench {

// Chromium does not start as root with its sandbox; nothing here needs more than loopback.
inline void prepareWebEngine() {
    const char* given = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS");
    std::string flags = given ? given : "";
    flags += " --disable-background-networking --proxy-server=http://127.0.0.1:9 --log-level=3";
    if (::geteuid() == 0) {
        flags += " --no-sandbox";
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    }
    ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
}

// A view for the presenter that only signs the page's POST: it shows nothing.
struct Unseen : WebViewPaymentViewProtocol {
    void notifyUserOK(const WebViewPaymentResponseOK&, bool) override {}
    void notifyUserKO(const WebViewPaymentResponseKO&, bool) override {}
    void showButtonDismiss() override {}
    void showDidFailLoadWithError() override {}
};

}  // namespace vanto::bench
