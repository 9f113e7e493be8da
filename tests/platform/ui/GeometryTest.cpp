#include "UITestSupport.h"

#include <cmath>

using namespace dv::test;

namespace {

class GeometryTest : public UITest { };

void expectPoint(CGPoint actual, CGPoint expected, const char* what)
{
    EXPECT_NEAR(actual.x, expected.x, 1e-9) << what;
    EXPECT_NEAR(actual.y, expected.y, 1e-9) << what;
}

// A view whose touch area reaches 20 points beyond its bounds.
class GenerousView : public UIView {
public:
    bool pointInside(CGPoint point, const Ref<UIEvent>&) const override { return CGRectContainsPoint(CGRectInset(bounds(), -20, -20), point); }
};

} // namespace

TEST_F(GeometryTest, FrameBoundsAndCenterStayConsistent)
{
    auto view = alloc<UIView>()->initWithFrame(CGRectMake(10, 20, 100, 50));
    EXPECT_EQ(view->bounds(), CGRectMake(0, 0, 100, 50));
    EXPECT_EQ(view->center(), CGPointMake(60, 45));
    view->setBounds(CGRectMake(5, 5, 40, 10)); // resizes about the centre
    EXPECT_EQ(view->frame(), CGRectMake(40, 40, 40, 10));
    view->setCenter(CGPointMake(0, 0));
    EXPECT_EQ(view->frame(), CGRectMake(-20, -5, 40, 10));
    // The frame of a transformed view is the box around it; the bounds do not change.
    view->setTransform(CGAffineTransformMakeScale(2, 3));
    EXPECT_EQ(view->frame(), CGRectMake(-40, -15, 80, 30));
    EXPECT_EQ(view->bounds(), CGRectMake(5, 5, 40, 10));
}

TEST_F(GeometryTest, ConversionGoesThroughBoundsOriginsCentresAndTransforms)
{
    auto outer = addView(CGRectMake(100, 100, 100, 100));
    outer->setBounds(CGRectMake(0, 50, 100, 100)); // scrolled down by 50
    auto inner = addView(CGRectMake(10, 60, 20, 20), nil, outer);
    expectPoint(inner->convertPointToView(CGPointMake(0, 0), nil), CGPointMake(110, 110), "to the window");
    expectPoint(inner->convertPointToView(CGPointMake(0, 0), outer), CGPointMake(10, 60), "to the superview");
    expectPoint(outer->convertPointToView(CGPointMake(10, 60), inner), CGPointMake(0, 0), "to the subview");
    expectPoint(inner->convertPointFromView(CGPointMake(110, 110), nil), CGPointMake(0, 0), "from the window");

    // A quarter turn about the centre of the inner view.
    inner->setTransform(CGAffineTransformMakeRotation(M_PI / 2));
    // Local (0, 0) is 10 left and 10 above the centre; turned, it lies 10 right and 10 above.
    expectPoint(inner->convertPointToView(CGPointMake(0, 0), outer), CGPointMake(30, 60), "rotated");
    expectPoint(inner->convertPointFromView(CGPointMake(30, 60), outer), CGPointMake(0, 0), "rotated back");
    const CGRect r = inner->convertRectToView(CGRectMake(0, 0, 20, 10), outer);
    EXPECT_NEAR(r.origin.x, 20, 1e-9);
    EXPECT_NEAR(r.origin.y, 60, 1e-9);
    EXPECT_NEAR(r.size.width, 10, 1e-9);
    EXPECT_NEAR(r.size.height, 20, 1e-9);

    // A scaled sibling: conversion between two leaves meets in the window.
    auto sibling = addView(CGRectMake(0, 0, 50, 50));
    sibling->setTransform(CGAffineTransformMakeScale(2, 2)); // now covers (-25, -25) to (75, 75)
    expectPoint(sibling->convertPointToView(CGPointMake(50, 50), nil), CGPointMake(75, 75), "scaled to window");
    const CGPoint viaWindow = sibling->convertPointToView(CGPointMake(0, 0), inner);
    expectPoint(inner->convertPointToView(viaWindow, sibling), CGPointMake(0, 0), "leaf to leaf and back");
}

TEST_F(GeometryTest, ViewsOutsideAWindowConvertWithinTheirOwnTree)
{
    auto root = alloc<UIView>()->initWithFrame(CGRectMake(500, 500, 100, 100));
    auto child = alloc<UIView>()->initWithFrame(CGRectMake(10, 10, 10, 10));
    root->addSubview(child);
    expectPoint(child->convertPointToView(CGPointMake(1, 1), nil), CGPointMake(11, 11), "to the root's coordinates");
    auto other = addView(CGRectMake(20, 20, 10, 10));
    // Different roots meet in the space around them: the detached root sits at (500, 500).
    expectPoint(child->convertPointToView(CGPointMake(0, 0), other), CGPointMake(490, 490), "across roots");
}

