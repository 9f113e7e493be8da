#include "UITestSupport.h"

#include "platform/dispatch/NSRunLoop.h"
#include "platform/ui/NSLayoutConstraint.h"

using namespace dv::test;

namespace {

class LayoutPassTest : public UITest {
protected:
    // One turn of the main run loop, which ends with the passes.
    void turn() { NSRunLoop::mainRunLoop()->runTurn(NSDefaultRunLoopMode, 0, 0); }
};

// Records its layouts and its drawing in the journal.
class DrawingView : public UIView {
public:
    static Ref<DrawingView> make(Journal* journal, std::string name, CGRect frame)
    {
        auto view = alloc<DrawingView>();
        view->m_journal = journal;
        view->m_name = std::move(name);
        view->initWithFrame(frame);
        return view;
    }
    int layouts = 0;
    int draws = 0;
    std::function<void()> onLayout;

    void layoutSubviews() override
    {
        ++layouts;
        m_journal->push_back(m_name + ":layout");
        if (onLayout)
            onLayout();
    }
    void drawRect(CGRect) override
    {
        ++draws;
        m_journal->push_back(m_name + ":draw");
    }

private:
    Journal* m_journal = nullptr;
    std::string m_name;
};

class FittingView : public UIView {
public:
    CGSize sizeThatFits(CGSize) const override { return CGSizeMake(80, 30); }
};

} // namespace

TEST_F(LayoutPassTest, MarkingOnlySchedulesAndTheTurnLaysOutParentsFirstThenDraws)
{
    auto a = DrawingView::make(&m_journal, "a", CGRectMake(0, 0, 100, 100));
    auto b = DrawingView::make(&m_journal, "b", CGRectMake(0, 0, 50, 50));
    auto c = DrawingView::make(&m_journal, "c", CGRectMake(0, 0, 20, 20));
    m_window->addSubview(a);
    a->addSubview(b);
    b->addSubview(c);
    EXPECT_TRUE(m_journal.empty()) << "nothing is laid out or drawn inside the calls";
    turn();
    EXPECT_EQ(m_journal, (Journal {"a:layout", "b:layout", "c:layout", "a:draw", "b:draw", "c:draw"}));

    m_journal.clear();
    c->setNeedsLayout();
    b->setNeedsDisplay();
    a->setNeedsLayout();
    c->setNeedsDisplay();
    b->setNeedsDisplay();
    EXPECT_TRUE(m_journal.empty());
    turn();
    EXPECT_EQ(m_journal, (Journal {"a:layout", "c:layout", "b:draw", "c:draw"}));
    m_journal.clear();
    turn();
    EXPECT_TRUE(m_journal.empty()) << "a pass leaves nothing behind";
}

TEST_F(LayoutPassTest, LayoutsMarkedDuringALayoutRunInTheSameTurnAfterTheirParents)
{
    auto parent = DrawingView::make(&m_journal, "parent", CGRectMake(0, 0, 100, 100));
    auto child = DrawingView::make(&m_journal, "child", CGRectMake(0, 0, 10, 10));
    parent->addSubview(child);
    m_window->addSubview(parent);
    turn();
    m_journal.clear();

    // The parent resizes its child in its layout: the child is laid out again in this turn.
    parent->onLayout = [&] { child->setFrame(CGRectMake(0, 0, 40, 40)); };
    parent->setNeedsLayout();
    turn();
    // The child's new size also marks its superview; parents still go first.
    EXPECT_EQ(m_journal, (Journal {"parent:layout", "parent:layout", "child:layout"}));
    m_journal.clear();
    turn();
    EXPECT_TRUE(m_journal.empty());
}

TEST_F(LayoutPassTest, AViewIsFirstLaidOutAndDrawnWhenItEntersAWindow)
{
    auto view = DrawingView::make(&m_journal, "v", CGRectMake(0, 0, 30, 30));
    view->setNeedsLayout();
    view->setNeedsDisplay();
    turn();
    EXPECT_TRUE(m_journal.empty()) << "outside a window nothing happens";

    m_window->addSubview(view);
    turn();
    EXPECT_EQ(m_journal, (Journal {"v:layout", "v:draw"}));

    // Leaving and coming back lays it out again (the move marks it) but does not redraw it.
    m_journal.clear();
    view->removeFromSuperview();
    m_window->addSubview(view);
    turn();
    EXPECT_EQ(m_journal, (Journal {"v:layout"}));
}

