// Whether one certificate was issued and signed by another, checked with OpenSSL: the issuer's
// subject names the certificate's issuer and the issuer's public key verifies its signature.
// Dates and purposes are not looked at.
#pragma once

#include <cstdint>
#include <vector>

namespace dv::internal {

bool certificateIsSignedBy(const std::vector<std::uint8_t>& certificateDER, const std::vector<std::uint8_t>& issuerDER);

} // namespace dv::internal
