// The home screen, started through the application entry against the local server and used
// through the driver: the title, the kept tiles with their pictures and their layout, the strip,
// the address-book question, every tile keyword's screen or web page, and the server's faults.
#include "ShellTestSupport.h"

#include "app/shell/ApplicationEntry.h"
#include "app/shell/about/VQAboutvqViewController.h"
#include "app/shell/home/VQMainButton.h"
#include "app/shell/home/VQMainViewController.h"
#include "app/shell/models/VQAdModel.h"
#include "app/shell/models/VQMainBtnModel.h"
#include "app/shell/picture/KYWifiController.h"
#include "app/shell/start/AppDelegate.h"
#include "app/shell/web/VQADWebViewController.h"
#include "app/shell/web/VQMainWebViewController.h"
#include "platform/base/ClassBuilder.h"
#include "platform/system/PrivacyAccess.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UICollectionView.h"
#include "platform/ui/UIScrollView.h"
#include "ui/toolkit/carousel/CSCycleScrollView.h"
#include "tools/devserver/Fault.h"

using namespace dv::test;
using dv::devserver::Fault;
using dv::devserver::FaultKind;

// Stand-ins for the screens of the directory the tiles open, registered under the names the home
// screen looks up (the real ones live in a folder this test does not link). Each records what it
// was given. The shell's own screens (about, web page, picture page) are the real ones.
class OpenedScreen : public UIViewController {
    DV_CLASS(OpenedScreen, UIViewController)

    OpenedScreen() = default;
    Ref<NSString> titleName() const { return m_titleName; }
    void setTitleName(const Ref<NSString>& text) { m_titleName = text; }
    Ref<NSString> linkUrl() const { return m_linkUrl; }
    void setLinkUrl(const Ref<NSString>& text) { m_linkUrl = text; }

private:
    Ref<NSString> m_titleName;
    Ref<NSString> m_linkUrl;
};

DV_DEFINE_CLASS_WITH(OpenedScreen, b)
{
    b.property<Ref<NSString>>("titleName", "T@\"NSString\",C,N,V_titleName",
        [](const OpenedScreen& s) { return s.titleName(); }, [](OpenedScreen& s, Ref<NSString> v) { s.setTitleName(v); });
    b.property<Ref<NSString>>("linkUrl", "T@\"NSString\",C,N,V_linkUrl",
        [](const OpenedScreen& s) { return s.linkUrl(); }, [](OpenedScreen& s, Ref<NSString> v) { s.setLinkUrl(v); });
}

#define DV_OPENED_SCREEN(CppName, RegisteredName)                                                          \
    class CppName : public OpenedScreen {                                                                  \
        DV_CLASS(CppName, OpenedScreen)                                                                    \
        CppName() = default;                                                                               \
    };                                                                                                     \
    Class CppName::class_()                                                                                \
    {                                                                                                      \
        static const Class cls = dv::ClassBuilder<CppName>::build(RegisteredName, OpenedScreen::class_(), nullptr); \
        return cls;                                                                                        \
    }                                                                                                      \
    namespace {                                                                                            \
    [[maybe_unused]] const Class dvRegistered##CppName = CppName::class_();                                \
    }

DV_OPENED_SCREEN(OpenedAddFans, "VQAddFansViewController")
DV_OPENED_SCREEN(OpenedPassiveFans, "VQPassiveFansVC")
DV_OPENED_SCREEN(OpenedAddGroup, "VQAddGroupViewController")
DV_OPENED_SCREEN(OpenedExactCustomer, "VQExactCustomerVC")
DV_OPENED_SCREEN(OpenedCategoryResources, "VQCategoryResourcesNewVC")
DV_OPENED_SCREEN(OpenedAddPublic, "VQAddPublicViewController")

