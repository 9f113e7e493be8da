// The toast helpers: icon toasts that go by themselves after 0.7 s, the dimmed loading overlay,
// how they stack on one view, and where their icons come from.
#include "ToolkitTestSupport.h"

#include "platform/base/NSArray.h"
#include "platform/graphics/ImageResources.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/NSBundle.h"

using namespace dv::test;

namespace {

constexpr NSTimeInterval kJust = 0.001;

class ToastTest : public ToolkitTest {
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        m_host = addView(CGRectMake(0, 100, 375, 500), UIColor::whiteColor());
    }
    void TearDown() override
    {
        dv::setImageResourceResolver({});
        ToolkitTest::TearDown();
    }

    // The brightness of the window at a point of the toast's icon, in icon points from its corner.
    int iconBrightness(const Ref<PHProgressHUD>& toast, CGFloat x, CGFloat y)
    {
        const CGRect icon = m_ui.frameInWindow(dv::as<UIView>(toast->customView()));
        return Pixels(m_ui.screenshot(2)).at(icon.origin.x + x, icon.origin.y + y)[0];
    }

    Ref<UIView> m_host;
};

} // namespace

TEST_F(ToastTest, AnErrorToastWithoutAViewShowsOnTheKeyWindowAndGoesByItself)
{
    const NSTimeInterval shown = now();
    PHProgressHUD::showError("网络连接失败"_ns, nil);
    auto toast = PHProgressHUD::HUDForView(m_window);
    ASSERT_NE(toast, nil);
    EXPECT_EQ(toast->mode(), PHProgressHUDModeCustomView);
    EXPECT_EQ(toast->animationType(), PHProgressHUDAnimationFade);
    m_ui.runUntilIdle();
    EXPECT_TRUE(m_ui.isVisible(m_ui.viewWithText("网络连接失败")));
    auto icon = dv::as<UIImageView>(toast->customView());
    ASSERT_NE(icon, nil);
    ASSERT_NE(icon->image(), nil) << "PHProgressHUD.bundle/error.png";
    EXPECT_EQ(icon->image()->size(), CGSizeMake(37, 37));
    EXPECT_EQ(icon->image()->scale(), 2) << "the screen's variant";
    EXPECT_NE(m_ui.dump().find("UIImageView (169 "), std::string::npos) << m_ui.dump();
    // The cross meets in the middle of the icon, white on the dark box.
    EXPECT_GT(iconBrightness(toast, 18.5, 18.5), 200);
    EXPECT_LT(iconBrightness(toast, 18.5, 8), 100);

    advanceTo(shown, 0.7 - kJust);
    EXPECT_EQ(toast->alpha(), 1);
    advanceTo(shown, 0.7 + kJust);
    EXPECT_EQ(toast->alpha(), CGFloat(0.02)) << "fading";
    advanceTo(shown, 1.0 - kJust);
    EXPECT_EQ(toast->superview(), m_window);
    advanceTo(shown, 1.0 + kJust);
    EXPECT_EQ(toast->superview(), nil);
    EXPECT_EQ(m_ui.viewWithText("网络连接失败"), nil);
    // Gone for good: nothing (timers, observations, notifications) keeps it.
    Weak<PHProgressHUD> gone = toast;
    toast = nil;
    icon = nil;
    m_ui.runUntilIdle();
    EXPECT_TRUE(gone.expired());
}

TEST_F(ToastTest, ASuccessToastShowsTheTick)
{
    PHProgressHUD::showSuccess("上传成功"_ns, m_host);
    auto toast = PHProgressHUD::HUDForView(m_host);
    ASSERT_NE(toast, nil);
    m_ui.runUntilIdle();
    ASSERT_NE(dv::as<UIImageView>(toast->customView())->image(), nil) << "PHProgressHUD.bundle/success.png";
    EXPECT_LT(iconBrightness(toast, 18.5, 10), 100) << "inside the ring";
    EXPECT_GT(iconBrightness(toast, 16, 24), 200) << "the tick's corner";
    EXPECT_GT(iconBrightness(toast, 18.5, 1.75), 200) << "the ring";
    m_ui.advance(1 + kJust);
    EXPECT_EQ(toast->superview(), nil);
}

TEST_F(ToastTest, TwoToastsInQuickSuccessionEachGoSevenTenthsAfterTheyCame)
{
    const NSTimeInterval first = now();
    PHProgressHUD::showError("第一条"_ns, m_host);
    auto one = PHProgressHUD::HUDForView(m_host);
    advanceTo(first, 0.2);
    PHProgressHUD::showError("第二条"_ns, m_host);
    auto two = PHProgressHUD::HUDForView(m_host);
    ASSERT_NE(one, two);
    EXPECT_EQ(m_host->subviews()->lastObject(), two) << "the second above the first";
    EXPECT_TRUE(onScreen(one));
    EXPECT_TRUE(onScreen(two));

    advanceTo(first, 0.7 + kJust);
    EXPECT_EQ(one->alpha(), CGFloat(0.02));
    EXPECT_EQ(two->alpha(), 1);
    advanceTo(first, 0.9 + kJust);
    EXPECT_EQ(two->alpha(), CGFloat(0.02));
    EXPECT_EQ(one->superview(), m_host);
    advanceTo(first, 1.0 + kJust);
    EXPECT_EQ(one->superview(), nil);
    EXPECT_EQ(two->superview(), m_host);
    advanceTo(first, 1.2 + kJust);
    EXPECT_EQ(two->superview(), nil);
}

