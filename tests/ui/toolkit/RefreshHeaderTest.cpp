// Refresh headers under a person's drags: pulling past the header's height, letting go, the inset
// held while refreshing and given back at the end, the texts with the last refresh time on a
// fixed clock, the arrow and spinner, image sequences, collection views and the reload hook.
#include "RefreshTestSupport.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSIndexPath.h"
#include "platform/graphics/UIGraphics.h"
#include "ui/toolkit/refresh/RFDIYHeader.h"
#include "ui/toolkit/refresh/RFDemoGifHeader.h"
#include "ui/toolkit/refresh/RFRefreshGifHeader.h"
#include "ui/toolkit/refresh/RFRefreshNormalHeader.h"
#include "ui/toolkit/refresh/internal/RefreshSupport.h"

#include <cmath>

using namespace dv::test;

namespace {

using NormalHeader = Journaling<RFRefreshNormalHeader>;
using States = std::vector<NSInteger>;

class Items : public NSObject, public UICollectionViewDataSource {
public:
    NSInteger items = 6;
    NSInteger collectionViewNumberOfItemsInSection(const Ref<UICollectionView>&, NSInteger) override { return items; }
    Ref<UICollectionViewCell> collectionViewCellForItemAtIndexPath(const Ref<UICollectionView>& view, const Ref<NSIndexPath>& indexPath) override
    {
        return view->dequeueReusableCellWithReuseIdentifier("item"_ns, indexPath);
    }
};

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

class RefreshHeaderTest : public RefreshTest {
protected:
    std::string lastUpdatedText(const Ref<RFRefreshStateHeader>& header) { return dv::str(header->lastUpdatedTimeLabel()->text()); }
};

} // namespace

TEST_F(RefreshHeaderTest, PulledPastItsHeightAndLetGoItRefreshesUntilTheOwnerEndsIt)
{
    auto header = installHeader<NormalHeader>();
    EXPECT_EQ(header->state(), RefreshStateIdle);
    EXPECT_EQ(header->frame(), CGRectMake(0, -54, 375, 54));
    EXPECT_EQ(m_ui.textOf(header->stateLabel()), "下拉可以刷新");

    drag(-80);
    EXPECT_EQ(header->states, (States {RefreshStateIdle, RefreshStatePulling, RefreshStateRefreshing}));
    EXPECT_EQ(m_scroll->contentInset().top, 54) << "the header holds itself in view";
    EXPECT_EQ(m_scroll->contentOffset().y, -54);
    EXPECT_TRUE(m_ui.isVisible(m_ui.viewWithText("正在刷新数据中...")));
    EXPECT_TRUE(header->loadingView()->isAnimating());
    EXPECT_TRUE(header->arrowView()->isHidden());
    EXPECT_EQ(m_refreshes, 0) << "the owner hears of it once the header has slid into place";
    m_ui.advance(0.25);
    EXPECT_EQ(m_refreshes, 1);

    m_ui.advance(3);
    EXPECT_EQ(header->state(), RefreshStateRefreshing) << "until the owner ends it";
    header->endRefreshing();
    EXPECT_EQ(header->states, (States {RefreshStateIdle, RefreshStatePulling, RefreshStateRefreshing, RefreshStateIdle}));
    EXPECT_EQ(m_scroll->contentInset(), UIEdgeInsetsZero);
    EXPECT_EQ(m_scroll->contentOffset().y, 0) << "and slides away";
    EXPECT_EQ(m_ui.textOf(header->stateLabel()), "下拉可以刷新");
    m_ui.advance(0.4);
    EXPECT_EQ(header->pullingPercent(), 0);
    EXPECT_FALSE(header->loadingView()->isAnimating());
    EXPECT_FALSE(header->arrowView()->isHidden());
    EXPECT_EQ(m_refreshes, 1);
}

