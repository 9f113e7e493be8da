#include "UITestSupport.h"

#include "platform/base/NSException.h"

using namespace dv::test;

namespace {

class ViewHierarchyTest : public UITest { };

class FocusableView : public UIView {
public:
    bool canBecomeFirstResponder() const override { return true; }
};

} // namespace

TEST_F(ViewHierarchyTest, AddingToAWindowCallsBackInThePlatformsOrder)
{
    auto parent = RecordingView::make(&m_journal, "parent");
    auto child = RecordingView::make(&m_journal, "child");
    parent->addSubview(child);
    EXPECT_EQ(m_journal, (Journal {"child:willMoveToSuperview", "child:didMoveToSuperview", "parent:didAddSubview"}));
    EXPECT_EQ(child->window(), nil);

    m_journal.clear();
    m_window->addSubview(parent);
    EXPECT_EQ(m_journal, (Journal {"parent:willMoveToSuperview", "parent:willMoveToWindow", "child:willMoveToWindow", "parent:didMoveToWindow",
                             "child:didMoveToWindow", "parent:didMoveToSuperview"}));
    EXPECT_EQ(child->window(), m_window);
    EXPECT_EQ(parent->superview(), m_window);
}

TEST_F(ViewHierarchyTest, RemovalPassesNilAfterTheSuperviewHearsIt)
{
    auto parent = RecordingView::make(&m_journal, "parent");
    auto child = RecordingView::make(&m_journal, "child");
    m_window->addSubview(parent);
    parent->addSubview(child);
    m_journal.clear();

    child->removeFromSuperview();
    EXPECT_EQ(m_journal, (Journal {"parent:willRemoveSubview", "child:willMoveToSuperview:nil", "child:willMoveToWindow:nil",
                             "child:didMoveToWindow:nil", "child:didMoveToSuperview:nil"}));
    EXPECT_EQ(child->superview(), nil);
    EXPECT_EQ(child->window(), nil);
    EXPECT_EQ(parent->subviews()->count(), 0u);

    m_journal.clear();
    child->removeFromSuperview(); // no superview: nothing happens
    EXPECT_TRUE(m_journal.empty());
}

TEST_F(ViewHierarchyTest, MovingToAnotherSuperviewLeavesTheOldOneWithoutANilMove)
{
    auto a = RecordingView::make(&m_journal, "a");
    auto b = RecordingView::make(&m_journal, "b");
    auto child = RecordingView::make(&m_journal, "child");
    m_window->addSubview(a);
    m_window->addSubview(b);
    a->addSubview(child);
    m_journal.clear();

    b->addSubview(child);
    // Same window: no window callbacks; the old superview hears the removal.
    EXPECT_EQ(m_journal, (Journal {"a:willRemoveSubview", "child:willMoveToSuperview", "child:didMoveToSuperview", "b:didAddSubview"}));
    EXPECT_EQ(a->subviews()->count(), 0u);
    EXPECT_EQ(child->superview(), b);
}

TEST_F(ViewHierarchyTest, SubviewOrderFollowsInsertionsAndReordering)
{
    auto a = addView(CGRectZero), b = addView(CGRectZero), c = alloc<UIView>()->init(), d = alloc<UIView>()->init();
    auto order = [&] {
        std::string s;
        const auto subviews = m_window->subviews();
        for (auto& v : subviews->items())
            s += v == a ? "a" : v == b ? "b" : v == c ? "c" : v == d ? "d" : "?";
        return s;
    };
    m_window->insertSubviewAtIndex(c, 0);
    EXPECT_EQ(order(), "cab");
    m_window->insertSubviewAboveSubview(d, a);
    EXPECT_EQ(order(), "cadb");
    m_window->bringSubviewToFront(c);
    EXPECT_EQ(order(), "adbc");
    m_window->sendSubviewToBack(b);
    EXPECT_EQ(order(), "badc");
    m_window->insertSubviewBelowSubview(c, a); // a move among siblings
    EXPECT_EQ(order(), "bcad");
    m_window->insertSubviewAtIndex(b, 99); // clamped to the end
    EXPECT_EQ(order(), "cadb");
    m_window->addSubview(c); // re-adding brings it to the front without callbacks
    EXPECT_EQ(order(), "adbc");
}

TEST_F(ViewHierarchyTest, AddingItselfOrAnAncestorRaises)
{
    auto parent = addView(CGRectZero);
    auto child = addView(CGRectZero, nil, parent);
    EXPECT_THROW(child->addSubview(child), dv::RaisedException);
    EXPECT_THROW(child->addSubview(parent), dv::RaisedException);
    EXPECT_EQ(child->superview(), parent);
}

TEST_F(ViewHierarchyTest, ViewWithTagSearchesDepthFirstIncludingItself)
{
    auto a = addView(CGRectZero);
    auto a1 = addView(CGRectZero, nil, a);
    auto b = addView(CGRectZero);
    a1->setTag(7);
    b->setTag(7);
    a->setTag(3);
    EXPECT_EQ(m_window->viewWithTag(7), a1);
    EXPECT_EQ(a->viewWithTag(3), a);
    EXPECT_EQ(b->viewWithTag(3), nil);
    EXPECT_TRUE(a1->isDescendantOfView(m_window));
    EXPECT_FALSE(a->isDescendantOfView(a1));
}

TEST_F(ViewHierarchyTest, TheTreeOwnsDownwardsOnly)
{
    const auto before = dv::liveObjectCount();
    Weak<UIView> weakChild;
    {
        auto parent = alloc<UIView>()->init();
        auto child = alloc<UIView>()->init();
        parent->addSubview(child);
        parent->layer()->setCornerRadius(3);
        child->addGestureRecognizer(alloc<UIGestureRecognizer>());
        weakChild = child;
    }
    EXPECT_TRUE(weakChild.expired());
    EXPECT_EQ(dv::liveObjectCount(), before);

    // A subview kept elsewhere outlives its superview, which it no longer sees.
    auto kept = alloc<UIView>()->init();
    {
        auto parent = alloc<UIView>()->init();
        parent->addSubview(kept);
    }
    EXPECT_EQ(kept->superview(), nil);
}

TEST_F(ViewHierarchyTest, GestureRecognizersBelongToOneViewAtATime)
{
    auto a = addView(CGRectZero), b = addView(CGRectZero);
    auto recognizer = alloc<UIGestureRecognizer>();
    EXPECT_EQ(a->gestureRecognizers(), nil);
    a->addGestureRecognizer(recognizer);
    EXPECT_EQ(recognizer->view(), a);
    b->addGestureRecognizer(recognizer);
    EXPECT_EQ(recognizer->view(), b);
    EXPECT_EQ(a->gestureRecognizers(), nil);
    EXPECT_EQ(b->gestureRecognizers()->count(), 1u);
    b->removeGestureRecognizer(recognizer);
    EXPECT_EQ(recognizer->view(), nil);
}

TEST_F(ViewHierarchyTest, FirstResponderResignsWhenItLeavesTheWindow)
{
    auto container = addView(CGRectMake(0, 0, 100, 100));
    auto field = alloc<FocusableView>();
    field->initWithFrame(CGRectMake(0, 0, 50, 20));
    EXPECT_FALSE(field->becomeFirstResponder()) << "not in a window";
    container->addSubview(field);
    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_TRUE(field->isFirstResponder());
    EXPECT_EQ(m_window->firstResponder(), field);

    container->removeFromSuperview();
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_EQ(m_window->firstResponder(), nil);
}
