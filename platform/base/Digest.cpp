#include "platform/base/Digest.h"

#include "platform/base/Check.h"
#include "platform/base/NSData.h"
#include "platform/base/internal/OpenSSLDigest.h"


namespace dv {

std::array<std::uint8_t, 16> md5(std::span<const std::uint8_t> bytes)
{
    std::array<std::uint8_t, 16> out {};
    // OpenSSL fails only without memory or without its algorithms; a zeroed digest would pass for
    // a real one (a cache key, a signature), so the process stops instead.
    DV_CHECK_MSG(internal::base::computeDigest(internal::base::DigestKind::MD5, bytes.data(), bytes.size(), out.data()), "MD5 digest");
    return out;
}

std::array<std::uint8_t, 20> sha1(std::span<const std::uint8_t> bytes)
{
    std::array<std::uint8_t, 20> out {};
    DV_CHECK_MSG(internal::base::computeDigest(internal::base::DigestKind::SHA1, bytes.data(), bytes.size(), out.data()), "SHA-1 digest");
    return out;
}

std::string hexString(std::span<const std::uint8_t> bytes)
{
    static const char* hex = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (auto b : bytes) {
        out.push_back(hex[b >> 4]);
        out.push_back(hex[b & 15]);
    }
    return out;
}

static std::span<const std::uint8_t> asBytes(std::string_view text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string md5Hex(std::string_view bytes) { return hexString(md5(asBytes(bytes))); }
std::string md5Hex(const Ref<NSData>& data) { return md5Hex(data ? data->view() : std::string_view()); }
std::string sha1Hex(std::string_view bytes) { return hexString(sha1(asBytes(bytes))); }
std::string sha1Hex(const Ref<NSData>& data) { return sha1Hex(data ? data->view() : std::string_view()); }

} // namespace dv
