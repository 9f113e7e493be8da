// Certificate work for the security stand-ins, over OpenSSL: parsing DER, public keys, subject
// summaries and chain verification against the system roots or given anchors, with an optional
// host (name or IP address) check for TLS servers. Plain bytes in and out; no objects of ours.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dv::internal::net {

using DerBytes = std::vector<std::uint8_t>;

bool isCertificate(const DerBytes& der);
// SubjectPublicKeyInfo of the certificate's key, DER; nullopt when the certificate cannot be read.
std::optional<DerBytes> certificatePublicKey(const DerBytes& der);
// The subject's common name, else the whole subject in one line.
std::string certificateSubjectSummary(const DerBytes& der);
// Whether `issuer` issued and signed `certificate`: the issuer's subject names the certificate's
// issuer and the issuer's public key verifies its signature. Dates and purposes are not looked at.
bool certificateIsSignedBy(const DerBytes& certificate, const DerBytes& issuer);

struct ChainVerification {
    bool trusted = false;
    // Why not: a certificate of an otherwise good chain outside its validity, or anything else.
    enum class Failure { None, Untrusted, Expired, NotYetValid } failure = Failure::None;
    std::string reason;          // OpenSSL's text when not trusted
    std::vector<DerBytes> chain; // the built chain leaf first (the presented certificates when none was built)
};

struct VerifyOptions {
    const std::vector<DerBytes>* anchors = nullptr; // nullptr: the system's roots
    bool alsoSystemRoots = false;                   // with anchors: the system roots as well
    std::optional<std::string> host;                // TLS server name or IP literal to match
    bool sslServer = false;                         // require the server-authentication purpose
};

// `certificates` leaf first; the rest may help build the chain.
ChainVerification verifyChain(const std::vector<DerBytes>& certificates, const VerifyOptions& options);

} // namespace dv::internal::net