TEST_F(RefreshHeaderTest, AnInsetOfTheOwnersOwnIsGivenBackExactly)
{
    m_scroll->setContentInset(UIEdgeInsetsMake(64, 0, 49, 0));
    m_scroll->setContentOffset(CGPointMake(0, -64));
    auto header = installHeader<NormalHeader>();
    drag(-70);
    EXPECT_EQ(header->state(), RefreshStateRefreshing);
    EXPECT_EQ(m_scroll->contentInset(), UIEdgeInsetsMake(118, 0, 49, 0));
    EXPECT_EQ(m_scroll->contentOffset().y, -118);
    EXPECT_EQ(header->insetTDelta(), -54);
    m_ui.advance(0.25);

    // Scrolled down while refreshing, the header gives up its share of the inset as it goes.
    drag(100);
    EXPECT_EQ(m_scroll->contentInset().top, 64);
    EXPECT_EQ(header->insetTDelta(), 0);
    drag(-100);
    EXPECT_EQ(m_scroll->contentInset().top, 118) << "and takes it again when pulled back";

    header->endRefreshing();
    m_ui.advance(0.4);
    EXPECT_EQ(m_scroll->contentInset(), UIEdgeInsetsMake(64, 0, 49, 0));
    EXPECT_EQ(m_scroll->contentOffset().y, -64);
    EXPECT_EQ(header->state(), RefreshStateIdle);
}

TEST_F(RefreshHeaderTest, ExactlyItsHeightStaysIdleAndHalfAPointMorePulls)
{
    auto header = installHeader<NormalHeader>();
    Finger finger(m_ui, m_scroll);
    finger.dragTo(-54);
    EXPECT_EQ(m_scroll->contentOffset().y, -54);
    EXPECT_EQ(header->state(), RefreshStateIdle);
    EXPECT_EQ(header->pullingPercent(), 1);
    finger.dragTo(-54.5);
    EXPECT_EQ(header->state(), RefreshStatePulling);
    EXPECT_EQ(m_ui.textOf(header->stateLabel()), "松开立即刷新");
    EXPECT_NEAR(header->arrowView()->transform().b, std::sin(0.000001 - M_PI), 1e-9) << "the arrow points up";
    finger.dragTo(-54);
    EXPECT_EQ(header->state(), RefreshStateIdle) << "dragged back";
    EXPECT_EQ(header->arrowView()->transform(), CGAffineTransformIdentity);
    finger.dragTo(-60);
    EXPECT_EQ(header->state(), RefreshStatePulling);
    finger.lift();
    m_ui.settle(m_scroll);
    EXPECT_EQ(header->states, (States {RefreshStateIdle, RefreshStatePulling, RefreshStateIdle, RefreshStatePulling, RefreshStateRefreshing}));
    EXPECT_EQ(m_scroll->contentInset().top, 54);
    EXPECT_EQ(m_scroll->contentOffset().y, -54);
}

TEST_F(RefreshHeaderTest, LetGoShortOfItsHeightItRefreshesNothingAndFollowsTheBounce)
{
    auto header = installHeader<NormalHeader>();
    Finger finger(m_ui, m_scroll);
    finger.dragTo(-40);
    EXPECT_NEAR(header->pullingPercent(), 40.0 / 54, 1e-9);
    finger.lift();
    std::vector<CGFloat> percents;
    while (dv::isScrollViewMoving(*m_scroll)) {
        m_ui.advance(1.0 / 60);
        percents.push_back(header->pullingPercent());
    }
    ASSERT_GT(percents.size(), 3u);
    EXPECT_TRUE(std::is_sorted(percents.rbegin(), percents.rend())) << "shrinking as the content springs back";
    EXPECT_EQ(percents.back(), 0);
    m_ui.advance(1);
    EXPECT_EQ(header->states, (States {RefreshStateIdle})) << "as it was made";
    EXPECT_EQ(m_refreshes, 0);
    EXPECT_EQ(m_scroll->contentInset().top, 0);
}

TEST_F(RefreshHeaderTest, AnIgnoredTopInsetMovesTheHeaderUp)
{
    auto header = alloc<RFRefreshNormalHeader>();
    header->init();
    header->setIgnoredScrollViewContentInsetTop(20);
    setRf_header(m_scroll, header);
    m_ui.runUntilIdle();
    EXPECT_EQ(header->frame(), CGRectMake(0, -74, 375, 54));
}

