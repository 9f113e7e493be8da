#include "platform/system/UIPasteboard.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"

DV_DEFINE_CLASS(UIPasteboard)

Ref<UIPasteboard> UIPasteboard::generalPasteboard()
{
    static const Ref<UIPasteboard> board = dv::keepingForever([] { return alloc<UIPasteboard>(); });
    return board;
}

Ref<NSString> UIPasteboard::string() const
{
    dv::MutexLocker lock(m_mutex);
    return m_strings ? dv::as<NSString>(m_strings->firstObject()) : nil;
}

void UIPasteboard::setString(const Ref<NSString>& s) { setStrings(s ? NSArray::of({ s }) : nil); }

Ref<NSArray> UIPasteboard::strings() const
{
    dv::MutexLocker lock(m_mutex);
    return m_strings ? m_strings : NSArray::array();
}

void UIPasteboard::setStrings(const Ref<NSArray>& strings)
{
    std::vector<id> kept;
    if (strings)
        for (const id& item : *strings)
            if (auto s = dv::as<NSString>(item))
                kept.push_back(dv::copyAs<NSString>(s));
    dv::MutexLocker lock(m_mutex);
    m_strings = kept.empty() ? nil : NSArray::fromVector(std::move(kept));
    ++m_changeCount;
}

NSInteger UIPasteboard::numberOfItems() const
{
    dv::MutexLocker lock(m_mutex);
    return m_strings ? static_cast<NSInteger>(m_strings->count()) : 0;
}

NSInteger UIPasteboard::changeCount() const
{
    dv::MutexLocker lock(m_mutex);
    return m_changeCount;
}
