// Back footers under a person's drags: pulling past the footer's height below the content (or
// below the visible area), letting go, the bottom inset held while loading and exactly that
// given back, page after page while the content grows and the owner changes its own insets, no
// more data, collection views, a footer that leaves while loading, arrow, spinner, image
// sequences and the demonstration footers.
#include "RefreshTestSupport.h"

#include "platform/base/NSArray.h"
#include "platform/graphics/UIGraphics.h"
#include "ui/toolkit/refresh/RFDIYBackFooter.h"
#include "ui/toolkit/refresh/RFDemoGifFooter2.h"
#include "ui/toolkit/refresh/RFRefreshBackGifFooter.h"
#include "ui/toolkit/refresh/RFRefreshBackNormalFooter.h"

#include <cmath>

using namespace dv::test;

namespace {

using NormalFooter = Journaling<RFRefreshBackNormalFooter>;
using States = std::vector<NSInteger>;

const CGFloat kTurn = std::sin(0.000001 - M_PI);

// `count` images of 20 x `height` points, each of its own grey.
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

class Items : public NSObject, public UICollectionViewDataSource {
public:
    NSInteger items = 6;
    NSInteger collectionViewNumberOfItemsInSection(const Ref<UICollectionView>&, NSInteger) override { return items; }
    Ref<UICollectionViewCell> collectionViewCellForItemAtIndexPath(const Ref<UICollectionView>& view, const Ref<NSIndexPath>& indexPath) override
    {
        return view->dequeueReusableCellWithReuseIdentifier("item"_ns, indexPath);
    }
};

class RefreshBackFooterTest : public RefreshTest {
protected:
    std::string text(const Ref<RFRefreshBackStateFooter>& footer) { return m_ui.textOf(footer->stateLabel()); }
    // A drag of `scrollView` that lets go `beyond` points past the footer's pulling point.
    bool pullUp(const Ref<UIScrollView>& scrollView, const Ref<RFRefreshBackFooter>& footer, CGFloat beyond = 10)
    {
        const CGFloat to = footer->happenOffsetY() + footer->frame().size.height + beyond;
        return m_ui.dragScrollView(scrollView, CGPointMake(0, to - scrollView->contentOffset().y));
    }
};

} // namespace

TEST_F(RefreshBackFooterTest, PulledPastItsHeightAndLetGoItLoadsUntilTheOwnerEndsIt)
{
    auto footer = installFooter<NormalFooter>();
    EXPECT_EQ(footer->frame(), CGRectMake(0, 1200, 375, 44)) << "right after the content";
    EXPECT_EQ(m_scroll->contentInset(), UIEdgeInsetsZero) << "it takes no room at rest";
    EXPECT_EQ(footer->heightForContentBreakView(), 600);
    EXPECT_EQ(footer->happenOffsetY(), 600);
    EXPECT_EQ(text(footer), "上拉可以加载更多");

    Finger finger(m_ui, m_scroll);
    finger.dragTo(644);
    EXPECT_EQ(footer->state(), RefreshStateIdle) << "exactly its height in view";
    EXPECT_EQ(footer->pullingPercent(), 1);
    finger.dragTo(644.5);
    EXPECT_EQ(footer->state(), RefreshStatePulling);
    EXPECT_EQ(text(footer), "松开立即加载更多");
    finger.dragTo(640);
    EXPECT_EQ(footer->state(), RefreshStateIdle) << "dragged back";
    finger.dragTo(650);
    finger.lift();
    m_ui.settle(m_scroll);
    EXPECT_EQ(footer->states, (States {RefreshStateIdle, RefreshStatePulling, RefreshStateIdle, RefreshStatePulling, RefreshStateRefreshing}));
    EXPECT_EQ(m_scroll->contentInset(), UIEdgeInsetsMake(0, 0, 44, 0)) << "it holds itself in view";
    EXPECT_EQ(footer->lastBottomDelta(), 44);
    EXPECT_EQ(m_scroll->contentOffset().y, 644);
    EXPECT_EQ(text(footer), "正在加载更多的数据...");
    EXPECT_TRUE(m_ui.isVisible(footer->stateLabel()));
    m_ui.advance(0.25);
    EXPECT_EQ(m_refreshes, 1) << "once the footer has slid into place";

    m_ui.advance(3);
    EXPECT_EQ(footer->state(), RefreshStateRefreshing) << "until the owner ends it";
    footer->endRefreshing();
    EXPECT_EQ(m_scroll->contentInset(), UIEdgeInsetsZero);
    EXPECT_EQ(m_scroll->contentOffset().y, 600) << "nothing new: the content goes back to its end";
    EXPECT_EQ(text(footer), "上拉可以加载更多");
    m_ui.advance(0.4);
    EXPECT_LT(footer->pullingPercent(), 0.1) << "followed down to where it leaves the view";
    EXPECT_EQ(footer->state(), RefreshStateIdle);
    EXPECT_EQ(m_refreshes, 1);
}

