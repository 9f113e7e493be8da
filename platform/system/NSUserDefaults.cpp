#include "platform/system/NSUserDefaults.h"

#include "platform/base/AtomicFile.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSLocale.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSPropertyListSerialization.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/system/NSBundle.h"
#include "platform/system/SystemPaths.h"
#include "platform/system/internal/FileOps.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>

const Ref<NSString> NSUserDefaultsDidChangeNotification = "NSUserDefaultsDidChangeNotification"_ns;

DV_DEFINE_CLASS(NSUserDefaults)

namespace {

dv::Mutex s_standardMutex;
Ref<NSUserDefaults> s_standard DV_GUARDED_BY(s_standardMutex);

// One writer for every defaults file of the process, so that a new instance over a file can wait
// for what an earlier one still has to write.
const dispatch_queue_t& writerQueue()
{
    static const dispatch_queue_t s_queue = dispatch_queue_create("dovrelta.userdefaults.writer", DISPATCH_QUEUE_SERIAL);
    return s_queue;
}
std::atomic<int> s_writesPending { 0 };

void waitForPendingWrites()
{
    if (s_writesPending.load() > 0)
        dispatch_sync(writerQueue(), [] { });
}

std::string standardPath()
{
    auto identifier = NSBundle::mainBundle()->bundleIdentifier();
    std::string name = identifier && identifier->length() ? identifier->utf8() : std::string("com.velmarquest.dovrelta");
    return dv::SystemPaths::appContainer() + "/Library/Preferences/" + name + ".plist";
}

// The user's own list of languages lives in the defaults, as on the phone; NSLocale, a layer
// below, reads it through this source, installed while the program's statics are made.
const bool s_userLanguagesInstalled = [] {
    NSLocale::setUserLanguagesSource([] { return NSUserDefaults::standardUserDefaults()->stringArrayForKey("AppleLanguages"_ns); });
    return true;
}();

} // namespace

Ref<NSUserDefaults> NSUserDefaults::standardUserDefaults()
{
    const std::string path = standardPath();
    dv::MutexLocker lock(s_standardMutex);
    if (!s_standard || s_standard->m_path != path)
        s_standard = alloc<NSUserDefaults>()->initWithFile(path);
    return s_standard;
}

void NSUserDefaults::resetStandardUserDefaults()
{
    dv::MutexLocker lock(s_standardMutex);
    s_standard = nil;
}

Ref<NSUserDefaults> NSUserDefaults::initWithFile(const std::string& path)
{
    m_path = path;
    {
        dv::MutexLocker lock(m_mutex);
        m_values = NSMutableDictionary::dictionary();
        m_registered = NSMutableDictionary::dictionary();
    }
    load();
    return self<NSUserDefaults>();
}

void NSUserDefaults::load()
{
    waitForPendingWrites();
    // A process killed after a change but before its write reached the disk left the change
    // staged beside the file, whole: the newest such write that reads as defaults takes the
    // file's place. Then whatever else dead writers left goes.
    for (const auto& staged : dv::abandonedWritesOf(m_path)) {
        auto data = NSData::dataWithContentsOfFile(NSString::fromUTF8(staged));
        id plist = data ? NSPropertyListSerialization::propertyListWithData(data, 0, nullptr, nullptr) : nil;
        if (dv::as<NSDictionary>(plist) && dv::adoptAbandonedWrite(staged, m_path))
            break;
    }
    dv::removeStaleTemporaries(std::filesystem::path(m_path).parent_path().string());
    std::error_code ec;
    if (!std::filesystem::exists(m_path, ec))
        return;
    auto data = NSData::dataWithContentsOfFile(NSString::fromUTF8(m_path));
    Ref<NSError> error;
    id plist = data ? NSPropertyListSerialization::propertyListWithData(data, 0, nullptr, &error) : nil;
    if (auto dictionary = dv::as<NSDictionary>(plist)) {
        dv::MutexLocker lock(m_mutex);
        m_values->setDictionary(dictionary);
        return;
    }
    // Keep the damaged file for inspection instead of overwriting it with the next change.
    const std::string aside = m_path + ".corrupt";
    std::rename(m_path.c_str(), aside.c_str());
    NSLog("NSUserDefaults: %s is not readable (%@); starting empty, the file is kept as %s", m_path, error, aside);
}

