#include "platform/testing/TestCertificates.h"

#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <atomic>
#include <cassert>
#include <memory>
#include <stdexcept>

namespace dv::testing {

namespace {

struct KeyDeleter {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct CertDeleter {
    void operator()(X509* c) const { X509_free(c); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyDeleter>;
using Cert = std::unique_ptr<X509, CertDeleter>;

Key makeKey()
{
    EVP_PKEY* key = EVP_EC_gen("P-256");
    if (!key)
        throw std::runtime_error("key generation failed");
    return Key(key);
}

void addExtension(X509* cert, X509* issuer, int nid, const char* value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (!ext)
        throw std::runtime_error("bad certificate extension");
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
}

struct CertificateRequest {
    const char* commonName;
    bool authority = false;
    const char* altNames = nullptr;
    long notBeforeDays = -1;
    long notAfterDays = 365;
};

Cert makeCertificate(const CertificateRequest& request, EVP_PKEY* key, X509* issuer, EVP_PKEY* issuerKey)
{
    static std::atomic<long> serial { 1000 };
    Cert cert(X509_new());
    X509* c = cert.get();
    X509_set_version(c, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(c), serial++);
    X509_gmtime_adj(X509_getm_notBefore(c), request.notBeforeDays * 24 * 3600);
    X509_gmtime_adj(X509_getm_notAfter(c), request.notAfterDays * 24 * 3600);
    X509_set_pubkey(c, key);
    X509_NAME* name = X509_get_subject_name(c);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Dovrelta Test"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(request.commonName), -1, -1, 0);
    X509* signer = issuer ? issuer : c;
    X509_set_issuer_name(c, X509_get_subject_name(signer));
    if (request.authority) {
        addExtension(c, signer, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(c, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        addExtension(c, signer, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(c, signer, NID_key_usage, "critical,digitalSignature,keyEncipherment");
        addExtension(c, signer, NID_ext_key_usage, "serverAuth");
    }
    addExtension(c, signer, NID_subject_key_identifier, "hash");
    if (issuer)
        addExtension(c, signer, NID_authority_key_identifier, "keyid:always");
    if (request.altNames)
        addExtension(c, signer, NID_subject_alt_name, request.altNames);
    if (!X509_sign(c, issuerKey ? issuerKey : key, EVP_sha256()))
        throw std::runtime_error("signing failed");
    return cert;
}

TestCertificate describe(X509* cert, EVP_PKEY* key)
{
    TestCertificate out;
    int length = i2d_X509(cert, nullptr);
    out.der.resize(static_cast<size_t>(length));
    unsigned char* p = out.der.data();
    i2d_X509(cert, &p);

    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, cert);
    char* data = nullptr;
    long size = BIO_get_mem_data(bio, &data);
    out.pem.assign(data, static_cast<size_t>(size));
    BIO_free(bio);

    bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
    size = BIO_get_mem_data(bio, &data);
    out.keyPem.assign(data, static_cast<size_t>(size));
    BIO_free(bio);

    length = i2d_PUBKEY(key, nullptr);
    out.publicKeyDer.resize(static_cast<size_t>(length));
    p = out.publicKeyDer.data();
    i2d_PUBKEY(key, &p);
    return out;
}

} // namespace

const TestCertificates& TestCertificates::shared()
{
    static const TestCertificates* certificates = new TestCertificates();
    return *certificates;
}

TestCertificates::TestCertificates()
{
    Key rootKey = makeKey();
    Cert rootCert = makeCertificate({ .commonName = "Dovrelta Test Root", .authority = true, .notAfterDays = 3650 }, rootKey.get(), nullptr, nullptr);
    root = describe(rootCert.get(), rootKey.get());

    Key intermediateKey = makeKey();
    Cert intermediateCert = makeCertificate({ .commonName = "Dovrelta Test Intermediate", .authority = true, .notAfterDays = 3650 },
        intermediateKey.get(), rootCert.get(), rootKey.get());
    intermediate = describe(intermediateCert.get(), intermediateKey.get());

    Key leafKey = makeKey();
    Cert leafCert = makeCertificate({ .commonName = "127.0.0.1", .altNames = "IP:127.0.0.1,DNS:localhost" },
        leafKey.get(), intermediateCert.get(), intermediateKey.get());
    leaf = describe(leafCert.get(), leafKey.get());

    Key otherKey = makeKey();
    Cert otherCert = makeCertificate({ .commonName = "other.invalid", .altNames = "DNS:other.invalid" },
        otherKey.get(), intermediateCert.get(), intermediateKey.get());
    otherHost = describe(otherCert.get(), otherKey.get());

    Key rogueKey = makeKey();
    Cert rogueCert = makeCertificate({ .commonName = "127.0.0.1", .altNames = "IP:127.0.0.1,DNS:localhost" },
        rogueKey.get(), nullptr, nullptr);
    rogue = describe(rogueCert.get(), rogueKey.get());

    Key expiredKey = makeKey();
    Cert expiredCert = makeCertificate({ .commonName = "127.0.0.1", .altNames = "IP:127.0.0.1,DNS:localhost", .notBeforeDays = -30, .notAfterDays = -1 },
        expiredKey.get(), intermediateCert.get(), intermediateKey.get());
    expired = describe(expiredCert.get(), expiredKey.get());

    // The same key serves a certificate whose validity starts next month.
    Cert futureCert = makeCertificate({ .commonName = "127.0.0.1", .altNames = "IP:127.0.0.1,DNS:localhost", .notBeforeDays = 30, .notAfterDays = 60 },
        expiredKey.get(), intermediateCert.get(), intermediateKey.get());
    notYetValid = describe(futureCert.get(), expiredKey.get());
}

} // namespace dv::testing
