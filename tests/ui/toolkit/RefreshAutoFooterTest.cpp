// Auto-loading footers under a person's drags: loading once the end of the content comes into
// view, only on the way down, on a drag let go at the end and on a tap of the text, content
// shorter than the screen, no more data and back, footers hiding with an empty list, the bottom
// inset they take and give back (also when they leave), spinners and image sequences.
#include "RefreshTestSupport.h"

#include "platform/base/NSArray.h"
#include "platform/graphics/UIGraphics.h"
#include "ui/toolkit/refresh/RFDIYAutoFooter.h"
#include "ui/toolkit/refresh/RFDemoGifFooter.h"
#include "ui/toolkit/refresh/RFRefreshAutoGifFooter.h"
#include "ui/toolkit/refresh/RFRefreshAutoNormalFooter.h"

using namespace dv::test;

namespace {

using NormalFooter = Journaling<RFRefreshAutoNormalFooter>;
using States = std::vector<NSInteger>;

// `count` images of 20 x `height` points.
Ref<NSArray> frames(int count, CGFloat height = 20)
{
    std::vector<id> images;
    for (int i = 0; i < count; ++i) {
        UIGraphicsBeginImageContextWithOptions(CGSizeMake(20, height), true, 1);
        UIColor::colorWithWhite(CGFloat(i) / count, 1)->setFill();
        UIRectFill(CGRectMake(0, 0, 20, height));
        images.push_back(UIGraphicsGetImageFromCurrentImageContext());
        UIGraphicsEndImageContext();
    }
    return NSArray::fromVector(std::move(images));
}

class RefreshAutoFooterTest : public RefreshTest {
protected:
    std::string text(const Ref<RFRefreshAutoStateFooter>& footer) { return m_ui.textOf(footer->stateLabel()); }
    // Runs the clock until the owner has been called back (at most a second).
    bool waitForCallback(int count)
    {
        for (int i = 0; i < 20 && m_refreshes < count; ++i)
            m_ui.advance(0.05);
        return m_refreshes == count;
    }
};

} // namespace

TEST_F(RefreshAutoFooterTest, ScrolledIntoViewItLoadsAndTheOwnerHearsOfItHalfASecondLater)
{
    auto footer = installFooter<NormalFooter>();
    EXPECT_EQ(footer->frame(), CGRectMake(0, 1200, 375, 44)) << "right after the content";
    EXPECT_EQ(m_scroll->contentInset(), UIEdgeInsetsMake(0, 0, 44, 0)) << "room to show it";
    EXPECT_EQ(text(footer), "点击或上拉加载更多");
    EXPECT_FALSE(footer->loadingView()->isAnimating());

    Finger finger(m_ui, m_scroll);
    finger.dragTo(643.5);
    EXPECT_EQ(footer->state(), RefreshStateIdle) << "half a point of it still out of view";
    finger.dragTo(644);
    EXPECT_EQ(footer->state(), RefreshStateRefreshing);
    const NSTimeInterval started = now();
    EXPECT_EQ(text(footer), "正在加载更多的数据...");
    EXPECT_TRUE(footer->loadingView()->isAnimating());
    EXPECT_EQ(footer->loadingView()->center(), CGPointMake(87.5, 22)) << "left of the text";
    finger.lift();
    m_ui.settle(m_scroll);
    advanceTo(started, 0.45);
    EXPECT_EQ(m_refreshes, 0);
    advanceTo(started, 0.55);
    EXPECT_EQ(m_refreshes, 1);

    // The page arrives: the content grows, the footer follows its end and rests again.
    m_scroll->setContentSize(CGSizeMake(375, 1600));
    EXPECT_EQ(footer->frame().origin.y, 1600);
    footer->endRefreshing();
    EXPECT_EQ(text(footer), "点击或上拉加载更多");
    EXPECT_FALSE(footer->loadingView()->isAnimating());
    EXPECT_EQ(m_scroll->contentInset().bottom, 44) << "loading takes no more room";
    drag(1044 - m_scroll->contentOffset().y);
    EXPECT_EQ(footer->state(), RefreshStateRefreshing) << "the next page at the new end";
    EXPECT_TRUE(waitForCallback(2));
    EXPECT_EQ(footer->states, (States {RefreshStateIdle, RefreshStateRefreshing, RefreshStateIdle, RefreshStateRefreshing}));
}

