#include "ui/toolkit/keyboard/UIViewAdditions.h"

#include "platform/base/Associations.h"
#include "platform/base/NSNumber.h"
#include "platform/ui/NSLayoutConstraint.h"
#include "platform/ui/UIScrollView.h"
#include "platform/ui/UIViewController.h"

#include <algorithm>

namespace {

const char kDistanceKey = 0;
const char kRestoreOffsetKey = 0;
const char kLayoutGuideConstraintKey = 0;

} // namespace

double keyboardDistanceFromTextField(const Ref<UIView>& view)
{
    auto number = dv::as<NSNumber>(objc_getAssociatedObject(view, &kDistanceKey));
    return number ? number->doubleValue() : kKBUseManagerDistance;
}

void setKeyboardDistanceFromTextField(const Ref<UIView>& view, double distance)
{
    if (!view)
        return;
    const double stored = distance > 0 ? distance : 0; // NaN counts as 0 as well
    // The value is kept in single precision. Anything beyond its range (the "not set" value
    // above all, given back by a caller that read it) would turn into infinity there and push
    // every field off the screen: it means "not set" again.
    if (stored > std::numeric_limits<float>::max()) {
        objc_setAssociatedObject(view, &kDistanceKey, nil, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
        return;
    }
    objc_setAssociatedObject(
        view, &kDistanceKey, NSNumber::numberWithFloat(static_cast<float>(stored)), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

bool shouldRestoreScrollViewContentOffset(const Ref<UIScrollView>& scrollView)
{
    auto number = dv::as<NSNumber>(objc_getAssociatedObject(scrollView, &kRestoreOffsetKey));
    return number && number->boolValue();
}

void setShouldRestoreScrollViewContentOffset(const Ref<UIScrollView>& scrollView, bool restore)
{
    objc_setAssociatedObject(
        scrollView, &kRestoreOffsetKey, NSNumber::numberWithBool(restore), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

Ref<NSLayoutConstraint> KBLayoutGuideConstraint(const Ref<UIViewController>& controller)
{
    return dv::as<NSLayoutConstraint>(objc_getAssociatedObject(controller, &kLayoutGuideConstraintKey));
}

void setKBLayoutGuideConstraint(const Ref<UIViewController>& controller, const Ref<NSLayoutConstraint>& constraint)
{
    objc_setAssociatedObject(controller, &kLayoutGuideConstraintKey, constraint, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}