TEST_F(RefreshHeaderTest, EndingARefreshShowsTodaysTimeAtOnce)
{
    m_clock->setNow(shanghaiDate(2027, 3, 15, 10, 30)->timeIntervalSinceReferenceDate());
    auto header = installHeader<NormalHeader>();
    EXPECT_EQ(lastUpdatedText(header), "最后更新：无记录");
    EXPECT_EQ(header->lastUpdatedTime(), nil);
    drag(-80);
    m_ui.advance(0.25);
    m_ui.advance(120);
    header->endRefreshing();
    EXPECT_EQ(lastUpdatedText(header), "最后更新：今天 10:32");
    auto stored = NSUserDefaults::standardUserDefaults()->dateForKey("RFRefreshHeaderLastUpdatedTimeKey"_ns);
    ASSERT_NE(stored, nil);
    EXPECT_NEAR(stored->timeIntervalSinceReferenceDate(), shanghaiDate(2027, 3, 15, 10, 32)->timeIntervalSinceReferenceDate(), 1);
    EXPECT_TRUE(dv::equal(header->lastUpdatedTime(), stored));

    // Another header of the same key shows the same time; another key has its own.
    auto second = alloc<RFRefreshStateHeader>();
    second->init();
    EXPECT_EQ(lastUpdatedText(second), "最后更新：今天 10:32");
    second->setLastUpdatedTimeKey("VQGroupListRefreshTime"_ns);
    EXPECT_EQ(lastUpdatedText(second), "最后更新：无记录");
}

TEST_F(RefreshHeaderTest, EarlierDaysShowTheirDateAndEarlierYearsTheYearToo)
{
    auto defaults = NSUserDefaults::standardUserDefaults();
    auto key = "RFRefreshHeaderLastUpdatedTimeKey"_ns;
    auto header = alloc<RFRefreshStateHeader>();
    header->init();
    auto textAt = [&](Ref<NSDate> stored, Ref<NSDate> now) {
        m_clock->setNow(now->timeIntervalSinceReferenceDate());
        defaults->setObjectForKey(stored, key);
        header->setLastUpdatedTimeKey(key);
        return lastUpdatedText(header);
    };
    // The clock only goes forward: the cases come in its order.
    EXPECT_EQ(textAt(shanghaiDate(2026, 12, 31, 23, 59), shanghaiDate(2027, 1, 1, 0, 1)), "最后更新：2026-12-31 23:59")
        << "yesterday, but last year";
    EXPECT_EQ(textAt(shanghaiDate(2027, 3, 14, 22, 7), shanghaiDate(2027, 3, 15, 8, 0)), "最后更新：03-14 22:07") << "yesterday";
    EXPECT_EQ(textAt(shanghaiDate(2027, 1, 2, 9, 0), shanghaiDate(2027, 3, 15, 8, 0)), "最后更新：01-02 09:00");
    EXPECT_EQ(textAt(shanghaiDate(2019, 6, 1, 12, 0), shanghaiDate(2027, 3, 15, 8, 0)), "最后更新：2019-06-01 12:00");
    EXPECT_EQ(textAt(shanghaiDate(2026, 3, 15, 8, 0), shanghaiDate(2027, 3, 15, 8, 0)), "最后更新：2026-03-15 08:00")
        << "the same day of another year is not today";
    EXPECT_EQ(textAt(shanghaiDate(2028, 3, 15, 8, 0), shanghaiDate(2027, 3, 15, 8, 0)), "最后更新：2028-03-15 08:00");
    EXPECT_EQ(textAt(shanghaiDate(2027, 3, 15, 0, 5), shanghaiDate(2027, 3, 15, 23, 59)), "最后更新：今天 00:05");
}

TEST_F(RefreshHeaderTest, AnOwnersTextForTheTimeIsShownEvenWithoutOne)
{
    auto header = alloc<RFRefreshStateHeader>();
    header->init();
    std::vector<bool> given;
    header->setLastUpdatedTimeText([&](const Ref<NSDate>& date) {
        given.push_back(date != nil);
        return date ? "刚刚刷新"_ns : "从未刷新"_ns;
    });
    header->setLastUpdatedTimeKey(header->lastUpdatedTimeKey());
    EXPECT_EQ(lastUpdatedText(header), "从未刷新");
    NSUserDefaults::standardUserDefaults()->setObjectForKey(NSDate::date(), header->lastUpdatedTimeKey());
    header->setLastUpdatedTimeKey(header->lastUpdatedTimeKey());
    EXPECT_EQ(lastUpdatedText(header), "刚刚刷新");
    EXPECT_EQ(given, (std::vector<bool> {false, true}));

    // A hidden time label is left alone.
    header->lastUpdatedTimeLabel()->setHidden(true);
    header->lastUpdatedTimeLabel()->setText(nil);
    header->setLastUpdatedTimeKey(header->lastUpdatedTimeKey());
    EXPECT_EQ(header->lastUpdatedTimeLabel()->text(), nil);
}

