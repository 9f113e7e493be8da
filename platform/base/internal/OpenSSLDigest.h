// The OpenSSL side of Digest.h: one-shot digests through the EVP interface.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dv::internal::base {

enum class DigestKind { MD5, SHA1 };

// Writes the digest to `out` (16 or 20 bytes); false only when OpenSSL fails.
bool computeDigest(DigestKind kind, const void* bytes, std::size_t length, std::uint8_t* out);

} // namespace dv::internal::base
