#include "foundation/http/internal/CertificateSignatures.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>

namespace dv::internal {

namespace {

struct X509Free {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
using X509Ptr = std::unique_ptr<X509, X509Free>;

X509Ptr parse(const std::vector<std::uint8_t>& der)
{
    if (der.empty())
        return nullptr;
    const unsigned char* cursor = der.data();
    X509Ptr certificate(d2i_X509(nullptr, &cursor, static_cast<long>(der.size())));
    if (certificate && cursor != der.data() + der.size())
        return nullptr;
    return certificate;
}

} // namespace

bool certificateIsSignedBy(const std::vector<std::uint8_t>& certificateDER, const std::vector<std::uint8_t>& issuerDER)
{
    auto certificate = parse(certificateDER);
    auto issuer = parse(issuerDER);
    if (!certificate || !issuer)
        return false;
    bool signedBy = false;
    if (X509_NAME_cmp(X509_get_issuer_name(certificate.get()), X509_get_subject_name(issuer.get())) == 0) {
        if (EVP_PKEY* key = X509_get0_pubkey(issuer.get()))
            signedBy = X509_verify(certificate.get(), key) == 1;
    }
    ERR_clear_error();
    return signedBy;
}

} // namespace dv::internal
