// The image carousel, driven as a person would: endless paging by swipes, taps reported with
// the picture's index, the automatic steps on the manual clock (and the drag that holds them
// back), the page indicator following the pages, captions, remote pictures from a loopback
// server with the placeholder, and the carousel's life: its timer neither keeps it alive nor
// outlives it.
#include "ToolkitTestSupport.h"
#include "platform/base/Mutex.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSIndexPath.h"
#include "platform/base/NSNull.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/ui/UICollectionView.h"
#include "platform/ui/UIPageControl.h"
#include "ui/images/RIImageCache.h"
#include "ui/images/RIWebImageDownloader.h"
#include "ui/images/RIWebImageManager.h"
#include "ui/toolkit/carousel/CSCollectionViewCell.h"
#include "ui/toolkit/carousel/CSCycleScrollView.h"
#include "ui/toolkit/carousel/PCPageControl.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>

using namespace dv::test;
using dv::testing::SwipeDirection;

// A record of the server's advertisement list: the carousel reads its `imgurl`.
class BannerRecord : public NSObject {
    DV_CLASS(BannerRecord, NSObject)

    static Ref<BannerRecord> make(Ref<NSString> imgurl)
    {
        auto record = alloc<BannerRecord>();
        record->m_imgurl = std::move(imgurl);
        return record;
    }
    Ref<NSString> imgurl() const { return m_imgurl; }
    void setImgurl(const Ref<NSString>& imgurl) { m_imgurl = imgurl; }

private:
    Ref<NSString> m_imgurl;
};

DV_DEFINE_CLASS_WITH(BannerRecord, b)
{
    b.property<Ref<NSString>>("imgurl", "T@\"NSString\",C,N,V_imgurl", [](const BannerRecord& r) { return r.imgurl(); },
        [](BannerRecord& r, Ref<NSString> value) { r.setImgurl(value); });
}

