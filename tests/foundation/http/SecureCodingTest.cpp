// Every class of the HTTP layer that answers supportsSecureCoding survives a round trip through
// an archive written and read with secure coding, nested inside a manager or on its own.
#include "HTTPTestSupport.h"

#include "foundation/http/PNCompoundResponseSerializer.h"
#include "foundation/http/PNHTTPSessionManager.h"
#include "foundation/http/PNImageResponseSerializer.h"
#include "foundation/http/PNJSONRequestSerializer.h"
#include "foundation/http/PNJSONResponseSerializer.h"
#include "foundation/http/PNPropertyListRequestSerializer.h"
#include "foundation/http/PNPropertyListResponseSerializer.h"
#include "foundation/http/PNSecurityPolicy.h"
#include "foundation/http/PNXMLParserResponseSerializer.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSError.h"
#include "platform/base/NSKeyedArchiver.h"
#include "platform/base/NSKeyedUnarchiver.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSURL.h"
#include "platform/testing/TestCertificates.h"

#include <gtest/gtest.h>

namespace {

template <class T>
Ref<T> secureRoundTrip(const Ref<T>& object)
{
    Ref<NSError> error;
    auto data = NSKeyedArchiver::archivedDataWithRootObject(object, true, &error);
    EXPECT_TRUE(data) << dv::str(error);
    if (!data)
        return nil;
    auto back = NSKeyedUnarchiver::unarchivedObjectOfClass<T>(data, &error);
    EXPECT_FALSE(error) << T::class_()->name() << ": " << dv::str(error);
    EXPECT_TRUE(back) << T::class_()->name();
    return back;
}

Ref<NSData> der(const dv::testing::TestCertificate& certificate)
{
    return NSData::dataWithBytes(certificate.der.data(), certificate.der.size());
}

} // namespace

TEST(SecureCoding, SecurityPolicyKeepsModeFlagsAndCertificates)
{
    const auto& certificates = dv::testing::TestCertificates::shared();
    auto pinned = NSSet::setWithArray(NSArray::of({der(certificates.leaf), der(certificates.root)}));
    auto policy = PNSecurityPolicy::policyWithPinningModeWithPinnedCertificates(PNSSLPinningModePublicKey, pinned);
    policy->setAllowInvalidCertificates(true);
    policy->setValidatesDomainName(false);
    auto back = secureRoundTrip(policy);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->SSLPinningMode(), static_cast<NSUInteger>(PNSSLPinningModePublicKey));
    EXPECT_TRUE(back->allowInvalidCertificates());
    EXPECT_FALSE(back->validatesDomainName());
    EXPECT_TRUE(dv::equal(back->pinnedCertificates(), pinned));
    ASSERT_TRUE(back->pinnedPublicKeys());
    EXPECT_EQ(back->pinnedPublicKeys()->count(), 2u); // recomputed from the certificates
}

TEST(SecureCoding, URLSessionManagerComesBack)
{
    auto manager = alloc<PNURLSessionManager>()->initWithSessionConfiguration(nil);
    auto back = secureRoundTrip(manager);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->session());
    EXPECT_NE(back->session(), manager->session());
}

TEST(SecureCoding, HTTPSessionManagerKeepsBaseURLSerialisersAndPolicy)
{
    auto manager = alloc<PNHTTPSessionManager>()->initWithBaseURL(NSURL::URLWithString("http://127.0.0.1:8092/DV/"_ns));
    auto request = PNJSONRequestSerializer::serializer();
    request->setValueForHTTPHeaderField("abc"_ns, "X-Token"_ns);
    manager->setRequestSerializer(request);
    manager->setResponseSerializer(PNJSONResponseSerializer::serializer());
    manager->setSecurityPolicy(PNSecurityPolicy::policyWithPinningModeWithPinnedCertificates(
        PNSSLPinningModeCertificate, NSSet::setWithArray(NSArray::of({der(dv::testing::TestCertificates::shared().leaf)}))));

    auto back = secureRoundTrip(manager);
    ASSERT_TRUE(back);
    EXPECT_EQ(dv::str(back->baseURL()->absoluteString()), "http://127.0.0.1:8092/DV/");
    auto backRequest = dv::as<PNJSONRequestSerializer>(back->requestSerializer());
    ASSERT_TRUE(backRequest);
    EXPECT_EQ(dv::str(backRequest->valueForHTTPHeaderField("X-Token"_ns)), "abc");
    EXPECT_TRUE(dv::as<PNJSONResponseSerializer>(back->responseSerializer()));
    ASSERT_TRUE(back->securityPolicy());
    EXPECT_EQ(back->securityPolicy()->SSLPinningMode(), static_cast<NSUInteger>(PNSSLPinningModeCertificate));
    EXPECT_EQ(back->securityPolicy()->pinnedCertificates()->count(), 1u);

    // Without a base URL as well.
    auto plain = secureRoundTrip(PNHTTPSessionManager::manager());
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->baseURL());
}

TEST(SecureCoding, EverySerialiserComesBackAsItsOwnClass)
{
    std::vector<id> serializers {
        PNHTTPRequestSerializer::serializer(),
        PNJSONRequestSerializer::serializer(),
        PNPropertyListRequestSerializer::serializer(),
        PNHTTPResponseSerializer::serializer(),
        PNJSONResponseSerializer::serializer(),
        PNXMLParserResponseSerializer::serializer(),
        PNPropertyListResponseSerializer::serializer(),
        PNImageResponseSerializer::serializer(),
        PNCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
            NSArray::of({PNJSONResponseSerializer::serializer(), PNImageResponseSerializer::serializer()})),
    };
    for (const id& serializer : serializers) {
        Ref<NSError> error;
        auto data = NSKeyedArchiver::archivedDataWithRootObject(serializer, true, &error);
        ASSERT_TRUE(data) << serializer->getClass()->name() << ": " << dv::str(error);
        auto back = NSKeyedUnarchiver::unarchivedObjectOfClass(serializer->getClass(), data, &error);
        EXPECT_FALSE(error) << serializer->getClass()->name() << ": " << dv::str(error);
        ASSERT_TRUE(back) << serializer->getClass()->name();
        EXPECT_TRUE(back->isMemberOfClass(serializer->getClass())) << serializer->getClass()->name();
    }
}
