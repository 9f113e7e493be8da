// A keychain database file of arbitrary bytes: every item call answers a status, never crashes.
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/system/Security.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string home = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "dv-fuzz-keychain-XXXXXX").string();
        ::mkdtemp(pattern.data());
        ::setenv("DOVRELTA_HOME", pattern.c_str(), 1);
        std::filesystem::create_directories(pattern + "/device");
        return pattern;
    }();
    const std::string path = dv::KeychainSettings::databasePath();
    std::filesystem::remove(path + "-journal");
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    auto query = NSDictionary::of({ { kSecClass, kSecClassGenericPassword }, { kSecAttrAccount, "a"_ns },
                                    { kSecMatchLimit, kSecMatchLimitAll }, { kSecReturnAttributes, NSNumber::numberWithBool(true) },
                                    { kSecReturnData, NSNumber::numberWithBool(true) } });
    id result;
    OSStatus status = SecItemCopyMatching(query, &result);
    if (status != errSecSuccess && status != errSecItemNotFound && status != errSecInternal)
        std::abort();
    (void)SecItemAdd(NSDictionary::of({ { kSecClass, kSecClassGenericPassword }, { kSecAttrAccount, "a"_ns },
                                        { kSecValueData, NSData::fromString("v") } }), nullptr);
    (void)SecItemDelete(NSDictionary::of({ { kSecClass, kSecClassGenericPassword } }));
    return 0;
}
