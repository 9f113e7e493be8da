#include "foundation/http/PNSecurityPolicy.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSCoder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSString.h"
#include "platform/net/SecCertificate.h"
#include "platform/net/SecKey.h"
#include "platform/net/SecPolicy.h"
#include "platform/net/SecTrust.h"
#include "platform/system/NSBundle.h"

DV_DEFINE_CLASS(PNSecurityPolicy)

namespace {

bool serverTrustIsValid(const Ref<SecTrust>& serverTrust)
{
    SecTrustResultType result = kSecTrustResultInvalid;
    if (SecTrustEvaluate(serverTrust, &result) != errSecSuccess)
        return false;
    return result == kSecTrustResultUnspecified || result == kSecTrustResultProceed;
}

// The key of a certificate on its own, as a trust made from it alone answers it.
Ref<SecKey> publicKeyForCertificate(const Ref<SecCertificate>& certificate)
{
    Ref<SecTrust> trust;
    if (!certificate || SecTrustCreateWithCertificates(certificate, SecPolicyCreateBasicX509(), &trust) != errSecSuccess || !trust)
        return nil;
    SecTrustResultType result = kSecTrustResultInvalid;
    if (SecTrustEvaluate(trust, &result) != errSecSuccess)
        return nil;
    return SecTrustCopyPublicKey(trust);
}

std::vector<Ref<SecCertificate>> chainOf(const Ref<SecTrust>& serverTrust)
{
    std::vector<Ref<SecCertificate>> chain;
    const CFIndex count = SecTrustGetCertificateCount(serverTrust);
    for (CFIndex i = 0; i < count; ++i) {
        if (auto certificate = SecTrustGetCertificateAtIndex(serverTrust, i))
            chain.push_back(certificate);
    }
    return chain;
}

} // namespace

Ref<PNSecurityPolicy> PNSecurityPolicy::init()
{
    m_validatesDomainName = true;
    return self<PNSecurityPolicy>();
}

Ref<PNSecurityPolicy> PNSecurityPolicy::defaultPolicy()
{
    auto policy = alloc<PNSecurityPolicy>()->init();
    policy->setSSLPinningMode(PNSSLPinningModeNone);
    return policy;
}

Ref<PNSecurityPolicy> PNSecurityPolicy::policyWithPinningMode(NSUInteger pinningMode)
{
    return policyWithPinningModeWithPinnedCertificates(pinningMode, defaultPinnedCertificates());
}

Ref<PNSecurityPolicy> PNSecurityPolicy::policyWithPinningModeWithPinnedCertificates(NSUInteger pinningMode, const Ref<NSSet>& pinnedCertificates)
{
    auto policy = alloc<PNSecurityPolicy>()->init();
    policy->setSSLPinningMode(pinningMode);
    policy->setPinnedCertificates(pinnedCertificates);
    return policy;
}

Ref<NSSet> PNSecurityPolicy::certificatesInBundle(const Ref<NSBundle>& bundle)
{
    auto certificates = NSMutableSet::set();
    auto paths = bundle ? bundle->pathsForResourcesOfType("cer"_ns, "."_ns) : nil;
    for (NSUInteger i = 0; paths && i < paths->count(); ++i) {
        if (auto data = NSData::dataWithContentsOfFile(dv::as<NSString>(paths->objectAtIndex(i))))
            certificates->addObject(data);
    }
    return NSSet::setWithArray(certificates->allObjects());
}

Ref<NSSet> PNSecurityPolicy::defaultPinnedCertificates()
{
    static const Ref<NSSet> certificates = dv::keepingForever([] { return certificatesInBundle(NSBundle::mainBundle()); });
    return certificates;
}

void PNSecurityPolicy::setPinnedCertificates(const Ref<NSSet>& certificates)
{
    m_pinnedCertificates = certificates;
    if (!certificates) {
        m_pinnedPublicKeys = nil;
        return;
    }
    auto keys = NSMutableSet::set();
    auto all = certificates->allObjects();
    for (NSUInteger i = 0; i < all->count(); ++i) {
        auto certificate = SecCertificateCreateWithData(nil, dv::as<NSData>(all->objectAtIndex(i)));
        if (auto key = publicKeyForCertificate(certificate))
            keys->addObject(key);
    }
    m_pinnedPublicKeys = NSSet::setWithArray(keys->allObjects());
}

