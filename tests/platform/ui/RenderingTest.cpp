#include "UITestSupport.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/ui/ViewSnapshot.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

using namespace dv::test;

namespace {

class RenderingTest : public UITest {
protected:
    Ref<UIImage> shot(CGFloat scale = 2) { return m_ui.screenshot(scale); }
};

const Pixel kRed {255, 0, 0, 255};
const Pixel kBlue {0, 0, 255, 255};
const Pixel kClear {0, 0, 0, 0};

// Draws a red square in its middle only while `lit`; otherwise leaves drawing to the default, as
// a view whose drawing depends on its state does.
class SometimesDrawnView : public UIView {
public:
    bool lit = false;
    int draws = 0;
    void drawRect(CGRect rect) override
    {
        ++draws;
        if (!lit) {
            UIView::drawRect(rect);
            return;
        }
        auto context = UIGraphicsGetCurrentContext();
        CGContextSetFillColorWithColor(context, UIColor::redColor()->CGColor());
        CGContextFillRect(context, CGRectMake(10, 10, 20, 20));
    }
};

// Leaves drawing to the default, then draws a black dot in its last device pixel at scale 2:
// the only byte of the bitmap that is not zero is the last.
class DotInTheLastPixelView : public UIView {
public:
    void drawRect(CGRect rect) override
    {
        UIView::drawRect(rect);
        auto context = UIGraphicsGetCurrentContext();
        CGContextSetFillColorWithColor(context, UIColor::blackColor()->CGColor());
        CGContextFillRect(context, CGRectMake(bounds().size.width - 0.5, bounds().size.height - 0.5, 0.5, 0.5));
    }
};

} // namespace

TEST_F(RenderingTest, AKindThatDrewNothingAtFirstIsDrawnOnceItsInstancesDraw)
{
    auto dark = alloc<SometimesDrawnView>();
    dark->initWithFrame(CGRectMake(0, 0, 40, 40));
    m_window->addSubview(dark);
    EXPECT_EQ(pixelOf(shot(), 20, 20), kClear);
    EXPECT_EQ(dark->draws, 1);

    // Another instance of the same kind, lit from the start.
    auto lit = alloc<SometimesDrawnView>();
    lit->lit = true;
    lit->initWithFrame(CGRectMake(50, 0, 40, 40));
    m_window->addSubview(lit);
    auto image = shot();
    EXPECT_EQ(pixelOf(image, 70, 20), kRed) << "an instance that draws is drawn, whatever the first one did";
    EXPECT_EQ(pixelOf(image, 52, 2), kClear);

    // The first instance lights up later.
    dark->lit = true;
    dark->setNeedsDisplay();
    EXPECT_EQ(pixelOf(shot(), 20, 20), kRed);
    dark->lit = false;
    dark->setNeedsDisplay();
    EXPECT_EQ(pixelOf(shot(), 20, 20), kClear);
}

TEST_F(RenderingTest, AKindThatDrawsAfterTheDefaultIsDrawnFromItsFirstDisplay)
{
    auto view = alloc<DotInTheLastPixelView>();
    view->initWithFrame(CGRectMake(0, 0, 40, 40));
    m_window->addSubview(view);
    const auto image = shot();
    EXPECT_EQ(pixelOf(image, 39.75, 39.75), (Pixel {0, 0, 0, 255})) << "the dot in the last pixel";
    EXPECT_NE(pixelOf(image, 39.25, 39.25), (Pixel {0, 0, 0, 255}));
}

TEST_F(RenderingTest, RoundedCornersLeaveTheCornerTransparentAndFillTheRest)
{
    auto view = addView(CGRectMake(50, 50, 100, 100), UIColor::redColor());
    view->layer()->setCornerRadius(10);
    auto image = shot();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), CGSizeMake(375, 667));
    EXPECT_EQ(image->scale(), 2);
    EXPECT_EQ(pixelOf(image, 50.5, 50.5), kClear) << show(pixelOf(image, 50.5, 50.5));
    EXPECT_EQ(pixelOf(image, 149.5, 149.5), kClear);
    EXPECT_EQ(pixelOf(image, 100, 100), kRed);
    EXPECT_EQ(pixelOf(image, 50.5, 100), kRed) << "the straight edges are full";
    EXPECT_EQ(pixelOf(image, 49.5, 100), kClear);
    EXPECT_EQ(pixelOf(image, 53, 53), kRed) << "inside the curve";
}

