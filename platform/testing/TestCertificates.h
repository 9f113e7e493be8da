// Certificates for loopback TLS tests, made fresh at test time with OpenSSL: a root authority, an
// intermediate authority it signed, a server certificate for 127.0.0.1 and localhost signed by the
// intermediate, a server certificate for another host name from the same intermediate, and a
// rogue self-signed server certificate for the same names that no authority vouches for, and
// server certificates for 127.0.0.1 from the intermediate that have expired or are not yet valid.
//
// One set is made per process on first use (key generation is the slow part) and shared.
//
//   auto& certs = dv::testing::TestCertificates::shared();
//   LoopbackServer server(LoopbackServer::Scheme::Https, certs.leaf, {certs.intermediate});
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dv::testing {

struct TestCertificate {
    std::vector<std::uint8_t> der;
    std::string pem;
    std::string keyPem; // the private key, PEM (PKCS#8)
    std::vector<std::uint8_t> publicKeyDer; // SubjectPublicKeyInfo
};

class TestCertificates {
public:
    static const TestCertificates& shared();

    TestCertificate root;
    TestCertificate intermediate;
    TestCertificate leaf;         // CN/SAN 127.0.0.1 and localhost, issued by intermediate
    TestCertificate otherHost;    // SAN other.invalid only, issued by intermediate
    TestCertificate rogue;        // self-signed, same names as leaf
    TestCertificate expired;      // issued by intermediate for 127.0.0.1, validity in the past
    TestCertificate notYetValid;  // issued by intermediate for 127.0.0.1, validity in the future

private:
    TestCertificates();
};

} // namespace dv::testing