TEST_F(LayoutPassTest, SizeChangesLayOutTheViewAndItsSuperviewMovesDoNot)
{
    auto parent = DrawingView::make(&m_journal, "parent", CGRectMake(0, 0, 100, 100));
    auto child = DrawingView::make(&m_journal, "child", CGRectMake(0, 0, 10, 10));
    parent->addSubview(child);
    m_window->addSubview(parent);
    turn();
    m_journal.clear();

    child->setCenter(CGPointMake(50, 50));
    child->setFrame(CGRectMake(5, 5, 10, 10));
    turn();
    EXPECT_TRUE(m_journal.empty()) << "a move alone lays out nothing";

    child->setFrame(CGRectMake(5, 5, 12, 10));
    turn();
    EXPECT_EQ(m_journal, (Journal {"parent:layout", "child:layout"}));

    m_journal.clear();
    parent->setBounds(CGRectMake(0, 30, 100, 100)); // scrolling shows another part
    turn();
    EXPECT_EQ(m_journal, (Journal {"parent:layout"}));
}

TEST_F(LayoutPassTest, LayoutIfNeededRunsAtOnceForTheMarkedViewsOfTheSubtree)
{
    auto parent = DrawingView::make(&m_journal, "parent", CGRectMake(0, 0, 100, 100));
    auto child = DrawingView::make(&m_journal, "child", CGRectMake(0, 0, 10, 10));
    auto other = DrawingView::make(&m_journal, "other", CGRectMake(0, 0, 10, 10));
    parent->addSubview(child);
    m_window->addSubview(parent);
    m_window->addSubview(other);
    turn();
    m_journal.clear();

    child->setNeedsLayout();
    other->setNeedsLayout();
    parent->layoutIfNeeded();
    EXPECT_EQ(m_journal, (Journal {"child:layout"}));
    parent->layoutIfNeeded();
    EXPECT_EQ(m_journal.size(), 1u) << "nothing is marked any more";
    turn();
    EXPECT_EQ(m_journal, (Journal {"child:layout", "other:layout"}));

    // Views outside a window are laid out too when asked.
    auto detached = DrawingView::make(&m_journal, "detached", CGRectMake(0, 0, 10, 10));
    detached->layoutIfNeeded();
    EXPECT_EQ(m_journal.back(), "detached:layout");
}

TEST_F(LayoutPassTest, HiddenAndEmptyViewsAreDrawnOnceTheyCanBeSeen)
{
    auto hidden = DrawingView::make(&m_journal, "hidden", CGRectMake(0, 0, 10, 10));
    auto empty = DrawingView::make(&m_journal, "empty", CGRectMake(0, 0, 0, 10));
    auto inHiddenParent = DrawingView::make(&m_journal, "inner", CGRectMake(0, 0, 10, 10));
    auto parent = alloc<UIView>()->initWithFrame(CGRectMake(0, 0, 50, 50));
    hidden->setHidden(true);
    parent->setHidden(true);
    parent->addSubview(inHiddenParent);
    m_window->addSubview(hidden);
    m_window->addSubview(empty);
    m_window->addSubview(parent);
    turn();
    EXPECT_EQ(hidden->draws + empty->draws + inHiddenParent->draws, 0);

    hidden->setHidden(false);
    empty->setFrame(CGRectMake(0, 0, 10, 10));
    parent->setHidden(false);
    turn();
    EXPECT_EQ(hidden->draws, 1);
    EXPECT_EQ(empty->draws, 1);
    EXPECT_EQ(inHiddenParent->draws, 1);

    // Redrawing on request, once per turn however often it is asked.
    hidden->setNeedsDisplay();
    hidden->setNeedsDisplay();
    turn();
    EXPECT_EQ(hidden->draws, 2);
    turn();
    EXPECT_EQ(hidden->draws, 2);
}

TEST_F(LayoutPassTest, RedrawContentModeRedrawsOnResize)
{
    auto view = DrawingView::make(&m_journal, "v", CGRectMake(0, 0, 10, 10));
    m_window->addSubview(view);
    turn();
    view->setFrame(CGRectMake(0, 0, 20, 20));
    turn();
    EXPECT_EQ(view->draws, 1) << "scale to fill stretches the old drawing";
    view->setContentMode(UIViewContentModeRedraw);
    view->setFrame(CGRectMake(0, 0, 30, 30));
    turn();
    EXPECT_EQ(view->draws, 2);
}

