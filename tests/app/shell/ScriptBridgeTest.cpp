// The script-bridge page against the local server's consultation page: the page's scripts calling
// the application, the global published again after every load, script exceptions logged, the
// reload on every appearance, and the screen not kept alive by its page.
#include "InformationTestSupport.h"

#include "app/shell/bridge/LYAppSpeakController.h"
#include "platform/base/NSLog.h"
#include "platform/ui/UIActivityIndicatorView.h"
#include "platform/ui/UIWebView.h"

#include <algorithm>
#include <cstdio>
#include <optional>

using namespace dv::test;

namespace {

class ScriptBridgeTest : public InformationTest {
protected:
    // The consultation page pushed as its creator would, once its page has loaded.
    Ref<LYAppSpeakController> openConsultation(const std::string& address)
    {
        auto page = alloc<LYAppSpeakController>()->init();
        page->setUrlStr(NSString::fromUTF8(address));
        page->setTitleName("在线咨询"_ns);
        push(page);
        EXPECT_TRUE(loadedWebView());
        return page;
    }
    // Where the page laid out its button that shows `text`, in the window.
    std::optional<CGRect> buttonFrame(const Ref<UIWebView>& web, const std::string& text)
    {
        const auto place = m_ui.evaluateScript(web, "(function () { var b = Array.prototype.find.call(document.querySelectorAll('button'),"
                                                    " function (e) { return e.textContent === '" + text + "'; });"
                                                    " if (!b) return ''; var r = b.getBoundingClientRect();"
                                                    " return [r.left, r.top, r.width, r.height].join(','); })()");
        double x = 0, y = 0, width = 0, height = 0;
        if (std::sscanf(place.c_str(), "%lf,%lf,%lf,%lf", &x, &y, &width, &height) != 4)
            return std::nullopt;
        return web->convertRectToView(CGRectMake(x, y, width, height), nil);
    }
    // Where a person taps that button.
    std::optional<CGPoint> buttonPoint(const Ref<UIWebView>& web, const std::string& text)
    {
        auto frame = buttonFrame(web, text);
        return frame ? std::optional(CGPointMake(CGRectGetMidX(*frame), CGRectGetMidY(*frame))) : std::nullopt;
    }
    bool tapButton(const Ref<UIWebView>& web, const std::string& text)
    {
        auto point = buttonPoint(web, text);
        return point && m_ui.tap(*point);
    }
    std::size_t logged(std::string_view text) const
    {
        auto lines = m_log.lines();
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), std::string(text)));
    }

    dv::LogCapture m_log;
};

TEST_F(ScriptBridgeTest, ThePagesScriptsCallTheApplication)
{
    ASSERT_TRUE(launch());
    auto page = openConsultation(base() + "data/consult.do");
    EXPECT_EQ(m_ui.navigationTitle(), "在线咨询");
    auto web = page->bunessWeb();
    ASSERT_TRUE(web);
    EXPECT_EQ(lastLoad().url, base() + "data/consult.do");
    EXPECT_EQ(lastLoad().outcome, "finished");
    EXPECT_EQ(dv::str(web->pageTitle()), "在线咨询");
    // The view's height when it loaded is the height below the navigation bar.
    EXPECT_TRUE(CGRectEqualToRect(web->frame(), CGRectMake(0, 0, 375, 667 - 64 - 15)));
    EXPECT_EQ(web->contentMode(), UIViewContentModeScaleAspectFit);
    EXPECT_EQ(page->activity()->superview(), std::static_pointer_cast<UIView>(web));
    EXPECT_TRUE(CGRectEqualToRect(page->activity()->frame(), CGRectMake(187.5, 333.5, 10, 10)));
    EXPECT_FALSE(page->activity()->isAnimating()) << "stopped once the page has loaded";
    EXPECT_TRUE(m_log.contains(base() + "data/consult.do")) << "the address is logged";

    // Its buttons are a phone's: at least 44 pt tall, across the page's text.
    for (const char* title : { "立即咨询", "拨打客服电话" }) {
        auto frame = buttonFrame(web, title);
        ASSERT_TRUE(frame) << title;
        EXPECT_GE(frame->size.height, 44) << title;
        EXPECT_GE(frame->size.width, 375 - 2 * 16) << title;
    }

    // The page's own script called the bridge as it loaded; a person's "立即咨询" and "拨打客服电话"
    // call it again, the second with the service's number.
    EXPECT_GE(logged("clickOnAndroid:consult"), 1u);
    ASSERT_TRUE(tapButton(web, "立即咨询"));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return logged("clickZiXunAction") == 1; }));
    // The number the page shows.
    const std::string text = dv::str(web->pageText());
    const std::string label = "客服电话：";
    const auto at = text.find(label);
    ASSERT_NE(at, std::string::npos) << text;
    const auto end = text.find('\n', at);
    const std::string number = text.substr(at + label.size(), end == std::string::npos ? std::string::npos : end - at - label.size());
    ASSERT_FALSE(number.empty());
    ASSERT_TRUE(tapButton(web, "拨打客服电话"));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return logged("clickOnAndroid:" + number) == 1; })) << number;
    EXPECT_EQ(m_ui.evaluateScript(web, "typeof LYAppSpeakController.clickOnAndroid"), "function");
}

