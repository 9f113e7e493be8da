// The picture page, opened by the home screen's fixed tile: six pictures one below the other,
// laid out for the view's size, scrolling vertically to the last one.
#include "InformationTestSupport.h"

#include "app/shell/picture/KYWifiController.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/UIScreen.h"
#include "platform/testing/Pixels.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UIScrollView.h"

using namespace dv::test;

namespace {

class PicturePageTest : public InformationTest {
protected:
    Ref<UIScrollView> pictureScroll(const Ref<UIViewController>& page) const
    {
        for (const auto& scroll : m_ui.findAll<UIScrollView>())
            if (scroll->superview() == page->view())
                return scroll;
        return nil;
    }
    // The image views of the page that show a picture, top first.
    static std::vector<Ref<UIImageView>> pictures(const Ref<UIScrollView>& scroll)
    {
        std::vector<Ref<UIImageView>> images;
        auto subviews = scroll->subviews();
        for (const auto& subview : subviews->items())
            if (auto image = dv::as<UIImageView>(subview); image && image->image())
                images.push_back(image);
        return images;
    }
};

TEST_F(PicturePageTest, SixPicturesOneBelowTheOther)
{
    ASSERT_TRUE(launch());
    auto page = dv::as<KYWifiController>(tapTile("图片"));
    ASSERT_TRUE(page);
    EXPECT_EQ(m_ui.navigationTitle(), "图片");
    EXPECT_EQ(m_ui.navigationStack().size(), 2u);

    auto scroll = pictureScroll(page);
    ASSERT_TRUE(scroll);
    // Laid out for the view's frame when it loaded: below the navigation bar, where it stays.
    const CGSize screen = UIScreen::mainScreen()->bounds().size;
    const CGSize view = CGSizeMake(screen.width, screen.height - 64);
    EXPECT_TRUE(CGRectEqualToRect(m_ui.frameInWindow(page->view()), CGRectMake(0, 64, view.width, view.height)));
    EXPECT_TRUE(CGRectEqualToRect(scroll->frame(), page->view()->bounds())) << "no taller than the view that holds it";
    const auto images = pictures(scroll);
    ASSERT_EQ(images.size(), 6u);
    for (std::size_t i = 0; i < images.size(); ++i) {
        const CGRect frame = images[i]->frame();
        EXPECT_EQ(frame.origin.x, 40) << i;
        EXPECT_EQ(frame.origin.y, i * (view.height - 100) + 20) << i;
        EXPECT_EQ(frame.size.width, view.width - 80) << i;
        EXPECT_EQ(frame.size.height, view.height - 120) << i;
        EXPECT_EQ(images[i]->image(), UIImage::imageNamed(NSString::stringWithFormat("750_%d", int(i)))) << i;
        EXPECT_EQ(images[i]->contentMode(), UIViewContentModeScaleToFill);
    }
    EXPECT_EQ(scroll->contentSize().width, view.width) << "no sideways scrolling";
    EXPECT_EQ(scroll->contentSize().height, 6 * view.height - 520);

    // A person scrolls down to the last picture; sideways the page does not move.
    const CGFloat end = scroll->contentSize().height - scroll->bounds().size.height;
    for (int stroke = 0; stroke < 12 && scroll->contentOffset().y < end; ++stroke)
        ASSERT_TRUE(m_ui.dragScrollView(scroll, CGPointMake(0, 400)));
    EXPECT_EQ(scroll->contentOffset().y, end);
    EXPECT_TRUE(m_ui.tapPoint(images[5]));
    EXPECT_FALSE(m_ui.tapPoint(images[0]));
    m_ui.dragScrollView(scroll, CGPointMake(120, 0));
    EXPECT_EQ(scroll->contentOffset().x, 0);
}

TEST_F(PicturePageTest, OnA320By568ScreenTheViewOf320By504HoldsPicturesOf240By384)
{
    UIScreen::mainScreen()->setBounds(CGRectMake(0, 0, 320, 568));
    ASSERT_TRUE(launch());
    auto page = dv::as<KYWifiController>(tapTile("图片"));
    ASSERT_TRUE(page);
    auto scroll = pictureScroll(page);
    ASSERT_TRUE(scroll);
    EXPECT_TRUE(CGSizeEqualToSize(page->view()->bounds().size, CGSizeMake(320, 504)));
    EXPECT_TRUE(CGRectEqualToRect(scroll->frame(), CGRectMake(0, 0, 320, 504)));
    std::vector<CGFloat> tops;
    for (const auto& image : pictures(scroll)) {
        tops.push_back(image->frame().origin.y);
        EXPECT_TRUE(CGSizeEqualToSize(image->frame().size, CGSizeMake(240, 384)));
    }
    EXPECT_EQ(tops, (std::vector<CGFloat> { 20, 424, 828, 1232, 1636, 2040 }));
    EXPECT_TRUE(CGSizeEqualToSize(scroll->contentSize(), CGSizeMake(320, 2504)));

    // On the screen: the first picture fills (40, 84) to (280, 468) of the window, white around
    // it, and the second begins 20 points below it.
    const dv::testing::Pixels shot(m_ui.screenshot(1));
    auto white = [](const dv::testing::Pixel& p) { return p[0] > 250 && p[1] > 250 && p[2] > 250; };
    const CGRect first = shot.box(CGRectMake(0, 64, 320, 424), [&](const dv::testing::Pixel& p) { return !white(p); });
    EXPECT_TRUE(CGRectEqualToRect(first, CGRectMake(40, 84, 240, 384))) << first.origin.x << "," << first.origin.y << " "
                                                                         << first.size.width << "x" << first.size.height;
    EXPECT_TRUE(white(shot.at(160, 480)));
    EXPECT_FALSE(white(shot.at(160, 500)));
}

} // namespace
