#include "platform/system/NSBundle.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSPropertyListSerialization.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/graphics/ImageResources.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

const Ref<NSString> kCFBundleIdentifierKey = "CFBundleIdentifier"_ns;
const Ref<NSString> kCFBundleExecutableKey = "CFBundleExecutable"_ns;
const Ref<NSString> kCFBundleVersionKey = "CFBundleVersion"_ns;
const Ref<NSString> kCFBundleNameKey = "CFBundleName"_ns;
const Ref<NSString> kCFBundleInfoDictionaryVersionKey = "CFBundleInfoDictionaryVersion"_ns;

DV_DEFINE_CLASS(NSBundle)

namespace {

dv::Mutex s_mainMutex;
Ref<NSBundle> s_main DV_GUARDED_BY(s_mainMutex); // replaced by MainBundleOverride; nil: the one found at start

std::string executablePathOfProcess()
{
    std::error_code ec;
    auto exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

std::string findResources()
{
    if (const char* explicitPath = std::getenv("DOVRELTA_RESOURCES"); explicitPath && *explicitPath)
        return explicitPath;
    std::error_code ec;
    const fs::path exe = executablePathOfProcess();
    if (!exe.empty()) {
        for (const fs::path& candidate : { exe.parent_path() / "resources", exe.parent_path() / ".." / "share" / "dovrelta" / "resources" })
            if (fs::is_directory(candidate, ec))
                return fs::weakly_canonical(candidate, ec).string();
    }
#ifdef DV_SOURCE_RESOURCES
    if (fs::is_directory(DV_SOURCE_RESOURCES, ec))
        return DV_SOURCE_RESOURCES;
#endif
    return exe.empty() ? std::string(".") : exe.parent_path().string();
}

Ref<NSDictionary> defaultInfo(const std::string& resources, const Ref<NSDictionary>& overrides)
{
    const std::string exe = executablePathOfProcess();
    auto info = NSMutableDictionary::of({
        { kCFBundleIdentifierKey, "com.velmarquest.dovrelta"_ns },
        { kCFBundleExecutableKey, NSString::fromUTF8(exe.empty() ? std::string("Dovrelta") : fs::path(exe).filename().string()) },
        { kCFBundleNameKey, "Dovrelta"_ns },
        { "CFBundleShortVersionString"_ns, "1.0"_ns },
        { kCFBundleVersionKey, "1"_ns },
        { kCFBundleInfoDictionaryVersionKey, "6.0"_ns },
    });
    if (auto data = NSData::dataWithContentsOfFile(NSString::fromUTF8(resources + "/Info.plist"))) {
        // A damaged Info.plist leaves the defaults in place.
        if (auto plist = dv::as<NSDictionary>(NSPropertyListSerialization::propertyListWithData(data, 0, nullptr, nullptr)))
            info->addEntriesFromDictionary(plist);
    }
    if (overrides)
        info->addEntriesFromDictionary(overrides);
    return NSDictionary::dictionaryWithDictionary(info);
}

} // namespace

Ref<NSBundle> NSBundle::mainBundle()
{
    dv::MutexLocker lock(s_mainMutex);
    if (s_main)
        return s_main;
    static const Ref<NSBundle> found = dv::keepingForever([] {
        std::string resources = findResources();
        auto bundle = alloc<NSBundle>()->initWithPath(NSString::fromUTF8(resources), defaultInfo(resources, nil));
        bundle->m_keptForever = true;
        return bundle;
    });
    return found;
}

Ref<NSBundle> NSBundle::bundleWithPath(const Ref<NSString>& path)
{
    std::error_code ec;
    if (!path || !fs::is_directory(path->utf8(), ec))
        return nil;
    return alloc<NSBundle>()->initWithPath(path, defaultInfo(path->utf8(), nil));
}

Ref<NSBundle> NSBundle::initWithPath(const Ref<NSString>& path, const Ref<NSDictionary>& info)
{
    m_path = dv::str(path);
    m_info = info ? info : NSDictionary::dictionary();
    return self<NSBundle>();
}

Ref<NSString> NSBundle::bundleIdentifier() const { return dv::as<NSString>(m_info->objectForKey(kCFBundleIdentifierKey)); }
id NSBundle::objectForInfoDictionaryKey(const Ref<NSString>& key) const { return key ? m_info->objectForKey(key) : nil; }
Ref<NSString> NSBundle::bundlePath() const { return NSString::fromUTF8(m_path); }
Ref<NSString> NSBundle::resourcePath() const { return NSString::fromUTF8(m_path); }
Ref<NSString> NSBundle::executablePath() const { return NSString::fromUTF8(executablePathOfProcess()); }
Ref<NSURL> NSBundle::bundleURL() const { return NSURL::fileURLWithPath(bundlePath(), true); }

Ref<NSString> NSBundle::pathForResource(const Ref<NSString>& name, const Ref<NSString>& type) const { return pathForResource(name, type, nil); }

Ref<NSString> NSBundle::pathForResource(const Ref<NSString>& name, const Ref<NSString>& type, const Ref<NSString>& directory) const
{
    if (!name || name->length() == 0)
        return nil;
    std::string folder = m_path;
    if (directory && directory->length())
        folder += "/" + directory->utf8();
    std::string ext = dv::str(type);
    if (!ext.empty() && ext[0] == '.')
        ext.erase(0, 1);
    const std::string base = name->utf8();
    std::vector<std::string> candidates;
    auto withExt = [&](const std::string& stem) { return ext.empty() ? stem : stem + "." + ext; };
    candidates.push_back(withExt(base));
    for (const char* scale : { "@2x", "@3x" })
        candidates.push_back(withExt(base + scale));
    std::error_code ec;
    for (const auto& candidate : candidates) {
        fs::path p = fs::path(folder) / candidate;
        if (fs::is_regular_file(p, ec))
            return NSString::fromUTF8(p.string());
    }
    return nil;
}

Ref<NSURL> NSBundle::URLForResource(const Ref<NSString>& name, const Ref<NSString>& extension) const { return URLForResource(name, extension, nil); }

Ref<NSURL> NSBundle::URLForResource(const Ref<NSString>& name, const Ref<NSString>& extension, const Ref<NSString>& subdirectory) const
{
    auto path = pathForResource(name, extension, subdirectory);
    return path ? NSURL::fileURLWithPath(path) : nil;
}

Ref<NSArray> NSBundle::pathsForResourcesOfType(const Ref<NSString>& type, const Ref<NSString>& directory) const
{
    std::string folder = m_path;
    if (directory && directory->length())
        folder += "/" + directory->utf8();
    std::string ext = dv::str(type);
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.is_regular_file(ec) && (ext.empty() || entry.path().extension() == "." + ext))
            found.push_back(entry.path().string());
    std::sort(found.begin(), found.end());
    std::vector<id> items;
    for (const auto& p : found)
        items.push_back(NSString::fromUTF8(p));
    return NSArray::fromVector(std::move(items));
}

