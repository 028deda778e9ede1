// A merchant application's first use of the installed library: configure it, sign a request, and
// take a payment's outcome through a presenter (a cancellation, which needs no network).
#include <cstdio>
#include <memory>
#include <string>

#include <vanto/config/VantoConfiguration.h>
#include <vanto/direct/DirectPaymentPresenter.h>
#include <vanto/encoding/Encode.h>

namespace {

struct Receipt : vanto::DirectPaymentViewProtocol {
    void notifyUserOK(const vanto::DirectPaymentResponseOK&) override {}
    void notifyUserKO(const vanto::DirectPaymentResponseKO& response) override {
        code = response.code;
    }
    long long code = 0;
};

}  // namespace

int main() {
    auto& configuration = vanto::VantoConfiguration::shared();
    configuration.setAppFuc("123456789");
    configuration.setAppTerminal("1");
    const std::string request =
        vanto::Encode::encodeStringWebViewPayment("1234ABCD", "", 19.99, "false", "0", "Libro");
    if (request.find("\"firma\":\"") == std::string::npos) {
        std::fprintf(stderr, "the installed library produced no signed request\n");
        return 1;
    }
    auto receipt = std::make_shared<Receipt>();
    auto presenter = std::make_shared<vanto::DirectPaymentPresenter<Receipt>>(receipt);
    presenter->cancelPaymentAction();
    if (receipt->code != 78) {
        std::fprintf(stderr, "the presenter did not report the cancellation\n");
        return 1;
    }
    std::puts("signed a request and reported a cancellation");
    return 0;
}
