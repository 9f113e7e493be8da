#include "platform/system/UIDevice.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSData.h"
#include "platform/base/NSString.h"
#include "platform/base/NSUUID.h"
#include "platform/system/FoundationVersion.h"
#include "platform/system/SystemPaths.h"
#include "platform/system/internal/FileOps.h"

#include <utility>

double NSFoundationVersionNumber = NSFoundationVersionNumber_iOS_9_0;

DV_DEFINE_CLASS(UIDevice)

namespace {

dv::Mutex s_vendorMutex;

} // namespace

Ref<UIDevice> UIDevice::currentDevice()
{
    static const Ref<UIDevice> device = dv::keepingForever([] {
        auto d = alloc<UIDevice>();
        d->reset();
        return d;
    });
    return device;
}

namespace {
dv::Mutex s_clickMutex;
std::function<void()> s_clickHandler DV_GUARDED_BY(s_clickMutex);
} // namespace

void UIDevice::playInputClick()
{
    std::function<void()> handler;
    {
        dv::MutexLocker lock(s_clickMutex);
        handler = s_clickHandler;
    }
    if (handler)
        handler();
}

void UIDevice::setInputClickHandler(std::function<void()> handler)
{
    dv::MutexLocker lock(s_clickMutex);
    s_clickHandler = std::move(handler);
}

void UIDevice::reset()
{
    dv::MutexLocker lock(m_mutex);
    m_name = "iPhone"_ns;
    m_model = "iPhone"_ns;
    m_systemName = "iPhone OS"_ns;
    m_systemVersion = "9.3"_ns;
}

Ref<NSString> UIDevice::name() const { dv::MutexLocker lock(m_mutex); return m_name; }
Ref<NSString> UIDevice::model() const { dv::MutexLocker lock(m_mutex); return m_model; }
Ref<NSString> UIDevice::localizedModel() const { return model(); }
Ref<NSString> UIDevice::systemName() const { dv::MutexLocker lock(m_mutex); return m_systemName; }
Ref<NSString> UIDevice::systemVersion() const { dv::MutexLocker lock(m_mutex); return m_systemVersion; }

void UIDevice::setName(const Ref<NSString>& v) { dv::MutexLocker lock(m_mutex); m_name = v; }
void UIDevice::setModel(const Ref<NSString>& v) { dv::MutexLocker lock(m_mutex); m_model = v; }
void UIDevice::setSystemName(const Ref<NSString>& v) { dv::MutexLocker lock(m_mutex); m_systemName = v; }
void UIDevice::setSystemVersion(const Ref<NSString>& v) { dv::MutexLocker lock(m_mutex); m_systemVersion = v; }

Ref<NSUUID> UIDevice::identifierForVendor() const
{
    // Read afresh each time: the container (DOVRELTA_HOME) may change between calls in tests,
    // and a reinstall (a wiped container) must give a new identifier.
    dv::MutexLocker lock(s_vendorMutex);
    const std::string folder = dv::SystemPaths::appContainer() + "/Library/Preferences";
    const std::string file = folder + "/identifierForVendor";
    if (auto data = NSData::dataWithContentsOfFile(NSString::fromUTF8(file))) {
        auto text = alloc<NSString>()->initWithData(data, NSUTF8StringEncoding);
        if (auto uuid = text ? alloc<NSUUID>()->initWithUUIDString(text) : nil)
            return uuid;
        // A damaged file is replaced by a fresh identifier.
    }
    auto uuid = NSUUID::UUID();
    int error = 0;
    if (!dv::SystemPaths::ensureDirectory(folder) || !dv::internal::system::replaceFileAtomically(file, uuid->UUIDString()->utf8(), error))
        return nil;
    return uuid;
}
