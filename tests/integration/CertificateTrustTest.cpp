// The check a web view makes before it accepts a certificate the system does not trust: against
// the sandbox's real certificates, which are self-signed and name localhost and 127.0.0.1.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "vanto/platform/CertificateTrust.h"
#include "vanto/sandbox/SandboxGateway.h"

namespace vanto {
namespace {

using platform::chainsToTrustAnchor;

std::string certificateOf(sandbox::SandboxOptions options) {
    options.logRequests = false;
    sandbox::SandboxGateway gateway(std::move(options));
    EXPECT_TRUE(gateway.start()) << gateway.lastError();
    return gateway.certificatePem();
}

TEST(CertificateTrust, AcceptsOnlyTheAnchorItselfForTheNamesItCarries) {
    const std::string sandbox = certificateOf({});
    const std::string other = certificateOf({});  // the same names, another key
    sandbox::SandboxOptions elsewhere;
    elsewhere.certificateNames = {"shop.test"};
    const std::string named = certificateOf(elsewhere);
    ASSERT_FALSE(sandbox.empty());
    const struct {
        std::vector<std::string> chain;
        std::vector<std::string> anchors;
        const char* host;
        bool trusted;
    } cases[] = {
        {{sandbox}, {sandbox}, "127.0.0.1", true},
        {{sandbox}, {sandbox}, "localhost", true},
        {{sandbox}, {other, sandbox}, "127.0.0.1", true},  // any of the anchors will do
        {{named}, {named}, "shop.test", true},
        {{other}, {sandbox}, "127.0.0.1", false},
        {{sandbox}, {sandbox}, "127.0.0.2", false},
        {{sandbox}, {sandbox}, "shop.example", false},
        {{named}, {named}, "127.0.0.1", false},
        {{}, {sandbox}, "127.0.0.1", false},
        {{sandbox}, {}, "127.0.0.1", false},
        {{sandbox}, {sandbox}, "", false},
        {{"not a certificate"}, {sandbox}, "127.0.0.1", false},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(chainsToTrustAnchor(cases[i].chain, cases[i].anchors, cases[i].host),
                  cases[i].trusted)
            << "case " << i;
    }
}

}  // namespace
}  // namespace vanto
