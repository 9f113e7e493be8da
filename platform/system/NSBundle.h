// NSBundle: the application's main bundle — its identifier and information dictionary, and the
// resources it ships (images, strings tables) looked up by name and type. The resources folder is
// found, in this order: $DOVRELTA_RESOURCES; "resources" next to the running binary or in
// ../share/dovrelta beside it (an installed application); the source tree's resources/ folder (a
// build tree). The information dictionary is resources/Info.plist over built-in defaults.
// Immutable after creation, so any thread may use it.
//
//   auto path = NSBundle::mainBundle()->pathForResource("nav_back"_ns, "png"_ns);
//   auto text = NSLocalizedString("Cancel"_ns, nil);
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"

#include <map>
#include <string>

extern const Ref<NSString> kCFBundleIdentifierKey;
extern const Ref<NSString> kCFBundleExecutableKey;
extern const Ref<NSString> kCFBundleVersionKey;
extern const Ref<NSString> kCFBundleNameKey;
extern const Ref<NSString> kCFBundleInfoDictionaryVersionKey;

class NSBundle : public NSObject {
    DV_CLASS(NSBundle, NSObject)

    NSBundle() = default;
    static Ref<NSBundle> mainBundle();
    // A bundle over any folder of resources (tests, tools).
    static Ref<NSBundle> bundleWithPath(const Ref<NSString>& path);
    Ref<NSBundle> initWithPath(const Ref<NSString>& path, const Ref<NSDictionary>& info);

    Ref<NSString> bundleIdentifier() const;
    Ref<NSDictionary> infoDictionary() const { return m_info; }
    id objectForInfoDictionaryKey(const Ref<NSString>& key) const;
    Ref<NSString> bundlePath() const;
    Ref<NSString> resourcePath() const;
    Ref<NSString> executablePath() const;
    Ref<NSURL> bundleURL() const;

    // The type may be nil or empty when the name carries its extension. An image named "a" is
    // also found as "a@2x" (the screen's scale), as the platform's lookup of images does.
    Ref<NSString> pathForResource(const Ref<NSString>& name, const Ref<NSString>& type) const;
    Ref<NSString> pathForResource(const Ref<NSString>& name, const Ref<NSString>& type, const Ref<NSString>& directory) const;
    Ref<NSURL> URLForResource(const Ref<NSString>& name, const Ref<NSString>& extension) const;
    Ref<NSURL> URLForResource(const Ref<NSString>& name, const Ref<NSString>& extension, const Ref<NSString>& subdirectory) const;
    Ref<NSArray> pathsForResourcesOfType(const Ref<NSString>& type, const Ref<NSString>& directory) const;

    // The value of `key` in the strings table (nil: "Localizable"), looked up in the preferred
    // localisation's folder (zh-Hans.lproj, then Base.lproj, en.lproj) and then at the top of the
    // resources. Not found: `value` when it is not empty, otherwise the key.
    Ref<NSString> localizedStringForKey(const Ref<NSString>& key, const Ref<NSString>& value, const Ref<NSString>& table) const;
    Ref<NSArray> preferredLocalizations() const;

private:
    Ref<NSDictionary> table(const std::string& name) const;
    std::string m_path;
    Ref<NSDictionary> m_info;
    bool m_keptForever = false; // the main bundle found at start, and so what it reads

    mutable dv::Mutex m_tablesMutex;
    mutable std::map<std::string, Ref<NSDictionary>> m_tables DV_GUARDED_BY(m_tablesMutex);
};

Ref<NSString> NSLocalizedString(const Ref<NSString>& key, const id& comment);
Ref<NSString> NSLocalizedStringFromTable(const Ref<NSString>& key, const Ref<NSString>& table, const id& comment);

namespace dv {

// For tests and tools: replace the main bundle (a resources folder and information entries laid
// over the defaults), or go back to the one found at start.
class MainBundleOverride {
public:
    static void set(const std::string& resourcesPath, const Ref<NSDictionary>& infoEntries);
    static void reset();
};

// Reads a strings table in the old text form: "key" = "value"; lines with C comments and
// backslash escapes (\n \t \" \\ \Uxxxx). nil when the text is malformed.
Ref<NSDictionary> parseStringsFile(const Ref<NSData>& data);

} // namespace dv

namespace dv {

// Makes UIImage::imageNamed look in the main bundle's resources (whichever bundle is main at the
// time of the lookup), with graphics' usual order of scale variants and extensions. Called once
// by the application entry and by tests that show images from a bundle of their own.
void installMainBundleImageResolver();

} // namespace dv