namespace {

constexpr const char* kTimedOut = "当前网络不稳定 请稍后重试";
constexpr const char* kCannotConnect = "网络连接失败 获取数据异常";
constexpr const char* kReload = "点击重新加载";

void expectFrame(CGRect actual, CGRect expected)
{
    EXPECT_NEAR(actual.origin.x, expected.origin.x, 1e-9);
    EXPECT_NEAR(actual.origin.y, expected.origin.y, 1e-9);
    EXPECT_NEAR(actual.size.width, expected.size.width, 1e-9);
    EXPECT_NEAR(actual.size.height, expected.size.height, 1e-9);
}

class HomeScreenTest : public ApplicationTest {
protected:
    // Taps the tile with this title and lets the push finish; the screen on top afterwards.
    Ref<UIViewController> tapTile(std::string_view title)
    {
        Ref<VQMainButton> tile;
        for (const auto& candidate : tiles())
            if (dv::str(candidate->titleLabel()->text()) == title)
                tile = candidate;
        EXPECT_TRUE(tile) << title;
        if (!tile)
            return nil;
        EXPECT_TRUE(m_ui.tap(tile));
        m_ui.advance(0.5);
        return m_ui.topViewController();
    }
    // Goes back to the home screen as a person would, once what the screens left loading has
    // answered (their overlays cover the window until then).
    void goBackHome()
    {
        EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return !overlayShowing(); }));
        m_ui.advance(0.5);
        while (m_ui.navigationStack().size() > 1) {
            const auto depth = m_ui.navigationStack().size();
            if (!m_ui.tapBackButton()) {
                ASSERT_TRUE(m_ui.swipeBack());
            }
            m_ui.advance(0.5);
            ASSERT_LT(m_ui.navigationStack().size(), depth);
        }
    }
};

TEST_F(HomeScreenTest, LaunchShowsTheTitleTheKeptTilesAndTheirPictures)
{
    ASSERT_TRUE(launch());
    EXPECT_EQ(m_ui.navigationTitle(), "Dovrelta");
    EXPECT_EQ(tileTitles(), (std::vector<std::string> { "加粉", "精准加粉", "行业客源", "图片" }));
    ASSERT_TRUE(waitForTilePictures());

    auto home = homeScreen();
    ASSERT_TRUE(home);
    ASSERT_EQ(home->btnArray()->count(), 3u);
    EXPECT_EQ(home->adArray()->count(), 3u);
    EXPECT_EQ(tiles()[0]->btn()->tag(), 1);
    EXPECT_EQ(tiles()[1]->btn()->tag(), 6);
    EXPECT_EQ(tiles()[2]->btn()->tag(), 9);
    EXPECT_EQ(tiles()[3]->btn()->tag(), 1009);

    // The three pictures of the strip, side by side, half a screen wide each.
    auto strip = m_ui.find<UIScrollView>();
    ASSERT_TRUE(strip);
    auto pictures = strip->subviews();
    ASSERT_EQ(pictures->count(), 3u);
    for (NSUInteger j = 0; j < 3; ++j) {
        auto picture = dv::as<UIImageView>(pictures->objectAtIndex(j));
        ASSERT_TRUE(picture && picture->image());
        EXPECT_EQ(picture->frame().origin.x, j * 375 * 0.5);
    }
    EXPECT_TRUE(CGSizeEqualToSize(strip->contentSize(), CGSizeMake(3 * 375 * 0.5, (667 - 64) * 3.0 / 10 + 110)));
    EXPECT_EQ(m_ui.permissionPromptCount(dv::PrivacyService::addressBook), 1);
    EXPECT_TRUE(m_ui.visibleAlerts().empty());
}

TEST_F(HomeScreenTest, TilesFollowTheGridOnASmallScreen)
{
    UIScreen::mainScreen()->setBounds(CGRectMake(0, 0, 320, 568));
    ASSERT_TRUE(m_server->setHomeCategories({ { 201, "信聊加粉", "1" }, { 202, "精准加粉", "6" }, { 203, "行业客源", "9" },
        { 204, "精准加粉", "6" }, { 205, "行业客源", "9" } }));
    ASSERT_TRUE(launch());
    auto all = tiles();
    ASSERT_EQ(all.size(), 6u);
    const CGFloat S = (568 - 64) * 3.0 / 10 + 110, w = (320 - 3) * 0.25, h = ((568 - 64) * 7.0 / 10 - 3) * 0.25;
    EXPECT_NEAR(S, 261.2, 1e-9);
    for (std::size_t i = 0; i < all.size(); ++i) {
        const CGRect frame = all[i]->frame();
        EXPECT_NEAR(frame.origin.x, (i % 4) * (w + 1), 1e-9) << i;
        EXPECT_NEAR(frame.origin.y, S + (i / 4) * (h + 1), 1e-9) << i;
        EXPECT_NEAR(frame.size.width, 79.25, 1e-9);
        EXPECT_NEAR(frame.size.height, 87.45, 1e-9);
    }
    EXPECT_NEAR(all[4]->frame().origin.y, 349.65, 1e-9);
    EXPECT_EQ(dv::str(all[5]->titleLabel()->text()), "图片");
    // Inside a tile of 79 × 87 points: the icon in the upper third, the title under it.
    auto tile = all[0];
    expectFrame(tile->iconView()->frame(), CGRectMake(26, 87 / 5.5, 26, 26));
    expectFrame(tile->titleLabel()->frame(), CGRectMake(10, 58, 59, 20));
    expectFrame(tile->btn()->frame(), CGRectMake(0, 0, 79, 87));
}

