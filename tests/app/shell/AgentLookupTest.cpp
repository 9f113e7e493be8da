// The agent lookup through the about screen: the empty input's message, the letter of a known
// agent at the server's address for this device, ids that need escaping, the form keeping what
// was typed, and an id longer than the field, on both screen sizes.
#include "InformationTestSupport.h"

#include "app/shell/agent/VQQueWebViewController.h"
#include "app/shell/agent/VQQueryViewController.h"
#include "platform/system/UIScreen.h"
#include "platform/testing/Pixels.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UITextField.h"
#include "platform/ui/UIWebView.h"
#include "tests/platform/ui/FieldLinePicture.h"

using namespace dv::test;

namespace {

class AgentLookupTest : public InformationTest {
protected:
    // The form opened from the about screen.
    Ref<VQQueryViewController> openForm()
    {
        if (!openAbout())
            return nil;
        return dv::as<VQQueryViewController>(tapAboutRow(2, 2));
    }
    // Types the id into the form's field and taps "查询"; the screen on top afterwards.
    Ref<UIViewController> lookUp(std::string_view agentNo)
    {
        auto field = m_ui.viewWithPlaceholder("请输入代理商信聊号");
        EXPECT_TRUE(m_ui.focus(field));
        EXPECT_TRUE(m_ui.typeText(agentNo));
        m_ui.resignFocus();
        m_ui.advance(0.5);
        EXPECT_TRUE(m_ui.tap(m_ui.viewWithTitle("查询")));
        m_ui.advance(0.5);
        return m_ui.topViewController();
    }
};

TEST_F(AgentLookupTest, AnEmptyIdShowsTheMessageAndStaysOnTheForm)
{
    auto form = openForm();
    ASSERT_TRUE(form);
    EXPECT_TRUE(m_ui.find<UIImageView>()) << "the badge";
    ASSERT_TRUE(m_ui.tap(m_ui.viewWithTitle("查询")));
    m_ui.runUntilIdle();
    EXPECT_TRUE(showsText("代理商信聊号不能为空"));
    EXPECT_EQ(m_ui.topViewController(), std::static_pointer_cast<UIViewController>(form));
    m_ui.advance(1);
    EXPECT_FALSE(showsText("代理商信聊号不能为空")) << "the toast goes after 0.7 s";
}

TEST_F(AgentLookupTest, AKnownAgentsLetterOpensAndTheFormKeepsTheId)
{
    auto form = openForm();
    ASSERT_TRUE(form);
    auto letter = dv::as<VQQueWebViewController>(lookUp("qinghe2016"));
    ASSERT_TRUE(letter);
    EXPECT_EQ(dv::str(letter->agentNo()), "qinghe2016");
    EXPECT_EQ(m_ui.navigationTitle(), "授权代理书");
    auto web = loadedWebView();
    ASSERT_TRUE(web);
    // The server's own form of the address: two ampersands between the fields.
    EXPECT_EQ(lastLoad().url, base() + "data/qryAgent.do?agentNo=qinghe2016&&clientId=" + clientId());
    EXPECT_EQ(lastLoad().outcome, "finished");
    EXPECT_NE(dv::str(web->pageText()).find("王雨桐"), std::string::npos);

    // The letter as the server styles it: a box with a golden border, the seal in red on its right
    // (its pixels come in their own time after the load).
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] {
        return dv::testing::near(dv::testing::Pixels(m_ui.screenshot(2)).at(17, 200), { 212, 162, 76, 255 }, 12);
    }));
    const dv::testing::Pixels shot(m_ui.screenshot(2));
    EXPECT_TRUE(dv::testing::near(shot.at(17, 200), { 212, 162, 76, 255 }, 12)) << dv::testing::show(shot.at(17, 200));
    EXPECT_TRUE(dv::testing::near(shot.at(358, 200), { 212, 162, 76, 255 }, 12)) << dv::testing::show(shot.at(358, 200));
    EXPECT_TRUE(dv::testing::near(shot.at(100, 250), { 255, 250, 240, 255 }, 6)) << "the cream inside";
    auto red = [](const dv::testing::Pixel& p) { return p[0] > 150 && p[1] < 100 && p[2] < 100; };
    EXPECT_TRUE(dv::testing::anyPixelIn(shot, CGRectMake(240, 300, 100, 120), red)) << "the seal on the right";
    EXPECT_FALSE(dv::testing::anyPixelIn(shot, CGRectMake(20, 300, 160, 120), red)) << "nothing red on the left";

    ASSERT_TRUE(goBack());
    EXPECT_EQ(m_ui.topViewController(), std::static_pointer_cast<UIViewController>(form));
    EXPECT_EQ(dv::str(form->textField()->text()), "qinghe2016");
}

