// NSLayoutConstraint: a relation between attributes of two views, "first.attribute = second.
// attribute × multiplier + constant", held by a view (usually the common superview). Here the
// constraints take effect one by one in their holder's layoutSubviews: an equal relation moves
// (position attributes) or resizes (width, height) the first item; other relations, layout
// guides and priorities are kept but not solved. Items are held weakly. Main thread only.
//
//   view->addConstraint(NSLayoutConstraint::constraintWithItem(spinner, NSLayoutAttributeCenterX,
//       NSLayoutRelationEqual, view, NSLayoutAttributeCenterX, 1, 0));
#pragma once

#include "platform/base/NSObject.h"
#include "platform/ui/Forward.h"

enum NSLayoutAttribute : NSInteger {
    NSLayoutAttributeNotAnAttribute = 0,
    NSLayoutAttributeLeft = 1,
    NSLayoutAttributeRight = 2,
    NSLayoutAttributeTop = 3,
    NSLayoutAttributeBottom = 4,
    NSLayoutAttributeLeading = 5,
    NSLayoutAttributeTrailing = 6,
    NSLayoutAttributeWidth = 7,
    NSLayoutAttributeHeight = 8,
    NSLayoutAttributeCenterX = 9,
    NSLayoutAttributeCenterY = 10,
};

enum NSLayoutRelation : NSInteger {
    NSLayoutRelationLessThanOrEqual = -1,
    NSLayoutRelationEqual = 0,
    NSLayoutRelationGreaterThanOrEqual = 1,
};

class NSLayoutConstraint : public NSObject {
    DV_CLASS(NSLayoutConstraint, NSObject)

    NSLayoutConstraint() = default;
    static Ref<NSLayoutConstraint> constraintWithItem(const id& view1, NSLayoutAttribute attribute1, NSLayoutRelation relation,
        const id& view2, NSLayoutAttribute attribute2, CGFloat multiplier, CGFloat constant);

    id firstItem() const { return m_firstItem.lock(); }
    NSLayoutAttribute firstAttribute() const { return m_firstAttribute; }
    NSLayoutRelation relation() const { return m_relation; }
    id secondItem() const { return m_secondItem.lock(); }
    NSLayoutAttribute secondAttribute() const { return m_secondAttribute; }
    CGFloat multiplier() const { return m_multiplier; }
    // Changing the constant lays the holder out again.
    CGFloat constant() const { return m_constant; }
    void setConstant(CGFloat constant);

private:
    friend class UIView;

    // Moves or resizes the first item (called from the holder's layout).
    void handleApply();

    Weak<NSObject> m_firstItem;
    Weak<NSObject> m_secondItem;
    Weak<UIView> m_holder;
    NSLayoutAttribute m_firstAttribute = NSLayoutAttributeNotAnAttribute;
    NSLayoutAttribute m_secondAttribute = NSLayoutAttributeNotAnAttribute;
    NSLayoutRelation m_relation = NSLayoutRelationEqual;
    CGFloat m_multiplier = 1;
    CGFloat m_constant = 0;
};