TEST_F(RefreshBackFooterTest, BelowShortContentItWaitsUnderTheVisibleAreaAndHoldsTheGapToo)
{
    m_scroll->setContentSize(CGSizeMake(375, 300));
    auto footer = installFooter<NormalFooter>();
    EXPECT_EQ(footer->frame().origin.y, 600) << "below the visible area";
    EXPECT_EQ(footer->heightForContentBreakView(), -300);
    EXPECT_EQ(footer->happenOffsetY(), 0);

    Finger finger(m_ui, m_scroll);
    finger.dragTo(44);
    EXPECT_EQ(footer->state(), RefreshStateIdle);
    finger.dragTo(45);
    EXPECT_EQ(footer->state(), RefreshStatePulling);
    finger.lift();
    m_ui.settle(m_scroll);
    EXPECT_EQ(footer->state(), RefreshStateRefreshing);
    EXPECT_EQ(m_scroll->contentInset().bottom, 344) << "its height and the gap below the content";
    EXPECT_EQ(footer->lastBottomDelta(), 344);
    EXPECT_EQ(m_scroll->contentOffset().y, 44);
    m_ui.advance(0.25);
    EXPECT_EQ(m_refreshes, 1);

    footer->endRefreshing();
    EXPECT_EQ(m_scroll->contentInset(), UIEdgeInsetsZero);
    EXPECT_EQ(m_scroll->contentOffset().y, 0);
    // Pulled only part of the way, it follows and loads nothing.
    Finger again(m_ui, m_scroll);
    again.dragTo(22);
    EXPECT_DOUBLE_EQ(footer->pullingPercent(), 0.5);
    again.lift();
    m_ui.settle(m_scroll);
    EXPECT_LT(footer->pullingPercent(), 0.1) << "followed down to where it leaves the view";
    EXPECT_EQ(footer->state(), RefreshStateIdle);
    EXPECT_EQ(m_refreshes, 1);
}

