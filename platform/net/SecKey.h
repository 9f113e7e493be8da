// A public key taken from a certificate, held as its SubjectPublicKeyInfo DER bytes. Two keys are
// equal when their bytes are, which is how pinned keys are compared.
#pragma once

#include "platform/base/NSObject.h"

#include <cstdint>
#include <vector>

class SecKey : public NSObject {
    DV_CLASS(SecKey, NSObject)

    SecKey() = default;
    Ref<SecKey> initWithDER(std::vector<std::uint8_t> der);
    const std::vector<std::uint8_t>& der() const { return m_der; }

    Ref<NSString> description() const override;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;

private:
    std::vector<std::uint8_t> m_der;
};
using SecKeyRef = Ref<SecKey>;

// The key's DER bytes (SubjectPublicKeyInfo).
Ref<NSData> SecKeyCopyExternalRepresentation(const Ref<SecKey>& key, Ref<NSError>* error = nullptr);
