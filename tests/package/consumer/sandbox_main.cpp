// An integrator working offline: the package's sandbox component started in process, and one
// direct payment through the installed library's presenter, over HTTPS on loopback.
#include <chrono>
#include <cstdio>
#include <memory>

#include <vanto/direct/DirectPaymentPresenter.h>
#include <vanto/platform/MainQueue.h>
#include <vanto/sandbox/SandboxGateway.h>
#include <vanto/sandbox/TestCards.h>

namespace {

struct Receipt : vanto::DirectPaymentViewProtocol {
    void notifyUserOK(const vanto::DirectPaymentResponseOK&) override { accepted = done = true; }
    void notifyUserKO(const vanto::DirectPaymentResponseKO&) override { done = true; }
    bool done = false;
    bool accepted = false;
};

}  // namespace

int main() {
    vanto::sandbox::SandboxOptions options;
    options.logRequests = false;
    vanto::sandbox::SandboxGateway gateway(options);
    if (!gateway.start()) {
        std::fprintf(stderr, "the sandbox did not start\n");
        return 1;
    }
    if (!gateway.useAsTestEnvironment()) {
        std::fprintf(stderr, "the sandbox could not be made the test environment\n");
        return 1;
    }

    auto receipt = std::make_shared<Receipt>();
    auto presenter = std::make_shared<vanto::DirectPaymentPresenter<Receipt>>(receipt);
    presenter->makePaymentAction(vanto::sandbox::kAcceptedCard, "123", "3012", 19.99, "PKG0001", "",
                                 vanto::TransactionType::normal, "Libro");
    vanto::platform::MainQueue::runUntil([&] { return receipt->done; }, std::chrono::seconds(60));
    if (!receipt->accepted) {
        std::fprintf(stderr, "the payment was not accepted\n");
        return 1;
    }
    return 0;
}