TEST_F(RefreshBackFooterTest, PageAfterPageTheInsetComesBackExactlyWhileTheContentGrows)
{
    auto rows = std::make_shared<Rows>();
    rows->sections = {20};
    auto table = addTable(rows);
    table->setContentInset(UIEdgeInsetsMake(64, 0, 49, 0)); // the owner's, under bars
    table->setContentOffset(CGPointMake(0, -64));
    auto footer = alloc<NormalFooter>();
    footer->init();
    int pages = 0;
    std::vector<NSInteger> countsAtStart;
    // The owner: each page brings ten rows; the third page brings nothing and completes the list.
    footer->setRefreshingBlock([&] {
        ++pages;
        countsAtStart.push_back(footer->lastRefreshCount());
        if (pages < 3) {
            rows->sections[0] += 10;
            table->reloadData();
            footer->endRefreshing();
        } else {
            footer->endRefreshingWithNoMoreData();
        }
    });
    setRf_footer(table, footer);
    m_ui.runUntilIdle();
    EXPECT_EQ(footer->frame().origin.y, 880);
    EXPECT_EQ(footer->happenOffsetY(), 880 - (600 - 64 - 49) - 64);

    for (int page = 1; page <= 2; ++page) {
        ASSERT_TRUE(pullUp(table, footer));
        const CGFloat held = footer->happenOffsetY() + 44;
        EXPECT_EQ(footer->state(), RefreshStateRefreshing);
        EXPECT_EQ(table->contentInset(), UIEdgeInsetsMake(64, 0, 93, 0));
        EXPECT_EQ(table->contentOffset().y, held);
        m_ui.advance(0.25);
        EXPECT_EQ(pages, page);
        EXPECT_EQ(footer->state(), RefreshStateIdle);
        EXPECT_EQ(table->contentInset(), UIEdgeInsetsMake(64, 0, 49, 0)) << "page " << page;
        EXPECT_EQ(footer->frame().origin.y, (20 + 10 * page) * 44) << "after the new rows";
        EXPECT_EQ(table->contentOffset().y, held) << "the new rows come up from below";
        m_ui.runUntilIdle();
        EXPECT_TRUE(m_ui.isVisible(m_ui.viewWithText(NSString::stringWithFormat("第%d行", 10 + 10 * page)->UTF8String())));
        m_ui.advance(0.4);
    }
    EXPECT_EQ(countsAtStart, (std::vector<NSInteger> {20, 30}));

    // The owner changes its own insets while the last page loads: the footer gives back its part.
    ASSERT_TRUE(pullUp(table, footer));
    EXPECT_EQ(table->contentInset().bottom, 93);
    table->setContentInset(UIEdgeInsetsMake(0, 0, table->contentInset().bottom + 20, 0));
    m_ui.advance(0.25);
    EXPECT_EQ(pages, 3);
    EXPECT_EQ(footer->state(), RefreshStateNoMoreData);
    EXPECT_EQ(text(footer), "已经全部加载完毕");
    EXPECT_EQ(table->contentInset(), UIEdgeInsetsMake(0, 0, 69, 0));
    m_ui.runUntilIdle();
    EXPECT_EQ(table->contentOffset().y, 40 * 44 + 69 - 600) << "at the end of the content";

    // Complete: pulled, it follows, but letting go loads nothing.
    footer->setAutomaticallyChangeAlpha(true);
    Finger finger(m_ui, table);
    finger.dragTo(footer->happenOffsetY() + 22);
    EXPECT_DOUBLE_EQ(footer->pullingPercent(), 0.5);
    EXPECT_DOUBLE_EQ(footer->alpha(), 0.5);
    finger.dragTo(footer->happenOffsetY() + 80);
    finger.lift();
    m_ui.settle(table);
    EXPECT_EQ(footer->state(), RefreshStateNoMoreData);
    EXPECT_EQ(table->contentInset().bottom, 69);
    EXPECT_EQ(pages, 3);

    footer->setAutomaticallyChangeAlpha(false);
    footer->resetNoMoreData();
    EXPECT_EQ(text(footer), "上拉可以加载更多");
    ASSERT_TRUE(pullUp(table, footer));
    EXPECT_EQ(footer->state(), RefreshStateRefreshing);
    EXPECT_EQ(table->contentInset().bottom, 113);
}

TEST_F(RefreshBackFooterTest, InACollectionViewTheEndComesATenthOfASecondLater)
{
    auto layout = alloc<UICollectionViewFlowLayout>()->init();
    layout->setItemSize(CGSizeMake(100, 100));
    auto collection = alloc<UICollectionView>()->initWithFrame(CGRectMake(0, 0, 375, 600), layout);
    collection->registerClassForCellWithReuseIdentifier<UICollectionViewCell>("item"_ns);
    auto items = std::make_shared<Items>();
    collection->setDataSource(items);
    m_scroll->removeFromSuperview();
    m_window->addSubview(collection);
    m_ui.runUntilIdle();
    auto footer = installFooter<NormalFooter>(collection);

    ASSERT_TRUE(pullUp(collection, footer));
    EXPECT_EQ(footer->state(), RefreshStateRefreshing);
    EXPECT_EQ(footer->lastRefreshCount(), 6);
    footer->endRefreshing();
    EXPECT_EQ(footer->state(), RefreshStateRefreshing);
    m_ui.advance(0.1);
    EXPECT_EQ(footer->state(), RefreshStateIdle);
    EXPECT_EQ(collection->contentInset(), UIEdgeInsetsZero);

    ASSERT_TRUE(pullUp(collection, footer));
    footer->noticeNoMoreData();
    EXPECT_EQ(footer->state(), RefreshStateRefreshing);
    m_ui.advance(0.1);
    EXPECT_EQ(footer->state(), RefreshStateNoMoreData);
    footer->resetNoMoreData();
    ASSERT_TRUE(pullUp(collection, footer));
    footer->endRefreshingWithNoMoreData();
    EXPECT_EQ(footer->state(), RefreshStateNoMoreData) << "at once";
    EXPECT_EQ(collection->contentInset(), UIEdgeInsetsZero);
}

