#include "platform/net/SecTrust.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSString.h"
#include "platform/net/SecKey.h"
#include "platform/net/SecPolicy.h"
#include "platform/net/internal/X509Backend.h"

DV_DEFINE_CLASS(SecTrust)

namespace {

template <class T>
std::vector<Ref<T>> objectsOf(const id& value, bool* ok)
{
    std::vector<Ref<T>> out;
    *ok = true;
    if (!value)
        return out;
    if (auto single = dv::as<T>(value)) {
        out.push_back(single);
        return out;
    }
    auto array = dv::as<NSArray>(value);
    if (!array) {
        *ok = false;
        return out;
    }
    for (NSUInteger i = 0; i < array->count(); ++i) {
        auto item = dv::as<T>(array->objectAtIndex(i));
        if (!item) {
            *ok = false;
            return {};
        }
        out.push_back(item);
    }
    return out;
}

SecTrust::Failure failureOf(dv::internal::net::ChainVerification::Failure failure)
{
    using Verified = dv::internal::net::ChainVerification::Failure;
    switch (failure) {
    case Verified::None: return SecTrust::Failure::None;
    case Verified::Expired: return SecTrust::Failure::Expired;
    case Verified::NotYetValid: return SecTrust::Failure::NotYetValid;
    case Verified::Untrusted: break;
    }
    return SecTrust::Failure::Untrusted;
}

} // namespace

Ref<SecTrust> SecTrust::initWithCertificates(std::vector<Ref<SecCertificate>> certificates, std::vector<Ref<SecPolicy>> policies)
{
    m_certificates = std::move(certificates);
    dv::MutexLocker lock(m_mutex);
    m_policies = std::move(policies);
    m_chain = m_certificates;
    return self<SecTrust>();
}

std::vector<Ref<SecCertificate>> SecTrust::presentedCertificates() const
{
    return m_certificates;
}

void SecTrust::setPolicies(std::vector<Ref<SecPolicy>> policies)
{
    dv::MutexLocker lock(m_mutex);
    m_policies = std::move(policies);
    m_result = kSecTrustResultInvalid;
}

std::vector<Ref<SecPolicy>> SecTrust::policies() const
{
    dv::MutexLocker lock(m_mutex);
    return m_policies;
}

void SecTrust::setAnchorCertificates(std::vector<Ref<SecCertificate>> anchors)
{
    dv::MutexLocker lock(m_mutex);
    m_anchors = std::move(anchors);
    m_hasAnchors = true;
    m_anchorsOnly = true;
    m_result = kSecTrustResultInvalid;
}

void SecTrust::setAnchorCertificatesOnly(bool only)
{
    dv::MutexLocker lock(m_mutex);
    m_anchorsOnly = only;
    m_result = kSecTrustResultInvalid;
}

SecTrustResultType SecTrust::evaluate()
{
    dv::MutexLocker lock(m_mutex);
    std::vector<dv::internal::net::DerBytes> presented;
    for (auto& cert : m_certificates)
        presented.push_back(cert->der());
    std::vector<dv::internal::net::DerBytes> anchors;
    for (auto& cert : m_anchors)
        anchors.push_back(cert->der());

    // Every policy must pass; the chain of the last evaluation is kept.
    bool trusted = !presented.empty();
    std::string reason = presented.empty() ? "no certificates" : "";
    auto failure = presented.empty() ? Failure::Untrusted : Failure::None;
    std::vector<dv::internal::net::DerBytes> chain = presented;
    auto policies = m_policies.empty() ? std::vector<Ref<SecPolicy>> { SecPolicyCreateBasicX509() } : m_policies;
    for (auto& policy : policies) {
        if (!trusted)
            break;
        dv::internal::net::VerifyOptions options;
        if (m_hasAnchors) {
            options.anchors = &anchors;
            options.alsoSystemRoots = !m_anchorsOnly;
        }
        if (policy->kind() == SecPolicy::Kind::SSL) {
            options.sslServer = policy->isServer();
            if (policy->hostname())
                options.host = policy->hostname()->utf8();
        }
        auto verified = dv::internal::net::verifyChain(presented, options);
        trusted = verified.trusted;
        reason = verified.reason;
        chain = verified.chain;
        failure = failureOf(verified.failure);
    }
    m_chain.clear();
    for (auto& der : chain) {
        bool known = false;
        for (auto& cert : m_certificates) {
            if (cert->der() == der) {
                m_chain.push_back(cert);
                known = true;
                break;
            }
        }
        if (!known)
            m_chain.push_back(alloc<SecCertificate>()->initWithDER(der));
    }
    m_reason = reason;
    m_failure = failure;
    m_result = trusted ? kSecTrustResultUnspecified : kSecTrustResultRecoverableTrustFailure;
    return m_result;
}