TEST_F(RenderingTest, MaskingClipsSubviewsToTheRoundedBounds)
{
    auto box = addView(CGRectMake(0, 0, 100, 100), nil);
    auto child = addView(CGRectMake(-20, -20, 200, 200), UIColor::blueColor(), box);
    (void)child;
    EXPECT_EQ(pixelOf(shot(), 150, 150), kBlue) << "unclipped, the child spills out";
    box->layer()->setMasksToBounds(true);
    box->layer()->setCornerRadius(20);
    auto image = shot();
    EXPECT_EQ(pixelOf(image, 150, 150), kClear);
    EXPECT_EQ(pixelOf(image, 1, 1), kClear) << "the rounded corner clips too";
    EXPECT_EQ(pixelOf(image, 50, 50), kBlue);
    EXPECT_EQ(pixelOf(image, 99.5, 50), kBlue);
    EXPECT_TRUE(box->clipsToBounds());
}

TEST_F(RenderingTest, AlphaAppliesToAViewAndItsSubviewsAsOneGroup)
{
    m_window->setBackgroundColor(UIColor::whiteColor());
    auto group = addView(CGRectMake(0, 0, 100, 100));
    group->setAlpha(0.5);
    addView(CGRectMake(0, 0, 60, 100), UIColor::redColor(), group);
    addView(CGRectMake(40, 0, 60, 100), UIColor::redColor(), group); // overlaps in 40..60
    auto image = shot();
    const Pixel alone = pixelOf(image, 20, 50), overlap = pixelOf(image, 50, 50);
    EXPECT_TRUE(near(alone, Pixel {255, 128, 128, 255})) << show(alone);
    EXPECT_TRUE(near(overlap, alone, 1)) << show(overlap) << " is no darker where the children overlap";
    group->setHidden(true);
    EXPECT_EQ(pixelOf(shot(), 20, 50), (Pixel {255, 255, 255, 255}));
}

TEST_F(RenderingTest, TransformsMoveWhatIsDrawn)
{
    auto bar = addView(CGRectMake(100, 100, 100, 10), UIColor::redColor()); // centre (150, 105)
    bar->setTransform(CGAffineTransformMakeRotation(M_PI / 2));              // now 145..155 x 55..155
    auto image = shot();
    EXPECT_EQ(pixelOf(image, 150, 60), kRed);
    EXPECT_EQ(pixelOf(image, 120, 105), kClear);
    bar->setTransform(CGAffineTransformMakeScale(0.5, 1)); // 125..175 x 100..110
    image = shot();
    EXPECT_EQ(pixelOf(image, 126, 105), kRed);
    EXPECT_EQ(pixelOf(image, 110, 105), kClear);
}

TEST_F(RenderingTest, DrawnContentLaterSiblingsAndBordersStackInOrder)
{
    auto painted = PaintedView::make(CGRectMake(0, 0, 100, 100), UIColor::blueColor());
    m_window->addSubview(painted);
    auto cover = addView(CGRectMake(50, 0, 50, 100), UIColor::redColor());
    cover->layer()->setBorderWidth(4);
    cover->layer()->setBorderColor(UIColor::greenColor()->CGColor());
    auto image = shot();
    EXPECT_EQ(painted->draws, 1) << "drawn by the display pass, not by the screenshot";
    EXPECT_EQ(painted->lastRect, CGRectMake(0, 0, 100, 100));
    EXPECT_EQ(pixelOf(image, 25, 50), kBlue);
    EXPECT_EQ(pixelOf(image, 75, 50), kRed);
    EXPECT_EQ(pixelOf(image, 51, 50), (Pixel {0, 255, 0, 255})) << "the border lies inside the bounds, on top";
    shot();
    EXPECT_EQ(painted->draws, 1);

    // Drawn content stretches with the view until it is drawn again.
    painted->setFrame(CGRectMake(0, 0, 200, 100));
    EXPECT_EQ(pixelOf(shot(), 150, 50), kBlue);
    EXPECT_EQ(painted->draws, 1);
    painted->setNeedsDisplay();
    shot();
    EXPECT_EQ(painted->lastRect, CGRectMake(0, 0, 200, 100));
}

TEST_F(RenderingTest, ScreenshotsFollowTheScaleAndWriteAPNG)
{
    addView(CGRectMake(0, 0, 10, 10), UIColor::redColor());
    auto one = shot(1);
    EXPECT_EQ(CGImageGetWidth(one->CGImage()), 375u);
    EXPECT_EQ(CGImageGetHeight(one->CGImage()), 667u);
    auto three = shot(3);
    EXPECT_EQ(CGImageGetWidth(three->CGImage()), 1125u);
    EXPECT_EQ(pixelOf(three, 9.9, 9.9), kRed);

    UIScreen::mainScreen()->setBounds(CGRectMake(0, 0, 320, 568));
    auto small = alloc<UIWindow>()->init();
    EXPECT_EQ(small->bounds(), CGRectMake(0, 0, 320, 568));

    const auto path = (std::filesystem::temp_directory_path() / ("dv-ui-shot-" + std::to_string(::getpid()) + ".png")).string();
    ASSERT_TRUE(m_ui.writeScreenshot(path, 1));
    auto decoded = UIImage::imageWithData(NSData::dataWithContentsOfFile(NSString::fromUTF8(path)));
    std::filesystem::remove(path);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->size(), CGSizeMake(375, 667));
    EXPECT_EQ(pixelOf(decoded, 5, 5), kRed);
}