TEST_F(GeometryTest, HitTestingSkipsHiddenTransparentAndDisabledViewsWithTheirSubviews)
{
    auto back = addView(CGRectMake(0, 0, 200, 200));
    auto front = addView(CGRectMake(0, 0, 100, 100));
    auto inner = addView(CGRectMake(10, 10, 20, 20), nil, front);
    const CGPoint p = CGPointMake(15, 15);
    EXPECT_EQ(m_window->hitTest(p, nil), inner) << "the deepest view, later siblings first";
    EXPECT_EQ(m_window->hitTest(CGPointMake(50, 50), nil), front);
    EXPECT_EQ(m_window->hitTest(CGPointMake(150, 150), nil), back);
    EXPECT_EQ(m_window->hitTest(CGPointMake(-1, 10), nil), nil) << "outside the window";

    front->setHidden(true);
    EXPECT_EQ(m_window->hitTest(p, nil), back);
    front->setHidden(false);
    front->setAlpha(0.009);
    EXPECT_EQ(m_window->hitTest(p, nil), back);
    front->setAlpha(0.01);
    EXPECT_EQ(m_window->hitTest(p, nil), inner);
    front->setUserInteractionEnabled(false);
    EXPECT_EQ(m_window->hitTest(p, nil), back);
    front->setUserInteractionEnabled(true);
    inner->setUserInteractionEnabled(false);
    EXPECT_EQ(m_window->hitTest(p, nil), front) << "a disabled leaf leaves the touch to its superview";

    // A subview outside its superview's bounds is not reached through it.
    auto outside = addView(CGRectMake(150, 0, 20, 20), nil, front);
    EXPECT_EQ(m_window->hitTest(CGPointMake(155, 5), nil), back);
    (void)outside;
}

TEST_F(GeometryTest, HitTestingFollowsTransformsAndOverriddenPointInside)
{
    auto bar = addView(CGRectMake(0, 0, 100, 10)); // centre (50, 5)
    bar->setTransform(CGAffineTransformMakeRotation(M_PI / 2)); // now upright: x 45..55, y -45..55
    EXPECT_EQ(m_window->hitTest(CGPointMake(50, 40), nil), bar);
    EXPECT_EQ(m_window->hitTest(CGPointMake(80, 5), nil), m_window);

    auto generous = alloc<GenerousView>();
    generous->initWithFrame(CGRectMake(200, 200, 10, 10));
    m_window->addSubview(generous);
    EXPECT_EQ(m_window->hitTest(CGPointMake(195, 195), nil), generous);
}

TEST_F(GeometryTest, TintIsInheritedFromTheNearestAncestorThatSetsOne)
{
    auto outer = addView(CGRectZero);
    auto middle = addView(CGRectZero, nil, outer);
    auto leaf = addView(CGRectZero, nil, middle);
    CGFloat r, g, b, a;
    ASSERT_TRUE(leaf->tintColor()->getRed(&r, &g, &b, &a));
    EXPECT_NEAR(r, 0, 1e-9);
    EXPECT_NEAR(g, 122 / 255.0, 1e-9);
    EXPECT_NEAR(b, 1, 1e-9) << "the system blue by default";

    outer->setTintColor(UIColor::redColor());
    EXPECT_TRUE(leaf->tintColor()->isEqual(UIColor::redColor()));
    middle->setTintColor(UIColor::greenColor());
    EXPECT_TRUE(leaf->tintColor()->isEqual(UIColor::greenColor()));
    leaf->removeFromSuperview();
    EXPECT_FALSE(leaf->tintColor()->isEqual(UIColor::greenColor())) << "a removed view no longer inherits";
    middle->setTintColor(nil);
    EXPECT_TRUE(middle->tintColor()->isEqual(UIColor::redColor()));
}

TEST_F(GeometryTest, ContentModesPlaceContentInTheBounds)
{
    const CGRect bounds = CGRectMake(0, 0, 100, 50);
    const CGSize size = CGSizeMake(20, 20);
    EXPECT_EQ(dv::rectForContentMode(UIViewContentModeScaleToFill, size, bounds), bounds);
    EXPECT_EQ(dv::rectForContentMode(UIViewContentModeScaleAspectFit, size, bounds), CGRectMake(25, 0, 50, 50));
    EXPECT_EQ(dv::rectForContentMode(UIViewContentModeScaleAspectFill, size, bounds), CGRectMake(0, -25, 100, 100));
    EXPECT_EQ(dv::rectForContentMode(UIViewContentModeCenter, size, bounds), CGRectMake(40, 15, 20, 20));
    EXPECT_EQ(dv::rectForContentMode(UIViewContentModeBottomRight, size, bounds), CGRectMake(80, 30, 20, 20));
    EXPECT_EQ(dv::rectForContentMode(UIViewContentModeLeft, size, bounds), CGRectMake(0, 15, 20, 20));
}