TEST_F(RefreshHeaderTest, LabelsShareTheHeaderAndTheArrowStandsLeftOfTheText)
{
    auto header = installHeader<RFRefreshNormalHeader>();
    EXPECT_EQ(header->stateLabel()->frame(), CGRectMake(0, 0, 375, 27));
    EXPECT_EQ(header->lastUpdatedTimeLabel()->frame(), CGRectMake(0, 27, 375, 27));
    ASSERT_NE(header->arrowView()->image(), nil) << "RFRefresh.bundle/arrow.png";
    EXPECT_EQ(header->arrowView()->image()->size(), CGSizeMake(15, 40));
    EXPECT_EQ(header->arrowView()->frame(), CGRectMake(187.5 - 100 - 7.5, 7, 15, 40));
    EXPECT_EQ(header->loadingView()->center(), CGPointMake(87.5, 27));

    // Pulled into view, the arrow shows left of the text, dark on white.
    Finger finger(m_ui, m_scroll);
    finger.dragTo(-54);
    const Pixels shot(m_ui.screenshot(2));
    EXPECT_LT(shot.at(87.5, 27)[0], 200) << show(shot.at(87.5, 27));
    EXPECT_TRUE(near(shot.at(80, 27), {255, 255, 255, 255})) << show(shot.at(80, 27));
    finger.lift();
    m_ui.settle(m_scroll);

    // Without the time, the state label takes the whole header; without text, the arrow the middle.
    auto single = alloc<RFRefreshNormalHeader>();
    single->init();
    single->lastUpdatedTimeLabel()->setHidden(true);
    auto bare = alloc<RFRefreshNormalHeader>();
    bare->init();
    bare->stateLabel()->setHidden(true);
    auto other = alloc<UIScrollView>()->initWithFrame(CGRectMake(0, 0, 375, 300));
    m_window->addSubview(other);
    setRf_header(m_scroll, single);
    setRf_header(other, bare);
    m_ui.runUntilIdle();
    EXPECT_EQ(single->stateLabel()->frame(), CGRectMake(0, 0, 375, 54));
    EXPECT_EQ(single->arrowView()->center(), CGPointMake(87.5, 27));
    EXPECT_EQ(bare->arrowView()->center(), CGPointMake(187.5, 27));
    EXPECT_EQ(bare->loadingView()->center(), CGPointMake(187.5, 27));
}

TEST_F(RefreshHeaderTest, ANewSpinnerStyleReplacesTheSpinner)
{
    auto header = installHeader<RFRefreshNormalHeader>();
    auto gray = header->loadingView();
    EXPECT_EQ(gray->activityIndicatorViewStyle(), UIActivityIndicatorViewStyleGray);
    header->setActivityIndicatorViewStyle(UIActivityIndicatorViewStyleWhiteLarge);
    m_ui.runUntilIdle();
    EXPECT_EQ(gray->superview(), nil);
    EXPECT_EQ(header->loadingView()->activityIndicatorViewStyle(), UIActivityIndicatorViewStyleWhiteLarge);
    drag(-80);
    EXPECT_TRUE(header->loadingView()->isAnimating());
    EXPECT_EQ(m_ui.findAll<UIActivityIndicatorView>(true).size(), 1u);
}

TEST_F(RefreshHeaderTest, AHeaderWithoutHeightPullsAtZeroPercent)
{
    auto header = alloc<NormalHeader>();
    header->init();
    setRf_h(header.get(), 0);
    setRf_header(m_scroll, header);
    m_ui.runUntilIdle();
    Finger finger(m_ui, m_scroll);
    finger.dragTo(-30);
    EXPECT_EQ(header->pullingPercent(), 0) << "no division by the height";
    EXPECT_EQ(header->state(), RefreshStatePulling);
    finger.lift();
    m_ui.settle(m_scroll);
    EXPECT_EQ(header->state(), RefreshStateRefreshing);
    EXPECT_TRUE(std::isfinite(header->pullingPercent()));
    EXPECT_EQ(m_scroll->contentInset().top, 0);
}