namespace {

const Pixel kRed {255, 0, 0, 255};
const Pixel kGreen {0, 255, 0, 255};
const Pixel kBlue {0, 0, 255, 255};
const Pixel kYellow {255, 255, 0, 255};

constexpr CGRect kFrame {{0, 100}, {375, 180}};

Ref<UIImage> solid(const Pixel& p)
{
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(40, 20), true, 1);
    UIColor::colorWithRed(p[0] / 255.0, p[1] / 255.0, p[2] / 255.0, 1)->setFill();
    UIRectFill(CGRectMake(0, 0, 40, 20));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

std::string pngBytes(const Pixel& p)
{
    auto data = UIImagePNGRepresentation(solid(p));
    return std::string(reinterpret_cast<const char*>(data->bytes()), data->length());
}

// What the carousel's delegate and tap block heard, in order.
class CarouselListener : public NSObject, public CSCycleScrollViewDelegate {
public:
    explicit CarouselListener(Journal* journal) : m_journal(journal) { }
    bool cycleScrollViewDidSelectItemAtIndex(const Ref<CSCycleScrollView>&, NSInteger index) override
    {
        m_journal->push_back("select:" + std::to_string(index));
        return true;
    }
    bool cycleScrollViewDidScrollToIndex(const Ref<CSCycleScrollView>&, NSInteger index) override
    {
        m_journal->push_back("scrolled:" + std::to_string(index));
        return true;
    }

private:
    Journal* m_journal;
};

class CycleScrollViewTest : public ToolkitTest {
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        std::string pattern = (std::filesystem::temp_directory_path() / "dv-carousel-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_cacheFolder = pattern;
        m_manager = RIWebImageManager::sharedManager();
        m_previousCache = m_manager->imageCache();
        m_cache = alloc<RIImageCache>()->initWithNamespace("carousel"_ns, NSString::fromUTF8(m_cacheFolder));
        m_manager->setImageCache(m_cache);
    }
    void TearDown() override
    {
        m_carousel = nil;
        const auto subviews = m_window->subviews();
        for (auto& view : subviews->items())
            dv::as<UIView>(view)->removeFromSuperview();
        m_manager->cancelAll();
        EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return m_manager->imageDownloader()->currentDownloadCount() == 0; }));
        (void)m_cache->getSize(); // the disk writes queued so far are done
        m_manager->setImageCache(m_previousCache);
        ToolkitTest::TearDown();
        std::error_code ec;
        std::filesystem::remove_all(m_cacheFolder, ec);
    }

    static Ref<NSArray> pictures(std::initializer_list<Pixel> colours)
    {
        auto list = NSMutableArray::array();
        for (auto& colour : colours)
            list->addObject(solid(colour));
        return list;
    }
    // A carousel of red, green and blue in the window, laid out; the timer started at m_start.
    Ref<CSCycleScrollView> addCarousel(const Ref<NSArray>& list = pictures({kRed, kGreen, kBlue}))
    {
        m_carousel = CSCycleScrollView::cycleScrollViewWithFrameImageNamesGroup(kFrame, list);
        m_start = now();
        m_carousel->setDelegate(m_listener);
        m_carousel->setClickItemOperationBlock([this](NSInteger index) { m_journal.push_back("block:" + std::to_string(index)); });
        m_window->addSubview(m_carousel);
        m_ui.runUntilIdle();
        return m_carousel;
    }
    Ref<UICollectionView> collection() const { return m_ui.find<UICollectionView>(true); }
    // The item that fills the carousel now (the offset in widths), or -1 between two items.
    NSInteger item() const
    {
        auto view = collection();
        const CGFloat position = view->contentOffset().x / view->bounds().size.width;
        return std::abs(position - std::round(position)) < 1e-6 ? NSInteger(std::round(position)) : -1;
    }
    // The colour a person sees in the middle of the carousel (above captions and dots).
    Pixel shown() const { return Pixels(m_ui.screenshot(1)).at(187, 150); }
    // What the indicator shows as the current page (-1 when there is none).
    NSInteger indicatorPage() const
    {
        if (auto classic = m_ui.find<UIPageControl>(true))
            return classic->currentPage();
        if (auto animated = m_ui.find<PCPageControl>(true))
            return animated->currentPage();
        return -1;
    }
    // The caption the cell of the current item shows ("" when its strip is hidden).
    std::string caption() const
    {
        auto cell = collection()->cellForItemAtIndexPath(NSIndexPath::indexPathForItem(item(), 0));
        if (!cell)
            return "<no cell>";
        const auto subviews = cell->contentView()->subviews();
        for (auto& view : subviews->items())
            if (auto label = dv::as<UILabel>(view))
                return label->isHidden() ? "" : dv::str(label->text());
        return "<no label>";
    }
    Ref<UIImageView> currentImageView() const
    {
        auto cell = dv::as<CSCollectionViewCell>(collection()->cellForItemAtIndexPath(NSIndexPath::indexPathForItem(item(), 0)));
        return cell ? cell->imageView() : nil;
    }
    bool swipe(SwipeDirection direction) { return m_ui.swipePage(collection(), direction); }
    // Shows the carousel of a held remote picture, green and `third`, swipes twice so that the
    // held picture's cell shows `third`, then lets the picture arrive; answers what that cell shows.
    Ref<UIImage> imageAfterALatePicture(const id& third)
    {
        // The picture is held at the server until the cell that asked for it shows another one. The
        // driver would wait for the held download, so the finger and the clock are moved by hand.
        struct Gate {
            dv::Mutex mutex;
            dv::ConditionVariable changed;
            bool arrived DV_GUARDED_BY(mutex) = false;
            bool open DV_GUARDED_BY(mutex) = false;
        };
        auto gate = std::make_shared<Gate>();
        dv::testing::LoopbackServer server;
        server.route("/slow.png", [gate](const dv::testing::RecordedRequest&) {
            dv::MutexLocker lock(gate->mutex);
            gate->arrived = true;
            gate->changed.notifyAll();
            gate->changed.wait(lock, [&]() DV_REQUIRES(gate->mutex) { return gate->open; });
            return dv::testing::ScriptedReply {.body = pngBytes(kRed), .contentType = "image/png"};
        });
        auto release = [gate] {
            dv::MutexLocker lock(gate->mutex);
            gate->open = true;
            gate->changed.notifyAll();
        };
        auto list = NSArray::of({NSString::fromUTF8(server.url("/slow.png")), solid(kGreen), third});
        m_carousel = CSCycleScrollView::cycleScrollViewWithFrameImageNamesGroup(kFrame, list);
        m_carousel->setAutoScroll(false);
        m_window->addSubview(m_carousel);
        advanceTo(now(), 0.1);
        if (!dv::testing::runMainLoopUntil([&] {
                dv::MutexLocker lock(gate->mutex);
                return gate->arrived;
            })) {
            release();
            ADD_FAILURE() << "the picture was never asked for";
            return nil;
        }
        // Two quick strokes to the left: the cell of the held picture shows the third one.
        for (int stroke = 0; stroke < 2; ++stroke) {
            auto touch = m_ui.touchDown(CGPointMake(300, 190));
            for (int i = 1; i <= 5; ++i) {
                m_ui.touchMove(touch, CGPointMake(300 - 40 * i, 190));
                advanceTo(now(), 1.0 / 60);
            }
            m_ui.touchUp(touch, CGPointMake(100, 190));
            advanceTo(now(), 1);
        }
        EXPECT_EQ(item(), 152);
        release();
        EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return m_manager->imageDownloader()->currentDownloadCount() == 0; }));
        m_ui.runUntilIdle();
        auto image = currentImageView()->image();
        m_carousel->removeFromSuperview();
        m_carousel = nil;
        return image;
    }
    // The journal's entries that begin with `prefix`.
    std::vector<std::string> heard(const std::string& prefix) const
    {
        std::vector<std::string> entries;
        for (auto& entry : m_journal)
            if (entry.starts_with(prefix))
                entries.push_back(entry);
        return entries;
    }

    Ref<CarouselListener> m_listener = std::make_shared<CarouselListener>(&m_journal);
    Ref<CSCycleScrollView> m_carousel;
    NSTimeInterval m_start = 0;
    Ref<RIWebImageManager> m_manager;
    Ref<RIImageCache> m_cache;