TEST_F(RefreshAutoFooterTest, HalfItsHeightInViewIsEnoughWhenTheOwnerSaysSo)
{
    auto footer = installFooter<NormalFooter>();
    footer->setAppearencePercentTriggerAutoRefresh(0.5);
    EXPECT_EQ(footer->triggerAutomaticallyRefreshPercent(), 0.5);
    Finger finger(m_ui, m_scroll);
    finger.dragTo(621.5);
    EXPECT_EQ(footer->state(), RefreshStateIdle);
    finger.dragTo(622);
    EXPECT_EQ(footer->state(), RefreshStateRefreshing);
    finger.lift();
}

TEST_F(RefreshAutoFooterTest, OnlyScrollingTowardsTheEndLoadsButLettingGoThereAlwaysDoes)
{
    auto footer = installFooter<NormalFooter>();
    footer->setAutomaticallyRefresh(false);
    Finger finger(m_ui, m_scroll);
    finger.dragTo(700);
    EXPECT_EQ(footer->state(), RefreshStateIdle) << "scrolling does not load when the owner says so";
    footer->setAutomaticallyRefresh(true);
    finger.dragTo(660);
    EXPECT_EQ(footer->state(), RefreshStateIdle) << "past the point, but on the way back up";
    finger.dragTo(670);
    EXPECT_EQ(footer->state(), RefreshStateRefreshing) << "down again";
    finger.lift();
    m_ui.settle(m_scroll);
    EXPECT_TRUE(waitForCallback(1));
    footer->endRefreshing();

    // Without loading on scrolling: a drag let go short of the end loads nothing, one let go at
    // the end does.
    footer->setAutomaticallyRefresh(false);
    drag(300 - m_scroll->contentOffset().y);
    EXPECT_EQ(footer->state(), RefreshStateIdle);
    Finger second(m_ui, m_scroll);
    second.dragTo(644);
    EXPECT_EQ(footer->state(), RefreshStateIdle);
    second.lift();
    EXPECT_EQ(footer->state(), RefreshStateRefreshing);
    EXPECT_TRUE(waitForCallback(2));
}

TEST_F(RefreshAutoFooterTest, BelowShortContentItLoadsWhenLetGoOrTappedNeverWhileScrolling)
{
    m_scroll->setContentSize(CGSizeMake(375, 300));
    auto footer = installFooter<NormalFooter>();
    footer->setAutomaticallyRefresh(false);
    EXPECT_EQ(footer->frame(), CGRectMake(0, 300, 375, 44));
    EXPECT_TRUE(m_ui.isVisible(footer->stateLabel()));

    Finger finger(m_ui, m_scroll);
    finger.dragTo(40);
    EXPECT_EQ(footer->state(), RefreshStateIdle) << "scrolling short content never loads";
    finger.lift();
    EXPECT_EQ(footer->state(), RefreshStateRefreshing) << "letting go does, whatever the owner said";
    m_ui.settle(m_scroll);
    EXPECT_EQ(m_scroll->contentOffset().y, 0);
    EXPECT_TRUE(waitForCallback(1));
    footer->endRefreshing();

    drag(-60);
    EXPECT_EQ(footer->state(), RefreshStateIdle) << "a pull down from the top is not for the footer";

    ASSERT_TRUE(m_ui.tap(footer->stateLabel()));
    EXPECT_EQ(footer->state(), RefreshStateRefreshing) << "tapped";
    EXPECT_TRUE(waitForCallback(2));
    footer->endRefreshingWithNoMoreData();
    EXPECT_EQ(text(footer), "已经全部加载完毕");
    EXPECT_FALSE(footer->loadingView()->isAnimating());
    ASSERT_TRUE(m_ui.tap(footer->stateLabel()));
    drag(40);
    EXPECT_EQ(footer->state(), RefreshStateNoMoreData) << "neither a tap nor a drag loads any more";
    footer->resetNoMoreData();
    EXPECT_EQ(text(footer), "点击或上拉加载更多");
    ASSERT_TRUE(m_ui.tap(footer->stateLabel()));
    EXPECT_EQ(footer->state(), RefreshStateRefreshing);
    EXPECT_TRUE(waitForCallback(3));
}

