#include "platform/base/internal/OpenSSLDigest.h"

#include <openssl/evp.h>

namespace dv::internal::base {

bool computeDigest(DigestKind kind, const void* bytes, std::size_t length, std::uint8_t* out)
{
    const EVP_MD* md = kind == DigestKind::MD5 ? EVP_md5() : EVP_sha1();
    unsigned int size = 0;
    static const unsigned char empty = 0;
    return EVP_Digest(length ? bytes : &empty, length, out, &size, md, nullptr) == 1;
}

} // namespace dv::internal::base