private:
    std::string m_cacheFolder;
    Ref<RIImageCache> m_previousCache;
};

TEST_F(CycleScrollViewTest, StartsInTheMiddleOfAHundredCopiesOnPictureZero)
{
    addCarousel();
    EXPECT_EQ(collection()->numberOfItemsInSection(0), 300);
    EXPECT_EQ(item(), 150);
    EXPECT_TRUE(near(shown(), kRed)) << show(shown());
    EXPECT_EQ(indicatorPage(), 0);
    EXPECT_FALSE(collection()->showsHorizontalScrollIndicator());
    EXPECT_TRUE(collection()->isPagingEnabled());
}

TEST_F(CycleScrollViewTest, SwipesLoopOnPastEitherEnd)
{
    addCarousel();
    ASSERT_TRUE(swipe(SwipeDirection::Right));
    EXPECT_EQ(item(), 149);
    EXPECT_TRUE(near(shown(), kBlue)) << show(shown());
    EXPECT_EQ(indicatorPage(), 2);
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(swipe(SwipeDirection::Left));
    EXPECT_EQ(item(), 153);
    EXPECT_TRUE(near(shown(), kRed)) << show(shown());
    EXPECT_EQ(indicatorPage(), 0);
    EXPECT_TRUE(heard("scrolled:").empty()) << "a person's swipe is not reported as a scroll to an index";
}

TEST_F(CycleScrollViewTest, ATapReportsThePicturesIndexToTheDelegateThenTheBlock)
{
    addCarousel();
    ASSERT_TRUE(swipe(SwipeDirection::Left));
    ASSERT_EQ(item(), 151);
    ASSERT_TRUE(m_ui.tap(m_carousel));
    EXPECT_EQ(m_journal, (Journal {"select:1", "block:1"}));

    // The indicator takes no touches: a tap on it is a tap on the picture below.
    auto indicator = m_ui.find<UIPageControl>();
    ASSERT_TRUE(indicator);
    m_journal.clear();
    ASSERT_TRUE(swipe(SwipeDirection::Left));
    const CGRect dots = m_ui.frameInWindow(indicator);
    ASSERT_TRUE(m_ui.tap(CGPointMake(CGRectGetMidX(dots), CGRectGetMidY(dots))));
    EXPECT_EQ(m_journal, (Journal {"select:2", "block:2"}));
}

TEST_F(CycleScrollViewTest, ScrollsOnByItselfAtEachIntervalOfTheClock)
{
    addCarousel();
    advanceTo(m_start, 1.9);
    EXPECT_EQ(item(), 150);
    advanceTo(m_start, 2.5);
    EXPECT_EQ(item(), 151);
    EXPECT_EQ(indicatorPage(), 1);
    EXPECT_EQ(heard("scrolled:"), (Journal {"scrolled:1"}));
    advanceTo(m_start, 6.5);
    EXPECT_EQ(item(), 153);
    EXPECT_TRUE(near(shown(), kRed)) << show(shown());
    EXPECT_EQ(heard("scrolled:"), (Journal {"scrolled:1", "scrolled:2", "scrolled:0"}));

    // A new interval restarts the timer from now.
    m_carousel->setAutoScrollTimeInterval(5);
    const NSTimeInterval restart = now();
    advanceTo(restart, 4.9);
    EXPECT_EQ(item(), 153);
    advanceTo(restart, 5.5);
    EXPECT_EQ(item(), 154);
    m_carousel->setAutoScroll(false);
    advanceTo(restart, 30);
    EXPECT_EQ(item(), 154);
}

