// The refresh component and the scroll view's refresh categories: starting and ending a refresh
// (outside a window too), the callbacks, observations that end wherever the component goes, the
// header and footer slots, the data-count block after reloads, the base footer's hiding, and the
// geometry accessors.
#include "RefreshTestSupport.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSIndexPath.h"
#include "platform/ui/UIPanGestureRecognizer.h"
#include "ui/toolkit/refresh/RFRefreshFooter.h"
#include "ui/toolkit/refresh/RFRefreshNormalHeader.h"
#include "ui/toolkit/refresh/UILabelRFRefresh.h"

using namespace dv::test;

namespace {

using States = std::vector<NSInteger>;

// Notes "block" and "action" as the callbacks come.
class CallbackTarget : public NSObject {
    DV_CLASS(CallbackTarget, NSObject)
public:
    Journal* journal = nullptr;
    Weak<NSObject> sender;
};

// Counts how often the component's offset hook runs.
class CountingHeader : public RFRefreshNormalHeader {
public:
    int offsetChanges = 0;
    int panChanges = 0;
    void scrollViewContentOffsetDidChange(const dv::KeyValueChange& change) override
    {
        ++offsetChanges;
        RFRefreshNormalHeader::scrollViewContentOffsetDidChange(change);
    }
    void scrollViewPanStateDidChange(const dv::KeyValueChange& change) override
    {
        ++panChanges;
        RFRefreshNormalHeader::scrollViewPanStateDidChange(change);
    }
};

class RefreshComponentTest : public RefreshTest { };

} // namespace

DV_DEFINE_CLASS_WITH(CallbackTarget, b)
{
    b.method("refresh:", "v24@0:8@16", [](CallbackTarget& t, std::span<const id> args) {
        t.journal->push_back("action");
        t.sender = args.empty() ? nil : args[0];
        return nil;
    });
}

TEST_F(RefreshComponentTest, ANewComponentIsIdleAndItsAlphaFollowsThePullWhenAsked)
{
    auto header = installHeader<RFRefreshNormalHeader>();
    EXPECT_EQ(header->state(), RefreshStateIdle);
    EXPECT_FALSE(header->isRefreshing());
    EXPECT_EQ(header->alpha(), 1);
    EXPECT_EQ(header->autoresizingMask(), UIViewAutoresizingFlexibleWidth);
    EXPECT_TRUE(m_scroll->alwaysBounceVertical());

    Finger finger(m_ui, m_scroll);
    finger.dragTo(-27);
    EXPECT_EQ(header->alpha(), 1) << "not asked yet";
    header->setAutomaticallyChangeAlpha(true);
    EXPECT_EQ(header->alpha(), 0.5);
    finger.dragTo(-13.5);
    EXPECT_EQ(header->alpha(), 0.25);
    EXPECT_TRUE(header->isAutoChangeAlpha()) << "the older name";
    header->setAutoChangeAlpha(false);
    EXPECT_EQ(header->alpha(), 1);
    header->setAutomaticallyChangeAlpha(true);
    finger.dragTo(-70);
    finger.lift();
    m_ui.settle(m_scroll);
    EXPECT_EQ(header->alpha(), 1) << "a refresh shows the whole header";
    header->endRefreshing();
    m_ui.advance(0.4);
    EXPECT_EQ(header->alpha(), 0) << "and it fades as it goes";
}

TEST_F(RefreshComponentTest, ARefreshAskedForOutsideAWindowStartsAtTheFirstDrawing)
{
    auto header = installHeader<Journaling<RFRefreshNormalHeader>>();
    m_scroll->removeFromSuperview();
    header->beginRefreshing();
    EXPECT_EQ(header->state(), RefreshStateWillRefresh);
    EXPECT_TRUE(header->isRefreshing());
    m_ui.advance(1);
    EXPECT_EQ(m_refreshes, 0);
    EXPECT_EQ(m_scroll->contentInset().top, 0);

    m_window->addSubview(m_scroll);
    m_ui.runUntilIdle();
    EXPECT_EQ(header->state(), RefreshStateRefreshing);
    EXPECT_EQ(m_scroll->contentInset().top, 54);
    EXPECT_EQ(m_scroll->contentOffset().y, -54);
    m_ui.advance(0.25);
    EXPECT_EQ(m_refreshes, 1);

    // Already refreshing, another request outside the window changes nothing.
    m_scroll->removeFromSuperview();
    header->beginRefreshing();
    EXPECT_EQ(header->state(), RefreshStateRefreshing);
    m_window->addSubview(m_scroll);
    m_ui.advance(1);
    EXPECT_EQ(m_refreshes, 1);
    EXPECT_EQ(header->states, (States {RefreshStateIdle, RefreshStateWillRefresh, RefreshStateRefreshing}));

    // A second header of the same class is drawn too (its class is not taken for one that never draws).
    auto other = alloc<UIScrollView>()->initWithFrame(CGRectMake(0, 0, 375, 300));
    auto second = installHeader<Journaling<RFRefreshNormalHeader>>(other);
    second->beginRefreshing();
    m_window->addSubview(other);
    m_ui.runUntilIdle();
    EXPECT_EQ(second->state(), RefreshStateRefreshing);
}

