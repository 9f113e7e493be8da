// The page control: its size and the row of dots, the current page's dot (animated, plain and
// image dots), hiding for a single page, dot classes that do or do not answer the activity
// change, taps on dots reported to the delegate, and a page count lowered below the current page.
#include "ToolkitTestSupport.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSException.h"
#include "platform/base/NSLog.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/ViewAnimation.h"
#include "ui/toolkit/carousel/PCAnimatedDotView.h"
#include "ui/toolkit/carousel/PCDotView.h"
#include "ui/toolkit/carousel/PCPageControl.h"

using namespace dv::test;

// A dot view that does not derive from the dot base and answers no activity change.
class MuteDot : public UIView {
    DV_CLASS(MuteDot, UIView)
};
DV_DEFINE_CLASS(MuteDot)

namespace {

// Notes every tapped index.
class TapListener : public NSObject, public PCPageControlDelegate {
public:
    bool PCPageControlDidSelectPageAtIndex(const Ref<PCPageControl>&, NSInteger index) override
    {
        taps.push_back(index);
        return true;
    }
    std::vector<NSInteger> taps;
};

Ref<UIImage> solidImage(const Ref<UIColor>& color, CGSize size)
{
    UIGraphicsBeginImageContextWithOptions(size, false, 1);
    color->setFill();
    UIRectFill(CGRectMake(0, 0, size.width, size.height));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

class PageControlTest : public ToolkitTest {
protected:
    // A control of `pages` pages in the window, centred on (187.5, 300) after sizeToFit.
    Ref<PCPageControl> addControl(NSInteger pages)
    {
        auto control = alloc<PCPageControl>()->initWithFrame(CGRectMake(137.5, 290, 100, 20));
        control->setNumberOfPages(pages);
        m_window->addSubview(control);
        m_ui.runUntilIdle();
        return control;
    }
    static std::vector<Ref<UIView>> dotsOf(const Ref<PCPageControl>& control)
    {
        std::vector<Ref<UIView>> views;
        const auto dots = control->dots();
        for (auto& dot : dots->items())
            views.push_back(dv::as<UIView>(dot));
        return views;
    }
    static bool isGrown(const Ref<UIView>& dot)
    {
        return CGAffineTransformEqualToTransform(dot->transform(), CGAffineTransformMakeScale(1.4, 1.4));
    }
    // Which dots stand grown (the active look of animated dots).
    static std::vector<bool> grown(const Ref<PCPageControl>& control)
    {
        std::vector<bool> flags;
        for (auto& dot : dotsOf(control))
            flags.push_back(isGrown(dot));
        return flags;
    }
};

TEST_F(PageControlTest, SizesToItsDotsAroundItsCentre)
{
    auto control = addControl(5);
    EXPECT_TRUE(CGSizeEqualToSize(control->sizeForNumberOfPages(5), CGSizeMake(72, 8)));
    EXPECT_TRUE(CGSizeEqualToSize(control->sizeForNumberOfPages(1), CGSizeMake(8, 8)));
    EXPECT_TRUE(CGSizeEqualToSize(control->sizeForNumberOfPages(0), CGSizeMake(0, 8))) << "no pages take no width";

    control->sizeToFit();
    EXPECT_TRUE(CGRectEqualToRect(control->frame(), CGRectMake(151.5, 296, 72, 8)));
    auto dots = dotsOf(control);
    ASSERT_EQ(dots.size(), 5u);
    for (std::size_t i = 0; i < dots.size(); ++i) {
        EXPECT_EQ(dots[i]->superview(), control);
        // The frame of a grown dot is scaled about its centre.
        EXPECT_DOUBLE_EQ(dots[i]->center().x, 4 + 16.0 * double(i)) << i;
        EXPECT_DOUBLE_EQ(dots[i]->center().y, 4);
        EXPECT_TRUE(CGSizeEqualToSize(dots[i]->bounds().size, CGSizeMake(8, 8)));
    }

    control->setShouldResizeFromCenter(false);
    control->setNumberOfPages(2);
    control->sizeToFit();
    EXPECT_TRUE(CGRectEqualToRect(control->frame(), CGRectMake(151.5, 296, 24, 8))) << "keeps its origin";
}

TEST_F(PageControlTest, AWiderControlCentresItsRowOfDots)
{
    auto control = addControl(3);
    auto dots = dotsOf(control);
    ASSERT_EQ(dots.size(), 3u);
    // 40 points of dots in 100: 30 on either side, and centred across the 20 points of height.
    EXPECT_DOUBLE_EQ(dots[0]->center().x, 34);
    EXPECT_DOUBLE_EQ(dots[2]->center().x, 66);
    EXPECT_DOUBLE_EQ(dots[1]->center().y, 10);
}

TEST_F(PageControlTest, TheCurrentPagesAnimatedDotGrowsAndFillsOnASpring)
{
    auto control = addControl(4);
    control->setDotColor(UIColor::orangeColor());
    control->setNumberOfPages(4); // new dots take the colour
    m_ui.advance(1);
    EXPECT_EQ(grown(control), (std::vector<bool> {true, false, false, false}));
    auto dots = dotsOf(control);
    ASSERT_TRUE(dv::as<PCAnimatedDotView>(dots[0]));
    EXPECT_TRUE(dv::equal(dots[0]->backgroundColor(), UIColor::orangeColor()));
    EXPECT_TRUE(dv::equal(dots[1]->backgroundColor(), UIColor::clearColor()));
    EXPECT_DOUBLE_EQ(dots[1]->layer()->borderWidth(), 2);
    EXPECT_DOUBLE_EQ(dots[1]->layer()->cornerRadius(), 4);
    EXPECT_TRUE(dv::equal(UIColor::colorWithCGColor(dots[1]->layer()->borderColor()), UIColor::orangeColor()));

    control->setCurrentPage(2);
    EXPECT_EQ(control->currentPage(), 2);
    EXPECT_EQ(grown(control), (std::vector<bool> {false, false, true, false}));
    // Growing springs out of a fast start, shrinking from rest: one second each, linear.
    auto growing = dv::runningAnimations(dots[2]);
    auto shrinking = dv::runningAnimations(dots[0]);
    ASSERT_FALSE(growing.empty());
    ASSERT_FALSE(shrinking.empty());
    for (auto& animation : growing) {
        EXPECT_TRUE(animation.spring);
        EXPECT_DOUBLE_EQ(animation.duration, 1);
        EXPECT_DOUBLE_EQ(animation.dampingRatio, 0.5);
        EXPECT_DOUBLE_EQ(animation.initialVelocity, -20);
        EXPECT_EQ(animation.options, UIViewAnimationOptionCurveLinear);
    }
    for (auto& animation : shrinking)
        EXPECT_DOUBLE_EQ(animation.initialVelocity, 0);
    m_ui.advance(1);
    EXPECT_TRUE(dv::runningAnimations(dots[2]).empty());

    // The same page again animates nothing.
    control->setCurrentPage(2);
    EXPECT_TRUE(dv::runningAnimations(control).empty());
    for (auto& dot : dots)
        EXPECT_TRUE(dv::runningAnimations(dot).empty());
}

TEST_F(PageControlTest, HidesForASinglePageOnlyWhenAsked)
{
    auto control = addControl(1);
    EXPECT_FALSE(control->isHidden());
    control->setHidesForSinglePage(true);
    control->setNumberOfPages(1);
    EXPECT_TRUE(control->isHidden());
    EXPECT_FALSE(m_ui.isVisible(control));
    control->setNumberOfPages(2);
    EXPECT_FALSE(control->isHidden());
}

TEST_F(PageControlTest, ImageDotsShowTheCurrentImageOnTheCurrentPageOnly)
{
    auto control = addControl(3);
    control->setDotSize(CGSizeMake(20, 20));
    auto plain = solidImage(UIColor::grayColor(), CGSizeMake(6, 4));
    auto current = solidImage(UIColor::redColor(), CGSizeMake(6, 4));
    control->setDotImage(plain);
    control->setCurrentDotImage(current);
    control->setCurrentPage(1);
    EXPECT_EQ(control->dotViewClass(), Nil);
    EXPECT_TRUE(CGSizeEqualToSize(control->dotSize(), CGSizeMake(6, 4))) << "the size set before the images is dropped";

    auto dots = dotsOf(control);
    ASSERT_EQ(dots.size(), 3u);
    std::vector<Ref<UIImage>> shown;
    for (auto& dot : dots) {
        auto imageView = dv::as<UIImageView>(dot);
        ASSERT_TRUE(imageView);
        EXPECT_TRUE(imageView->isUserInteractionEnabled());
        EXPECT_TRUE(CGSizeEqualToSize(imageView->bounds().size, CGSizeMake(6, 4)));
        shown.push_back(imageView->image());
    }
    EXPECT_EQ(shown, (std::vector<Ref<UIImage>> {plain, current, plain}));

    // A size set afterwards applies from the next rebuild.
    control->setDotSize(CGSizeMake(12, 12));
    EXPECT_TRUE(CGSizeEqualToSize(dots[0]->bounds().size, CGSizeMake(6, 4)));
    control->setNumberOfPages(3);
    EXPECT_TRUE(CGSizeEqualToSize(dotsOf(control)[0]->bounds().size, CGSizeMake(12, 12)));
}

TEST_F(PageControlTest, ImageDotsWithOneImageNeverChange)
{
    auto control = addControl(3);
    auto plain = solidImage(UIColor::grayColor(), CGSizeMake(6, 6));
    control->setDotImage(plain);
    control->setCurrentPage(2);
    for (auto& dot : dotsOf(control))
        EXPECT_EQ(dv::as<UIImageView>(dot)->image(), plain);
}

TEST_F(PageControlTest, ADotClassAfterImagesTakesTheDefaultSize)
{
    auto control = addControl(2);
    control->setDotImage(solidImage(UIColor::grayColor(), CGSizeMake(6, 6)));
    control->setCurrentDotImage(solidImage(UIColor::redColor(), CGSizeMake(6, 6)));
    control->setDotViewClass(PCDotView::class_());
    EXPECT_TRUE(CGSizeEqualToSize(control->dotSize(), CGSizeMake(6, 6))) << "the image still sizes an unset dot";
    control->setDotImage(nil);
    control->setDotViewClass(PCDotView::class_());
    EXPECT_TRUE(CGSizeEqualToSize(control->dotSize(), CGSizeMake(8, 8)));
    auto dots = dotsOf(control);
    ASSERT_EQ(dots.size(), 2u);
    ASSERT_TRUE(dv::as<PCDotView>(dots[0]));
    // A plain dot is filled white while current, with no animation.
    EXPECT_TRUE(dv::equal(dots[0]->backgroundColor(), UIColor::whiteColor()));
    EXPECT_TRUE(dv::equal(dots[1]->backgroundColor(), UIColor::clearColor()));
    EXPECT_TRUE(dv::runningAnimations(dots[0]).empty());
    control->setCurrentPage(1);
    EXPECT_TRUE(dv::equal(dots[0]->backgroundColor(), UIColor::clearColor()));
    EXPECT_TRUE(dv::equal(dots[1]->backgroundColor(), UIColor::whiteColor()));
}

TEST_F(PageControlTest, TheAbstractDotMustBeOverridden)
{
    try {
        alloc<PCAbstractDotView>()->init();
        FAIL() << "init did not raise";
    } catch (const dv::RaisedException& raised) {
        EXPECT_EQ(dv::str(raised.exception()->name()), NSInternalInconsistencyException);
        EXPECT_EQ(dv::str(raised.exception()->reason()), "You must override init in PCAbstractDotView");
    }
    auto dot = alloc<PCAbstractDotView>()->initWithFrame(CGRectMake(0, 0, 8, 8));
    try {
        dot->changeActivityState(true);
        FAIL() << "changeActivityState did not raise";
    } catch (const dv::RaisedException& raised) {
        EXPECT_EQ(dv::str(raised.exception()->reason()), "You must override changeActivityState: in PCAbstractDotView");
    }
    // The concrete dots make a zero frame without one.
    EXPECT_TRUE(CGRectEqualToRect(alloc<PCDotView>()->init()->frame(), CGRectZero));
}

TEST_F(PageControlTest, ADotClassWithoutTheActivityChangeIsLoggedAndLeftAlone)
{
    auto control = addControl(0);
    dv::LogCapture log;
    control->setDotViewClass(MuteDot::class_());
    control->setNumberOfPages(3);
    control->setCurrentPage(1);
    EXPECT_TRUE(log.contains("Custom view : MuteDot must implement an 'changeActivityState' method or you can subclass "
                             "PCAbstractDotView to help you."));
    EXPECT_EQ(log.lines().size(), 3u) << "the rebuild, then the old and the new page";
    auto dots = dotsOf(control);
    ASSERT_EQ(dots.size(), 3u);
    EXPECT_TRUE(dv::as<MuteDot>(dots[1]));
    EXPECT_TRUE(CGSizeEqualToSize(dots[1]->bounds().size, CGSizeMake(8, 8)));
}

TEST_F(PageControlTest, ATapOnADotTellsTheDelegateItsIndex)
{
    auto control = addControl(4);
    control->sizeToFit();
    auto listener = std::make_shared<TapListener>();
    control->setDelegate(listener);
    auto dots = dotsOf(control);
    ASSERT_TRUE(m_ui.tap(dots[2]));
    ASSERT_TRUE(m_ui.tap(dots[0]));
    EXPECT_EQ(listener->taps, (std::vector<NSInteger> {2, 0}));

    // Between two dots the touch lands on the control itself: nobody is told.
    const CGRect gap = m_ui.frameInWindow(control);
    ASSERT_TRUE(m_ui.tap(CGPointMake(CGRectGetMinX(gap) + 12, CGRectGetMidY(gap))));
    EXPECT_EQ(listener->taps.size(), 2u);

    // The delegate is not kept by the control.
    Weak<TapListener> weak = listener;
    listener = nil;
    EXPECT_TRUE(weak.expired());
    EXPECT_TRUE(m_ui.tap(dots[1]));
}

TEST_F(PageControlTest, FewerPagesThanTheCurrentPageSkipTheMissingDot)
{
    auto control = addControl(5);
    control->setCurrentPage(4);
    control->setNumberOfPages(2);
    EXPECT_EQ(control->currentPage(), 4);
    EXPECT_EQ(grown(control), (std::vector<bool> {false, false}));
    control->setCurrentPage(1);
    EXPECT_EQ(grown(control), (std::vector<bool> {false, true}));
    control->setCurrentPage(7);
    control->setCurrentPage(-1);
    control->setCurrentPage(0);
    EXPECT_EQ(grown(control), (std::vector<bool> {true, false}));
    control->setNumberOfPages(6);
    EXPECT_EQ(grown(control), (std::vector<bool> {true, false, false, false, false, false}));
}

} // namespace