TEST_F(RefreshAutoFooterTest, PagesLoadUntilTheListIsCompleteAndAgainAfterAReset)
{
    auto rows = std::make_shared<Rows>();
    rows->sections = {20};
    auto table = addTable(rows);
    auto footer = alloc<NormalFooter>();
    footer->init();
    int pages = 0;
    // The owner: each page brings ten rows; after the second the list is complete.
    footer->setRefreshingBlock([&] {
        ++pages;
        rows->sections[0] += 10;
        table->reloadData();
        if (pages == 2)
            footer->endRefreshingWithNoMoreData();
        else
            footer->endRefreshing();
    });
    setRf_footer(table, footer);
    m_ui.runUntilIdle();
    EXPECT_EQ(footer->frame().origin.y, 880);

    auto toTheEnd = [&] { return m_ui.dragScrollView(table, CGPointMake(0, table->contentSize().height + 44 - 600 - table->contentOffset().y)); };
    ASSERT_TRUE(toTheEnd());
    m_ui.advance(0.6);
    EXPECT_EQ(pages, 1);
    EXPECT_EQ(footer->frame().origin.y, 30 * 44) << "after the new rows";
    EXPECT_EQ(footer->state(), RefreshStateIdle);
    ASSERT_TRUE(toTheEnd());
    m_ui.advance(0.6);
    EXPECT_EQ(pages, 2);
    EXPECT_EQ(footer->state(), RefreshStateNoMoreData);
    EXPECT_EQ(text(footer), "已经全部加载完毕");
    EXPECT_EQ(footer->frame().origin.y, 40 * 44);
    ASSERT_TRUE(toTheEnd());
    m_ui.advance(0.6);
    EXPECT_EQ(pages, 2) << "complete";
    EXPECT_NE(m_ui.viewWithText("第39行"), nil);

    footer->resetNoMoreData();
    ASSERT_TRUE(m_ui.dragScrollView(table, CGPointMake(0, -200)));
    ASSERT_TRUE(toTheEnd());
    m_ui.advance(0.6);
    EXPECT_EQ(pages, 3);
    EXPECT_EQ(table->contentInset().bottom, 44);
}

TEST_F(RefreshAutoFooterTest, AnEmptyListHidesTheFooterAndItsRoomOnce)
{
    auto rows = std::make_shared<Rows>();
    auto table = addTable(rows);
    table->setContentInset(UIEdgeInsetsMake(0, 0, 49, 0)); // the owner's own, under a tab bar
    auto footer = alloc<NormalFooter>();
    footer->init();
    footer->setAutomaticallyHidden(true);
    setRf_footer(table, footer);
    EXPECT_EQ(table->contentInset().bottom, 93);

    table->reloadData();
    EXPECT_TRUE(footer->isHidden());
    EXPECT_EQ(table->contentInset().bottom, 49);
    table->reloadData();
    EXPECT_EQ(table->contentInset().bottom, 49) << "hidden once";
    ASSERT_TRUE(m_ui.dragScrollView(table, CGPointMake(0, 40)));
    EXPECT_EQ(footer->states, (States {RefreshStateIdle})) << "a hidden footer does not load";

    rows->sections = {20};
    table->reloadData();
    EXPECT_FALSE(footer->isHidden());
    EXPECT_EQ(table->contentInset().bottom, 93);
    EXPECT_EQ(footer->frame().origin.y, 880);
    table->reloadData();
    EXPECT_EQ(table->contentInset().bottom, 93) << "shown once";

    // Hidden while loading, it is at rest again.
    ASSERT_TRUE(m_ui.dragScrollView(table, CGPointMake(0, 880 + 93 - 600)));
    EXPECT_EQ(footer->state(), RefreshStateRefreshing);
    rows->sections = {0};
    table->reloadData();
    EXPECT_TRUE(footer->isHidden());
    EXPECT_EQ(footer->state(), RefreshStateIdle);
    EXPECT_EQ(text(footer), "点击或上拉加载更多");
    EXPECT_EQ(table->contentInset().bottom, 49);
    m_ui.runUntilIdle();
    EXPECT_EQ(table->contentOffset().y, 0) << "the emptied list rests at its top";
}