TEST_F(CycleScrollViewTest, TheLastItemJumpsBackToTheMiddleWithoutAnimation)
{
    addCarousel(pictures({kYellow}));
    EXPECT_EQ(collection()->numberOfItemsInSection(0), 100);
    ASSERT_EQ(item(), 50);
    m_carousel->setAutoScroll(true); // one picture starts no timer of its own
    const NSTimeInterval start = now();
    advanceTo(start, 49 * 2 + 0.5);
    EXPECT_EQ(item(), 99);
    EXPECT_EQ(heard("scrolled:").size(), 49u);
    advanceTo(start, 50 * 2 + 0.01);
    EXPECT_EQ(item(), 50);
    EXPECT_EQ(heard("scrolled:").size(), 49u) << "the jump is not animated";
    advanceTo(start, 51 * 2 + 0.5);
    EXPECT_EQ(item(), 51);
}

TEST_F(CycleScrollViewTest, WithoutLoopingItRestsOnTheLastPicture)
{
    m_carousel = CSCycleScrollView::cycleScrollViewWithFrame(kFrame, false, pictures({kRed, kGreen, kBlue}));
    const NSTimeInterval start = now();
    m_window->addSubview(m_carousel);
    m_ui.runUntilIdle();
    EXPECT_EQ(collection()->numberOfItemsInSection(0), 3);
    EXPECT_EQ(item(), 0);
    advanceTo(start, 4.5);
    EXPECT_EQ(item(), 2);
    advanceTo(start, 12.5);
    EXPECT_EQ(item(), 2);
    EXPECT_TRUE(near(shown(), kBlue)) << show(shown());
    EXPECT_EQ(indicatorPage(), 2);
}

TEST_F(CycleScrollViewTest, ADragHoldsTheTimerBackUntilAFullIntervalAfterTheLift)
{
    addCarousel();
    const CGPoint start = CGPointMake(200, 190);
    advanceTo(m_start, 1.5);
    auto touch = m_ui.touchDown(start);
    ASSERT_NE(touch, 0u);
    for (int i = 1; i <= 5; ++i) {
        m_ui.touchMove(touch, CGPointMake(start.x - 8 * i, start.y));
        m_ui.advance(1.0 / 60);
    }
    ASSERT_TRUE(collection()->isDragging());
    const CGFloat dragged = collection()->contentOffset().x;
    EXPECT_GT(dragged, 150 * 375);
    EXPECT_LE(dragged, 150 * 375 + 40);
    advanceTo(m_start, 8); // the finger rests: no automatic step under it
    EXPECT_DOUBLE_EQ(collection()->contentOffset().x, dragged);
    const NSTimeInterval lift = now();
    m_ui.touchUp(touch, CGPointMake(start.x - 40, start.y));
    advanceTo(lift, 1.9);
    EXPECT_EQ(item(), 150) << "the short drag glides back, and no step yet";
    advanceTo(lift, 2.5);
    EXPECT_EQ(item(), 151);
}

TEST_F(CycleScrollViewTest, PicturesSetDuringADragLeaveOneTimerRunning)
{
    addCarousel();
    const CGPoint start = CGPointMake(200, 190);
    auto touch = m_ui.touchDown(start);
    for (int i = 1; i <= 3; ++i) {
        m_ui.touchMove(touch, CGPointMake(start.x - 8 * i, start.y));
        m_ui.advance(1.0 / 60);
    }
    const NSTimeInterval set = now();
    m_carousel->setLocalizationImageNamesGroup(pictures({kRed, kGreen, kBlue}));
    advanceTo(set, 1);
    m_ui.touchUp(touch, CGPointMake(start.x - 24, start.y));
    advanceTo(set, 2.5);
    EXPECT_EQ(item(), 150) << "the timer of the new pictures went when the finger lifted";
    advanceTo(set, 9.5);
    EXPECT_EQ(item(), 154) << "one step every two seconds from the lift";
}