TEST_F(RenderingTest, TheDumpListsClassFrameTextAndFlagsOneViewALine)
{
    m_window->setBackgroundColor(UIColor::whiteColor());
    auto panel = addView(CGRectMake(10, 20, 100, 50.5), UIColor::redColor());
    panel->setTag(3);
    panel->layer()->setCornerRadius(10);
    panel->setClipsToBounds(true);
    auto label = RecordingView::make(nullptr, "label", CGRectMake(0, 0, 100, 20));
    label->text = "你好 \"world\"";
    label->setUserInteractionEnabled(false);
    panel->addSubview(label);
    auto faded = addView(CGRectMake(0, 0, 1.0 / 3, 10), UIColor::colorWithWhite(0, 0.5));
    faded->setHidden(true);
    faded->setAlpha(0.25);
    faded->setTransform(CGAffineTransformMakeScale(2, 1));

    EXPECT_EQ(m_ui.dump(),
        "UIWindow (0 0; 375 667) bg=#ffffff\n"
        "  UIView (10 20; 100 50.5) tag=3 clips radius=10 bg=#ff0000\n"
        "    UIView (0 0; 100 20) text=\"你好 \\\"world\\\"\" interaction=off\n"
        "  UIView (-0.17 0; 0.67 10) hidden alpha=0.25 transform=[2 0 0 1 0 0] bg=#00000080\n");
    EXPECT_NE(panel->description()->utf8().find("frame = (10 20; 100 50.5); tag = 3; clips = YES"), std::string::npos)
        << panel->description()->utf8();
}

TEST_F(RenderingTest, TheDumpSaysWhatTextsAreDrawnWithAndWhichPicturesShow)
{
    auto label = alloc<UILabel>()->initWithFrame(CGRectMake(0, 0, 100, 20));
    label->setText("标题"_ns);
    label->setFont(UIFont::boldSystemFontOfSize(17));
    label->setTextColor(UIColor::colorWithRed(53 / 255.0, 52 / 255.0, 52 / 255.0, 1));
    m_window->addSubview(label);
    auto field = alloc<UITextField>()->initWithFrame(CGRectMake(0, 30, 100, 30));
    field->setKeyboardType(UIKeyboardTypeNumberPad);
    field->setFont(UIFont::systemFontOfSize(14));
    m_window->addSubview(field);
    auto named = UIImage::imageNamed("nav_back"_ns);
    ASSERT_TRUE(named);
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(CGRectMake(0, 70, 40, 40));
    button->setImage(named, UIControlStateNormal);
    m_window->addSubview(button);
    auto frame = [](UIColor* color) {
        UIGraphicsBeginImageContextWithOptions(CGSizeMake(4, 4), true, 1);
        color->setFill();
        UIRectFill(CGRectMake(0, 0, 4, 4));
        auto image = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        return image;
    };
    auto spinner = alloc<UIImageView>()->initWithFrame(CGRectMake(0, 120, 20, 20));
    spinner->setImage(UIImage::animatedImageWithImages(NSArray::of({ frame(UIColor::redColor().get()), frame(UIColor::blueColor().get()),
        frame(UIColor::greenColor().get()) }), 0.9));
    m_window->addSubview(spinner);

    const std::string dump = m_ui.dump();
    EXPECT_NE(dump.find("UILabel (0 0; 100 20) text=\"标题\" font=\"" + dv::str(UIFont::boldSystemFontOfSize(17)->fontName()) + " 17\" color=#353434\n"),
        std::string::npos) << dump;
    EXPECT_NE(dump.find("font=\"" + dv::str(UIFont::systemFontOfSize(14)->fontName()) + " 14\" color=#000000 keyboard=number-pad\n"),
        std::string::npos) << "an empty field says how its text will look and which keys it brings: " << dump;
    EXPECT_NE(dump.find("UIButton (0 70; 40 40) resource=\"nav_back\""), std::string::npos) << dump;
    EXPECT_NE(dump.find("UIImageView (0 120; 20 20) image=4x4 animating frames=3 duration=0.9"), std::string::npos) << dump;
}