TEST_F(RefreshBackFooterTest, AFooterThatLeavesWhileLoadingTakesItsInsetAlong)
{
    m_scroll->setContentInset(UIEdgeInsetsMake(0, 0, 49, 0));
    auto footer = installFooter<NormalFooter>();
    ASSERT_TRUE(pullUp(m_scroll, footer));
    EXPECT_EQ(m_scroll->contentInset().bottom, 93);
    setRf_footer(m_scroll, nil);
    EXPECT_EQ(m_scroll->contentInset().bottom, 49);
    m_ui.runUntilIdle();
    EXPECT_EQ(m_scroll->contentOffset().y, 1200 + 49 - 600);
    footer->endRefreshing();
    EXPECT_EQ(m_scroll->contentInset().bottom, 49) << "given back once";

    // Hidden, a footer neither pulls nor loads.
    auto hidden = installFooter<NormalFooter>();
    hidden->setHidden(true);
    ASSERT_TRUE(pullUp(m_scroll, hidden));
    EXPECT_EQ(hidden->states, (States {RefreshStateIdle}));
    EXPECT_EQ(m_scroll->contentInset().bottom, 49);
}

TEST_F(RefreshBackFooterTest, TheArrowPointsUpAtRestDownWhenLettingGoWouldLoadAndMakesWayForTheSpinner)
{
    auto footer = installFooter<NormalFooter>();
    auto arrow = footer->arrowView();
    ASSERT_NE(arrow->image(), nil) << "RFRefresh.bundle/arrow.png";
    EXPECT_EQ(arrow->center(), CGPointMake(87.5, 22)) << "left of the text";
    EXPECT_EQ(footer->loadingView()->center(), CGPointMake(87.5, 22));
    EXPECT_NEAR(arrow->transform().b, kTurn, 1e-9) << "up";

    Finger finger(m_ui, m_scroll);
    finger.dragTo(660);
    EXPECT_EQ(arrow->transform(), CGAffineTransformIdentity) << "down";
    EXPECT_FALSE(arrow->isHidden());
    finger.lift();
    m_ui.settle(m_scroll);
    EXPECT_TRUE(arrow->isHidden());
    EXPECT_TRUE(footer->loadingView()->isAnimating());
    footer->endRefreshing();
    EXPECT_NEAR(arrow->transform().b, kTurn, 1e-9) << "up again at once";
    EXPECT_EQ(footer->loadingView()->alpha(), 0) << "the spinner fades";
    m_ui.advance(0.4);
    EXPECT_FALSE(footer->loadingView()->isAnimating());
    EXPECT_EQ(footer->loadingView()->alpha(), 1);
    EXPECT_FALSE(arrow->isHidden());

    // Loading again before the fade is over keeps the spinner.
    ASSERT_TRUE(pullUp(m_scroll, footer));
    footer->endRefreshing();
    ASSERT_TRUE(pullUp(m_scroll, footer));
    m_ui.advance(0.4);
    EXPECT_TRUE(footer->loadingView()->isAnimating());
    EXPECT_EQ(footer->loadingView()->alpha(), 1);
    EXPECT_TRUE(arrow->isHidden());
    footer->endRefreshingWithNoMoreData();
    EXPECT_TRUE(arrow->isHidden());
    EXPECT_FALSE(footer->loadingView()->isAnimating());

    // Without text the arrow stands in the middle.
    footer->stateLabel()->setHidden(true);
    footer->setNeedsLayout();
    m_ui.runUntilIdle();
    EXPECT_EQ(arrow->center(), CGPointMake(187.5, 22));
    EXPECT_EQ(dv::str(footer->titleForState(RefreshStatePulling)), "松开立即加载更多");
    EXPECT_EQ(footer->titleForState(RefreshStateWillRefresh), nil);
}

