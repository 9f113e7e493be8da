#include "ui/toolkit/keyboard/NSArrayKBSort.h"

#include "platform/base/NSArray.h"
#include "platform/ui/UIBarButtonItem.h"
#include "platform/ui/UIView.h"

#include <optional>

namespace {

std::optional<NSInteger> tagOf(const id& object)
{
    if (auto view = dv::as<UIView>(object))
        return view->tag();
    if (auto item = dv::as<UIBarItem>(object))
        return item->tag();
    return std::nullopt;
}

template <class T> NSComparisonResult compare(T a, T b)
{
    if (a < b)
        return NSOrderedAscending;
    if (a > b)
        return NSOrderedDescending;
    return NSOrderedSame;
}

} // namespace

Ref<NSArray> sortedArrayByTag(const Ref<NSArray>& array)
{
    if (!array)
        return nil;
    return array->sortedArrayUsingComparator([](const id& a, const id& b) {
        const auto tagA = tagOf(a);
        const auto tagB = tagOf(b);
        if (!tagA || !tagB)
            return NSOrderedSame;
        return compare(*tagA, *tagB);
    });
}

Ref<NSArray> sortedArrayByPosition(const Ref<NSArray>& array)
{
    if (!array)
        return nil;
    return array->sortedArrayUsingComparator([](const id& a, const id& b) {
        auto viewA = dv::as<UIView>(a);
        auto viewB = dv::as<UIView>(b);
        if (!viewA || !viewB)
            return NSOrderedSame;
        const CGRect frameA = viewA->frame();
        const CGRect frameB = viewB->frame();
        if (auto byY = compare(CGRectGetMinY(frameA), CGRectGetMinY(frameB)); byY != NSOrderedSame)
            return byY;
        return compare(CGRectGetMinX(frameA), CGRectGetMinX(frameB));
    });
}
