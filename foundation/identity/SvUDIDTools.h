// SvUDIDTools: a small device-identifier store beside DIUUID. It keeps one identifier string in
// one keychain item (a generic password marked "UUID") and makes the identifier from the vendor
// identifier, or on systems older than 7.0 from the hardware address of the first network
// interface. Class methods only; no state in memory. Any thread; each call blocks for the
// keychain. Failures are logged and answered as nil or NO.
//
//   Ref<NSString> udid = SvUDIDTools::UDID();
#pragma once

#include "platform/base/NSObject.h"

// The access group every query that names one uses. Only an application entitled to it can
// store the item.
extern const Ref<NSString> SvUDIDToolsKeychainAccessGroup;

class SvUDIDTools : public NSObject {
    DV_CLASS(SvUDIDTools, NSObject)

    SvUDIDTools() = default;

    // The stored identifier, or a new one stored on first use. nil when none can be made (the
    // hardware address cannot be read); the next call tries again.
    static Ref<NSString> UDID();
    // The hardware address ("getMacAddress") and the vendor identifier as the platform prints it.
    // (The platform's names begin with an underscore, which C++ reserves.)
    static Ref<NSString> UDID_iOS6();
    static Ref<NSString> UDID_iOS7();
    // "AA:BB:CC:DD:EE:FF", or nil when it cannot be read (the failure is logged).
    static Ref<NSString> getMacAddress();

    static Ref<NSString> getUDIDFromKeyChain();
    // Adds the item, or updates the one there; answers whether the keychain took the value.
    static bool settUDIDToKeyChain(const Ref<NSString>& udid);
    static bool removeUDIDFromKeyChain();
    static bool updateUDIDInKeyChain(const Ref<NSString>& udid);
};