TEST_F(RefreshComponentTest, BlockAndActionAreBothCalledOnceBlockFirstAfterTheChange)
{
    auto target = alloc<CallbackTarget>();
    target->journal = &m_journal;
    auto header = RFRefreshNormalHeader::headerWithRefreshingTarget(target, "refresh:");
    header->setRefreshingBlock([this] { m_journal.push_back("block"); });
    setRf_header(m_scroll, header);
    m_ui.runUntilIdle();
    header->beginRefreshing();
    header->executeRefreshingCallback();
    EXPECT_TRUE(m_journal.empty()) << "asynchronously";
    m_ui.runUntilIdle();
    EXPECT_EQ(m_journal, (Journal {"block", "action"}));
    EXPECT_EQ(target->sender.lock(), header);
    m_ui.advance(0.25);
    EXPECT_EQ(m_journal, (Journal {"block", "action", "block", "action"})) << "and the slide's own";

    // A target without the action, or gone, is skipped.
    m_journal.clear();
    header->setRefreshingAction("missing:");
    header->executeRefreshingCallback();
    m_ui.runUntilIdle();
    EXPECT_EQ(m_journal, (Journal {"block"}));
    header->setRefreshingAction("refresh:");
    target = nil;
    header->executeRefreshingCallback();
    m_ui.runUntilIdle();
    EXPECT_EQ(m_journal, (Journal {"block", "block"}));

    // A component gone before its turn calls nobody.
    auto made = RFRefreshNormalHeader::headerWithRefreshingBlock([this] { m_journal.push_back("late"); });
    made->executeRefreshingCallback();
    made = nil;
    m_ui.runUntilIdle();
    EXPECT_EQ(m_journal.back(), "block");
}

TEST_F(RefreshComponentTest, MovedIntoAPlainViewItStopsObservingTheScrollViewItLeft)
{
    const auto offsetObservers = m_scroll->observationCount();
    const auto panObservers = m_scroll->panGestureRecognizer()->observationCount();
    auto header = alloc<CountingHeader>();
    header->init();
    setRf_header(m_scroll, header);
    m_ui.runUntilIdle();
    EXPECT_EQ(m_scroll->observationCount(), offsetObservers + 2);
    EXPECT_EQ(m_scroll->panGestureRecognizer()->observationCount(), panObservers + 1);
    EXPECT_EQ(header->pan(), m_scroll->panGestureRecognizer());
    drag(60);
    EXPECT_GT(header->offsetChanges, 0);
    EXPECT_GT(header->panChanges, 0);

    auto plain = addView(CGRectMake(0, 0, 200, 100));
    plain->addSubview(header);
    EXPECT_EQ(m_scroll->observationCount(), offsetObservers);
    EXPECT_EQ(m_scroll->panGestureRecognizer()->observationCount(), panObservers);
    EXPECT_EQ(header->pan(), nil);
    EXPECT_EQ(header->frame().size.width, 375) << "a plain view leaves its geometry alone";
    header->offsetChanges = header->panChanges = 0;
    drag(-100);
    drag(100);
    EXPECT_EQ(header->offsetChanges, 0);
    EXPECT_EQ(header->panChanges, 0);
    EXPECT_EQ(header->state(), RefreshStateIdle);

    // Back in a scroll view it observes that one; taken out, nothing.
    auto other = alloc<UIScrollView>()->initWithFrame(CGRectMake(0, 0, 320, 300));
    m_window->addSubview(other);
    other->addSubview(header);
    EXPECT_EQ(other->observationCount(), 2u);
    EXPECT_EQ(header->frame().size.width, 320);
    EXPECT_EQ(header->scrollView(), other);
    header->removeFromSuperview();
    EXPECT_EQ(other->observationCount(), 0u);
    EXPECT_EQ(other->panGestureRecognizer()->observationCount(), 0u);
}