bool NSUserDefaults::writeLocked()
{
    Ref<NSError> error;
    // Binary, as the platform keeps preferences: it holds dates to the fraction of a second (the
    // XML form keeps whole seconds only). Files written as XML are still read.
    auto data = NSPropertyListSerialization::dataWithPropertyList(m_values, NSPropertyListBinaryFormat_v1_0, 0, &error);
    int posixError = 0;
    auto folder = std::filesystem::path(m_path).parent_path().string();
    dv::StagedFile staged;
    bool ok = data && dv::SystemPaths::ensureDirectory(folder) && staged.stage(m_path, data->view(), &posixError);
    if (!ok) {
        NSLog("NSUserDefaults: cannot write %s: %@ %s", m_path, error, posixError ? std::strerror(posixError) : "");
        m_dirty = true;
        return false;
    }
    // The values are in the staged file now, where a killed process leaves them for the next
    // one; the flush to the disk and the rename (two waits for the disk) are the writer's. A
    // write staged earlier and not yet taken by the writer is superseded and goes.
    m_staged = std::move(staged);
    m_dirty = false;
    ++s_writesPending;
    dispatch_async(writerQueue(), [self = self<NSUserDefaults>()] {
        self->commitStaged();
        --s_writesPending;
    });
    return true;
}

void NSUserDefaults::commitStaged()
{
    dv::StagedFile staged;
    {
        dv::MutexLocker lock(m_mutex);
        staged = std::move(m_staged);
    }
    // Nothing when an earlier turn of the writer already took the newest write.
    if (!staged.isStaged())
        return;
    int posixError = 0;
    if (staged.commit(&posixError))
        return;
    NSLog("NSUserDefaults: cannot write %s: %s", m_path, std::strerror(posixError));
    dv::MutexLocker lock(m_mutex);
    m_dirty = true;
}

id NSUserDefaults::objectForKey(const Ref<NSString>& key) const
{
    if (!key)
        return nil;
    dv::MutexLocker lock(m_mutex);
    if (id value = m_values->objectForKey(key))
        return value;
    return m_registered->objectForKey(key);
}

Ref<NSString> NSUserDefaults::stringForKey(const Ref<NSString>& key) const
{
    id value = objectForKey(key);
    if (auto s = dv::as<NSString>(value))
        return s;
    if (auto n = dv::as<NSNumber>(value))
        return n->stringValue();
    return nil;
}

Ref<NSArray> NSUserDefaults::arrayForKey(const Ref<NSString>& key) const { return dv::as<NSArray>(objectForKey(key)); }

Ref<NSArray> NSUserDefaults::stringArrayForKey(const Ref<NSString>& key) const
{
    auto array = arrayForKey(key);
    if (!array)
        return nil;
    for (const id& item : *array)
        if (!dv::as<NSString>(item))
            return nil;
    return array;
}

Ref<NSDictionary> NSUserDefaults::dictionaryForKey(const Ref<NSString>& key) const { return dv::as<NSDictionary>(objectForKey(key)); }

Ref<NSData> NSUserDefaults::dataForKey(const Ref<NSString>& key) const { return dv::as<NSData>(objectForKey(key)); }
Ref<NSDate> NSUserDefaults::dateForKey(const Ref<NSString>& key) const { return dv::as<NSDate>(objectForKey(key)); }

