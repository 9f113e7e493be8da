// NSUserDefaults: the application's preferences, a property list in the application container
// (Library/Preferences/<bundle identifier>.plist). Every change is written at once, atomically, so
// a value set before a crash is there at the next launch: the setter puts the whole list into a
// staged temporary beside the file (see StagedFile), which a killed process leaves for the next
// one to take up, and a writer thread flushes it to the disk and renames it into place, so that
// the setting thread never waits for the disk. synchronize waits for the writer and retries a
// write that failed; it answers whether the file on the disk holds every value. A damaged file is
// moved aside (".corrupt") and the defaults start empty. Any thread may use them.
//
//   auto defaults = NSUserDefaults::standardUserDefaults();
//   defaults->setObjectForKey("token"_ns, "utoken"_ns);
//   auto token = defaults->stringForKey("utoken"_ns);
#pragma once

#include "platform/base/AtomicFile.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"

#include <string>

class NSUserDefaults : public NSObject {
    DV_CLASS(NSUserDefaults, NSObject)

    NSUserDefaults() = default;
    // The shared defaults of the current application container; a new container (another
    // DOVRELTA_HOME) gives a new instance reading its own file.
    static Ref<NSUserDefaults> standardUserDefaults();
    // Forgets the shared instance; the next call reads the file again.
    static void resetStandardUserDefaults();
    Ref<NSUserDefaults> initWithFile(const std::string& path);

    id objectForKey(const Ref<NSString>& key) const;
    // A string, or a number's stringValue; nil for anything else.
    Ref<NSString> stringForKey(const Ref<NSString>& key) const;
    Ref<NSArray> arrayForKey(const Ref<NSString>& key) const;
    Ref<NSArray> stringArrayForKey(const Ref<NSString>& key) const; // nil unless every element is a string
    Ref<NSDictionary> dictionaryForKey(const Ref<NSString>& key) const;
    Ref<NSData> dataForKey(const Ref<NSString>& key) const;
    Ref<NSDate> dateForKey(const Ref<NSString>& key) const;
    Ref<NSURL> URLForKey(const Ref<NSString>& key) const;
    // Numbers and numeric strings convert; anything else is 0 / NO.
    NSInteger integerForKey(const Ref<NSString>& key) const;
    bool boolForKey(const Ref<NSString>& key) const;
    double doubleForKey(const Ref<NSString>& key) const;
    float floatForKey(const Ref<NSString>& key) const;

    // nil removes the key. A value that is not a property list is refused and logged.
    void setObjectForKey(const id& value, const Ref<NSString>& key);
    void setInteger(NSInteger value, const Ref<NSString>& key);
    void setBool(bool value, const Ref<NSString>& key);
    void setDouble(double value, const Ref<NSString>& key);
    void setFloat(float value, const Ref<NSString>& key);
    void setURL(const Ref<NSURL>& url, const Ref<NSString>& key);
    void removeObjectForKey(const Ref<NSString>& key);

    // Fallback values that are never written to the file.
    void registerDefaults(const Ref<NSDictionary>& registration);
    Ref<NSDictionary> dictionaryRepresentation() const;
    // Writes what a failed write left unsaved; YES when the file holds every value.
    bool synchronize();

    const std::string& path() const { return m_path; }

private:
    void load();
    bool writeLocked() DV_REQUIRES(m_mutex);
    // On the writer's queue: the newest staged write to the disk.
    void commitStaged();
    mutable dv::Mutex m_mutex;
    dv::StagedFile m_staged DV_GUARDED_BY(m_mutex);
    std::string m_path;
    Ref<NSMutableDictionary> m_values DV_GUARDED_BY(m_mutex);
    Ref<NSMutableDictionary> m_registered DV_GUARDED_BY(m_mutex);
    bool m_dirty DV_GUARDED_BY(m_mutex) = false;
};

// Posted (object: the defaults) on the thread that changed a value.
extern const Ref<NSString> NSUserDefaultsDidChangeNotification;
