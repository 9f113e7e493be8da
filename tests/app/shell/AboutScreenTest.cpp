// The about screen, reached from its home tile against the local server: the device number that
// copies, the web-site address that opens, the four entries and the pages they open, and the
// server's refusals and faults.
#include "InformationTestSupport.h"

#include "app/shell/about/VQAboutvqViewController.h"
#include "app/shell/agent/VQQueryViewController.h"
#include "app/shell/web/VQFunctionVideoVC.h"
#include "app/shell/web/VQGetGiftViewController.h"
#include "app/shell/web/VQNewVideoVC.h"
#include "platform/base/NSIndexPath.h"
#include "platform/base/NSURL.h"
#include "platform/system/UIPasteboard.h"
#include "tools/devserver/Fault.h"
#include "ui/toolkit/views/UICopyLabel.h"

using namespace dv::test;
using dv::devserver::Fault;
using dv::devserver::FaultKind;

namespace {

class AboutScreenTest : public InformationTest { };

TEST_F(AboutScreenTest, ShowsTheDeviceNumberThatCopiesAndTheSiteThatOpens)
{
    ASSERT_TRUE(openAbout());
    EXPECT_EQ(m_ui.navigationTitle(), "关于我们") << "the screen's own title replaces the tile's";
    EXPECT_TRUE(visibleOverlays().empty());

    auto table = aboutTable();
    ASSERT_TRUE(table);
    EXPECT_EQ(table->style(), UITableViewStyleGrouped);
    EXPECT_EQ(table->numberOfSections(), 3);
    EXPECT_EQ(table->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0)).size.height, 80);
    EXPECT_EQ(table->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 1)).size.height, 45);
    EXPECT_EQ(table->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(3, 2)).size.height, 45);
    // The sections are set apart by their footers alone: each header has the least height that
    // shows none.
    for (NSInteger section = 0; section < 3; ++section) {
        EXPECT_NEAR(table->rectForHeaderInSection(section).size.height, 0.1, 1e-6) << section;
        EXPECT_EQ(table->rectForFooterInSection(section).size.height, 8) << section;
    }
    EXPECT_NEAR(table->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 1)).origin.y
            - CGRectGetMaxY(table->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0))),
        8.1, 1e-6);
    for (const char* entry : { "查看使用说明", "常见问题说明", "授权代理查询", "查看联系方式" })
        EXPECT_TRUE(showsText(entry)) << entry;

    // The device number is the identifier sent as clientId; its menu offers only copying.
    auto number = m_ui.find<UICopyLabel>();
    ASSERT_TRUE(number);
    EXPECT_EQ(dv::str(number->text()), clientId());
    EXPECT_EQ(clientId().size(), 32u);
    UIPasteboard::generalPasteboard()->setString("before"_ns);
    ASSERT_TRUE(m_ui.tap(number));
    m_ui.runUntilIdle();
    ASSERT_TRUE(m_ui.isMenuVisible());
    EXPECT_EQ(m_ui.menuItemTitles(), (std::vector<std::string> { "拷贝" }));
    // Its arrow points at the number (the middle of the label's lower side: the row is too near
    // the navigation bar for the menu to stand above it), and the strip keeps below the bar.
    const CGRect numberFrame = m_ui.frameInWindow(number);
    const auto tip = m_ui.menuArrowTip();
    ASSERT_TRUE(tip);
    EXPECT_NEAR(tip->x, CGRectGetMidX(numberFrame), 0.01);
    EXPECT_NEAR(tip->y, CGRectGetMaxY(numberFrame), 0.01);
    const CGRect strip = m_ui.menuFrame();
    EXPECT_GT(strip.origin.y, tip->y);
    EXPECT_GE(strip.origin.y, CGRectGetMaxY(m_ui.frameInWindow(m_ui.navigationController()->navigationBar())));
    ASSERT_TRUE(m_ui.chooseMenuItem("拷贝"));
    EXPECT_EQ(dv::str(UIPasteboard::generalPasteboard()->string()), clientId());

    // The web-site address opens in the browser.
    auto site = m_ui.viewWithText("http://www.dovrelta.example/");
    ASSERT_TRUE(site);
    ASSERT_TRUE(m_ui.tap(site));
    m_ui.runUntilIdle();
    auto opened = UIApplication::sharedApplication()->openedURLs();
    ASSERT_EQ(opened->count(), 1u);
    EXPECT_EQ(dv::str(dv::as<NSURL>(opened->objectAtIndex(0))->absoluteString()), "http://www.dovrelta.example/");
    EXPECT_EQ(m_ui.navigationStack().size(), 2u) << "neither row opens a screen";
}

