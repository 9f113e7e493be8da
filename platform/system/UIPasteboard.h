// UIPasteboard: the general pasteboard, holding strings for the life of the process. Any thread
// may use it.
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"


class UIPasteboard : public NSObject {
    DV_CLASS(UIPasteboard, NSObject)

    UIPasteboard() = default;
    static Ref<UIPasteboard> generalPasteboard();

    Ref<NSString> string() const;            // the first string, nil when empty
    void setString(const Ref<NSString>& s);  // nil empties the pasteboard
    Ref<NSArray> strings() const;            // never nil
    void setStrings(const Ref<NSArray>& strings); // non-strings are left out
    NSInteger numberOfItems() const;
    NSInteger changeCount() const;

private:
    mutable dv::Mutex m_mutex;
    Ref<NSArray> m_strings DV_GUARDED_BY(m_mutex);
    NSInteger m_changeCount DV_GUARDED_BY(m_mutex) = 0;
};
