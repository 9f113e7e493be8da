#include "SessionManagerTestSupport.h"

#include "foundation/http/PNSecurityPolicy.h"
#include "platform/base/NSData.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSSet.h"
#include "platform/net/NSURLError.h"
#include "platform/net/SecCertificate.h"
#include "platform/net/SecKey.h"
#include "platform/net/SecPolicy.h"
#include "platform/net/SecTrust.h"
#include "platform/system/NSBundle.h"

#include <filesystem>
#include <fstream>

using dv::test::Outcome;
using dv::testing::ScriptedReply;
using dv::testing::TestCertificate;
using dv::testing::TestCertificates;

namespace {

Ref<NSData> der(const TestCertificate& certificate)
{
    return NSData::dataWithBytes(certificate.der.data(), certificate.der.size());
}

Ref<SecCertificate> cert(const TestCertificate& certificate)
{
    return alloc<SecCertificate>()->initWithDER(certificate.der);
}

// A trust for what a server presents (leaf first), evaluated against `anchors` when given, the
// way a platform that knows the test authority would.
Ref<SecTrust> trustFor(std::vector<const TestCertificate*> presented, std::vector<const TestCertificate*> anchors = {})
{
    auto certificates = NSMutableArray::array();
    for (auto* c : presented)
        certificates->addObject(cert(*c));
    Ref<SecTrust> trust;
    SecTrustCreateWithCertificates(certificates, SecPolicyCreateBasicX509(), &trust);
    if (!anchors.empty()) {
        auto list = NSMutableArray::array();
        for (auto* c : anchors)
            list->addObject(cert(*c));
        SecTrustSetAnchorCertificates(trust, list);
    }
    return trust;
}

Ref<PNSecurityPolicy> pinning(NSUInteger mode, std::vector<const TestCertificate*> pinned, bool allowInvalid, bool validatesDomainName)
{
    auto set = NSMutableSet::set();
    for (auto* c : pinned)
        set->addObject(der(*c));
    auto policy = PNSecurityPolicy::policyWithPinningModeWithPinnedCertificates(mode, set);
    policy->setAllowInvalidCertificates(allowInvalid);
    policy->setValidatesDomainName(validatesDomainName);
    return policy;
}

class SecurityPolicyTest : public dv::test::HTTPTestFixture {
protected:
    const TestCertificates& certs = TestCertificates::shared();
};

TEST_F(SecurityPolicyTest, DefaultPolicyAcceptsAValidChainForItsOwnHostOnly)
{
    auto policy = PNSecurityPolicy::defaultPolicy();
    EXPECT_EQ(policy->SSLPinningMode(), PNSSLPinningModeNone);
    EXPECT_TRUE(policy->validatesDomainName());
    EXPECT_FALSE(policy->allowInvalidCertificates());
    EXPECT_TRUE(policy->evaluateServerTrust(trustFor({ &certs.leaf, &certs.intermediate }, { &certs.root }), "127.0.0.1"_ns));
    EXPECT_TRUE(policy->evaluateServerTrust(trustFor({ &certs.leaf, &certs.intermediate }, { &certs.root }), "localhost"_ns));
    EXPECT_FALSE(policy->evaluateServerTrust(trustFor({ &certs.leaf, &certs.intermediate }, { &certs.root }), "other.invalid"_ns));
    EXPECT_FALSE(policy->evaluateServerTrust(trustFor({ &certs.rogue }), "127.0.0.1"_ns));
    EXPECT_FALSE(policy->evaluateServerTrust(trustFor({ &certs.expired, &certs.intermediate }, { &certs.root }), "127.0.0.1"_ns));
}

TEST_F(SecurityPolicyTest, AllowingInvalidCertificatesWithoutPinningNeedsNoDomainCheck)
{
    auto anything = PNSecurityPolicy::defaultPolicy();
    anything->setAllowInvalidCertificates(true);
    anything->setValidatesDomainName(false);
    EXPECT_TRUE(anything->evaluateServerTrust(trustFor({ &certs.rogue }), "127.0.0.1"_ns));

    dv::LogCapture log;
    anything->setValidatesDomainName(true);
    EXPECT_FALSE(anything->evaluateServerTrust(trustFor({ &certs.leaf, &certs.intermediate }, { &certs.root }), "127.0.0.1"_ns));
    EXPECT_TRUE(log.contains("In order to validate a domain name for self signed certificates, you MUST use pinning."));
    // Without a domain there is nothing to validate.
    EXPECT_TRUE(anything->evaluateServerTrust(trustFor({ &certs.rogue }), nil));
}

TEST_F(SecurityPolicyTest, CertificatePinningTrustsOnlyChainsThroughAPinnedCertificate)
{
    // Pinned authority as the only anchor, with domain checking: allowed past the first step.
    EXPECT_TRUE(pinning(PNSSLPinningModeCertificate, { &certs.root }, true, true)->evaluateServerTrust(trustFor({ &certs.leaf, &certs.intermediate }), "127.0.0.1"_ns));
    EXPECT_TRUE(pinning(PNSSLPinningModeCertificate, { &certs.intermediate }, true, true)->evaluateServerTrust(trustFor({ &certs.leaf, &certs.intermediate }), "127.0.0.1"_ns));
    EXPECT_FALSE(pinning(PNSSLPinningModeCertificate, { &certs.root }, true, true)->evaluateServerTrust(trustFor({ &certs.leaf, &certs.intermediate }), "other.invalid"_ns));
    // A pin that is not in the chain fails even where the chain itself is trusted.
    EXPECT_FALSE(pinning(PNSSLPinningModeCertificate, { &certs.rogue }, false, true)->evaluateServerTrust(trustFor({ &certs.leaf, &certs.intermediate }, { &certs.root }), "127.0.0.1"_ns));
    // Without allowing invalid certificates the ordinary evaluation must pass first.
    EXPECT_FALSE(pinning(PNSSLPinningModeCertificate, { &certs.root }, false, true)->evaluateServerTrust(trustFor({ &certs.leaf, &certs.intermediate }), "127.0.0.1"_ns));
    EXPECT_TRUE(pinning(PNSSLPinningModeCertificate, { &certs.root }, false, true)->evaluateServerTrust(trustFor({ &certs.leaf, &certs.intermediate }, { &certs.root }), "127.0.0.1"_ns));
}

TEST_F(SecurityPolicyTest, PublicKeyPinningMatchesAnyKeyOfAValidChain)
{
    for (auto* pinned : { &certs.leaf, &certs.intermediate, &certs.root }) {
        auto policy = pinning(PNSSLPinningModePublicKey, { pinned }, false, true);
        EXPECT_TRUE(policy->evaluateServerTrust(trustFor({ &certs.leaf, &certs.intermediate }, { &certs.root }), "127.0.0.1"_ns));
    }
    EXPECT_FALSE(pinning(PNSSLPinningModePublicKey, { &certs.rogue }, false, true)
                     ->evaluateServerTrust(trustFor({ &certs.leaf, &certs.intermediate }, { &certs.root }), "127.0.0.1"_ns));
}

TEST_F(SecurityPolicyTest, PublicKeyPinningWithInvalidChainsCountsOnlyKeysLinkedToTheLeaf)
{
    auto pinIntermediate = pinning(PNSSLPinningModePublicKey, { &certs.intermediate }, true, false);
    // A genuine chain the platform does not know: the leaf is signed by the pinned authority.
    EXPECT_TRUE(pinIntermediate->evaluateServerTrust(trustFor({ &certs.leaf, &certs.intermediate }), "127.0.0.1"_ns));
    // A self-made leaf with the pinned certificate merely appended is refused.
    EXPECT_FALSE(pinIntermediate->evaluateServerTrust(trustFor({ &certs.rogue, &certs.intermediate }), "127.0.0.1"_ns));
    // The server's own key pinned counts as it is.
    EXPECT_TRUE(pinning(PNSSLPinningModePublicKey, { &certs.rogue }, true, false)->evaluateServerTrust(trustFor({ &certs.rogue, &certs.intermediate }), "127.0.0.1"_ns));
    // The root pinned, reached through the intermediate.
    EXPECT_TRUE(pinning(PNSSLPinningModePublicKey, { &certs.root }, true, false)
                    ->evaluateServerTrust(trustFor({ &certs.leaf, &certs.intermediate, &certs.root }), "127.0.0.1"_ns));
}

TEST_F(SecurityPolicyTest, PinnedKeysFollowThePinnedCertificates)
{
    auto policy = PNSecurityPolicy::defaultPolicy();
    policy->setPinnedCertificates(NSSet::of({ der(certs.leaf), NSData::fromString("not a certificate"), der(certs.root) }));
    ASSERT_TRUE(policy->pinnedPublicKeys());
    EXPECT_EQ(policy->pinnedPublicKeys()->count(), 2u);
    auto leafKey = alloc<SecKey>()->initWithDER(certs.leaf.publicKeyDer);
    EXPECT_TRUE(policy->pinnedPublicKeys()->containsObject(leafKey));
    policy->setPinnedCertificates(nil);
    EXPECT_FALSE(policy->pinnedPublicKeys());
    EXPECT_EQ(policy->keyPathsForValuesAffectingValueForKey("pinnedPublicKeys"), std::vector<std::string> { "pinnedCertificates" });

    auto copy = dv::as<PNSecurityPolicy>(pinning(PNSSLPinningModeCertificate, { &certs.root }, true, false)->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->SSLPinningMode(), PNSSLPinningModeCertificate);
    EXPECT_TRUE(copy->allowInvalidCertificates());
    EXPECT_FALSE(copy->validatesDomainName());
    EXPECT_EQ(copy->pinnedPublicKeys()->count(), 1u);
}

TEST_F(SecurityPolicyTest, CertificatesInBundleReadsEveryCerResource)
{
    namespace fs = std::filesystem;
    const fs::path folder = pathInHome("bundle");
    fs::create_directories(folder);
    EXPECT_EQ(PNSecurityPolicy::certificatesInBundle(NSBundle::bundleWithPath(NSString::fromUTF8(folder.string())))->count(), 0u);
    std::ofstream(folder / "server.cer", std::ios::binary).write(reinterpret_cast<const char*>(certs.leaf.der.data()), std::streamsize(certs.leaf.der.size()));
    std::ofstream(folder / "notes.txt") << "no";
    auto found = PNSecurityPolicy::certificatesInBundle(NSBundle::bundleWithPath(NSString::fromUTF8(folder.string())));
    ASSERT_EQ(found->count(), 1u);
    EXPECT_TRUE(found->containsObject(der(certs.leaf)));
}

// Connections to loopback TLS servers with the generated certificates.
class PinnedConnectionTest : public dv::test::HTTPTestFixture {
protected:
    void TearDown() override
    {
        dv::testing::runUntilIdle();
        HTTPTestFixture::TearDown();
    }