TEST_F(RefreshComponentTest, HiddenOrWithoutInteractionItHearsOnlyWhatItShould)
{
    auto header = alloc<CountingHeader>();
    header->init();
    setRf_header(m_scroll, header);
    m_ui.runUntilIdle();
    header->setHidden(true);
    drag(-80);
    EXPECT_EQ(header->offsetChanges, 0);
    EXPECT_EQ(header->state(), RefreshStateIdle);
    header->setHidden(false);
    header->setUserInteractionEnabled(false);
    drag(-80);
    EXPECT_EQ(header->offsetChanges, 0);
    EXPECT_EQ(m_refreshes, 0);
}

TEST_F(RefreshComponentTest, TheSlotsHoldOneHeaderBelowAndOneFooterAboveAndForgetThemWhenGone)
{
    auto content = addView(CGRectMake(0, 0, 375, 1200), nil, m_scroll);
    auto first = RFRefreshNormalHeader::headerWithRefreshingBlock({});
    setRf_header(m_scroll, first);
    EXPECT_EQ(rf_header(m_scroll), first);
    EXPECT_EQ(header(m_scroll), first) << "the older name";
    EXPECT_EQ(m_scroll->subviews()->firstObject(), first);
    setRf_header(m_scroll, first);
    EXPECT_EQ(first->superview(), m_scroll) << "the same header again changes nothing";
    EXPECT_EQ(m_scroll->subviews()->count(), 2u);

    auto second = RFRefreshNormalHeader::headerWithRefreshingBlock({});
    setHeader(m_scroll, second);
    EXPECT_EQ(first->superview(), nil);
    EXPECT_EQ(m_scroll->subviews()->firstObject(), second);
    EXPECT_EQ(rf_header(m_scroll), second);

    auto footer = RFRefreshFooter::footerWithRefreshingBlock({});
    setRf_footer(m_scroll, footer);
    EXPECT_EQ(m_scroll->subviews()->lastObject(), footer);
    EXPECT_EQ(footer->frame().size.height, 44);
    EXPECT_EQ(rf_footer(m_scroll), footer);
    EXPECT_EQ(::footer(m_scroll), footer);

    // The scroll view does not keep them: gone from the hierarchy and from their owners, the
    // slots read empty.
    Weak<RFRefreshHeader> weakHeader = second;
    second->removeFromSuperview();
    second = nil;
    EXPECT_EQ(weakHeader.lock(), nil);
    EXPECT_EQ(rf_header(m_scroll), nil);
    setFooter(m_scroll, nil);
    EXPECT_EQ(footer->superview(), nil);
    EXPECT_EQ(rf_footer(m_scroll), nil);
    EXPECT_EQ(content->superview(), m_scroll);
}

TEST_F(RefreshComponentTest, AReloadGivesTheDataCountBlockTheRowsOfEverySection)
{
    auto rows = std::make_shared<Rows>();
    rows->sections = {3, 4};
    auto table = addTable(rows);
    std::vector<NSInteger> counts;
    setRf_reloadDataBlock(table, [&](NSInteger total) { counts.push_back(total); });
    EXPECT_TRUE(static_cast<bool>(rf_reloadDataBlock(table)));
    table->reloadData();
    EXPECT_EQ(counts, (std::vector<NSInteger> {7}));
    rows->sections = {0, 0, 5};
    table->reloadData();
    EXPECT_EQ(counts, (std::vector<NSInteger> {7, 5}));
    EXPECT_EQ(rf_totalDataCount(table), 5);
    EXPECT_EQ(rf_totalDataCount(m_scroll), 0) << "a plain scroll view has no data";
    executeReloadDataBlock(m_scroll);
    setRf_reloadDataBlock(table, nil);
    EXPECT_FALSE(static_cast<bool>(rf_reloadDataBlock(table)));
    table->reloadData();
    EXPECT_EQ(counts.size(), 2u);
    dv::installRefreshReloadDataHooks();
    setRf_reloadDataBlock(table, [&](NSInteger total) { counts.push_back(total); });
    table->reloadData();
    EXPECT_EQ(counts.size(), 3u) << "installing twice does not call twice";
}