TEST_F(RefreshAutoFooterTest, AFooterThatLeavesGivesItsRoomBackAndTheListsReloadsNoLongerReachIt)
{
    auto rows = std::make_shared<Rows>();
    rows->sections = {5};
    auto table = addTable(rows);
    auto footer = alloc<NormalFooter>();
    footer->init();
    footer->setAutomaticallyHidden(true);
    setRf_footer(table, footer);
    EXPECT_EQ(table->contentInset().bottom, 44);

    // Taken away while shown, it gives its height back; held elsewhere, it is out of the list's
    // reloads, and hiding or showing it does not touch the list it left.
    setRf_footer(table, nil);
    EXPECT_EQ(table->contentInset().bottom, 0);
    EXPECT_FALSE(static_cast<bool>(rf_reloadDataBlock(table)));
    rows->sections = {0};
    table->reloadData();
    rows->sections = {5};
    table->reloadData();
    EXPECT_FALSE(footer->isHidden());
    EXPECT_EQ(table->contentInset().bottom, 0);
    footer->setHidden(true);
    footer->setHidden(false);
    EXPECT_EQ(table->contentInset().bottom, 0);

    // Put back, then straight into another list: the first gets its room back.
    setRf_footer(table, footer);
    EXPECT_EQ(table->contentInset().bottom, 44);
    auto other = alloc<UITableView>()->initWithFrame(CGRectMake(0, 0, 375, 300), UITableViewStylePlain);
    m_window->addSubview(other);
    other->addSubview(footer);
    EXPECT_EQ(table->contentInset().bottom, 0);
    EXPECT_EQ(other->contentInset().bottom, 44);
    footer->removeFromSuperview();
    EXPECT_EQ(other->contentInset().bottom, 0);

    // A footer that grew after it came gives back what it took.
    auto gif = installFooter<RFRefreshAutoGifFooter>(table);
    EXPECT_EQ(table->contentInset().bottom, 44);
    gif->setImages(frames(2, 60), RefreshStateRefreshing);
    EXPECT_EQ(gif->frame().size.height, 60);
    setRf_footer(table, nil);
    EXPECT_EQ(table->contentInset().bottom, 0);

    // Hidden when it leaves, it has nothing to give back.
    auto hidden = installFooter<RFRefreshAutoNormalFooter>(table);
    hidden->setHidden(true);
    EXPECT_EQ(table->contentInset().bottom, 0);
    setRf_footer(table, nil);
    EXPECT_EQ(table->contentInset().bottom, 0);

    Weak<NormalFooter> weak = footer;
    footer = nil;
    EXPECT_EQ(weak.lock(), nil) << "nothing keeps a footer that left";
}

TEST_F(RefreshAutoFooterTest, WithTheLoadingTextHiddenTheSpinnerStandsInTheMiddle)
{
    auto footer = installFooter<RFRefreshAutoNormalFooter>();
    footer->setRefreshingTitleHidden(true);
    footer->setNeedsLayout();
    m_ui.runUntilIdle();
    EXPECT_EQ(footer->stateLabel()->frame(), CGRectMake(0, 0, 375, 44));
    EXPECT_EQ(footer->loadingView()->center(), CGPointMake(187.5, 22));
    drag(700);
    EXPECT_EQ(footer->state(), RefreshStateRefreshing);
    EXPECT_EQ(footer->stateLabel()->text(), nil);
    EXPECT_TRUE(footer->loadingView()->isAnimating());
    footer->endRefreshing();
    EXPECT_EQ(text(footer), "点击或上拉加载更多");

    auto gray = footer->loadingView();
    footer->setActivityIndicatorViewStyle(UIActivityIndicatorViewStyleWhiteLarge);
    EXPECT_EQ(gray->superview(), nil);
    EXPECT_EQ(footer->loadingView()->activityIndicatorViewStyle(), UIActivityIndicatorViewStyleWhiteLarge);

    footer->setTitle("加载更多"_ns, RefreshStateIdle);
    footer->setTitle(nil, RefreshStateIdle);
    EXPECT_EQ(text(footer), "加载更多");
}

