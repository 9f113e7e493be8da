#include "platform/net/internal/X509Backend.h"

#include "platform/base/Mutex.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <list>
#include <cstdlib>
#include <memory>
#include <vector>

namespace dv::internal::net {

namespace {

struct X509Free {
    void operator()(X509* c) const { X509_free(c); }
};
using X509Ptr = std::unique_ptr<X509, X509Free>;

X509Ptr parseNew(const DerBytes& der)
{
    const unsigned char* p = der.data();
    X509* cert = d2i_X509(nullptr, &p, static_cast<long>(der.size()));
    if (cert && p != der.data() + der.size()) {
        X509_free(cert);
        return nullptr;
    }
    return X509Ptr(cert);
}

// Certificates parsed lately, by their bytes. Parsing one (its public key above all) costs far
// more than anything done with it afterwards, and the same few chains come again and again: a
// server's at every connection, a pinned set at every evaluation. Parsed certificates are
// reference counted and safe to share between threads.
class ParsedCertificates {
public:
    X509Ptr find(const DerBytes& der)
    {
        dv::MutexLocker lock(m_mutex);
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            if (it->first == der) {
                m_entries.splice(m_entries.begin(), m_entries, it);
                X509_up_ref(it->second.get());
                return X509Ptr(it->second.get());
            }
        }
        return nullptr;
    }
    void keep(const DerBytes& der, X509* certificate)
    {
        X509_up_ref(certificate);
        dv::MutexLocker lock(m_mutex);
        m_entries.emplace_front(der, X509Ptr(certificate));
        if (m_entries.size() > kCapacity)
            m_entries.pop_back();
    }

private:
    static constexpr std::size_t kCapacity = 32;
    dv::Mutex m_mutex;
    std::list<std::pair<DerBytes, X509Ptr>> m_entries DV_GUARDED_BY(m_mutex); // most recent first
};

X509Ptr parse(const DerBytes& der)
{
    static ParsedCertificates* const cache = new ParsedCertificates; // kept for the process
    if (auto known = cache->find(der))
        return known;
    auto parsed = parseNew(der);
    if (parsed)
        cache->keep(der, parsed.get());
    return parsed;
}

DerBytes encode(X509* cert)
{
    int length = i2d_X509(cert, nullptr);
    if (length <= 0)
        return {};
    DerBytes der(static_cast<size_t>(length));
    unsigned char* out = der.data();
    i2d_X509(cert, &out);
    return der;
}

bool isIPAddress(const std::string& host)
{
    unsigned char buffer[16];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 || inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

// The certificates the system store holds (its bundle, read once) into `store`, and the system's
// folder of roots for any other, looked up when needed as the system store does.
void addSystemRoots(X509_STORE* store, X509_STORE* system)
{
    std::vector<X509*> roots;
    X509_STORE_lock(system);
    STACK_OF(X509_OBJECT)* objects = X509_STORE_get0_objects(system);
    for (int i = 0; i < sk_X509_OBJECT_num(objects); ++i) {
        if (X509* certificate = X509_OBJECT_get0_X509(sk_X509_OBJECT_value(objects, i))) {
            X509_up_ref(certificate);
            roots.push_back(certificate);
        }
    }
    X509_STORE_unlock(system);
    for (X509* certificate : roots) {
        X509_STORE_add_cert(store, certificate);
        X509_free(certificate);
    }
    if (X509_LOOKUP* folder = X509_STORE_add_lookup(store, X509_LOOKUP_hash_dir()))
        X509_LOOKUP_add_dir(folder, X509_get_default_cert_dir(), X509_FILETYPE_PEM);
}

// The system's bundle of roots and its folder of roots by hash, where the environment
// (SSL_CERT_FILE, SSL_CERT_DIR) or the library's defaults put them. Not the library's own
// "default paths": they add a store loader that lists the whole folder for every issuer it
// looks for, which made each chain that ends outside the system roots read the folder anew.
void loadSystemRoots(X509_STORE* store)
{
    const char* file = std::getenv(X509_get_default_cert_file_env());
    X509_STORE_load_file(store, file ? file : X509_get_default_cert_file());
    const char* folder = std::getenv(X509_get_default_cert_dir_env());
    if (X509_LOOKUP* lookup = X509_STORE_add_lookup(store, X509_LOOKUP_hash_dir()))
        X509_LOOKUP_add_dir(lookup, folder ? folder : X509_get_default_cert_dir(), X509_FILETYPE_PEM);
    // A missing bundle or folder is no error: there are simply fewer roots.
    ERR_clear_error();
}

} // namespace

bool isCertificate(const DerBytes& der)
{
    return !der.empty() && parse(der) != nullptr;
}

std::optional<DerBytes> certificatePublicKey(const DerBytes& der)
{
    auto cert = parse(der);
    if (!cert)
        return std::nullopt;
    X509_PUBKEY* key = X509_get_X509_PUBKEY(cert.get());
    int length = i2d_X509_PUBKEY(key, nullptr);
    if (length <= 0)
        return std::nullopt;
    DerBytes out(static_cast<size_t>(length));
    unsigned char* p = out.data();
    i2d_X509_PUBKEY(key, &p);
    return out;
}

std::string certificateSubjectSummary(const DerBytes& der)
{
    auto cert = parse(der);
    if (!cert)
        return {};
    X509_NAME* name = X509_get_subject_name(cert.get());
    char buffer[512];
    if (X509_NAME_get_text_by_NID(name, NID_commonName, buffer, sizeof(buffer)) > 0)
        return buffer;
    char* line = X509_NAME_oneline(name, nullptr, 0);
    std::string out = line ? line : "";
    OPENSSL_free(line);
    return out;
}

bool certificateIsSignedBy(const DerBytes& certificate, const DerBytes& issuer)
{
    auto signedCertificate = parse(certificate);
    auto signer = parse(issuer);
    if (!signedCertificate || !signer)
        return false;
    bool signedBy = false;
    if (X509_NAME_cmp(X509_get_issuer_name(signedCertificate.get()), X509_get_subject_name(signer.get())) == 0) {
        if (EVP_PKEY* key = X509_get0_pubkey(signer.get()))
            signedBy = X509_verify(signedCertificate.get(), key) == 1;
    }
    ERR_clear_error();
    return signedBy;
}

ChainVerification verifyChain(const std::vector<DerBytes>& certificates, const VerifyOptions& options)
{
    ChainVerification result;
    result.chain = certificates;
    result.failure = ChainVerification::Failure::Untrusted;
    if (certificates.empty()) {
        result.reason = "no certificates";
        return result;
    }
    auto leaf = parse(certificates.front());
    if (!leaf) {
        result.reason = "not a certificate";
        return result;
    }
    std::vector<X509Ptr> extra;
    STACK_OF(X509)* untrusted = sk_X509_new_null();
    for (size_t i = 1; i < certificates.size(); ++i) {
        if (auto c = parse(certificates[i])) {
            sk_X509_push(untrusted, c.get());
            extra.push_back(std::move(c));
        }
    }

    // The system roots are read once and shared; a store with anchors is made per evaluation,
    // and takes the roots already read rather than reading the system's bundle again.
    static X509_STORE* systemStore = [] {
        X509_STORE* s = X509_STORE_new();
        loadSystemRoots(s);
        return s;
    }();
    X509_STORE* store = nullptr;
    if (!options.anchors) {
        store = systemStore;
        X509_STORE_up_ref(store);
    } else {
        store = X509_STORE_new();
        if (options.alsoSystemRoots)
            addSystemRoots(store, systemStore);
    }
    if (options.anchors) {
        for (auto& der : *options.anchors) {
            if (auto c = parse(der))
                X509_STORE_add_cert(store, c.get());
        }
    }

    X509_STORE_CTX* ctx = X509_STORE_CTX_new();
    X509_STORE_CTX_init(ctx, store, leaf.get(), untrusted);
    X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(ctx);
    // An anchor that is itself an intermediate (a pinned authority) ends the chain there.
    X509_VERIFY_PARAM_set_flags(param, X509_V_FLAG_PARTIAL_CHAIN);
    if (options.sslServer)
        X509_STORE_CTX_set_purpose(ctx, X509_PURPOSE_SSL_SERVER);
    if (options.host) {
        if (isIPAddress(*options.host))
            X509_VERIFY_PARAM_set1_ip_asc(param, options.host->c_str());
        else
            X509_VERIFY_PARAM_set1_host(param, options.host->c_str(), options.host->size());
    }
    int ok = X509_verify_cert(ctx);
    result.trusted = ok == 1;
    if (result.trusted) {
        result.failure = ChainVerification::Failure::None;
    } else {
        // OpenSSL reports the first fault it meets, and it checks dates only on a chain that
        // otherwise holds (built to an anchor, right purpose and host).
        int error = X509_STORE_CTX_get_error(ctx);
        result.reason = X509_verify_cert_error_string(error);
        if (error == X509_V_ERR_CERT_HAS_EXPIRED)
            result.failure = ChainVerification::Failure::Expired;
        else if (error == X509_V_ERR_CERT_NOT_YET_VALID)
            result.failure = ChainVerification::Failure::NotYetValid;
    }
    if (STACK_OF(X509)* built = X509_STORE_CTX_get0_chain(ctx); built && sk_X509_num(built) > 0 && result.trusted) {
        result.chain.clear();
        for (int i = 0; i < sk_X509_num(built); ++i)
            result.chain.push_back(encode(sk_X509_value(built, i)));
    }
    X509_STORE_CTX_free(ctx);
    X509_STORE_free(store);
    sk_X509_free(untrusted);
    ERR_clear_error();
    return result;
}

} // namespace dv::internal::net