TEST_F(CycleScrollViewTest, TheIndicatorFollowsTheDrags)
{
    m_carousel = CSCycleScrollView::cycleScrollViewWithFrameImageNamesGroup(kFrame, pictures({kRed, kGreen, kBlue}));
    m_carousel->setAutoScroll(false);
    m_carousel->setPageControlStyle(CSCycleScrollViewPageControlStyleAnimated);
    m_window->addSubview(m_carousel);
    m_ui.runUntilIdle();
    auto indicator = m_ui.find<PCPageControl>();
    ASSERT_TRUE(indicator);
    EXPECT_FALSE(indicator->isUserInteractionEnabled());
    EXPECT_EQ(indicator->numberOfPages(), 3);

    // Past half a page the next picture is the current one, before and after the lift.
    auto view = collection();
    auto touch = m_ui.touchDown(CGPointMake(300, 190));
    for (int i = 1; i <= 10; ++i) {
        m_ui.touchMove(touch, CGPointMake(300 - 25 * i, 190));
        m_ui.advance(1.0 / 60);
        EXPECT_EQ(indicator->currentPage(), view->contentOffset().x - 150 * 375 > 187.5 ? 1 : 0) << i;
    }
    m_ui.touchUp(touch, CGPointMake(50, 190));
    ASSERT_TRUE(m_ui.settle(view));
    EXPECT_EQ(item(), 151);
    EXPECT_EQ(indicator->currentPage(), 1);

    // A third of a page without a fling glides back.
    ASSERT_TRUE(m_ui.dragScrollView(view, CGPointMake(-125, 0)));
    EXPECT_EQ(item(), 151);
    EXPECT_EQ(indicator->currentPage(), 1);
    ASSERT_TRUE(swipe(SwipeDirection::Right));
    ASSERT_TRUE(swipe(SwipeDirection::Right));
    EXPECT_EQ(item(), 149);
    EXPECT_EQ(indicator->currentPage(), 2);
}

TEST_F(CycleScrollViewTest, OnePictureNeitherScrollsNorShowsAnIndicator)
{
    addCarousel(pictures({kYellow}));
    EXPECT_FALSE(collection()->isScrollEnabled());
    EXPECT_EQ(indicatorPage(), -1);
    swipe(SwipeDirection::Left);
    advanceTo(m_start, 10);
    EXPECT_EQ(item(), 50);
    EXPECT_TRUE(near(shown(), kYellow)) << show(shown());

    // Shown anyway when asked.
    m_carousel->setHidesForSinglePage(false);
    m_carousel->setPageControlStyle(CSCycleScrollViewPageControlStyleClassic);
    m_ui.runUntilIdle();
    EXPECT_EQ(indicatorPage(), 0);
}

TEST_F(CycleScrollViewTest, AnEmptyCarouselShowsItsPlaceholderAndDoesNothing)
{
    auto placeholder = solid(kBlue);
    m_carousel = CSCycleScrollView::cycleScrollViewWithFrame(kFrame, m_listener, placeholder);
    m_window->addSubview(m_carousel);
    m_carousel->setLocalizationImageNamesGroup(NSArray::array());
    m_ui.runUntilIdle();
    EXPECT_EQ(collection()->numberOfItemsInSection(0), 0);
    EXPECT_EQ(indicatorPage(), -1);
    advanceTo(now(), 10);
    EXPECT_DOUBLE_EQ(collection()->contentOffset().x, 0);
    EXPECT_TRUE(near(shown(), kBlue)) << show(shown());
    EXPECT_TRUE(m_ui.tap(m_carousel));
    EXPECT_TRUE(m_journal.empty());
}

TEST_F(CycleScrollViewTest, TheIndicatorStandsAtTheRightOrInTheMiddle)
{
    m_carousel = CSCycleScrollView::cycleScrollViewWithFrameImageNamesGroup(kFrame, pictures({kRed, kGreen, kBlue, kYellow}));
    m_carousel->setPageControlAliment(CSCycleScrollViewPageControlAlimentRight);
    m_window->addSubview(m_carousel);
    m_ui.runUntilIdle();
    auto classic = m_ui.find<UIPageControl>();
    ASSERT_TRUE(classic);
    EXPECT_TRUE(CGRectEqualToRect(classic->frame(), CGRectMake(317, 160, 48, 10)));
    EXPECT_EQ(classic->numberOfPages(), 4);
    EXPECT_TRUE(dv::equal(classic->currentPageIndicatorTintColor(), UIColor::whiteColor()));
    EXPECT_TRUE(dv::equal(classic->pageIndicatorTintColor(), UIColor::lightGrayColor()));

    m_carousel->setPageControlAliment(CSCycleScrollViewPageControlAlimentCenter);
    m_carousel->setPageDotColor(UIColor::redColor());
    m_carousel->setCurrentPageDotColor(UIColor::greenColor());
    m_carousel->setNeedsLayout();
    m_ui.runUntilIdle();
    EXPECT_TRUE(CGRectEqualToRect(classic->frame(), CGRectMake(163.5, 160, 48, 10)));
    EXPECT_TRUE(dv::equal(classic->pageIndicatorTintColor(), UIColor::redColor()));
    EXPECT_TRUE(dv::equal(classic->currentPageIndicatorTintColor(), UIColor::greenColor()));

    auto current = solid(kRed), other = solid(kGreen);
    m_carousel->setCurrentPageDotImage(current);
    m_carousel->setPageDotImage(other);
    EXPECT_EQ(classic->currentPageImage(), current);
    EXPECT_EQ(classic->pageImage(), other);

    m_carousel->setShowPageControl(false);
    EXPECT_FALSE(m_ui.isVisible(classic));
    m_carousel->setPageControlStyle(CSCycleScrollViewPageControlStyleNone);
    EXPECT_EQ(indicatorPage(), -1);
}