bool PNSecurityPolicy::evaluateServerTrust(const Ref<SecTrust>& serverTrust, const Ref<NSString>& domain) const
{
    if (!serverTrust)
        return false;
    if (domain && m_allowInvalidCertificates && m_validatesDomainName
        && (m_SSLPinningMode == PNSSLPinningModeNone || !m_pinnedCertificates || m_pinnedCertificates->count() == 0)) {
        NSLog("In order to validate a domain name for self signed certificates, you MUST use pinning.");
        return false;
    }

    auto policy = m_validatesDomainName ? SecPolicyCreateSSL(true, domain) : SecPolicyCreateBasicX509();
    SecTrustSetPolicies(serverTrust, NSArray::of({ policy }));

    if (m_SSLPinningMode == PNSSLPinningModeNone)
        return m_allowInvalidCertificates || serverTrustIsValid(serverTrust);
    if (!serverTrustIsValid(serverTrust) && !m_allowInvalidCertificates)
        return false;

    switch (m_SSLPinningMode) {
    case PNSSLPinningModeCertificate: {
        auto anchors = NSMutableArray::array();
        auto pinned = m_pinnedCertificates ? m_pinnedCertificates->allObjects() : NSArray::array();
        for (NSUInteger i = 0; i < pinned->count(); ++i) {
            if (auto certificate = SecCertificateCreateWithData(nil, dv::as<NSData>(pinned->objectAtIndex(i))))
                anchors->addObject(certificate);
        }
        SecTrustSetAnchorCertificates(serverTrust, anchors);
        if (!serverTrustIsValid(serverTrust))
            return false;
        // From the root end back to the server's own certificate.
        auto chain = chainOf(serverTrust);
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            if (m_pinnedCertificates->containsObject(SecCertificateCopyData(*it)))
                return true;
        }
        return false;
    }
    case PNSSLPinningModePublicKey:
        return evaluatePublicKeys(serverTrust);
    default:
        return false;
    }
}

bool PNSecurityPolicy::evaluatePublicKeys(const Ref<SecTrust>& serverTrust) const
{
    if (!m_pinnedPublicKeys || m_pinnedPublicKeys->count() == 0)
        return false;
    auto chain = chainOf(serverTrust);
    // Without a valid trust, anyone can append a pinned certificate to a chain of their own; a
    // pinned key then counts only when it is the server's own key, or when every certificate
    // from the server's own up to the one carrying the key is signed by the next.
    const bool mustLinkToLeaf = m_allowInvalidCertificates;
    NSUInteger trustedKeyCount = 0;
    for (std::size_t index = 0; index < chain.size(); ++index) {
        if (mustLinkToLeaf && index > 0 && !dv::certificateIsSignedBy(chain[index - 1], chain[index]))
            break;
        auto key = publicKeyForCertificate(chain[index]);
        if (key && m_pinnedPublicKeys->containsObject(key))
            ++trustedKeyCount;
    }
    return trustedKeyCount > 0;
}

std::vector<std::string> PNSecurityPolicy::keyPathsForValuesAffectingValueForKey(std::string_view key) const
{
    if (key == "pinnedPublicKeys")
        return { "pinnedCertificates" };
    return dv::Observable::keyPathsForValuesAffectingValueForKey(key);
}

void PNSecurityPolicy::encodeWithCoder(NSCoder& coder) const
{
    coder.encodeObject(NSNumber::numberWithUnsignedInteger(m_SSLPinningMode), "SSLPinningMode"_ns);
    coder.encodeBool(m_allowInvalidCertificates, "allowInvalidCertificates"_ns);
    coder.encodeBool(m_validatesDomainName, "validatesDomainName"_ns);
    coder.encodeObject(m_pinnedCertificates, "pinnedCertificates"_ns);
}

id PNSecurityPolicy::initWithCoder(NSCoder& coder)
{
    init();
    auto mode = coder.decodeObjectOfClass<NSNumber>("SSLPinningMode"_ns);
    m_SSLPinningMode = mode ? mode->unsignedIntegerValue() : PNSSLPinningModeNone;
    m_allowInvalidCertificates = coder.decodeBoolForKey("allowInvalidCertificates"_ns);
    m_validatesDomainName = coder.decodeBoolForKey("validatesDomainName"_ns);
    setPinnedCertificates(dv::as<NSSet>(coder.decodeObjectOfClasses({NSSet::class_(), NSData::class_()}, "pinnedCertificates"_ns)));
    return self<PNSecurityPolicy>();
}

id PNSecurityPolicy::copyWithZone(NSZone*) const
{
    auto copy = std::dynamic_pointer_cast<PNSecurityPolicy>(getClass()->createInstance());
    copy->init();
    copy->m_SSLPinningMode = m_SSLPinningMode;
    copy->m_allowInvalidCertificates = m_allowInvalidCertificates;
    copy->m_validatesDomainName = m_validatesDomainName;
    copy->setPinnedCertificates(dv::copyAs<NSSet>(m_pinnedCertificates));
    return copy;
}