TEST_F(AgentLookupTest, IdsWithBlanksAndChineseReachTheServerEscaped)
{
    ASSERT_TRUE(openForm());
    ASSERT_TRUE(dv::as<VQQueWebViewController>(lookUp("陈 佳")));
    auto web = loadedWebView();
    ASSERT_TRUE(web);
    EXPECT_EQ(lastLoad().url, base() + "data/qryAgent.do?agentNo=%E9%99%88%20%E4%BD%B3&&clientId=" + clientId());
    EXPECT_EQ(lastLoad().outcome, "finished");
    // The server read the id as typed: it says it knows no such agent.
    EXPECT_NE(dv::str(web->pageText()).find("未查询到信聊号为 陈 佳"), std::string::npos) << dv::str(web->pageText());
    ASSERT_TRUE(goBack());

    // A single blank is not empty: its letter page opens too. So do characters that would end
    // or extend the query.
    auto field = dv::as<UITextField>(m_ui.viewWithPlaceholder("请输入代理商信聊号"));
    ASSERT_TRUE(field);
    ASSERT_TRUE(m_ui.focus(field));
    m_ui.deleteBackward(5);
    m_ui.resignFocus();
    ASSERT_TRUE(dv::as<VQQueWebViewController>(lookUp(" ")));
    ASSERT_TRUE(loadedWebView());
    EXPECT_EQ(lastLoad().url, base() + "data/qryAgent.do?agentNo=%20&&clientId=" + clientId());
    ASSERT_TRUE(goBack());
    ASSERT_TRUE(m_ui.focus(field));
    m_ui.deleteBackward(1);
    m_ui.resignFocus();
    ASSERT_TRUE(dv::as<VQQueWebViewController>(lookUp("a&clientId=x#")));
    auto hostile = loadedWebView();
    ASSERT_TRUE(hostile);
    EXPECT_EQ(lastLoad().url, base() + "data/qryAgent.do?agentNo=a%26clientId%3Dx%23&&clientId=" + clientId());
    EXPECT_NE(dv::str(hostile->pageText()).find("a&clientId=x#"), std::string::npos);
}

// The centred field with an id longer than itself, as a picture of the window shows it: while
// it is typed or deleted at its end, the end stands before the caret inside the field; a line
// that fits again is centred; once editing ends the line shows its beginning from the field's
// left edge and ends in an ellipsis.
struct Screen {
    CGFloat width, height;
};

void PrintTo(const Screen& screen, std::ostream* out) { *out << screen.width << "x" << screen.height; }

class AgentLookupLongIdTest : public AgentLookupTest, public ::testing::WithParamInterface<Screen> {
protected:
    // The field's grey text.
    static constexpr int kInk = 200;
    // A Chinese character's ink fills its line; these Latin letters stand within their x-height.
    static constexpr CGFloat kTall = 12, kShort = 9;
};