TEST_F(CycleScrollViewTest, TheAnimatedIndicatorTakesTheDotSizeOnlyAfterThePictures)
{
    m_carousel = alloc<CSCycleScrollView>()->initWithFrame(kFrame);
    m_carousel->setPageControlStyle(CSCycleScrollViewPageControlStyleAnimated);
    m_carousel->setCurrentPageDotColor(UIColor::orangeColor());
    m_carousel->setPageControlDotSize(CGSizeMake(20, 20));
    m_carousel->setLocalizationImageNamesGroup(pictures({kRed, kGreen, kBlue}));
    m_window->addSubview(m_carousel);
    m_ui.runUntilIdle();
    auto animated = m_ui.find<PCPageControl>();
    ASSERT_TRUE(animated);
    EXPECT_TRUE(CGRectEqualToRect(animated->frame(), CGRectMake(167.5, 162, 40, 8)));
    EXPECT_TRUE(dv::equal(animated->dotColor(), UIColor::orangeColor()));

    m_carousel->setPageControlDotSize(CGSizeMake(20, 20));
    m_ui.runUntilIdle();
    animated = m_ui.find<PCPageControl>();
    ASSERT_TRUE(animated);
    EXPECT_TRUE(CGRectEqualToRect(animated->frame(), CGRectMake(149.5, 150, 76, 20)));

    auto current = solid(kRed), other = solid(kGreen);
    m_carousel->setPageDotImage(other);
    m_carousel->setCurrentPageDotImage(current);
    EXPECT_EQ(animated->dotImage(), other);
    EXPECT_EQ(animated->currentDotImage(), current);
}

TEST_F(CycleScrollViewTest, CaptionsShowInAStripAndAReusedCellLosesItsOldOne)
{
    m_carousel = CSCycleScrollView::cycleScrollViewWithFrameImageNamesGroup(kFrame, pictures({kRed, kGreen, kBlue}));
    m_carousel->setAutoScroll(false);
    m_carousel->setTitlesGroup(NSArray::of({"新品上架"_ns, "限时优惠"_ns}));
    m_window->addSubview(m_carousel);
    m_ui.runUntilIdle();
    EXPECT_EQ(caption(), "   新品上架");
    auto strip = dv::as<UILabel>(m_ui.viewWithText("   新品上架"));
    ASSERT_TRUE(strip);
    EXPECT_TRUE(CGRectEqualToRect(m_ui.frameInWindow(strip), CGRectMake(0, 250, 375, 30)));
    EXPECT_TRUE(near(Pixels(m_ui.screenshot(1)).at(370, 265), {128, 0, 0, 255}, 4)) << "black at half over red";

    // Each swipe reuses the cell that left: the third picture has no caption of its own.
    ASSERT_TRUE(swipe(SwipeDirection::Left));
    EXPECT_EQ(caption(), "   限时优惠");
    ASSERT_TRUE(swipe(SwipeDirection::Left));
    EXPECT_EQ(caption(), "");
    ASSERT_TRUE(swipe(SwipeDirection::Left));
    EXPECT_EQ(caption(), "   新品上架");
    ASSERT_TRUE(swipe(SwipeDirection::Left));
    ASSERT_TRUE(swipe(SwipeDirection::Left));
    EXPECT_EQ(caption(), "");
    EXPECT_TRUE(near(Pixels(m_ui.screenshot(1)).at(370, 265), kBlue)) << "no strip";
}

