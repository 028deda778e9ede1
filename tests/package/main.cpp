// A merchant application's first use of the installed library: configure it and sign a request.
#include <cstdio>
#include <string>

#include <vanto/config/VantoConfiguration.h>
#include <vanto/encoding/Encode.h>

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
    std::puts(request.c_str());
    return 0;
}