TEST_F(RefreshHeaderTest, GifImagesFollowThePullAndStayWithinTheSequence)
{
    auto header = installHeader<Journaling<RFRefreshGifHeader>>();
    auto idle = frames(10);
    header->setImages(idle, RefreshStateIdle);
    auto spin = frames(4);
    header->setImages(spin, 0.8, RefreshStatePulling);
    auto still = frames(1);
    header->setImages(still, RefreshStateRefreshing);
    EXPECT_EQ(header->frame().size.height, 54) << "smaller images never shrink it";
    EXPECT_EQ(header->gifView()->frame(), CGRectMake(0, 0, 375.0 / 2 - 90, 54));
    EXPECT_EQ(header->gifView()->contentMode(), UIViewContentModeRight);

    Finger finger(m_ui, m_scroll);
    finger.dragTo(-54 * 0.55);
    EXPECT_EQ(header->gifView()->image(), idle->objectAtIndex(5)) << "the sixth of ten at 55 %";
    finger.dragTo(-54);
    EXPECT_EQ(header->gifView()->image(), idle->objectAtIndex(9)) << "the last at 100 %";
    finger.dragTo(-70);
    EXPECT_EQ(header->state(), RefreshStatePulling);
    EXPECT_TRUE(header->gifView()->isAnimating());
    EXPECT_EQ(header->gifView()->animationImages(), spin);
    EXPECT_EQ(header->gifView()->animationDuration(), 0.8);
    finger.lift();
    m_ui.settle(m_scroll);
    EXPECT_EQ(header->state(), RefreshStateRefreshing);
    EXPECT_FALSE(header->gifView()->isAnimating());
    EXPECT_EQ(header->gifView()->image(), still->lastObject());
    header->endRefreshing();
    m_ui.advance(0.4);
    EXPECT_EQ(header->gifView()->image(), idle->objectAtIndex(0)) << "back at rest";

    // The index never leaves the images, whatever the percentage.
    using dv::internal::toolkit::imageIndexForPullingPercent;
    EXPECT_EQ(imageIndexForPullingPercent(10, 0.55), 5u);
    EXPECT_EQ(imageIndexForPullingPercent(10, 0.99), 9u);
    EXPECT_EQ(imageIndexForPullingPercent(10, 1.0), 9u);
    EXPECT_EQ(imageIndexForPullingPercent(10, 7.5), 9u);
    EXPECT_EQ(imageIndexForPullingPercent(10, INFINITY), 9u);
    EXPECT_EQ(imageIndexForPullingPercent(10, NAN), 0u);
    EXPECT_EQ(imageIndexForPullingPercent(10, -0.3), 0u);
    EXPECT_EQ(imageIndexForPullingPercent(1, 0.5), 0u);
}

TEST_F(RefreshHeaderTest, TallerImagesGrowTheHeaderAndTheDemonstrationHeaderHasItsOwn)
{
    auto header = installHeader<RFRefreshGifHeader>();
    header->setImages(frames(3, 60), RefreshStateIdle);
    EXPECT_EQ(header->frame().size.height, 60);
    header->setImages(frames(3, 30), RefreshStatePulling);
    EXPECT_EQ(header->frame().size.height, 60);
    header->setImages(nil, RefreshStateRefreshing);
    EXPECT_EQ(header->stateImages()->count(), 2u);
    EXPECT_DOUBLE_EQ(dv::as<NSNumber>(header->stateDurations()->objectForKey(NSNumber::numberWithInteger(RefreshStateIdle)))->doubleValue(), 0.3);

    auto demo = installHeader<RFDemoGifHeader>();
    for (RefreshState state : {RefreshStateIdle, RefreshStatePulling, RefreshStateRefreshing}) {
        auto images = dv::as<NSArray>(demo->stateImages()->objectForKey(NSNumber::numberWithInteger(state)));
        ASSERT_NE(images, nil);
        EXPECT_EQ(images->count(), 3u) << "re1, re2, re3";
    }
    EXPECT_EQ(dv::as<UIImage>(dv::as<NSArray>(demo->stateImages()->objectForKey(NSNumber::numberWithInteger(RefreshStateIdle)))->firstObject())->size(),
        CGSizeMake(40, 40));
    // Both labels hidden: the images stand in the middle.
    demo->stateLabel()->setHidden(true);
    demo->lastUpdatedTimeLabel()->setHidden(true);
    demo->setNeedsLayout();
    m_ui.runUntilIdle();
    EXPECT_EQ(demo->gifView()->frame(), demo->bounds());
    EXPECT_EQ(demo->gifView()->contentMode(), UIViewContentModeCenter);
}