Ref<NSArray> NSBundle::preferredLocalizations() const { return NSArray::of({ "zh-Hans"_ns, "Base"_ns, "en"_ns }); }

Ref<NSDictionary> NSBundle::table(const std::string& name) const
{
    dv::MutexLocker lock(m_tablesMutex);
    if (auto it = m_tables.find(name); it != m_tables.end())
        return it->second;
    auto read = [&] {
        auto merged = NSMutableDictionary::dictionary();
        // Later sources fill in only what earlier ones lack: the preferred localisation wins.
        std::vector<std::string> folders;
        auto localizations = preferredLocalizations();
        for (const id& localization : *localizations)
            folders.push_back(m_path + "/" + dv::str(localization) + ".lproj");
        folders.push_back(m_path);
        for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
            auto data = NSData::dataWithContentsOfFile(NSString::fromUTF8(*it + "/" + name + ".strings"));
            if (auto entries = data ? dv::parseStringsFile(data) : nil)
                merged->addEntriesFromDictionary(entries);
        }
        return NSDictionary::dictionaryWithDictionary(merged);
    };
    auto result = m_keptForever ? dv::keepingForever(read) : read();
    m_tables[name] = result;
    return result;
}

Ref<NSString> NSBundle::localizedStringForKey(const Ref<NSString>& key, const Ref<NSString>& value, const Ref<NSString>& tableName) const
{
    if (!key)
        return value && value->length() ? value : ""_ns;
    auto entries = table(tableName && tableName->length() ? tableName->utf8() : std::string("Localizable"));
    if (auto found = dv::as<NSString>(entries->objectForKey(key)))
        return found;
    return value && value->length() ? value : key;
}

Ref<NSString> NSLocalizedString(const Ref<NSString>& key, const id&) { return NSBundle::mainBundle()->localizedStringForKey(key, ""_ns, nil); }

Ref<NSString> NSLocalizedStringFromTable(const Ref<NSString>& key, const Ref<NSString>& table, const id&)
{
    return NSBundle::mainBundle()->localizedStringForKey(key, ""_ns, table);
}

namespace dv {

void MainBundleOverride::set(const std::string& resourcesPath, const Ref<NSDictionary>& infoEntries)
{
    auto bundle = alloc<NSBundle>()->initWithPath(NSString::fromUTF8(resourcesPath), defaultInfo(resourcesPath, infoEntries));
    dv::MutexLocker lock(s_mainMutex);
    s_main = bundle;
}

void MainBundleOverride::reset()
{
    dv::MutexLocker lock(s_mainMutex);
    s_main = nil; // the one found at start again
}

} // namespace dv

namespace dv {

void installMainBundleImageResolver()
{
    setImageResourceResolver([](const std::string& name) {
        // Graphics orders the candidates under its own folder; the same names are looked for
        // under the bundle's.
        const std::string theirs = imageResourceDirectory();
        const std::string ours = dv::str(NSBundle::mainBundle()->resourcePath());
        std::vector<std::string> candidates;
        for (const auto& candidate : defaultImageResourceCandidates(name))
            candidates.push_back(candidate.starts_with(theirs) ? ours + candidate.substr(theirs.size()) : candidate);
        return candidates;
    });
}

} // namespace dv