TEST_F(ScriptBridgeTest, EveryAppearanceReloadsAndPublishesTheBridgeAgain)
{
    ASSERT_TRUE(launch());
    auto page = openConsultation(base() + "data/consult.do");
    auto web = page->bunessWeb();
    // The page replaces the global with its own value.
    EXPECT_EQ(m_ui.evaluateScript(web, "LYAppSpeakController = null; consult()"), "false");
    const std::size_t loads = m_ui.webLoads().size();
    const std::size_t calls = logged("clickZiXunAction");

    // Back from a screen above it: the page loads again, and the bridge is there once it has.
    push(alloc<UIViewController>()->init());
    ASSERT_TRUE(goBack());
    ASSERT_EQ(m_ui.topViewController(), std::static_pointer_cast<UIViewController>(page));
    ASSERT_TRUE(m_ui.waitForWebView(web));
    m_ui.runUntilIdle();
    EXPECT_GT(m_ui.webLoads().size(), loads);
    EXPECT_EQ(lastLoad().outcome, "finished");
    EXPECT_EQ(m_ui.evaluateScript(web, "consult()"), "true");
    EXPECT_EQ(logged("clickZiXunAction"), calls + 1);
}

TEST_F(ScriptBridgeTest, AThrowingScriptIsLoggedAndThePageGoesOn)
{
    ASSERT_TRUE(launch());
    auto page = openConsultation(base() + "data/consult.do");
    auto web = page->bunessWeb();
    EXPECT_EQ(m_ui.evaluateScript(web, "throw new Error('咨询失败')"), "");
    EXPECT_TRUE(m_log.contains("异常信息：Error: 咨询失败"));
    EXPECT_EQ(m_ui.evaluateScript(web, "consult()"), "true");
    EXPECT_EQ(logged("clickZiXunAction"), 1u);
}

TEST_F(ScriptBridgeTest, ThePageDoesNotKeepTheScreenAlive)
{
    ASSERT_TRUE(launch());
    Weak<LYAppSpeakController> weakPage;
    Weak<UIWebView> weakWeb;
    {
        auto page = openConsultation(base() + "data/consult.do");
        weakPage = page;
        weakWeb = page->bunessWeb();
        EXPECT_EQ(m_ui.evaluateScript(page->bunessWeb(), "consult()"), "true");
    }
    ASSERT_TRUE(goBack());
    m_ui.advance(1);
    EXPECT_TRUE(weakPage.expired());
    EXPECT_TRUE(weakWeb.expired());
}

TEST_F(ScriptBridgeTest, AnAddressThatIsNoURLLoadsNothing)
{
    ASSERT_TRUE(launch());
    auto page = alloc<LYAppSpeakController>()->init();
    page->setUrlStr("not a url"_ns);
    page->setTitleName("在线咨询"_ns);
    push(page);
    m_ui.runUntilIdle();
    EXPECT_TRUE(m_ui.webLoads().empty());
    EXPECT_EQ(dv::str(page->bunessWeb()->pageText()), "");
    EXPECT_EQ(m_ui.navigationTitle(), "在线咨询");
    ASSERT_TRUE(goBack());
}

} // namespace