TEST_F(HomeScreenTest, OnlyTheServedCategoriesAreKeptInTheServersOrder)
{
    ASSERT_TRUE(m_server->setHomeCategories({ { 301, "信聊加粉", "1" }, { 302, "公众号", "11" }, { 303, "精准加粉", "6" } }));
    ASSERT_TRUE(launch());
    EXPECT_EQ(tileTitles(), (std::vector<std::string> { "加粉", "精准加粉", "图片" }));
}

TEST_F(HomeScreenTest, AReplyWithoutKeptCategoriesShowsOnlyThePictureTile)
{
    ASSERT_TRUE(m_server->setHomeCategories({ { 401, "公众号", "11" } }));
    ASSERT_TRUE(launch());
    auto all = tiles();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0]->frame().origin.x, 0);
    EXPECT_EQ(all[0]->frame().origin.y, (667 - 64) * 3.0 / 10 + 110);
    EXPECT_TRUE(m_ui.tap(all[0]));
    m_ui.advance(0.5);
    EXPECT_TRUE(dv::as<KYWifiController>(m_ui.topViewController()));
}

TEST_F(HomeScreenTest, EachTileOpensTheScreenOfItsKeywordWithItsName)
{
    ASSERT_TRUE(launch());
    struct Case {
        const char* tile;
        Class screen;
    } cases[] = {
        { "加粉", OpenedAddFans::class_() },
        { "精准加粉", OpenedExactCustomer::class_() },
        { "行业客源", OpenedCategoryResources::class_() },
    };
    for (const auto& c : cases) {
        auto top = tapTile(c.tile);
        ASSERT_TRUE(top && top->isMemberOfClass(c.screen)) << c.tile;
        EXPECT_EQ(dv::str(top->title()), c.tile);
        EXPECT_EQ(m_ui.navigationStack().size(), 2u);
        // The navigation controller's back button takes the person home again.
        ASSERT_TRUE(m_ui.tap(top->navigationItem()->leftBarButtonItem()));
        m_ui.advance(0.5);
        EXPECT_EQ(m_ui.topViewController(), std::static_pointer_cast<UIViewController>(homeScreen()));
    }
    EXPECT_TRUE(dv::as<KYWifiController>(tapTile("图片")));
    // A swipe from the left edge goes back as well.
    ASSERT_TRUE(m_ui.swipeBack());
    m_ui.advance(0.5);
    EXPECT_EQ(m_ui.topViewController(), std::static_pointer_cast<UIViewController>(homeScreen()));
}

TEST_F(HomeScreenTest, EveryScreenKeywordIsDispatched)
{
    ASSERT_TRUE(m_server->setHomeCategories({ { 501, "信聊加粉", "2" }, { 502, "精准加粉", "3" }, { 503, "行业客源", "11" } }));
    ASSERT_TRUE(launch());
    EXPECT_TRUE(dv::as<OpenedPassiveFans>(tapTile("加粉")));
    goBackHome();
    EXPECT_TRUE(dv::as<OpenedAddGroup>(tapTile("精准加粉")));
    goBackHome();
    EXPECT_TRUE(dv::as<OpenedAddPublic>(tapTile("行业客源")));
    goBackHome();

    ASSERT_TRUE(m_server->setHomeCategories({ { 601, "信聊加粉", "12" }, { 602, "精准加粉", "abc" }, { 603, "行业客源", "99" } }));
    UIApplication::resetSharedApplication();
    ASSERT_TRUE(launch());
    EXPECT_TRUE(dv::as<VQAboutvqViewController>(tapTile("加粉")));
    goBackHome();
    // A keyword that is no number, and one that names no screen: nothing opens.
    EXPECT_EQ(tapTile("精准加粉"), std::static_pointer_cast<UIViewController>(homeScreen()));
    EXPECT_EQ(tapTile("行业客源"), std::static_pointer_cast<UIViewController>(homeScreen()));
}