TEST_F(CycleScrollViewTest, RemotePicturesLoadOverThePlaceholder)
{
    dv::testing::LoopbackServer server;
    server.route("/ad/red.png", {.body = pngBytes(kRed), .contentType = "image/png"});
    server.route("/ad/green.png", {.body = pngBytes(kGreen), .contentType = "image/png", .delay = std::chrono::milliseconds(300)});
    server.route("/ad/gone.png", {.status = 404, .body = "missing"});
    auto records = NSArray::of({BannerRecord::make(NSString::fromUTF8(server.url("/ad/red.png"))),
        BannerRecord::make(NSString::fromUTF8(server.url("/ad/green.png"))), BannerRecord::make(nil),
        BannerRecord::make(NSString::fromUTF8(server.url("/ad/gone.png")))});
    auto placeholder = solid(kYellow);
    m_carousel = CSCycleScrollView::cycleScrollViewWithFrame(kFrame, m_listener, placeholder);
    m_carousel->setAutoScroll(false);
    m_carousel->setImageURLStringsGroup(records);
    m_window->addSubview(m_carousel);
    m_ui.runUntilIdle();

    auto urls = m_carousel->imageURLStringsGroup();
    ASSERT_EQ(urls->count(), 4u);
    EXPECT_EQ(dv::str(urls->objectAtIndex(0)), server.url("/ad/red.png"));
    EXPECT_TRUE(dv::as<NSNull>(urls->objectAtIndex(2)));
    EXPECT_EQ(collection()->numberOfItemsInSection(0), 400);

    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return near(shown(), kRed); })) << show(shown());
    ASSERT_TRUE(swipe(SwipeDirection::Left));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return near(shown(), kGreen); })) << show(shown());
    EXPECT_EQ(server.requestCount("/ad/green.png"), 1u);

    // A record without a URL shows the placeholder in its own cell, also a reused one.
    ASSERT_TRUE(swipe(SwipeDirection::Left));
    EXPECT_EQ(currentImageView()->image(), placeholder);
    EXPECT_TRUE(near(shown(), kYellow)) << show(shown());

    // A picture that cannot be loaded leaves the placeholder.
    ASSERT_TRUE(swipe(SwipeDirection::Left));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return server.requestCount("/ad/gone.png") == 1; }));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return m_manager->imageDownloader()->currentDownloadCount() == 0; }));
    m_ui.runUntilIdle();
    EXPECT_EQ(currentImageView()->image(), placeholder);

    // Round again: the pictures come from the cache now.
    ASSERT_TRUE(swipe(SwipeDirection::Left));
    EXPECT_TRUE(near(shown(), kRed)) << show(shown());
    EXPECT_EQ(server.requestCount("/ad/red.png"), 1u);
    ASSERT_TRUE(m_ui.tap(m_carousel));
    EXPECT_EQ(heard("select:"), (Journal {"select:0"}));
}

TEST_F(CycleScrollViewTest, ALateRemotePictureDoesNotCoverALocalOneInAReusedCell)
{
    auto blue = solid(kBlue);
    EXPECT_EQ(imageAfterALatePicture(blue), blue);
    auto logo = UIImage::imageNamed("logo"_ns);
    ASSERT_TRUE(logo) << "a picture of the application's resources";
    EXPECT_TRUE(dv::equal(imageAfterALatePicture("logo"_ns), logo));
}

TEST_F(CycleScrollViewTest, BeforeItHasAWidthTheStepsAndTheIndexWait)
{
    m_carousel = CSCycleScrollView::cycleScrollViewWithFrameImageNamesGroup(CGRectZero, pictures({kRed, kGreen, kBlue}));
    m_carousel->setPageControlStyle(CSCycleScrollViewPageControlStyleAnimated);
    const NSTimeInterval start = now();
    m_window->addSubview(m_carousel);
    m_ui.runUntilIdle();
    advanceTo(start, 4.5);
    EXPECT_DOUBLE_EQ(collection()->contentOffset().x, 0);
    EXPECT_EQ(indicatorPage(), 0);

    m_carousel->setFrame(kFrame);
    m_ui.runUntilIdle();
    EXPECT_EQ(item(), 150);
    EXPECT_EQ(indicatorPage(), 0);
    EXPECT_TRUE(near(shown(), kRed)) << show(shown());
    advanceTo(start, 6.5);
    EXPECT_EQ(item(), 151);
    EXPECT_EQ(indicatorPage(), 1);
}

TEST_F(CycleScrollViewTest, FewerPicturesBringTheCarouselBackToItsStart)
{
    addCarousel(pictures({kRed, kGreen, kBlue, kYellow}));
    m_carousel->setAutoScroll(false);
    ASSERT_TRUE(swipe(SwipeDirection::Left));
    ASSERT_EQ(item(), 201);
    m_carousel->setLocalizationImageNamesGroup(pictures({kGreen}));
    m_ui.runUntilIdle();
    EXPECT_EQ(item(), 50);
    EXPECT_TRUE(near(shown(), kGreen)) << show(shown());
}