TEST_F(ToastTest, ALoadingOverlayIsDimmedAndStaysUntilHidden)
{
    auto loading = PHProgressHUD::showMessag("正在加载"_ns, m_host);
    ASSERT_EQ(PHProgressHUD::HUDForView(m_host), loading);
    EXPECT_EQ(loading->mode(), PHProgressHUDModeIndeterminate);
    EXPECT_TRUE(loading->removeFromSuperViewOnHide());
    m_ui.runUntilIdle();
    // Its first drawing already has the text and the shade.
    {
        const Pixels shot(m_ui.screenshot(1));
        EXPECT_LT(shot.at(1, 101)[0], 140) << "dimmed corner " << show(shot.at(1, 101));
    }
    EXPECT_TRUE(m_ui.isVisible(m_ui.viewWithText("正在加载")));
    EXPECT_NE(m_ui.find<UIActivityIndicatorView>(), nil);
    m_ui.advance(30);
    EXPECT_TRUE(onScreen(loading));
    EXPECT_TRUE(PHProgressHUD::hideHUDForView(m_host, true));
    m_ui.advance(0.3 + kJust);
    EXPECT_EQ(loading->superview(), nil);
}

TEST_F(ToastTest, HidingTheViewsOverlayTakesTheToastAboveTheLoadingOverlay)
{
    auto loading = PHProgressHUD::showMessag("正在加载"_ns, m_host);
    PHProgressHUD::showError("服务器繁忙"_ns, m_host);
    auto toast = PHProgressHUD::HUDForView(m_host);
    ASSERT_NE(toast, loading);
    EXPECT_TRUE(PHProgressHUD::hideHUDForView(m_host, true));
    m_ui.advance(0.3 + kJust);
    EXPECT_EQ(toast->superview(), nil) << "the topmost overlay, a fading toast too";
    EXPECT_TRUE(onScreen(loading));
    m_ui.advance(2);
    EXPECT_TRUE(onScreen(loading)) << "the toast's own delayed hide does not reach the loading overlay";
    EXPECT_EQ(PHProgressHUD::hideAllHUDsForView(m_host, false), 1u);
    EXPECT_EQ(loading->superview(), nil);
}

TEST_F(ToastTest, AMissingIconLeavesTheTextAlone)
{
    PHProgressHUD::show("已复制"_ns, "nothing-here.png"_ns, m_host);
    auto toast = PHProgressHUD::HUDForView(m_host);
    ASSERT_NE(toast, nil);
    m_ui.runUntilIdle();
    auto icon = dv::as<UIImageView>(toast->customView());
    ASSERT_NE(icon, nil);
    EXPECT_EQ(icon->image(), nil);
    EXPECT_EQ(icon->frame().size, CGSizeZero);
    EXPECT_TRUE(m_ui.isVisible(m_ui.viewWithText("已复制")));
    m_ui.advance(1 + kJust);
    EXPECT_EQ(toast->superview(), nil);
}

TEST_F(ToastTest, WithoutAViewOrAKeyWindowNothingShows)
{
    m_window = nil;
    UIApplication::resetSharedApplication();
    ASSERT_EQ(UIApplication::sharedApplication()->keyWindow(), nil);
    PHProgressHUD::showError("网络连接失败"_ns, nil);
    auto loading = PHProgressHUD::showMessag("正在加载"_ns, nil);
    ASSERT_NE(loading, nil);
    EXPECT_EQ(loading->superview(), nil);
    m_ui.advance(2);
    EXPECT_FALSE(PHProgressHUD::hideHUDForView(nil, true));
}

TEST_F(ToastTest, TheIconsAreTheApplicationsOwnResources)
{
    auto bundle = NSBundle::mainBundle();
    for (const char* name : {"error", "success"}) {
        EXPECT_NE(bundle->pathForResource(NSString::fromUTF8(name), "png"_ns, "PHProgressHUD.bundle"_ns), nil) << name;
        EXPECT_NE(bundle->pathForResource(NSString::fromUTF8(std::string("PHProgressHUD.bundle/") + name + ".png"), nil), nil) << name;
    }
    // As the application looks images up: through its main bundle.
    dv::installMainBundleImageResolver();
    auto image = UIImage::imageNamed("PHProgressHUD.bundle/success.png"_ns);
    ASSERT_NE(image, nil);
    EXPECT_EQ(image->size(), CGSizeMake(37, 37));
    EXPECT_EQ(image->scale(), 2);
}
