// DER certificates from a server or a file: one or more certificates back to back (each a DER
// SEQUENCE), read, summarised and evaluated as a chain with each trust policy, anchored at the
// last one and against the system roots. Nothing crashes, and an evaluation that fails says why.
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSString.h"
#include "platform/net/SecCertificate.h"
#include "platform/net/SecKey.h"
#include "platform/net/SecPolicy.h"
#include "platform/net/SecTrust.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// The length of the DER element at the start of `bytes` (tag, length, contents); 0 when the
// header cannot be read.
std::size_t elementLength(const std::uint8_t* bytes, std::size_t size)
{
    if (size < 2)
        return 0;
    std::size_t length = bytes[1];
    std::size_t header = 2;
    if (length & 0x80) {
        std::size_t count = length & 0x7f;
        if (count == 0 || count > 4 || size < 2 + count)
            return 0;
        length = 0;
        for (std::size_t i = 0; i < count; ++i)
            length = (length << 8) | bytes[2 + i];
        header += count;
    }
    return header + length <= size ? header + length : 0;
}

void evaluate(const Ref<SecTrust>& trust)
{
    SecTrustResultType result = kSecTrustResultInvalid;
    if (SecTrustEvaluate(trust, &result) != errSecSuccess)
        std::abort();
    bool trusted = result == kSecTrustResultUnspecified || result == kSecTrustResultProceed;
    if (trusted != (trust->failure() == SecTrust::Failure::None) || (!trusted && trust->failureReason().empty()))
        std::abort();
    for (CFIndex i = 0; i < SecTrustGetCertificateCount(trust); ++i)
        (void)SecCertificateCopySubjectSummary(SecTrustGetCertificateAtIndex(trust, i));
    if (auto key = SecTrustCopyPublicKey(trust))
        (void)SecKeyCopyExternalRepresentation(key);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto certificates = NSMutableArray::array();
    std::size_t offset = 0;
    while (offset < size && certificates->count() < 8) {
        std::size_t length = elementLength(data + offset, size - offset);
        if (length == 0)
            length = size - offset;
        auto bytes = NSData::dataWithBytes(data + offset, length);
        offset += length;
        auto certificate = SecCertificateCreateWithData(nil, bytes);
        if (!certificate)
            continue;
        if (!SecCertificateCopyData(certificate)->isEqualToData(bytes))
            std::abort();
        (void)SecCertificateCopySubjectSummary(certificate);
        certificates->addObject(certificate);
    }
    if (certificates->count() == 0)
        return 0;
    for (const id& policy : { id(SecPolicyCreateSSL(true, "127.0.0.1"_ns)), id(SecPolicyCreateSSL(true, "localhost"_ns)),
                              id(SecPolicyCreateSSL(false, nil)), id(SecPolicyCreateBasicX509()) }) {
        Ref<SecTrust> trust;
        if (SecTrustCreateWithCertificates(certificates, policy, &trust) != errSecSuccess || !trust)
            std::abort();
        evaluate(trust);
        SecTrustSetAnchorCertificates(trust, NSArray::of({ certificates->lastObject() }));
        evaluate(trust);
        SecTrustSetAnchorCertificatesOnly(trust, false);
        evaluate(trust);
    }
    return 0;
}