TEST_F(CycleScrollViewTest, LeavingTheSuperviewStopsTheTimerForGood)
{
    addCarousel();
    advanceTo(m_start, 2.5);
    ASSERT_EQ(item(), 151);
    m_carousel->removeFromSuperview();
    advanceTo(m_start, 10);
    m_window->addSubview(m_carousel);
    advanceTo(m_start, 20);
    EXPECT_EQ(item(), 151);
    // One of the starting events brings it back.
    m_carousel->setAutoScroll(true);
    advanceTo(now(), 2.5);
    EXPECT_EQ(item(), 152);
}

TEST_F(CycleScrollViewTest, TheTimerNeitherKeepsTheCarouselNorOutlivesIt)
{
    // What earlier tests left running ends first; timers they left far ahead (on clocks set to
    // other dates) stay where they are.
    advanceTo(now(), 200);
    auto loop = NSRunLoop::mainRunLoop();
    const NSTimeInterval before = loop->nextTimerTime(NSDefaultRunLoopMode);
    ASSERT_GT(before, now() + 10) << "a timer is running";
    auto carousel = CSCycleScrollView::cycleScrollViewWithFrameImageNamesGroup(kFrame, pictures({kRed, kGreen}));
    EXPECT_DOUBLE_EQ(loop->nextTimerTime(NSDefaultRunLoopMode), now() + 2) << "the auto-scroll timer";
    EXPECT_DOUBLE_EQ(loop->nextTimerTime(UITrackingRunLoopMode), now() + 2) << "it fires while a finger is down too";
    Weak<CSCycleScrollView> weak = carousel;
    carousel = nil;
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(loop->nextTimerTime(NSDefaultRunLoopMode), before) << "the timer went with the carousel";
}

TEST_F(CycleScrollViewTest, ClearingTheImagesCacheEmptiesTheDiskStore)
{
    m_cache->storeImage(solid(kRed), "http://127.0.0.1/a.png"_ns, true);
    m_cache->storeImage(solid(kGreen), "http://127.0.0.1/b.png"_ns, true);
    ASSERT_EQ(m_cache->getDiskCount(), 2u);
    CSCycleScrollView::clearImagesCache();
    EXPECT_EQ(m_cache->getDiskCount(), 0u);
    m_cache->storeImage(solid(kRed), "http://127.0.0.1/a.png"_ns, true);
    alloc<CSCycleScrollView>()->initWithFrame(kFrame)->clearCache();
    EXPECT_EQ(m_cache->getDiskCount(), 0u);
}

TEST_F(CycleScrollViewTest, CellsAreStyledOnceFromTheCarousel)
{
    m_carousel = alloc<CSCycleScrollView>()->initWithFrame(kFrame);
    m_carousel->setBannerImageViewContentMode(UIViewContentModeScaleAspectFit);
    m_carousel->setTitleLabelHeight(40);
    m_carousel->setTitleLabelTextColor(UIColor::yellowColor());
    m_carousel->setAutoScroll(false);
    m_carousel->setTitlesGroup(NSArray::of({"一"_ns, "二"_ns}));
    m_carousel->setLocalizationImageNamesGroup(pictures({kRed, kGreen}));
    m_window->addSubview(m_carousel);
    m_ui.runUntilIdle();
    EXPECT_TRUE(dv::equal(m_carousel->backgroundColor(), UIColor::lightGrayColor()));
    auto cell = dv::as<CSCollectionViewCell>(collection()->cellForItemAtIndexPath(NSIndexPath::indexPathForItem(100, 0)));
    ASSERT_TRUE(cell);
    EXPECT_TRUE(cell->hasConfigured());
    EXPECT_TRUE(cell->clipsToBounds());
    EXPECT_EQ(cell->imageView()->contentMode(), UIViewContentModeScaleAspectFit);
    EXPECT_DOUBLE_EQ(cell->titleLabelHeight(), 40);
    EXPECT_TRUE(dv::equal(cell->titleLabelTextColor(), UIColor::yellowColor()));
    EXPECT_DOUBLE_EQ(cell->titleLabelTextFont()->pointSize(), 14);
    // Later settings reach only cells not styled yet: the second swipe reuses the first cell.
    ASSERT_TRUE(swipe(SwipeDirection::Left));
    m_carousel->setTitleLabelHeight(20);
    ASSERT_TRUE(swipe(SwipeDirection::Left));
    const auto cells = collection()->visibleCells();
    for (auto& shownCell : cells->items())
        EXPECT_DOUBLE_EQ(dv::as<CSCollectionViewCell>(shownCell)->titleLabelHeight(), 40);
}

} // namespace