TEST_F(LayoutPassTest, AutoresizingSharesTheChangeAmongFlexibleParts)
{
    auto parent = addView(CGRectMake(0, 0, 200, 100));
    auto fill = addView(CGRectMake(10, 10, 180, 80), nil, parent);
    fill->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    auto centred = addView(CGRectMake(50, 25, 100, 50), nil, parent);
    centred->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin
        | UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin);
    auto right = addView(CGRectMake(150, 0, 50, 20), nil, parent);
    right->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin);
    auto fixed = addView(CGRectMake(0, 0, 20, 20), nil, parent);

    parent->setFrame(CGRectMake(0, 0, 300, 200));
    EXPECT_EQ(fill->frame(), CGRectMake(10, 10, 280, 180));
    EXPECT_EQ(centred->frame(), CGRectMake(100, 75, 100, 50));
    EXPECT_EQ(right->frame(), CGRectMake(250, 0, 50, 20));
    EXPECT_EQ(fixed->frame(), CGRectMake(0, 0, 20, 20));

    parent->setAutoresizesSubviews(false);
    parent->setFrame(CGRectMake(0, 0, 100, 100));
    EXPECT_EQ(fill->frame(), CGRectMake(10, 10, 280, 180));
}

TEST_F(LayoutPassTest, CentringConstraintsTakeEffectInTheHoldersLayout)
{
    auto container = addView(CGRectMake(0, 0, 200, 100));
    auto spinner = alloc<UIView>()->initWithFrame(CGRectMake(0, 0, 20, 20));
    spinner->setTranslatesAutoresizingMaskIntoConstraints(false);
    container->addSubview(spinner);
    EXPECT_EQ(container->constraints()->count(), 0u);
    container->addConstraint(NSLayoutConstraint::constraintWithItem(spinner, NSLayoutAttributeCenterX, NSLayoutRelationEqual, container,
        NSLayoutAttributeCenterX, 1, 0));
    auto vertical = NSLayoutConstraint::constraintWithItem(spinner, NSLayoutAttributeCenterY, NSLayoutRelationEqual, container,
        NSLayoutAttributeCenterY, 1, 0);
    container->addConstraint(vertical);
    EXPECT_EQ(container->constraints()->count(), 2u);
    EXPECT_EQ(spinner->center(), CGPointMake(10, 10)) << "not before the pass";
    m_ui.runUntilIdle();
    EXPECT_EQ(spinner->center(), CGPointMake(100, 50));

    vertical->setConstant(10);
    m_ui.runUntilIdle();
    EXPECT_EQ(spinner->center(), CGPointMake(100, 60));
    container->setFrame(CGRectMake(0, 0, 100, 300));
    m_ui.runUntilIdle();
    EXPECT_EQ(spinner->center(), CGPointMake(50, 160));
}

TEST_F(LayoutPassTest, SizeToFitKeepsTheOriginAndIntrinsicSizeDefaultsToNone)
{
    auto view = alloc<FittingView>();
    view->initWithFrame(CGRectMake(10, 20, 5, 5));
    view->sizeToFit();
    EXPECT_EQ(view->frame(), CGRectMake(10, 20, 80, 30));
    auto plain = alloc<UIView>()->initWithFrame(CGRectMake(1, 2, 3, 4));
    plain->sizeToFit();
    EXPECT_EQ(plain->frame(), CGRectMake(1, 2, 3, 4));
    EXPECT_EQ(plain->intrinsicContentSize(), CGSizeMake(UIViewNoIntrinsicMetric, UIViewNoIntrinsicMetric));
}

TEST_F(LayoutPassTest, ALayoutThatNeverSettlesDoesNotStallTheLoop)
{
    auto view = DrawingView::make(&m_journal, "v", CGRectMake(0, 0, 10, 10));
    m_window->addSubview(view);
    turn();
    view->onLayout = [&] { view->setNeedsLayout(); };
    view->setNeedsLayout();
    turn(); // bounded, and logs
    const int first = view->layouts;
    EXPECT_GT(first, 1);
    view->onLayout = nullptr;
    turn();
    EXPECT_EQ(view->layouts, first + 1) << "the rest waits for the next turn";
}

TEST_F(LayoutPassTest, ViewsGoneOrRemovedBeforeTheTurnEndsAreSkipped)
{
    auto kept = DrawingView::make(&m_journal, "kept", CGRectMake(0, 0, 10, 10));
    {
        auto gone = DrawingView::make(&m_journal, "gone", CGRectMake(0, 0, 10, 10));
        m_window->addSubview(gone);
        m_window->addSubview(kept);
        gone->setNeedsDisplay();
        gone->removeFromSuperview(); // queued, then released
    }
    kept->removeFromSuperview();
    turn();
    EXPECT_TRUE(m_journal.empty()) << "neither is in a window any more";
    m_window->addSubview(kept);
    turn();
    EXPECT_EQ(m_journal, (Journal {"kept:layout", "kept:draw"})) << "what was due is done once it is back";
}
