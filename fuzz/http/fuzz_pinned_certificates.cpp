// Pinned certificate files of any content (one or more DER elements back to back, one .cer file
// each) read from a bundle and used by the security policy in any pinning mode against the
// test authority's chain, a rogue self-signed server and the files' own certificates presented as
// a chain. Nothing crashes, and pins that are not certificates never let a server through.
#include "fuzz/FuzzerDefaults.h"

#include "foundation/http/PNSecurityPolicy.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSString.h"
#include "platform/net/SecCertificate.h"
#include "platform/net/SecTrust.h"
#include "platform/system/NSBundle.h"
#include "platform/testing/TestCertificates.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::size_t elementLength(const std::uint8_t* bytes, std::size_t size)
{
    if (size < 2)
        return 0;
    std::size_t length = bytes[1];
    std::size_t header = 2;
    if (length & 0x80) {
        std::size_t count = length & 0x7f;
        if (count == 0 || count > 4 || size < 2 + count)
            return 0;
        length = 0;
        for (std::size_t i = 0; i < count; ++i)
            length = (length << 8) | bytes[2 + i];
        header += count;
    }
    return header + length <= size ? header + length : 0;
}

Ref<NSArray> chainOf(const std::vector<const dv::testing::TestCertificate*>& certificates)
{
    auto chain = NSMutableArray::array();
    for (auto* certificate : certificates)
        chain->addObject(SecCertificateCreateWithData(nil, NSData::dataWithVector(certificate->der)));
    return chain;
}

} // namespace

// Certificates parsed are kept for a while (the platform's cache of them), so an input's
// allocations and frees differ without any leak: libFuzzer's leak check would rerun most inputs
// and scan the heap, and its default schedule weighs thousands of places after every run. Leaks
// still show when the run ends.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    dv::fuzz::addDefaultFlags(argc, argv, { "-entropic=0", "-detect_leaks=0" });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const fs::path bundle = [] {
        std::string pattern = (fs::temp_directory_path() / "dv-fuzz-pins-XXXXXX").string();
        ::mkdtemp(pattern.data());
        return fs::path(pattern);
    }();
    static const auto& test = dv::testing::TestCertificates::shared();

    for (auto& entry : fs::directory_iterator(bundle))
        fs::remove(entry.path());
    auto own = NSMutableArray::array();
    std::size_t offset = 0;
    for (int file = 0; offset < size && file < 4; ++file) {
        std::size_t length = elementLength(data + offset, size - offset);
        if (length == 0)
            length = size - offset;
        std::ofstream(bundle / ("pin" + std::to_string(file) + ".cer"), std::ios::binary)
            .write(reinterpret_cast<const char*>(data + offset), static_cast<std::streamsize>(length));
        if (auto certificate = SecCertificateCreateWithData(nil, NSData::dataWithBytes(data + offset, length)))
            own->addObject(certificate);
        offset += length;
    }
    auto pinned = PNSecurityPolicy::certificatesInBundle(NSBundle::bundleWithPath(NSString::fromUTF8(bundle.string())));
    const bool anyCertificate = own->count() > 0;

    // The last byte picks the policy's settings, so that each run evaluates a few trusts only.
    const std::uint8_t choice = size ? data[size - 1] : 0;
    const NSUInteger mode = (choice & 3) % 3;
    auto policy = PNSecurityPolicy::policyWithPinningModeWithPinnedCertificates(mode, pinned);
    policy->setAllowInvalidCertificates(choice & 4);
    policy->setValidatesDomainName(choice & 8);
    std::vector<Ref<NSArray>> presented = { chainOf({ &test.leaf, &test.intermediate }), chainOf({ &test.rogue }) };
    if (anyCertificate)
        presented.push_back(own);
    for (auto& chain : presented) {
        Ref<SecTrust> trust;
        if (SecTrustCreateWithCertificates(chain, nil, &trust) != errSecSuccess)
            std::abort();
        bool accepted = policy->evaluateServerTrust(trust, "127.0.0.1"_ns);
        if (accepted && mode != PNSSLPinningModeNone && !anyCertificate)
            std::abort();
    }
    return 0;
}