TEST_P(AgentLookupLongIdTest, TheEndShowsWhileTypedAndTheBeginningAfterwards)
{
    UIScreen::mainScreen()->setBounds(CGRectMake(0, 0, GetParam().width, GetParam().height));
    ASSERT_TRUE(openForm());
    auto field = dv::as<UITextField>(m_ui.viewWithPlaceholder("请输入代理商信聊号"));
    ASSERT_TRUE(field);
    ASSERT_TRUE(m_ui.focus(field));
    // Sixty characters: a Chinese one at each end, short Latin letters between.
    std::string id = "中";
    for (int i = 0; i < 58; ++i)
        id += "acemnorsuvwxz"[i % 13];
    id += "国";
    ASSERT_TRUE(m_ui.typeText(id));

    const auto typed = dv::testing::readFieldLine(m_ui, field, kInk);
    dv::testing::expectEndAtTheCaret(typed);
    EXPECT_GE(typed.inkBetween(typed.caret.origin.x - 16, 15).size.height, kTall) << "the last character, 国, before the caret";
    EXPECT_LE(typed.inkBetween(typed.caret.origin.x - 40, 20).size.height, kShort) << "Latin letters before it";
    EXPECT_LE(typed.ink.origin.x, typed.area.origin.x + 3) << "the beginning goes under the left edge";
    EXPECT_LE(typed.inkBetween(typed.area.origin.x, 20).size.height, kShort) << "中 is out of sight";

    // Deleting at the end: the line follows, never leaving a gap on the right while its
    // beginning is hidden.
    ASSERT_TRUE(m_ui.deleteBackward(1));
    const auto deleted = dv::testing::readFieldLine(m_ui, field, kInk);
    dv::testing::expectEndAtTheCaret(deleted);
    EXPECT_LE(deleted.inkBetween(deleted.caret.origin.x - 16, 15).size.height, kShort);
    EXPECT_LE(deleted.ink.origin.x, deleted.area.origin.x + 3);
    // Short enough to fit: the line is centred again, 中 at its beginning.
    ASSERT_TRUE(m_ui.deleteBackward(49));
    const auto fits = dv::testing::readFieldLine(m_ui, field, kInk);
    dv::testing::expectEndAtTheCaret(fits);
    EXPECT_GT(fits.ink.origin.x, fits.area.origin.x + 10);
    EXPECT_NEAR(CGRectGetMidX(CGRectUnion(fits.ink, fits.caret)), CGRectGetMidX(fits.area), 3);
    EXPECT_GE(fits.inkBetween(fits.ink.origin.x, 15).size.height, kTall);

    ASSERT_TRUE(m_ui.typeText(id.substr(std::string("中").size() + 9)));
    EXPECT_EQ(dv::str(field->text()), id);
    dv::testing::expectEndAtTheCaret(dv::testing::readFieldLine(m_ui, field, kInk));
    m_ui.resignFocus();
    m_ui.advance(0.5);
    const auto ended = dv::testing::readFieldLine(m_ui, field, kInk);
    EXPECT_TRUE(CGRectIsNull(ended.caretAround));
    EXPECT_NEAR(ended.ink.origin.x, ended.area.origin.x, 2) << "from the left edge, not centred";
    EXPECT_GE(ended.inkBetween(ended.area.origin.x, 16).size.height, kTall) << "中 first";
    EXPECT_LE(CGRectGetMaxX(ended.ink), CGRectGetMaxX(ended.area));
    // The ellipsis: its last dot, a point or two high, ends the line.
    const CGRect dot = ended.inkBetween(CGRectGetMaxX(ended.ink) - 2, 2);
    EXPECT_LE(dot.size.height, 2.5);
    EXPECT_LE(ended.inkBetween(CGRectGetMaxX(ended.ink) - 16, 16).size.height, kShort) << "国 does not show";
    // The dump has the whole id.
    EXPECT_NE(m_ui.dump().find("text=\"" + id + "\""), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(BothScreens, AgentLookupLongIdTest, ::testing::Values(Screen { 375, 667 }, Screen { 320, 568 }),
    [](const ::testing::TestParamInfo<Screen>& info) { return "Width" + std::to_string(int(info.param.width)); });

} // namespace
