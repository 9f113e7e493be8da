// Stand-ins for the platform's security objects that server-trust evaluation needs: a certificate
// holds its DER bytes; equal bytes mean equal certificates. Immutable; shared between threads.
#pragma once

#include "platform/base/NSObject.h"
#include "platform/system/Security.h" // OSStatus and the errSec codes, shared with the keychain

#include <cstdint>
#include <vector>

using CFIndex = NSInteger;

class SecCertificate : public NSObject {
    DV_CLASS(SecCertificate, NSObject)

    SecCertificate() = default;
    Ref<SecCertificate> initWithDER(std::vector<std::uint8_t> der);
    const std::vector<std::uint8_t>& der() const { return m_der; }

    Ref<NSString> description() const override;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;

private:
    std::vector<std::uint8_t> m_der;
};
using SecCertificateRef = Ref<SecCertificate>;

// nil when the data is not one DER-encoded X.509 certificate.
Ref<SecCertificate> SecCertificateCreateWithData(const id& allocator, const Ref<NSData>& data);
Ref<NSData> SecCertificateCopyData(const Ref<SecCertificate>& certificate);
Ref<NSString> SecCertificateCopySubjectSummary(const Ref<SecCertificate>& certificate);

namespace dv {

// Whether `issuer` issued and signed `certificate` (its subject names the certificate's issuer and
// its key verifies the signature); validity dates and purposes are not looked at. For pinning,
// which must tell a chain that links up from certificates merely set side by side.
bool certificateIsSignedBy(const Ref<SecCertificate>& certificate, const Ref<SecCertificate>& issuer);

} // namespace dv