TEST_F(HomeScreenTest, WebKeywordsOpenOnePagePerMatchingCategory)
{
    ASSERT_TRUE(m_server->setHomeCategories({ { 701, "精准加粉", "4" }, { 702, "行业客源", "4" }, { 703, "信聊加粉", "13" } }));
    ASSERT_TRUE(launch());
    auto top = tapTile("精准加粉");
    auto stack = m_ui.navigationStack();
    ASSERT_EQ(stack.size(), 3u);
    auto first = dv::as<VQMainWebViewController>(stack[1]);
    auto second = dv::as<VQMainWebViewController>(stack[2]);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(dv::str(first->titleName()), "精准加粉");
    EXPECT_EQ(dv::str(first->linkUrl()), "701");
    EXPECT_EQ(dv::str(second->titleName()), "行业客源");
    EXPECT_EQ(dv::str(second->linkUrl()), "702");
    EXPECT_EQ(top, second);
    goBackHome();
    auto page = dv::as<VQMainWebViewController>(tapTile("加粉"));
    ASSERT_TRUE(page);
    EXPECT_EQ(dv::str(page->linkUrl()), "703");
}

TEST_F(HomeScreenTest, StripPictureOpensFullScreenAndATapClosesIt)
{
    ASSERT_TRUE(launch());
    auto strip = m_ui.find<UIScrollView>();
    ASSERT_TRUE(strip);
    auto second = dv::as<UIImageView>(strip->subviews()->objectAtIndex(1));
    ASSERT_TRUE(m_ui.tap(second));
    m_ui.runUntilIdle();
    auto window = appDelegate()->window();
    auto big = dv::as<UIImageView>(window->subviews()->lastObject());
    ASSERT_TRUE(big);
    expectFrame(big->frame(), CGRectMake(0, 0, 375, 667));
    EXPECT_EQ(big->image(), second->image());
    // Stretched to fill the screen, as its content mode says: the picture has the screen's
    // proportions, so its shapes keep theirs.
    EXPECT_EQ(big->contentMode(), UIViewContentModeScaleToFill);
    const auto pictures = strip->subviews();
    int posters = 0;
    for (const auto& view : pictures->items())
        if (auto picture = dv::as<UIImageView>(view); picture && picture->image()) {
            const CGSize size = picture->image()->size();
            EXPECT_NEAR(size.width / size.height, 375.0 / 667, 0.005);
            ++posters;
        }
    EXPECT_EQ(posters, 3);
    ASSERT_TRUE(m_ui.tap(big));
    m_ui.runUntilIdle();
    EXPECT_FALSE(big->superview());
}

TEST_F(HomeScreenTest, ABannerTapOpensTheAdvertisementsPage)
{
    ASSERT_TRUE(launch());
    auto home = homeScreen();
    ASSERT_EQ(home->adArray()->count(), 3u);
    // The screen shows no banner itself; one given the screen as its delegate reports its taps.
    auto banner = CSCycleScrollView::cycleScrollViewWithFrame(CGRectMake(0, 0, 375, 120), home, nil);
    banner->setAutoScroll(false);
    // The advertisements' pictures and one more.
    auto pictures = NSMutableArray::arrayWithArray(home->adArray());
    auto extra = dv::as<VQAdModel>(alloc<VQAdModel>()->init());
    extra->setImgurl("pic/ad/9.png"_ns);
    pictures->addObject(extra);
    banner->setImageURLStringsGroup(pictures);
    home->view()->addSubview(banner);
    m_ui.runUntilIdle();
    ASSERT_TRUE(m_ui.tap(banner));
    m_ui.advance(0.5);
    auto page = dv::as<VQADWebViewController>(m_ui.topViewController());
    ASSERT_TRUE(page);
    EXPECT_EQ(dv::str(page->titleName()), "新用户注册送加粉次数");
    EXPECT_TRUE(dv::str(page->linkUrl()).ends_with("/DV/data/qryLearn.do?type=2"));

    // A picture past the advertisements opens nothing.
    goBackHome();
    auto pages = m_ui.find<UICollectionView>();
    ASSERT_TRUE(pages);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(m_ui.swipePage(pages, dv::testing::SwipeDirection::Left));
    ASSERT_TRUE(m_ui.tap(banner));
    m_ui.advance(0.5);
    EXPECT_EQ(m_ui.navigationStack().size(), 1u);
    // Going back to the first picture: its advertisement opens again.
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(m_ui.swipePage(pages, dv::testing::SwipeDirection::Right));
    ASSERT_TRUE(m_ui.tap(banner));
    m_ui.advance(0.5);
    EXPECT_TRUE(dv::as<VQADWebViewController>(m_ui.topViewController()));
}

