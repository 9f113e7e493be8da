#include "platform/net/SecCertificate.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSString.h"
#include "platform/net/internal/X509Backend.h"

#include <functional>
#include <string_view>

DV_DEFINE_CLASS(SecCertificate)

Ref<SecCertificate> SecCertificate::initWithDER(std::vector<std::uint8_t> der)
{
    m_der = std::move(der);
    return self<SecCertificate>();
}

Ref<NSString> SecCertificate::description() const
{
    return NSString::stringWithFormat("<cert(%p) s: %@>", this, NSString::fromUTF8(dv::internal::net::certificateSubjectSummary(m_der)));
}

bool SecCertificate::isEqual(const NSObject* other) const
{
    auto* cert = dynamic_cast<const SecCertificate*>(other);
    return cert && cert->m_der == m_der;
}

NSUInteger SecCertificate::hash() const
{
    return std::hash<std::string_view>()(std::string_view(reinterpret_cast<const char*>(m_der.data()), m_der.size()));
}

Ref<SecCertificate> SecCertificateCreateWithData(const id&, const Ref<NSData>& data)
{
    if (!data || !dv::internal::net::isCertificate(data->vector()))
        return nullptr;
    return alloc<SecCertificate>()->initWithDER(data->vector());
}

Ref<NSData> SecCertificateCopyData(const Ref<SecCertificate>& certificate)
{
    return certificate ? NSData::dataWithVector(certificate->der()) : nullptr;
}

Ref<NSString> SecCertificateCopySubjectSummary(const Ref<SecCertificate>& certificate)
{
    return certificate ? NSString::fromUTF8(dv::internal::net::certificateSubjectSummary(certificate->der())) : nullptr;
}

bool dv::certificateIsSignedBy(const Ref<SecCertificate>& certificate, const Ref<SecCertificate>& issuer)
{
    return certificate && issuer && dv::internal::net::certificateIsSignedBy(certificate->der(), issuer->der());
}
