#include "platform/ui/NSLayoutConstraint.h"

#include "platform/base/ClassBuilder.h"

#include "platform/ui/UIView.h"

DV_DEFINE_CLASS(NSLayoutConstraint)

namespace {

CGFloat attributeValue(CGRect r, NSLayoutAttribute attribute)
{
    switch (attribute) {
    case NSLayoutAttributeLeft:
    case NSLayoutAttributeLeading:
        return CGRectGetMinX(r);
    case NSLayoutAttributeRight:
    case NSLayoutAttributeTrailing:
        return CGRectGetMaxX(r);
    case NSLayoutAttributeTop:
        return CGRectGetMinY(r);
    case NSLayoutAttributeBottom:
        return CGRectGetMaxY(r);
    case NSLayoutAttributeWidth:
        return r.size.width;
    case NSLayoutAttributeHeight:
        return r.size.height;
    case NSLayoutAttributeCenterX:
        return CGRectGetMidX(r);
    case NSLayoutAttributeCenterY:
        return CGRectGetMidY(r);
    case NSLayoutAttributeNotAnAttribute:
        break;
    }
    return 0;
}

} // namespace

Ref<NSLayoutConstraint> NSLayoutConstraint::constraintWithItem(const id& view1, NSLayoutAttribute attribute1, NSLayoutRelation relation,
    const id& view2, NSLayoutAttribute attribute2, CGFloat multiplier, CGFloat constant)
{
    auto constraint = alloc<NSLayoutConstraint>();
    constraint->m_firstItem = view1;
    constraint->m_firstAttribute = attribute1;
    constraint->m_relation = relation;
    constraint->m_secondItem = view2;
    constraint->m_secondAttribute = attribute2;
    constraint->m_multiplier = multiplier;
    constraint->m_constant = constant;
    return constraint;
}

void NSLayoutConstraint::setConstant(CGFloat constant)
{
    if (constant == m_constant)
        return;
    m_constant = constant;
    if (auto holder = m_holder.lock())
        holder->setNeedsLayout();
}

void NSLayoutConstraint::handleApply()
{
    auto first = dv::as<UIView>(firstItem());
    auto superview = first ? first->superview() : nil;
    if (!superview || m_relation != NSLayoutRelationEqual || m_firstAttribute == NSLayoutAttributeNotAnAttribute)
        return;
    CGFloat target = m_constant;
    if (m_secondAttribute != NSLayoutAttributeNotAnAttribute) {
        auto second = dv::as<UIView>(secondItem());
        if (!second)
            return;
        const CGRect rect = second == superview ? superview->bounds() : second->convertRectToView(second->bounds(), superview);
        target += attributeValue(rect, m_secondAttribute) * m_multiplier;
    }
    CGRect f = first->frame();
    switch (m_firstAttribute) {
    case NSLayoutAttributeLeft:
    case NSLayoutAttributeLeading:
        f.origin.x = target;
        break;
    case NSLayoutAttributeRight:
    case NSLayoutAttributeTrailing:
        f.origin.x = target - f.size.width;
        break;
    case NSLayoutAttributeTop:
        f.origin.y = target;
        break;
    case NSLayoutAttributeBottom:
        f.origin.y = target - f.size.height;
        break;
    case NSLayoutAttributeWidth:
        f.size.width = target;
        break;
    case NSLayoutAttributeHeight:
        f.size.height = target;
        break;
    case NSLayoutAttributeCenterX:
        f.origin.x = target - f.size.width / 2;
        break;
    case NSLayoutAttributeCenterY:
        f.origin.y = target - f.size.height / 2;
        break;
    case NSLayoutAttributeNotAnAttribute:
        return;
    }
    if (!CGRectEqualToRect(f, first->frame()))
        first->setFrame(f);
}
