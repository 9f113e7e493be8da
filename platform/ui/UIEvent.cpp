#include "platform/ui/UIEvent.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSSet.h"
#include "platform/ui/UITouch.h"

DV_DEFINE_CLASS(UIEvent)

namespace {

template <class Keep>
Ref<NSSet> touchesWhere(const std::vector<Ref<UITouch>>& touches, Keep keep)
{
    std::vector<id> items;
    for (auto& touch : touches)
        if (keep(*touch))
            items.push_back(touch);
    return NSSet::setWithArray(NSArray::fromVector(std::move(items)));
}

} // namespace

Ref<NSSet> UIEvent::allTouches() const
{
    return touchesWhere(m_touches, [](const UITouch&) { return true; });
}

Ref<NSSet> UIEvent::touchesForView(const Ref<UIView>& view) const
{
    return touchesWhere(m_touches, [&](const UITouch& touch) { return view && touch.view() == view; });
}

Ref<NSSet> UIEvent::touchesForWindow(const Ref<UIWindow>& window) const
{
    return touchesWhere(m_touches, [&](const UITouch& touch) { return window && touch.window() == window; });
}