TEST_F(RefreshAutoFooterTest, GifFootersPlayTheirImagesOnlyWhileLoading)
{
    auto footer = installFooter<RFRefreshAutoGifFooter>();
    auto spin = frames(4);
    footer->setImages(spin, RefreshStateRefreshing);
    footer->setImages(nil, RefreshStateIdle);
    EXPECT_EQ(footer->stateImages()->count(), 1u);
    EXPECT_EQ(footer->frame().size.height, 44);
    EXPECT_EQ(footer->gifView()->frame(), CGRectMake(0, 0, 375.0 / 2 - 90, 44));
    EXPECT_EQ(footer->gifView()->contentMode(), UIViewContentModeRight);
    EXPECT_TRUE(footer->gifView()->isHidden());

    drag(700);
    EXPECT_EQ(footer->state(), RefreshStateRefreshing);
    EXPECT_FALSE(footer->gifView()->isHidden());
    EXPECT_TRUE(footer->gifView()->isAnimating());
    EXPECT_EQ(footer->gifView()->animationImages(), spin);
    EXPECT_DOUBLE_EQ(footer->gifView()->animationDuration(), 0.4);
    footer->endRefreshingWithNoMoreData();
    EXPECT_TRUE(footer->gifView()->isHidden());
    EXPECT_FALSE(footer->gifView()->isAnimating());

    // One image stands still; a taller first image makes the footer taller.
    auto still = frames(1, 60);
    footer->setImages(still, RefreshStateRefreshing);
    EXPECT_EQ(footer->frame().size.height, 60);
    footer->resetNoMoreData();
    footer->setRefreshingTitleHidden(true);
    ASSERT_TRUE(m_ui.tap(footer->stateLabel()));
    EXPECT_EQ(footer->state(), RefreshStateRefreshing);
    EXPECT_FALSE(footer->gifView()->isAnimating());
    EXPECT_EQ(footer->gifView()->image(), still->lastObject());
    m_ui.runUntilIdle();
    EXPECT_EQ(footer->gifView()->frame(), footer->bounds());
    EXPECT_EQ(footer->gifView()->contentMode(), UIViewContentModeCenter);

    auto demo = installFooter<RFDemoGifFooter>();
    auto images = dv::as<NSArray>(demo->stateImages()->objectForKey(NSNumber::numberWithInteger(RefreshStateRefreshing)));
    ASSERT_NE(images, nil);
    EXPECT_EQ(images->count(), 3u) << "re1, re2, re3";
}

TEST_F(RefreshAutoFooterTest, TheDemonstrationFooterChangesItsTextAndSwitchWithTheState)
{
    auto footer = installFooter<RFDIYAutoFooter>();
    EXPECT_EQ(footer->frame(), CGRectMake(0, 1200, 375, 50));
    EXPECT_EQ(m_scroll->contentInset().bottom, 50);
    EXPECT_EQ(m_ui.textOf(footer->label()), "赶紧上拉吖(开关是打酱油滴)");
    EXPECT_EQ(footer->loading()->center(), CGPointMake(30, 25));
    EXPECT_FALSE(footer->s()->isOn());
    drag(700);
    EXPECT_EQ(m_ui.textOf(footer->label()), "加载数据中(开关是打酱油滴)");
    EXPECT_TRUE(footer->s()->isOn());
    EXPECT_TRUE(footer->loading()->isAnimating());
    footer->endRefreshingWithNoMoreData();
    EXPECT_EQ(m_ui.textOf(footer->label()), "木有数据了(开关是打酱油滴)");
    EXPECT_FALSE(footer->s()->isOn());
    EXPECT_FALSE(footer->loading()->isAnimating());
    footer->resetNoMoreData();
    EXPECT_EQ(m_ui.textOf(footer->label()), "赶紧上拉吖(开关是打酱油滴)");
}