TEST_F(RefreshBackFooterTest, GifImagesFollowThePullAndPlayWhilePullingAndLoading)
{
    auto footer = installFooter<Journaling<RFRefreshBackGifFooter>>();
    auto idle = frames(10);
    footer->setImages(idle, RefreshStateIdle);
    auto spin = frames(3);
    footer->setImages(spin, RefreshStatePulling);
    EXPECT_DOUBLE_EQ(dv::as<NSNumber>(footer->stateDurations()->objectForKey(NSNumber::numberWithInteger(RefreshStatePulling)))->doubleValue(), 0.3);
    EXPECT_EQ(footer->frame().size.height, 44);
    EXPECT_EQ(footer->gifView()->frame(), CGRectMake(0, 0, 375.0 / 2 - 90, 44));
    EXPECT_EQ(footer->gifView()->contentMode(), UIViewContentModeRight);

    Finger finger(m_ui, m_scroll);
    finger.dragTo(600 + 44 * 0.45);
    EXPECT_EQ(footer->gifView()->image(), idle->objectAtIndex(4)) << "the fifth of ten at 45 %";
    finger.dragTo(644);
    EXPECT_EQ(footer->gifView()->image(), idle->objectAtIndex(9)) << "the last at 100 %";
    finger.dragTo(660);
    EXPECT_TRUE(footer->gifView()->isAnimating());
    EXPECT_EQ(footer->gifView()->animationImages(), spin);
    EXPECT_DOUBLE_EQ(footer->gifView()->animationDuration(), 0.3);
    finger.lift();
    m_ui.settle(m_scroll);
    EXPECT_EQ(footer->state(), RefreshStateRefreshing);
    EXPECT_EQ(footer->gifView()->animationImages(), spin) << "no images for loading: the pulling ones play on";
    footer->endRefreshingWithNoMoreData();
    EXPECT_TRUE(footer->gifView()->isHidden());
    footer->resetNoMoreData();
    EXPECT_FALSE(footer->gifView()->isHidden());

    // A taller first image makes the footer taller; without text the images stand in the middle.
    footer->setImages(frames(2, 60), RefreshStateRefreshing);
    EXPECT_EQ(footer->frame().size.height, 60);
    footer->stateLabel()->setHidden(true);
    m_ui.runUntilIdle();
    EXPECT_EQ(footer->gifView()->frame(), footer->bounds());
    EXPECT_EQ(footer->gifView()->contentMode(), UIViewContentModeCenter);

    auto demo = installFooter<RFDemoGifFooter2>();
    auto images = dv::as<NSArray>(demo->stateImages()->objectForKey(NSNumber::numberWithInteger(RefreshStateRefreshing)));
    ASSERT_NE(images, nil);
    EXPECT_EQ(images->count(), 3u) << "re1, re2, re3";
    ASSERT_TRUE(pullUp(m_scroll, demo));
    EXPECT_TRUE(demo->gifView()->isAnimating());
    EXPECT_DOUBLE_EQ(demo->gifView()->animationDuration(), 0.3);
}

TEST_F(RefreshBackFooterTest, TheDemonstrationFooterChangesItsTextSwitchAndColourWithThePull)
{
    auto footer = installFooter<RFDIYBackFooter>();
    EXPECT_EQ(footer->frame(), CGRectMake(0, 1200, 375, 50));
    ASSERT_NE(footer->logo()->image(), nil) << "logo";
    EXPECT_EQ(footer->logo()->frame(), CGRectMake(0, 50, 375, 100)) << "hanging below";
    EXPECT_EQ(footer->loading()->center(), CGPointMake(345, 25));
    EXPECT_EQ(m_ui.textOf(footer->label()), "赶紧上拉吖(开关是打酱油滴)");

    Finger finger(m_ui, m_scroll);
    finger.dragTo(625); // half of its 50 points
    CGFloat red = 0, green = 0, blue = 0, alpha = 0;
    ASSERT_TRUE(footer->label()->textColor()->getRed(&red, &green, &blue, &alpha));
    EXPECT_NEAR(red, 0.75, 1e-6) << "half pulled";
    EXPECT_NEAR(green, 0.25, 1e-6);
    EXPECT_NEAR(blue, 0.25, 1e-6);
    finger.dragTo(660);
    EXPECT_EQ(m_ui.textOf(footer->label()), "赶紧放开我吧(开关是打酱油滴)");
    EXPECT_TRUE(footer->s()->isOn());
    finger.lift();
    m_ui.settle(m_scroll);
    EXPECT_EQ(m_ui.textOf(footer->label()), "加载数据中(开关是打酱油滴)");
    EXPECT_TRUE(footer->loading()->isAnimating());
    footer->endRefreshingWithNoMoreData();
    EXPECT_EQ(m_ui.textOf(footer->label()), "木有数据了(开关是打酱油滴)");
    EXPECT_FALSE(footer->s()->isOn());
    EXPECT_FALSE(footer->loading()->isAnimating());
}
