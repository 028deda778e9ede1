// The check a web view makes before it accepts a certificate the system does not trust: against
// the sandbox's real certificates, which are self-signed and name localhost and 127.0.0.1.
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

TEST(CertificateTrust, AcceptsTheAnchorItselfForTheNamesItCarries) {
    const std::string sandbox = certificateOf({});
    ASSERT_FALSE(sandbox.empty());
    EXPECT_TRUE(chainsToTrustAnchor({sandbox}, {sandbox}, "127.0.0.1"));
    EXPECT_TRUE(chainsToTrustAnchor({sandbox}, {sandbox}, "localhost"));
    const std::string other = certificateOf({});
    EXPECT_TRUE(chainsToTrustAnchor({sandbox}, {other, sandbox}, "127.0.0.1"))
        << "any of the anchors will do";
}

TEST(CertificateTrust, RefusesAnotherCertificateAHostItDoesNotNameAndUnreadableInput) {
    const std::string sandbox = certificateOf({});
    const std::string other = certificateOf({});
    EXPECT_FALSE(chainsToTrustAnchor({other}, {sandbox}, "127.0.0.1"))
        << "another certificate with the same names is not the anchor";
    EXPECT_FALSE(chainsToTrustAnchor({sandbox}, {sandbox}, "127.0.0.2"));
    EXPECT_FALSE(chainsToTrustAnchor({sandbox}, {sandbox}, "shop.example"));

    sandbox::SandboxOptions elsewhere;
    elsewhere.certificateNames = {"shop.test"};
    const std::string named = certificateOf(elsewhere);
    EXPECT_TRUE(chainsToTrustAnchor({named}, {named}, "shop.test"));
    EXPECT_FALSE(chainsToTrustAnchor({named}, {named}, "127.0.0.1"));

    EXPECT_FALSE(chainsToTrustAnchor({}, {sandbox}, "127.0.0.1"));
    EXPECT_FALSE(chainsToTrustAnchor({sandbox}, {}, "127.0.0.1"));
    EXPECT_FALSE(chainsToTrustAnchor({sandbox}, {sandbox}, ""));
    EXPECT_FALSE(chainsToTrustAnchor({"not a certificate"}, {sandbox}, "127.0.0.1"));
}

}  // namespace
}  // namespace vanto