TEST_F(RefreshHeaderTest, TheDemonstrationHeaderChangesItsTextAndSwitchWithTheState)
{
    auto header = installHeader<RFDIYHeader>();
    EXPECT_EQ(header->frame(), CGRectMake(0, -50, 375, 50));
    ASSERT_NE(header->logo()->image(), nil) << "logo";
    EXPECT_EQ(m_ui.textOf(header->label()), "赶紧下拉吖(开关是打酱油滴)");
    EXPECT_FALSE(header->s()->isOn());
    Finger finger(m_ui, m_scroll);
    finger.dragTo(-60);
    EXPECT_EQ(m_ui.textOf(header->label()), "赶紧放开我吧(开关是打酱油滴)");
    EXPECT_TRUE(header->s()->isOn());
    finger.lift();
    m_ui.settle(m_scroll);
    EXPECT_EQ(m_ui.textOf(header->label()), "加载数据中(开关是打酱油滴)");
    EXPECT_TRUE(header->loading()->isAnimating());
    header->endRefreshing();
    EXPECT_EQ(m_ui.textOf(header->label()), "赶紧下拉吖(开关是打酱油滴)");
    EXPECT_FALSE(header->s()->isOn());
    EXPECT_FALSE(header->loading()->isAnimating());
}

TEST_F(RefreshHeaderTest, InACollectionViewTheEndComesATenthOfASecondLater)
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
    auto header = installHeader<NormalHeader>(collection);
    EXPECT_TRUE(collection->alwaysBounceVertical()) << "short content still pulls";
    ASSERT_TRUE(m_ui.dragScrollView(collection, CGPointMake(0, -80)));
    EXPECT_EQ(header->state(), RefreshStateRefreshing);
    m_ui.advance(0.25);
    EXPECT_EQ(m_refreshes, 1);
    header->endRefreshing();
    EXPECT_EQ(header->state(), RefreshStateRefreshing);
    m_ui.advance(0.1);
    EXPECT_EQ(header->state(), RefreshStateIdle);
    EXPECT_EQ(collection->contentInset().top, 0);
}

TEST_F(RefreshHeaderTest, TheListsReloadEndsTheRefreshThroughItsDataCountBlock)
{
    auto table = alloc<UITableView>()->initWithFrame(CGRectMake(0, 0, 375, 600), UITableViewStylePlain);
    auto rows = std::make_shared<Rows>();
    table->setDataSource(rows);
    m_scroll->removeFromSuperview();
    m_window->addSubview(table);
    m_ui.runUntilIdle();

    auto header = alloc<NormalHeader>();
    header->init();
    // The owner: the refresh fetches two sections of rows and reloads; the reload ends it.
    header->setRefreshingBlock([&] {
        rows->sections = {12, 8};
        table->reloadData();
    });
    setRf_header(table, header);
    std::vector<NSInteger> counts;
    Weak<NormalHeader> weakHeader = header;
    setRf_reloadDataBlock(table, [&counts, weakHeader](NSInteger total) {
        counts.push_back(total);
        auto refreshing = weakHeader.lock();
        if (refreshing && refreshing->isRefreshing())
            refreshing->endRefreshing();
    });
    m_ui.runUntilIdle();

    ASSERT_TRUE(m_ui.dragScrollView(table, CGPointMake(0, -80)));
    EXPECT_EQ(header->state(), RefreshStateRefreshing);
    EXPECT_EQ(table->contentInset().top, 54);
    m_ui.advance(0.25);
    EXPECT_EQ(counts, (std::vector<NSInteger> {20}));
    EXPECT_EQ(header->states, (States {RefreshStateIdle, RefreshStatePulling, RefreshStateRefreshing, RefreshStateIdle}));
    EXPECT_EQ(table->contentInset().top, 0);
    EXPECT_EQ(table->contentOffset().y, 0);
    m_ui.runUntilIdle();
    EXPECT_NE(m_ui.viewWithText("第11行"), nil);

    // Without a block a reload is the list's own.
    setRf_reloadDataBlock(table, nil);
    rows->sections = {3};
    table->reloadData();
    m_ui.runUntilIdle();
    EXPECT_EQ(counts.size(), 1u);
    EXPECT_EQ(table->numberOfRowsInSection(0), 3);
    EXPECT_EQ(m_ui.viewWithText("第11行"), nil);
}
