// UIDevice: facts about the device the application runs on — model, system name and version,
// and the identifier for vendor, which is kept in the application container so it stays the same
// across launches and changes only with a reinstall. The facts are settable for tests (a test
// that runs as an older system sets the version). Any thread may read them.
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"

#include <functional>

enum UIUserInterfaceIdiom : NSInteger {
    UIUserInterfaceIdiomUnspecified = -1,
    UIUserInterfaceIdiomPhone = 0,
    UIUserInterfaceIdiomPad = 1,
};

class UIDevice : public NSObject {
    DV_CLASS(UIDevice, NSObject)

    UIDevice() = default;
    static Ref<UIDevice> currentDevice();

    Ref<NSString> name() const;
    Ref<NSString> model() const;          // "iPhone"
    Ref<NSString> localizedModel() const;
    Ref<NSString> systemName() const;     // "iPhone OS"
    Ref<NSString> systemVersion() const;  // "9.3"
    UIUserInterfaceIdiom userInterfaceIdiom() const { return UIUserInterfaceIdiomPhone; }
    // Persistent in the current application container; nil only when the container cannot be written.
    Ref<NSUUID> identifierForVendor() const;

    void setName(const Ref<NSString>& name);
    void setModel(const Ref<NSString>& model);
    void setSystemName(const Ref<NSString>& systemName);
    void setSystemVersion(const Ref<NSString>& systemVersion);
    // Back to the defaults above.
    void reset();

    // The keyboard's click. It sounds only while an input view or accessory view that enables
    // clicks shows; the interface layer, which knows what shows, installs the handler that
    // decides (and counts the clicks).
    void playInputClick();
    static void setInputClickHandler(std::function<void()> handler);

private:
    mutable dv::Mutex m_mutex;
    Ref<NSString> m_name DV_GUARDED_BY(m_mutex);
    Ref<NSString> m_model DV_GUARDED_BY(m_mutex);
    Ref<NSString> m_systemName DV_GUARDED_BY(m_mutex);
    Ref<NSString> m_systemVersion DV_GUARDED_BY(m_mutex);
};
