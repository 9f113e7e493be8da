#include "foundation/identity/SvUDIDTools.h"

#include "foundation/identity/internal/HardwareAddress.h"
#include "foundation/identity/internal/Platform.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSUUID.h"
#include "platform/system/Security.h"

DV_DEFINE_CLASS(SvUDIDTools)

const Ref<NSString> SvUDIDToolsKeychainAccessGroup = "YOURAPPID.com.velmarquest.dovrelta"_ns;

namespace {

const Ref<NSString> kMarker = "UUID"_ns;

Ref<NSData> markerBytes() { return NSData::fromString("UUID"); }
Ref<NSNumber> yes() { return NSNumber::numberWithBool(true); }
long status(OSStatus code) { return static_cast<long>(code); }

} // namespace

Ref<NSString> SvUDIDTools::UDID()
{
    if (auto stored = getUDIDFromKeyChain())
        return stored;
    Ref<NSString> udid;
    const double version = dv::internal::identity::systemVersion() ? dv::internal::identity::systemVersion()->doubleValue() : 0.0;
    if (version >= 7.0)
        udid = UDID_iOS7();
    else if (version >= 2.0)
        udid = UDID_iOS6();
    if (udid)
        settUDIDToKeyChain(udid);
    return udid;
}

Ref<NSString> SvUDIDTools::UDID_iOS6()
{
    return getMacAddress();
}

Ref<NSString> SvUDIDTools::UDID_iOS7()
{
    auto vendor = dv::internal::identity::identifierForVendor();
    return vendor ? vendor->UUIDString() : nil;
}

Ref<NSString> SvUDIDTools::getMacAddress()
{
    auto result = dv::internal::identity::HardwareAddress::read();
    if (!result.address) {
        // The failure is not an identifier: answer nil so that nothing is stored for good.
        NSLog("%s", result.failure);
        return nil;
    }
    const auto& a = *result.address;
    auto text = NSString::stringWithFormat("%02X:%02X:%02X:%02X:%02X:%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
    NSLog("Mac Address: %@", text);
    return text;
}

Ref<NSString> SvUDIDTools::getUDIDFromKeyChain()
{
    auto query = NSDictionary::of({
        { kSecClass, kSecClassGenericPassword },
        { kSecAttrDescription, kMarker },
        { kSecAttrGeneric, markerBytes() },
        { kSecAttrAccessGroup, SvUDIDToolsKeychainAccessGroup },
        { kSecMatchCaseInsensitive, yes() },
        { kSecMatchLimit, kSecMatchLimitOne },
        { kSecReturnData, yes() },
    });
    id result;
    OSStatus code = SecItemCopyMatching(query, &result);
    if (code == errSecItemNotFound) {
        NSLog("KeyChain Item: %@ not found!!!", kMarker);
        return nil;
    }
    if (code != errSecSuccess) {
        NSLog("KeyChain Item query Error!!! Error code:%ld", status(code));
        return nil;
    }
    auto data = dv::as<NSData>(result);
    NSLog("KeyChain Item: %@", data);
    if (!data)
        return nil;
    return alloc<NSString>()->initWithData(data, NSUTF8StringEncoding);
}

bool SvUDIDTools::settUDIDToKeyChain(const Ref<NSString>& udid)
{
    if (!udid)
        return false;
    auto bytes = udid->dataUsingEncoding(NSUTF8StringEncoding);
    auto item = NSDictionary::of({
        { kSecClass, kSecClassGenericPassword },
        { kSecAttrDescription, kMarker },
        { kSecAttrGeneric, kMarker },
        { kSecAttrAccount, ""_ns },
        { kSecAttrLabel, ""_ns },
        { kSecAttrAccessGroup, SvUDIDToolsKeychainAccessGroup },
        { kSecValueData, bytes },
    });
    if (getUDIDFromKeyChain())
        return updateUDIDInKeyChain(udid);
    OSStatus code = SecItemAdd(item, nullptr);
    if (code != errSecSuccess) {
        NSLog("Add KeyChain Item Error!!! Error Code:%ld", status(code));
        return false;
    }
    NSLog("Add KeyChain Item Success!!!");
    return true;
}

bool SvUDIDTools::removeUDIDFromKeyChain()
{
    auto query = NSDictionary::of({ { kSecClass, kSecClassGenericPassword }, { kSecAttrGeneric, markerBytes() } });
    OSStatus code = SecItemDelete(query);
    if (code != errSecSuccess) {
        NSLog("delete UUID from KeyChain Error!!! Error code:%ld", status(code));
        return false;
    }
    NSLog("delete success!!!");
    return true;
}

bool SvUDIDTools::updateUDIDInKeyChain(const Ref<NSString>& udid)
{
    if (!udid)
        return false;
    auto lookup = NSDictionary::of({
        { kSecClass, kSecClassGenericPassword },
        { kSecAttrGeneric, markerBytes() },
        { kSecMatchCaseInsensitive, yes() },
        { kSecMatchLimit, kSecMatchLimitOne },
        { kSecReturnAttributes, yes() },
    });
    id found;
    if (SecItemCopyMatching(lookup, &found) != errSecSuccess || !dv::as<NSDictionary>(found))
        return false;
    auto match = dv::as<NSMutableDictionary>(found->mutableCopy());
    match->setObjectForKey(kSecClassGenericPassword, kSecClass);
    auto changes = NSDictionary::of({
        { kSecAttrDescription, kMarker },
        { kSecAttrGeneric, markerBytes() },
        { kSecValueData, udid->dataUsingEncoding(NSUTF8StringEncoding) },
    });
    OSStatus code = SecItemUpdate(match, changes);
    if (code != errSecSuccess) {
        NSLog("Update KeyChain Item Error!!! Error Code:%ld", status(code));
        return false;
    }
    NSLog("Update KeyChain Item Success!!!");
    return true;
}