TEST_F(HomeScreenTest, RefusedAddressBookShowsTheSettingsHint)
{
    m_ui.setPermissionAnswer(dv::PrivacyService::addressBook, false);
    ASSERT_TRUE(launch());
    auto alerts = m_ui.visibleAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].title, "温馨提示");
    EXPECT_EQ(alerts[0].message, "请您设置允许APP访问您的通讯录\nSettings>General>Privacy");
    EXPECT_EQ(alerts[0].buttons, (std::vector<std::string> { "确定" }));
    ASSERT_TRUE(m_ui.tapAlertButton("确定"));
    m_ui.runUntilIdle();
    EXPECT_TRUE(m_ui.visibleAlerts().empty());
    // The tiles were built all the same.
    EXPECT_EQ(tiles().size(), 4u);
}

TEST_F(HomeScreenTest, TimeOutShowsTheMessageAndAReloadButtonThatBuildsTheTiles)
{
    dv::app::setServerRequestTimeout(0.5);
    m_server->setFault("home/index.do", Fault::delay(3));
    dv::app::startApplication();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return m_ui.viewWithTitle(kReload) != nil; }));
    EXPECT_TRUE(showsText(kTimedOut));
    EXPECT_TRUE(tiles().empty());
    auto reload = m_ui.viewWithTitle(kReload);
    expectFrame(reload->frame(), CGRectMake(100, 667 * 0.5 - 90, 175, 40));

    m_server->clearFaults();
    m_ui.advance(1);
    ASSERT_TRUE(m_ui.tap(reload));
    EXPECT_FALSE(reload->superview());
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return tiles().size() == 4; }));
    m_ui.advance(1);
    EXPECT_TRUE(visibleOverlays().empty());
    EXPECT_FALSE(m_ui.viewWithTitle(kReload));
}

TEST_F(HomeScreenTest, UnreachableServerShowsItsMessageAndTheReloadButton)
{
    ASSERT_TRUE(dv::app::setServerAddress("127.0.0.1", dv::devserver::Server::unusedPort()));
    dv::app::startApplication();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return m_ui.viewWithTitle(kReload) != nil; }));
    EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return showsText(kCannotConnect); }));
    EXPECT_TRUE(tiles().empty());
}

TEST_F(HomeScreenTest, OtherFailuresLeaveTheScreenEmptyWithoutReloadButton)
{
    for (auto kind : { FaultKind::HttpError, FaultKind::Html, FaultKind::MalformedJson, FaultKind::JsonArray, FaultKind::JsonNull,
             FaultKind::CutConnection }) {
        m_server->setFault("home/index.do", Fault::of(kind));
        dv::app::startApplication();
        ASSERT_TRUE(dv::testing::runMainLoopUntil([&] {
            m_ui.advance(0.5);
            return visibleOverlays().empty();
        }));
        EXPECT_TRUE(tiles().empty()) << dv::devserver::formatFault(Fault::of(kind));
        EXPECT_FALSE(m_ui.viewWithTitle(kReload)) << dv::devserver::formatFault(Fault::of(kind));
        UIApplication::resetSharedApplication();
    }
}

TEST_F(HomeScreenTest, RefusalShowsTheServersMessageOnTheScreen)
{
    m_server->setFault("home/index.do", Fault::refusal(0, "首页维护中"));
    dv::app::startApplication();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return showsText("首页维护中"); }));
    EXPECT_TRUE(tiles().empty());
    EXPECT_FALSE(m_ui.viewWithTitle(kReload));
    // Wrong types in a successful reply: whatever can be read is used, nothing crashes.
    m_server->setFault("home/index.do", Fault::of(FaultKind::WrongTypes));
    UIApplication::resetSharedApplication();
    dv::app::startApplication();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] {
        m_ui.advance(0.5);
        return visibleOverlays().empty();
    }));
}

} // namespace