TEST_F(AboutScreenTest, EachEntryOpensItsPageAndBackLeadsToTheTable)
{
    ASSERT_TRUE(openAbout());
    struct Entry {
        NSInteger row;
        const char* title;
        const char* type;
        const char* heading;
    } pages[] = {
        { 0, "查看使用说明", "2", "使用说明" },
        { 1, "常见问题说明", "3", "常见问题" },
        { 3, "查看联系方式", "1", "联系我们" },
    };
    for (const auto& page : pages) {
        auto top = tapAboutRow(2, page.row);
        ASSERT_TRUE(top) << page.title;
        EXPECT_EQ(m_ui.navigationTitle(), page.title);
        auto web = loadedWebView();
        ASSERT_TRUE(web) << page.title;
        EXPECT_EQ(lastLoad().url, base() + "data/qryLearn.do?type=" + page.type);
        EXPECT_EQ(lastLoad().outcome, "finished");
        EXPECT_EQ(dv::str(web->pageTitle()), page.heading);
        ASSERT_TRUE(goBack());
        EXPECT_TRUE(dv::as<VQAboutvqViewController>(m_ui.topViewController()));
    }
    EXPECT_TRUE(dv::as<VQNewVideoVC>(tapAboutRow(2, 0)));
    ASSERT_TRUE(goBack());
    EXPECT_TRUE(dv::as<VQGetGiftViewController>(tapAboutRow(2, 1)));
    ASSERT_TRUE(goBack());
    EXPECT_TRUE(dv::as<VQFunctionVideoVC>(tapAboutRow(2, 3)));
    ASSERT_TRUE(goBack());
    // The agent lookup is a form of the application, not a page.
    auto form = dv::as<VQQueryViewController>(tapAboutRow(2, 2));
    ASSERT_TRUE(form);
    EXPECT_EQ(m_ui.navigationTitle(), "授权代理查询");
    EXPECT_TRUE(m_ui.viewWithPlaceholder("请输入代理商信聊号"));
    ASSERT_TRUE(goBack());
    // The rows of the first two sections open nothing.
    EXPECT_TRUE(dv::as<VQAboutvqViewController>(tapAboutRow(1, 0)));
    EXPECT_EQ(m_ui.navigationStack().size(), 2u);
}

TEST_F(AboutScreenTest, ARefusalShowsTheServersMessageAndNoTable)
{
    m_server->setFault("home/artifactIndex.do", Fault::refusal(0, "关于我们维护中"));
    ASSERT_TRUE(m_server->setHomeCategories({ { 802, "行业客源", "12" } }));
    ASSERT_TRUE(launch());
    ASSERT_TRUE(dv::as<VQAboutvqViewController>(tapTile("行业客源")));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return showsText("关于我们维护中"); }));
    EXPECT_FALSE(aboutTable());
    m_ui.advance(1);
    EXPECT_TRUE(visibleOverlays().empty()) << "the loading overlay and the toast are gone";
    EXPECT_EQ(m_ui.navigationTitle(), "关于我们");
}

TEST_F(AboutScreenTest, NetworkFailuresLeaveTheScreenEmptyWithTheirMessage)
{
    dv::app::setServerRequestTimeout(0.5);
    m_server->setFault("home/artifactIndex.do", Fault::delay(3));
    ASSERT_TRUE(m_server->setHomeCategories({ { 802, "行业客源", "12" } }));
    ASSERT_TRUE(launch());
    ASSERT_TRUE(dv::as<VQAboutvqViewController>(tapTile("行业客源")));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return showsText("当前网络不稳定 请稍后重试"); }));
    EXPECT_FALSE(aboutTable());
    m_ui.advance(1);
    EXPECT_TRUE(visibleOverlays().empty());

    // Whatever else the server sends in place of the reply ends the same quiet way.
    for (auto kind : { FaultKind::Html, FaultKind::MalformedJson, FaultKind::JsonArray, FaultKind::CutConnection }) {
        ASSERT_TRUE(goBack());
        m_server->setFault("home/artifactIndex.do", Fault::of(kind));
        ASSERT_TRUE(dv::as<VQAboutvqViewController>(tapTile("行业客源")));
        ASSERT_TRUE(dv::testing::runMainLoopUntil([&] {
            m_ui.advance(0.5);
            return visibleOverlays().empty();
        })) << dv::devserver::formatFault(Fault::of(kind));
        EXPECT_FALSE(aboutTable()) << dv::devserver::formatFault(Fault::of(kind));
    }
}

TEST_F(AboutScreenTest, AnAddressOfTheWrongTypeShowsBlankAndOpensNothing)
{
    m_server->setFault("home/artifactIndex.do", Fault::of(FaultKind::WrongTypes));
    ASSERT_TRUE(openAbout());
    auto table = aboutTable();
    ASSERT_TRUE(table);
    auto siteCell = table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 1));
    ASSERT_TRUE(siteCell);
    Ref<UILabel> site;
    for (const auto& label : m_ui.findAll<UILabel>())
        if (label->isDescendantOfView(siteCell) && label->isUserInteractionEnabled())
            site = label;
    ASSERT_TRUE(site);
    EXPECT_EQ(m_ui.textOf(site), "");
    m_ui.tap(site);
    m_ui.runUntilIdle();
    EXPECT_EQ(UIApplication::sharedApplication()->openedURLs()->count(), 0u);
    EXPECT_EQ(dv::str(m_ui.find<UICopyLabel>()->text()), clientId())
        << "the device number does not come from the server";
}

} // namespace
