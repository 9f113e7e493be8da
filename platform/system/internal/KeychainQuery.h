// What a keychain item call asks: the options of its query (the item class, what to return, how
// many, how to compare text) and the attributes that select items or change them, read from the
// call's dictionaries; which stored items a selection matches; and the answer a query gives for
// an item. The item calls (SecItem.cpp) open the database and store; nothing here touches it.
// Plain functions of their arguments; any thread.
#pragma once

#include "platform/system/Security.h"
#include "platform/system/internal/KeychainDatabase.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class NSDictionary;

namespace dv::internal::system {

// Thrown-free status plumbing: each step answers a status, errSecSuccess to go on.
struct KeychainStatus {
    OSStatus code = errSecSuccess;
    explicit operator bool() const { return code == errSecSuccess; }
};

// Which dictionary the attributes come from: a query may ask for any synchronizable state, an
// added item or a change may not.
enum class KeychainUse { Query, Add, Update };

struct KeychainFilter {
    std::optional<std::string> accessGroup, account, service, server, protocol, authenticationType, path, securityDomain;
    std::optional<std::int64_t> port;
    std::optional<bool> synchronizable; // nullopt with syncAny
    bool syncAny = false;
    std::optional<std::vector<std::uint8_t>> generic;
    std::optional<std::string> label, comment, description, accessible;
};

struct KeychainOptions {
    std::string itemClass;
    bool returnData = false;
    bool returnAttributes = false;
    bool returnRef = false;
    std::optional<std::size_t> limit = 1; // nullopt: all
    bool caseInsensitive = false;
    bool noAuthenticationUI = false;
};

KeychainStatus readKeychainOptions(const Ref<NSDictionary>& query, KeychainOptions& o, bool classRequired);
// Reads the attributes of a query or change; an access group the application is not entitled to
// is refused here, after the attributes themselves were found well formed.
KeychainStatus readKeychainFilter(const Ref<NSDictionary>& dict, KeychainFilter& f, KeychainUse use);

// Whether the item is one the filter selects (and one the application may see).
bool matches(const KeychainFilter& f, const KeychainItem& item, bool caseInsensitive);
// Writes the attributes the filter holds into the item.
void apply(const KeychainFilter& v, KeychainItem& item);
// Whether the text is one of the kSecAttrAccessible values.
bool isAccessibilityValue(const std::string& value);
// Whether items of this accessibility can be read only while the device is unlocked.
bool needsUnlockedDevice(const std::string& accessible);
// What a query returns for one item: its attributes (with its data when asked), its data, or nil.
id resultOf(const KeychainItem& item, const KeychainOptions& o);

} // namespace dv::internal::system