std::vector<Ref<SecCertificate>> SecTrust::chain() const
{
    dv::MutexLocker lock(m_mutex);
    return m_chain;
}

std::string SecTrust::failureReason() const
{
    dv::MutexLocker lock(m_mutex);
    return m_reason;
}

SecTrust::Failure SecTrust::failure() const
{
    dv::MutexLocker lock(m_mutex);
    return m_failure;
}

Ref<NSString> SecTrust::description() const
{
    return NSString::stringWithFormat("<SecTrust %p: %lu certificates>", this, static_cast<unsigned long>(m_certificates.size()));
}

OSStatus SecTrustCreateWithCertificates(const id& certificates, const id& policies, Ref<SecTrust>* trust)
{
    if (!trust)
        return errSecParam;
    *trust = nullptr;
    bool ok = false;
    auto certs = objectsOf<SecCertificate>(certificates, &ok);
    if (!ok || certs.empty())
        return errSecParam;
    auto list = objectsOf<SecPolicy>(policies, &ok);
    if (!ok)
        return errSecParam;
    *trust = alloc<SecTrust>()->initWithCertificates(std::move(certs), std::move(list));
    return errSecSuccess;
}

OSStatus SecTrustSetPolicies(const Ref<SecTrust>& trust, const id& policies)
{
    bool ok = false;
    auto list = objectsOf<SecPolicy>(policies, &ok);
    if (!trust || !ok)
        return errSecParam;
    trust->setPolicies(std::move(list));
    return errSecSuccess;
}

OSStatus SecTrustSetAnchorCertificates(const Ref<SecTrust>& trust, const Ref<NSArray>& anchorCertificates)
{
    bool ok = false;
    auto list = objectsOf<SecCertificate>(anchorCertificates, &ok);
    if (!trust || !ok)
        return errSecParam;
    trust->setAnchorCertificates(std::move(list));
    return errSecSuccess;
}

OSStatus SecTrustSetAnchorCertificatesOnly(const Ref<SecTrust>& trust, bool anchorCertificatesOnly)
{
    if (!trust)
        return errSecParam;
    trust->setAnchorCertificatesOnly(anchorCertificatesOnly);
    return errSecSuccess;
}

OSStatus SecTrustEvaluate(const Ref<SecTrust>& trust, SecTrustResultType* result)
{
    if (!trust)
        return errSecParam;
    auto r = trust->evaluate();
    if (result)
        *result = r;
    return errSecSuccess;
}

bool SecTrustEvaluateWithError(const Ref<SecTrust>& trust, Ref<NSError>* error)
{
    if (!trust)
        return false;
    auto r = trust->evaluate();
    bool ok = r == kSecTrustResultUnspecified || r == kSecTrustResultProceed;
    if (!ok && error) {
        auto info = NSDictionary::of({ { NSLocalizedDescriptionKey, NSString::fromUTF8(trust->failureReason()) } });
        *error = NSError::errorWithDomain(NSOSStatusErrorDomain, -67843, info);
    }
    return ok;
}

CFIndex SecTrustGetCertificateCount(const Ref<SecTrust>& trust)
{
    return trust ? static_cast<CFIndex>(trust->chain().size()) : 0;
}

Ref<SecCertificate> SecTrustGetCertificateAtIndex(const Ref<SecTrust>& trust, CFIndex index)
{
    if (!trust || index < 0)
        return nullptr;
    auto chain = trust->chain();
    return static_cast<size_t>(index) < chain.size() ? chain[static_cast<size_t>(index)] : nullptr;
}

Ref<SecKey> SecTrustCopyPublicKey(const Ref<SecTrust>& trust)
{
    if (!trust)
        return nullptr;
    auto certs = trust->presentedCertificates();
    if (certs.empty())
        return nullptr;
    auto key = dv::internal::net::certificatePublicKey(certs.front()->der());
    return key ? alloc<SecKey>()->initWithDER(std::move(*key)) : nullptr;
}