Ref<NSURL> NSUserDefaults::URLForKey(const Ref<NSString>& key) const
{
    id value = objectForKey(key);
    if (auto s = dv::as<NSString>(value))
        return s->isAbsolutePath() ? NSURL::fileURLWithPath(s) : NSURL::URLWithString(s);
    if (auto data = dv::as<NSData>(value))
        return NSURL::URLWithString(alloc<NSString>()->initWithData(data, NSUTF8StringEncoding));
    return nil;
}

NSInteger NSUserDefaults::integerForKey(const Ref<NSString>& key) const
{
    id value = objectForKey(key);
    if (auto n = dv::as<NSNumber>(value))
        return n->integerValue();
    if (auto s = dv::as<NSString>(value))
        return s->integerValue();
    return 0;
}

bool NSUserDefaults::boolForKey(const Ref<NSString>& key) const
{
    id value = objectForKey(key);
    if (auto n = dv::as<NSNumber>(value))
        return n->boolValue();
    if (auto s = dv::as<NSString>(value))
        return s->boolValue();
    return false;
}

double NSUserDefaults::doubleForKey(const Ref<NSString>& key) const
{
    id value = objectForKey(key);
    if (auto n = dv::as<NSNumber>(value))
        return n->doubleValue();
    if (auto s = dv::as<NSString>(value))
        return s->doubleValue();
    return 0;
}

float NSUserDefaults::floatForKey(const Ref<NSString>& key) const { return static_cast<float>(doubleForKey(key)); }

void NSUserDefaults::setObjectForKey(const id& value, const Ref<NSString>& key)
{
    if (!key)
        return;
    id stored;
    if (value) {
        if (!NSPropertyListSerialization::propertyListIsValidForFormat(value, NSPropertyListXMLFormat_v1_0)) {
            NSLog("NSUserDefaults: refused a value that is not a property list for key %@: %@", key, value);
            return;
        }
        stored = value->copy();
    }
    {
        dv::MutexLocker lock(m_mutex);
        m_values->setObjectForKeyedSubscript(stored, key);
        writeLocked();
    }
    // Observers run without the lock, so they may read the defaults.
    NSNotificationCenter::defaultCenter()->postNotificationName(NSUserDefaultsDidChangeNotification, self<NSObject>(), nil);
}

void NSUserDefaults::setInteger(NSInteger value, const Ref<NSString>& key) { setObjectForKey(NSNumber::numberWithInteger(value), key); }
void NSUserDefaults::setBool(bool value, const Ref<NSString>& key) { setObjectForKey(NSNumber::numberWithBool(value), key); }
void NSUserDefaults::setDouble(double value, const Ref<NSString>& key) { setObjectForKey(NSNumber::numberWithDouble(value), key); }
void NSUserDefaults::setFloat(float value, const Ref<NSString>& key) { setObjectForKey(NSNumber::numberWithFloat(value), key); }
void NSUserDefaults::setURL(const Ref<NSURL>& url, const Ref<NSString>& key) { setObjectForKey(url ? url->absoluteString() : nil, key); }
void NSUserDefaults::removeObjectForKey(const Ref<NSString>& key) { setObjectForKey(nil, key); }

void NSUserDefaults::registerDefaults(const Ref<NSDictionary>& registration)
{
    if (!registration)
        return;
    dv::MutexLocker lock(m_mutex);
    m_registered->addEntriesFromDictionary(registration);
}

Ref<NSDictionary> NSUserDefaults::dictionaryRepresentation() const
{
    dv::MutexLocker lock(m_mutex);
    auto all = NSMutableDictionary::dictionaryWithDictionary(m_registered);
    all->addEntriesFromDictionary(m_values);
    return NSDictionary::dictionaryWithDictionary(all);
}

bool NSUserDefaults::synchronize()
{
    {
        dv::MutexLocker lock(m_mutex);
        if (m_dirty && !writeLocked())
            return false;
    }
    // Every value is staged: wait for the writer to put it on the disk.
    dispatch_sync(writerQueue(), [] { });
    dv::MutexLocker lock(m_mutex);
    return !m_dirty;
}
