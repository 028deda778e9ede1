#include <iostream>

#include "Commands.h"
#include "vanto/config/Constants.h"
#include "vanto/config/TransactionType.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/encoding/Encode.h"

namespace vanto::cli {

int runDemo(std::ostream& out, std::ostream& err) {
    auto& configuration = VantoConfiguration::shared();
    configuration.setAppFuc("999008881");
    configuration.setAppTerminal("1");
    configuration.setAppLicense("sandbox-signing-credential");
    configuration.setAppEnviroment(EnviromentType::test);

    // A sandbox test card: it passes the check-digit test but no real issuer knows it.
    const std::string direct = Encode::encodeStringDirectPayment(
        "4000000000000002", "123", "3012", "1999", "DEMO0001", "", "true",
        transactionTypeCode(TransactionType::normal), "Libro de ejemplo");
    const std::string web = Encode::encodeStringWebViewPayment(
        "DEMO0002", configuration.REQUEST_REFERENCE(), 19.99, "false",
        transactionTypeCode(TransactionType::normal), "Libro de ejemplo");
    if (direct.empty() || web.empty()) {
        err << "vanto demo: the sample requests could not be encoded\n";
        return kExitFailure;
    }
    out << "Merchant " << configuration.appFuc() << ", terminal " << configuration.appTerminal()
        << ", environment " << getEnviromentType(configuration.appEnviroment()) << "\n\n"
        << "Direct payment of 19.99 EUR with the sandbox test card ending in 0002, posted to\n"
        << Constants::getURLDirectPayment(configuration.appEnviroment()) << ":\n"
        << direct << "\n\n"
        << "Signature request for a web payment of 19.99 EUR asking for a card reference, posted "
           "to\n"
        << Constants::getURLParameters(configuration.appEnviroment()) << ":\n"
        << web << '\n';
    return kExitOk;
}

}  // namespace vanto::cli
