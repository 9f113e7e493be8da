#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSString.h"
#include "platform/net/SecCertificate.h"
#include "platform/net/SecKey.h"
#include "platform/net/SecPolicy.h"
#include "platform/net/SecTrust.h"
#include "platform/testing/TestCertificates.h"

#include "platform/base/Base64.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using dv::testing::TestCertificate;
using dv::testing::TestCertificates;

namespace {

Ref<SecCertificate> certificate(const TestCertificate& c)
{
    return SecCertificateCreateWithData(nil, NSData::dataWithVector(c.der));
}

Ref<SecTrust> trustFor(std::vector<const TestCertificate*> chain, const id& policy)
{
    auto certs = NSMutableArray::array();
    for (auto* c : chain)
        certs->addObject(certificate(*c));
    Ref<SecTrust> trust;
    EXPECT_EQ(SecTrustCreateWithCertificates(certs, policy, &trust), errSecSuccess);
    return trust;
}

bool valid(const Ref<SecTrust>& trust)
{
    SecTrustResultType result = kSecTrustResultInvalid;
    EXPECT_EQ(SecTrustEvaluate(trust, &result), errSecSuccess);
    return result == kSecTrustResultUnspecified || result == kSecTrustResultProceed;
}

void anchorTo(const Ref<SecTrust>& trust, const TestCertificate& anchor)
{
    ASSERT_EQ(SecTrustSetAnchorCertificates(trust, NSArray::of({ certificate(anchor) })), errSecSuccess);
}

const TestCertificates& certs() { return TestCertificates::shared(); }

TEST(SecTrustTest, CertificatesRoundTripTheirBytesAndRefuseJunk)
{
    auto leaf = certificate(certs().leaf);
    ASSERT_TRUE(leaf);
    EXPECT_EQ(SecCertificateCopyData(leaf)->vector(), certs().leaf.der);
    EXPECT_TRUE(leaf->isEqual(certificate(certs().leaf).get()));
    EXPECT_FALSE(leaf->isEqual(certificate(certs().rogue).get()));
    EXPECT_EQ(SecCertificateCopySubjectSummary(leaf)->utf8(), "127.0.0.1");
    EXPECT_FALSE(SecCertificateCreateWithData(nil, NSData::fromString("not a certificate")));
    EXPECT_FALSE(SecCertificateCreateWithData(nil, NSData::data()));
    auto truncated = certs().leaf.der;
    truncated.pop_back();
    EXPECT_FALSE(SecCertificateCreateWithData(nil, NSData::dataWithVector(truncated)));
}

TEST(SecTrustTest, ChainToAnAnchorWithTheRightHostIsValid)
{
    auto trust = trustFor({ &certs().leaf, &certs().intermediate }, SecPolicyCreateSSL(true, "127.0.0.1"_ns));
    anchorTo(trust, certs().root);
    EXPECT_TRUE(valid(trust));
    // The evaluated chain runs from the server's certificate to the anchor.
    ASSERT_EQ(SecTrustGetCertificateCount(trust), 3);
    EXPECT_EQ(SecCertificateCopyData(SecTrustGetCertificateAtIndex(trust, 0))->vector(), certs().leaf.der);
    EXPECT_EQ(SecCertificateCopyData(SecTrustGetCertificateAtIndex(trust, 2))->vector(), certs().root.der);
    EXPECT_FALSE(SecTrustGetCertificateAtIndex(trust, 3));

    auto byName = trustFor({ &certs().leaf, &certs().intermediate }, SecPolicyCreateSSL(true, "localhost"_ns));
    anchorTo(byName, certs().root);
    EXPECT_TRUE(valid(byName));
}

TEST(SecTrustTest, WrongHostMissingIntermediateRogueAndExpiredAreInvalid)
{
    auto wrongHost = trustFor({ &certs().leaf, &certs().intermediate }, SecPolicyCreateSSL(true, "example.com"_ns));
    anchorTo(wrongHost, certs().root);
    EXPECT_FALSE(valid(wrongHost));

    auto noIntermediate = trustFor({ &certs().leaf }, SecPolicyCreateSSL(true, "127.0.0.1"_ns));
    anchorTo(noIntermediate, certs().root);
    EXPECT_FALSE(valid(noIntermediate));

    auto rogue = trustFor({ &certs().rogue }, SecPolicyCreateSSL(true, "127.0.0.1"_ns));
    anchorTo(rogue, certs().root);
    EXPECT_FALSE(valid(rogue));

    auto expired = trustFor({ &certs().expired, &certs().intermediate }, SecPolicyCreateSSL(true, "127.0.0.1"_ns));
    anchorTo(expired, certs().root);
    EXPECT_FALSE(valid(expired));

    // Dates are told apart from every other fault, but only on a chain that otherwise holds.
    EXPECT_EQ(expired->failure(), SecTrust::Failure::Expired);
    auto future = trustFor({ &certs().notYetValid, &certs().intermediate }, SecPolicyCreateSSL(true, "127.0.0.1"_ns));
    anchorTo(future, certs().root);
    EXPECT_FALSE(valid(future));
    EXPECT_EQ(future->failure(), SecTrust::Failure::NotYetValid);
    auto expiredElsewhere = trustFor({ &certs().expired, &certs().intermediate }, SecPolicyCreateSSL(true, "example.com"_ns));
    anchorTo(expiredElsewhere, certs().root);
    EXPECT_FALSE(valid(expiredElsewhere));
    EXPECT_EQ(expiredElsewhere->failure(), SecTrust::Failure::Untrusted);
    auto expiredUnknownRoot = trustFor({ &certs().expired, &certs().intermediate }, SecPolicyCreateSSL(true, "127.0.0.1"_ns));
    EXPECT_FALSE(valid(expiredUnknownRoot));
    EXPECT_EQ(expiredUnknownRoot->failure(), SecTrust::Failure::Untrusted);
    EXPECT_EQ(rogue->failure(), SecTrust::Failure::Untrusted);
    EXPECT_EQ(wrongHost->failure(), SecTrust::Failure::Untrusted);
}

TEST(SecTrustTest, SystemRootsDoNotKnowTheTestAuthority)
{
    auto trust = trustFor({ &certs().leaf, &certs().intermediate }, SecPolicyCreateSSL(true, "127.0.0.1"_ns));
    EXPECT_FALSE(valid(trust));
    SecTrustSetAnchorCertificates(trust, NSArray::of({ certificate(certs().root) }));
    EXPECT_TRUE(valid(trust));
}

TEST(SecTrustTest, AnchorsBesideTheSystemRootsTrustBoth)
{
    // The first authority of the system's bundle, read as any PEM file would be.
    std::ifstream bundle("/etc/ssl/certs/ca-certificates.crt");
    std::string text((std::istreambuf_iterator<char>(bundle)), std::istreambuf_iterator<char>());
    auto begin = text.find("-----BEGIN CERTIFICATE-----");
    auto end = text.find("-----END CERTIFICATE-----", begin);
    if (begin == std::string::npos || end == std::string::npos)
        GTEST_SKIP() << "no system certificate bundle";
    begin += std::string_view("-----BEGIN CERTIFICATE-----").size();
    auto der = NSData::dataWithBase64EncodedData(NSData::fromString(text.substr(begin, end - begin)), NSDataBase64DecodingIgnoreUnknownCharacters);
    auto system = SecCertificateCreateWithData(nil, der);
    ASSERT_TRUE(system);

    Ref<SecTrust> trust;
    ASSERT_EQ(SecTrustCreateWithCertificates(system, SecPolicyCreateBasicX509(), &trust), errSecSuccess);
    EXPECT_TRUE(valid(trust));
    anchorTo(trust, certs().root);
    EXPECT_FALSE(valid(trust));
    SecTrustSetAnchorCertificatesOnly(trust, false);
    EXPECT_TRUE(valid(trust));

    auto ours = trustFor({ &certs().leaf, &certs().intermediate }, SecPolicyCreateSSL(true, "127.0.0.1"_ns));
    anchorTo(ours, certs().root);
    SecTrustSetAnchorCertificatesOnly(ours, false);
    EXPECT_TRUE(valid(ours));
}

TEST(SecTrustTest, BasicPolicyIgnoresTheHostAndAnIntermediateAnchorSuffices)
{
    auto trust = trustFor({ &certs().otherHost, &certs().intermediate }, SecPolicyCreateBasicX509());
    anchorTo(trust, certs().intermediate);
    EXPECT_TRUE(valid(trust));
    SecTrustSetPolicies(trust, SecPolicyCreateSSL(true, "127.0.0.1"_ns));
    EXPECT_FALSE(valid(trust));
}

TEST(SecTrustTest, PublicKeyIsTheLeafKeyEvenForAnUntrustedCertificate)
{
    auto trust = trustFor({ &certs().rogue }, SecPolicyCreateBasicX509());
    EXPECT_FALSE(valid(trust));
    auto key = SecTrustCopyPublicKey(trust);
    ASSERT_TRUE(key);
    EXPECT_EQ(SecKeyCopyExternalRepresentation(key)->vector(), certs().rogue.publicKeyDer);

    auto leafKey = SecTrustCopyPublicKey(trustFor({ &certs().leaf }, nil));
    auto again = SecTrustCopyPublicKey(trustFor({ &certs().leaf, &certs().intermediate }, nil));
    EXPECT_TRUE(leafKey->isEqual(again.get()));
    EXPECT_EQ(leafKey->hash(), again->hash());
    EXPECT_FALSE(leafKey->isEqual(key.get()));
}

TEST(SecTrustTest, SignedByFollowsTheIssuersKeyNotTheDates)
{
    auto root = certificate(certs().root);
    auto intermediate = certificate(certs().intermediate);
    EXPECT_TRUE(dv::certificateIsSignedBy(certificate(certs().leaf), intermediate));
    EXPECT_TRUE(dv::certificateIsSignedBy(intermediate, root));
    EXPECT_TRUE(dv::certificateIsSignedBy(root, root));
    // Outside its validity a certificate is still its issuer's work.
    EXPECT_TRUE(dv::certificateIsSignedBy(certificate(certs().expired), intermediate));
    // The root is two steps up, not the signer; a rogue names itself as issuer.
    EXPECT_FALSE(dv::certificateIsSignedBy(certificate(certs().leaf), root));
    EXPECT_FALSE(dv::certificateIsSignedBy(certificate(certs().rogue), intermediate));
    EXPECT_FALSE(dv::certificateIsSignedBy(intermediate, certificate(certs().leaf)));
    EXPECT_FALSE(dv::certificateIsSignedBy(nil, root));
    EXPECT_FALSE(dv::certificateIsSignedBy(root, nil));
}

TEST(SecTrustTest, CreationRefusesWrongArguments)
{
    Ref<SecTrust> trust;
    EXPECT_EQ(SecTrustCreateWithCertificates(NSArray::array(), nil, &trust), errSecParam);
    EXPECT_FALSE(trust);
    EXPECT_EQ(SecTrustCreateWithCertificates(NSArray::of({ "text"_ns }), nil, &trust), errSecParam);
    EXPECT_EQ(SecTrustCreateWithCertificates(certificate(certs().leaf), "policy"_ns, &trust), errSecParam);
    EXPECT_EQ(SecTrustCreateWithCertificates(certificate(certs().leaf), nil, &trust), errSecSuccess);
    EXPECT_EQ(SecTrustGetCertificateCount(nil), 0);
    EXPECT_FALSE(SecTrustCopyPublicKey(nil));
}

} // namespace
