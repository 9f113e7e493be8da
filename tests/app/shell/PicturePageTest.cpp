// The picture page, opened by the home screen's fixed tile: six pictures one below the other,
// laid out for the view's size, scrolling vertically to the last one.
#include "InformationTestSupport.h"

#include "app/shell/picture/KYWifiController.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/UIScreen.h"
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
    // Laid out for the view's frame when it loaded: the whole screen, before the navigation
    // controller fitted it below the bar.
    const CGSize view = UIScreen::mainScreen()->bounds().size;
    auto pictures = scroll->subviews();
    std::vector<Ref<UIImageView>> images;
    for (const auto& subview : pictures->items())
        if (auto image = dv::as<UIImageView>(subview); image && image->image())
            images.push_back(image);
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

TEST_F(PicturePageTest, AViewOf320By504PointsHoldsPicturesOf240By384)
{
    UIScreen::mainScreen()->setBounds(CGRectMake(0, 0, 320, 504));
    ASSERT_TRUE(launch());
    auto page = dv::as<KYWifiController>(tapTile("图片"));
    ASSERT_TRUE(page);
    auto scroll = pictureScroll(page);
    ASSERT_TRUE(scroll);
    std::vector<CGFloat> tops;
    auto subviews = scroll->subviews();
    for (const auto& subview : subviews->items()) {
        auto image = dv::as<UIImageView>(subview);
        if (!image || !image->image())
            continue;
        tops.push_back(image->frame().origin.y);
        EXPECT_TRUE(CGSizeEqualToSize(image->frame().size, CGSizeMake(240, 384)));
    }
    EXPECT_EQ(tops, (std::vector<CGFloat> { 20, 424, 828, 1232, 1636, 2040 }));
    EXPECT_TRUE(CGSizeEqualToSize(scroll->contentSize(), CGSizeMake(320, 2504)));
}

} // namespace