TEST_F(RefreshComponentTest, AFooterHidesWithAnEmptyListAndTakesItsBlockAlongWhenItLeaves)
{
    auto rows = std::make_shared<Rows>();
    rows->sections = {5};
    auto table = addTable(rows);
    auto footer = RFRefreshFooter::footerWithRefreshingBlock({});
    footer->setAutomaticallyHidden(true);
    setRf_footer(table, footer);
    rows->sections = {0};
    table->reloadData();
    EXPECT_TRUE(footer->isHidden());
    rows->sections = {2};
    table->reloadData();
    EXPECT_FALSE(footer->isHidden());
    footer->setAutomaticallyHidden(false);
    rows->sections = {0};
    table->reloadData();
    EXPECT_FALSE(footer->isHidden()) << "only when asked";

    // No more data and back.
    footer->endRefreshingWithNoMoreData();
    EXPECT_EQ(footer->state(), RefreshStateNoMoreData);
    footer->resetNoMoreData();
    EXPECT_EQ(footer->state(), RefreshStateIdle);
    footer->noticeNoMoreData();
    EXPECT_EQ(footer->state(), RefreshStateNoMoreData);

    // The block holds the footer weakly and goes with it.
    Weak<RFRefreshFooter> weak = footer;
    setRf_footer(table, nil);
    EXPECT_FALSE(static_cast<bool>(rf_reloadDataBlock(table)));
    footer = nil;
    EXPECT_EQ(weak.lock(), nil);
    table->reloadData();

    // A footer whose block another footer has replaced leaves that one in place; one moved into
    // a plain view takes its own along.
    auto older = RFRefreshFooter::footerWithRefreshingBlock({});
    table->addSubview(older);
    auto newer = RFRefreshFooter::footerWithRefreshingBlock({});
    setRf_footer(table, newer);
    older->removeFromSuperview();
    EXPECT_TRUE(static_cast<bool>(rf_reloadDataBlock(table)));
    newer->setAutomaticallyHidden(true);
    rows->sections = {0};
    table->reloadData();
    EXPECT_TRUE(newer->isHidden());
    addView(CGRectMake(0, 0, 100, 100))->addSubview(newer);
    EXPECT_FALSE(static_cast<bool>(rf_reloadDataBlock(table)));

    // Outside tables and collections there is no block at all.
    auto plainFooter = RFRefreshFooter::footerWithRefreshingBlock({});
    setRf_footer(m_scroll, plainFooter);
    EXPECT_FALSE(static_cast<bool>(rf_reloadDataBlock(m_scroll)));
}

TEST_F(RefreshComponentTest, EachAccessorChangesOnlyItsOwnField)
{
    m_scroll->setContentInset(UIEdgeInsetsMake(10, 20, 30, 40));
    setRf_insetB(m_scroll.get(), 44);
    EXPECT_EQ(m_scroll->contentInset(), UIEdgeInsetsMake(10, 20, 44, 40));
    setRf_insetT(m_scroll.get(), 1);
    setRf_insetL(m_scroll.get(), 2);
    setRf_insetR(m_scroll.get(), 3);
    EXPECT_EQ(m_scroll->contentInset(), UIEdgeInsetsMake(1, 2, 44, 3));
    EXPECT_EQ(rf_insetT(m_scroll.get()) + rf_insetL(m_scroll.get()) + rf_insetB(m_scroll.get()) + rf_insetR(m_scroll.get()), 50);
    setRf_contentH(m_scroll.get(), 900);
    EXPECT_EQ(m_scroll->contentSize(), CGSizeMake(375, 900));
    setRf_contentW(m_scroll.get(), 400);
    EXPECT_EQ(rf_contentW(m_scroll.get()), 400);
    setRf_offsetY(m_scroll.get(), 120);
    setRf_offsetX(m_scroll.get(), 5);
    EXPECT_EQ(m_scroll->contentOffset(), CGPointMake(5, 120));
    EXPECT_EQ(rf_offsetY(m_scroll.get()), 120);

    auto view = addView(CGRectMake(1, 2, 3, 4));
    setRf_y(view.get(), 20);
    setRf_width(view.get(), 30);
    EXPECT_EQ(view->frame(), CGRectMake(1, 20, 30, 4));
    setRf_h(view.get(), 40);
    setRf_x(view.get(), 10);
    EXPECT_EQ(view->frame(), CGRectMake(10, 20, 30, 40));
    setRf_origin(view.get(), CGPointMake(5, 6));
    EXPECT_EQ(rf_size(view.get()), CGSizeMake(30, 40));
    setRf_size(view.get(), CGSizeMake(7, 8));
    EXPECT_EQ(view->frame(), CGRectMake(5, 6, 7, 8));
    EXPECT_EQ(rf_height(view.get()) + rf_width(view.get()) + rf_y(view.get()), 21);
    EXPECT_EQ(rf_w(nullptr), 0) << "no view reads as 0";
    setRf_x(nullptr, 3);

    auto made = label();
    EXPECT_EQ(made->textAlignment(), NSTextAlignmentCenter);
    EXPECT_EQ(made->font()->pointSize(), 14);
    EXPECT_EQ(made->autoresizingMask(), UIViewAutoresizingFlexibleWidth);
}
