// The web pages of the shell against the local server: the category page of a home tile, the help
// pages below the bar, the advertisement page with its link as it stands, and pages that do not
// load (server errors, cut connections, a server that does not answer).
#include "InformationTestSupport.h"

#include "app/shell/navigation/ScreenSupport.h"
#include "app/shell/web/VQADWebViewController.h"
#include "app/shell/web/VQGetGiftViewController.h"
#include "app/shell/web/VQMainWebViewController.h"
#include "app/shell/web/VQNewVideoVC.h"
#include "platform/graphics/UIColor.h"
#include "platform/ui/UIWebView.h"
#include "tools/devserver/Fault.h"

using namespace dv::test;
using dv::devserver::Fault;
using dv::devserver::FaultKind;

namespace {

void expectFrame(CGRect actual, CGRect expected)
{
    EXPECT_TRUE(CGRectEqualToRect(actual, expected))
        << actual.origin.x << "," << actual.origin.y << " " << actual.size.width << "×" << actual.size.height;
}

class WebPagesTest : public InformationTest { };

TEST_F(WebPagesTest, ACategoryTileOpensItsPageForThisDevice)
{
    ASSERT_TRUE(m_server->setHomeCategories({ { 901, "信聊加粉", "1" }, { 907, "行业客源", "7" } }));
    ASSERT_TRUE(launch());
    auto page = dv::as<VQMainWebViewController>(tapTile("行业客源"));
    ASSERT_TRUE(page);
    EXPECT_EQ(m_ui.navigationTitle(), "行业客源");
    auto web = loadedWebView();
    ASSERT_TRUE(web);
    EXPECT_EQ(lastLoad().url, base() + "home/web.do?categoryId=907&clientId=" + clientId());
    EXPECT_EQ(lastLoad().outcome, "finished");
    EXPECT_EQ(dv::str(web->pageTitle()), "行业客源");
    expectFrame(web->frame(), CGRectMake(0, 0, 375, 667 - 64));
    EXPECT_EQ(web->delegate(), std::dynamic_pointer_cast<UIWebViewDelegate>(page));
    ASSERT_TRUE(goBack());
    EXPECT_EQ(m_ui.navigationStack().size(), 1u);
}

TEST_F(WebPagesTest, HelpPagesLieBelowTheBarOnGrey)
{
    ASSERT_TRUE(launch());
    auto page = alloc<VQNewVideoVC>()->init();
    push(page);
    auto web = loadedWebView();
    ASSERT_TRUE(web);
    EXPECT_EQ(lastLoad().url, base() + "data/qryLearn.do?type=2");
    EXPECT_EQ(m_ui.navigationTitle(), "查看使用说明");
    EXPECT_EQ(page->edgesForExtendedLayout(), UIRectEdgeLeft | UIRectEdgeBottom | UIRectEdgeRight);
    EXPECT_EQ(m_ui.frameInWindow(page->view()).origin.y, 64) << "below the navigation bar";
    EXPECT_TRUE(page->view()->backgroundColor()->isEqual(dv::app::pageBackgroundColor()));
    expectFrame(m_ui.frameInWindow(web), CGRectMake(0, 64, 375, 603));
    EXPECT_NE(dv::str(web->pageText()).find("精准加粉"), std::string::npos) << "the instructions show";
}

TEST_F(WebPagesTest, AnAdvertisementLoadsItsLinkAsItStands)
{
    ASSERT_TRUE(launch());
    auto ad = alloc<VQADWebViewController>()->init();
    ad->setTitleName("授权代理火热招募中"_ns);
    ad->setLinkUrl(NSString::fromUTF8(base() + "data/qryLearn.do?type=1"));
    push(ad);
    auto web = loadedWebView();
    ASSERT_TRUE(web);
    EXPECT_EQ(m_ui.navigationTitle(), "授权代理火热招募中");
    EXPECT_EQ(lastLoad().url, base() + "data/qryLearn.do?type=1");
    EXPECT_EQ(web->contentMode(), UIViewContentModeScaleAspectFill);
    EXPECT_EQ(dv::str(web->pageTitle()), "联系我们");

    // A link that is no URL loads nothing and leaves the page blank.
    m_ui.recordWebLoads();
    auto broken = alloc<VQADWebViewController>()->init();
    broken->setTitleName("坏链接"_ns);
    broken->setLinkUrl("http://bad host/页面"_ns);
    push(broken);
    auto blank = loadedWebView();
    ASSERT_TRUE(blank);
    EXPECT_TRUE(m_ui.webLoads().empty());
    EXPECT_EQ(dv::str(blank->pageText()), "");
    ASSERT_TRUE(goBack());
    EXPECT_EQ(m_ui.topViewController(), std::static_pointer_cast<UIViewController>(ad));
}

TEST_F(WebPagesTest, PagesThatFailToLoadStayBlankWithoutAMessage)
{
    ASSERT_TRUE(launch());
    // An error page of the server shows like any page.
    m_server->setFault("data/qryLearn.do", Fault::httpError(500));
    push(alloc<VQGetGiftViewController>()->init());
    auto web = loadedWebView();
    ASSERT_TRUE(web);
    EXPECT_EQ(lastLoad().url, base() + "data/qryLearn.do?type=3");
    EXPECT_EQ(lastLoad().outcome, "finished");
    EXPECT_NE(dv::str(web->pageText()).find("服务器内部错误"), std::string::npos);
    ASSERT_TRUE(goBack());

    // A cut connection and a server that does not answer leave the page blank; back still works.
    m_server->setFault("data/qryLearn.do", Fault::of(FaultKind::CutConnection));
    push(alloc<VQGetGiftViewController>()->init());
    web = loadedWebView();
    ASSERT_TRUE(web);
    EXPECT_EQ(lastLoad().outcome, "failed");
    EXPECT_EQ(dv::str(web->pageText()), "");
    EXPECT_TRUE(visibleOverlays().empty());
    EXPECT_TRUE(m_ui.visibleAlerts().empty());
    ASSERT_TRUE(goBack());

    ASSERT_TRUE(dv::app::setServerAddress("127.0.0.1", dv::devserver::Server::unusedPort()));
    push(alloc<VQGetGiftViewController>()->init());
    web = loadedWebView();
    ASSERT_TRUE(web);
    EXPECT_EQ(lastLoad().outcome, "failed");
    EXPECT_EQ(lastLoad().errorCode, -1004);
    EXPECT_EQ(dv::str(web->pageText()), "");
    EXPECT_EQ(m_ui.navigationTitle(), "常见问题说明");
    ASSERT_TRUE(goBack());
    EXPECT_EQ(m_ui.navigationStack().size(), 1u);
}

} // namespace