    Outcome post(dv::testing::LoopbackServer& server, const Ref<PNSecurityPolicy>& policy)
    {
        server.route("/json", ScriptedReply { .body = R"({"ok":true})", .contentType = "application/json" });
        auto manager = PNHTTPSessionManager::manager();
        if (policy)
            manager->setSecurityPolicy(policy);
        Outcome outcome;
        manager->POST(NSString::fromUTF8(server.url("/json")), NSDictionary::of({ { "a"_ns, "1"_ns } }), outcome.success(), outcome.failure());
        EXPECT_TRUE(outcome.wait());
        EXPECT_EQ(outcome.successes + outcome.failures, 1);
        EXPECT_EQ(outcome.offMainThread, 0);
        return outcome;
    }

    const TestCertificates& certs = TestCertificates::shared();
};

TEST_F(PinnedConnectionTest, PinnedAuthorityAcceptsTheServerAndTheDefaultPolicyRejectsIt)
{
    dv::testing::LoopbackServer server(certs.leaf, { certs.intermediate });
    auto accepted = post(server, pinning(PNSSLPinningModeCertificate, { &certs.root }, true, true));
    EXPECT_EQ(accepted.successes, 1);
    EXPECT_EQ(server.requestCount("/json"), 1u);

    auto rejected = post(server, nil);
    ASSERT_EQ(rejected.failures, 1);
    EXPECT_EQ(rejected.error->code(), NSURLErrorServerCertificateUntrusted);

    auto wrongPin = post(server, pinning(PNSSLPinningModeCertificate, { &certs.rogue }, true, true));
    ASSERT_EQ(wrongPin.failures, 1);
    EXPECT_EQ(wrongPin.error->code(), NSURLErrorServerCertificateUntrusted);
    EXPECT_EQ(server.requestCount("/json"), 1u);
}

TEST_F(PinnedConnectionTest, ARejectedServerFailsWithWhatIsWrongWithItsCertificate)
{
    // The authority is pinned, and the dates are what is wrong: the codes a session without the
    // manager gives for them, not a bare "untrusted".
    dv::testing::LoopbackServer expired(certs.expired, { certs.intermediate });
    dv::testing::LoopbackServer early(certs.notYetValid, { certs.intermediate });
    dv::testing::LoopbackServer rogue(certs.rogue, {});
    auto pinned = [&] { return pinning(PNSSLPinningModeCertificate, { &certs.root }, true, true); };
    auto failure = [&](dv::testing::LoopbackServer& server) {
        auto outcome = post(server, pinned());
        EXPECT_EQ(outcome.failures, 1);
        if (outcome.error) {
            EXPECT_TRUE(dv::as<SecTrust>(outcome.error->userInfo()->objectForKey(NSURLErrorFailingURLPeerTrustErrorKey)));
        }
        return outcome.error ? outcome.error->code() : 0;
    };
    EXPECT_EQ(failure(expired), NSURLErrorServerCertificateHasBadDate);
    EXPECT_EQ(failure(early), NSURLErrorServerCertificateNotYetValid);
    EXPECT_EQ(failure(rogue), NSURLErrorServerCertificateUntrusted);
    EXPECT_EQ(expired.requestCount("/json") + early.requestCount("/json") + rogue.requestCount("/json"), 0u);
}

TEST_F(PinnedConnectionTest, PinnedKeyAppendedToAForeignChainIsRejected)
{
    dv::testing::LoopbackServer genuine(certs.leaf, { certs.intermediate });
    EXPECT_EQ(post(genuine, pinning(PNSSLPinningModePublicKey, { &certs.intermediate }, true, false)).successes, 1);

    dv::testing::LoopbackServer impostor(certs.rogue, { certs.intermediate });
    auto outcome = post(impostor, pinning(PNSSLPinningModePublicKey, { &certs.intermediate }, true, false));
    ASSERT_EQ(outcome.failures, 1);
    EXPECT_EQ(outcome.error->code(), NSURLErrorServerCertificateUntrusted);
    EXPECT_EQ(impostor.requestCount("/json"), 0u);
}

} // namespace
