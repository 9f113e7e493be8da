// The runner's tour against the embedded local server, end to end: it reaches its end, and every
// picture shows its screen, checked by the texts of its dump and by the colours at known places,
// and, run reproducibly, is the reviewed reference picture of its step and screen size
// (reference/SIZE/STEP.png, written by scripts/update-references). Then the home screen's journey
// with each of the server's faults: each ends with the message the application shows for it (or
// none), and nothing crashes.
#include "SimTesting.h"


#include "platform/graphics/NSStringDrawing.h"
#include "platform/graphics/UIFont.h"
#include "tools/devserver/Server.h"

#include <cmath>
#include <regex>
#include <functional>

namespace dv::sim::testing {
namespace {

using dv::testing::Pixel;

// The mean colour of a rectangle of a picture (points), sampled every point.
Pixel meanIn(const dv::testing::Pixels& pixels, CGRect rect)
{
    long sum[4] = {};
    long count = 0;
    for (CGFloat y = rect.origin.y + 0.5; y < CGRectGetMaxY(rect); y += 1)
        for (CGFloat x = rect.origin.x + 0.5; x < CGRectGetMaxX(rect); x += 1) {
            auto p = pixels.at(x, y);
            for (int i = 0; i < 4; ++i)
                sum[i] += p[i];
            ++count;
        }
    if (!count)
        return { -1, -1, -1, -1 };
    return { int(sum[0] / count), int(sum[1] / count), int(sum[2] / count), int(sum[3] / count) };
}

// Whether some pixel of the rectangle (points, sampled every half point) satisfies `test`.
// Which of red, green and blue leads, clearly: 0, 1 or 2; -1 when none does (grey, white).
int leadingChannel(const Pixel& p)
{
    int best = std::max({ p[0], p[1], p[2] });
    int second = p[0] + p[1] + p[2] - best - std::min({ p[0], p[1], p[2] });
    if (best - second < 15)
        return -1;
    return best == p[0] ? 0 : best == p[1] ? 1 : 2;
}

constexpr Pixel kWhite { 255, 255, 255, 255 };
constexpr Pixel kHomeGrey { 222, 222, 222, 255 }; // the home screen's background, between the tiles

// The home screen as the tour and the journeys see it: the tiles of the kept categories with their
// server pictures, and the fixed "图片" tile.
void expectHome(const std::string& dump, const dv::testing::Pixels& pixels)
{
    EXPECT_TRUE(dumpShows(dump, "screen: VQMainViewController")) << dump;
    EXPECT_TRUE(dumpShows(dump, "title: \"Dovrelta\""));
    for (auto text : { "text=\"加粉\"", "text=\"精准加粉\"", "text=\"行业客源\"", "text=\"图片\"" })
        EXPECT_TRUE(dumpShows(dump, text)) << text;
    EXPECT_FALSE(dumpShows(dump, "PHProgressHUD")) << "the loading overlay is gone";
    // A 375 x 667 screen: the strip is 290.9 points high under the bar; the tiles are 93 points
    // wide with a point of the grey background between them.
    EXPECT_EQ(leadingChannel(meanIn(pixels, CGRectMake(0, 0, 375, 20))), 0) << "the red bar";
    EXPECT_EQ(leadingChannel(meanIn(pixels, CGRectMake(20, 100, 150, 100))), 1) << "the strip's green first picture";
    EXPECT_EQ(leadingChannel(meanIn(pixels, CGRectMake(200, 100, 150, 100))), 2) << "the strip's blue second picture";
    EXPECT_TRUE(dv::testing::near(pixels.at(5, 450), kWhite)) << dv::testing::show(pixels.at(5, 450));
    EXPECT_TRUE(dv::testing::near(pixels.at(93.5, 450), kHomeGrey)) << dv::testing::show(pixels.at(93.5, 450));
    EXPECT_TRUE(dv::testing::near(pixels.at(187, 600), kHomeGrey)) << dv::testing::show(pixels.at(187, 600));
    // Each tile's icon is the server's picture: a coloured disc (orange, green, blue, purple).
    const CGFloat iconTop = 64 + 290.9 + 18.91;
    const Pixel icons[] = { meanIn(pixels, CGRectMake(31, iconTop, 31, 31)), meanIn(pixels, CGRectMake(125, iconTop, 31, 31)),
        meanIn(pixels, CGRectMake(219, iconTop, 31, 31)), meanIn(pixels, CGRectMake(313, iconTop, 31, 31)) };
    EXPECT_EQ(leadingChannel(icons[0]), 0) << dv::testing::show(icons[0]);
    EXPECT_EQ(leadingChannel(icons[1]), 1) << dv::testing::show(icons[1]);
    EXPECT_EQ(leadingChannel(icons[2]), 2) << dv::testing::show(icons[2]);
    EXPECT_EQ(leadingChannel(icons[3]), 2) << dv::testing::show(icons[3]);
    EXPECT_GT(icons[3][0], icons[3][1]) << "purple: " << dv::testing::show(icons[3]);
}

// A QR-code list: its screen, its title, a batch of ten codes with their titles, the next-batch
// button in the bar and the floating upload button on the grey page.
void expectList(const std::string& dump, const dv::testing::Pixels& pixels, const std::string& screen, const std::string& title)
{
    EXPECT_TRUE(dumpShows(dump, "screen: " + screen)) << dump;
    EXPECT_TRUE(dumpShows(dump, "title: \"" + title + "\""));
    std::size_t rows = 0;
    for (auto at = dump.find("VQPassiveFansCell"); at != std::string::npos; at = dump.find("VQPassiveFansCell", at + 1))
        ++rows;
    EXPECT_EQ(rows, 10u) << "a batch of ten codes";
    EXPECT_FALSE(dumpShows(dump, "PHProgressHUD"));
    EXPECT_EQ(leadingChannel(meanIn(pixels, CGRectMake(0, 0, 375, 20))), 0) << "the red bar";
    EXPECT_TRUE(dv::testing::near(pixels.at(187, 70), kWhite)) << "the first row: " << dv::testing::show(pixels.at(187, 70));
    // The floating upload button: a red disc low on the right.
    EXPECT_EQ(leadingChannel(meanIn(pixels, CGRectMake(310, 530, 40, 40))), 0) << dv::testing::show(meanIn(pixels, CGRectMake(310, 530, 40, 40)));
}

// A QR-code detail page: its title, its texts, and the code's picture: black and white modules on
// white, in the middle of the page.
std::string expectDetail(const std::string& dump, const dv::testing::Pixels& pixels, const std::string& screen)
{
    EXPECT_TRUE(dumpShows(dump, "screen: " + screen)) << dump;
    EXPECT_TRUE(dumpShows(dump, "title: \"详情\""));
    EXPECT_TRUE(dumpShows(dump, "text=\"介绍\""));
    EXPECT_TRUE(dumpShows(dump, "text=\"区域  "));
    const Pixel code = meanIn(pixels, CGRectMake(90, 340, 195, 195));
    EXPECT_EQ(leadingChannel(code), -1) << "black and white: " << dv::testing::show(code);
    EXPECT_GT(code[0], 50) << dv::testing::show(code);
    EXPECT_LT(code[0], 215) << dv::testing::show(code);
    // The line of the code's title, which tells two pages apart.
    auto at = dump.find("UILabel (20 10; ");
    return at == std::string::npos ? std::string() : dump.substr(at, dump.find('\n', at) - at);
}

// Script lines that take the picture "fault" of a failure's outcome: the toast with `message` as
// soon as it shows (it shows for 0.7 s), or the screen once it rests; then the screen at rest.
std::string pictureOfTheOutcome(const char* message)
{
    if (message)
        return std::string("wait-for \"") + message + "\" 20\nscreenshot fault now\nwait-idle 20\n";
    return "wait-idle 20\nscreenshot fault\n";
}

// The upload form's title being typed with emoji (周末👍🏽徒步🇨🇳群👨‍👩‍👧), the same at both screen
// sizes: the emoji in colour, the caret at the end of the text as the text engine measures it,
// right after the last emoji.
void expectTitleWithEmoji(const std::string& dump, const dv::testing::Pixels& pixels)
{
    const auto title = "周末👍🏽徒步🇨🇳群👨‍👩‍👧"_ns;
    // The field starts 60 points from the left edge of its row, as wide as the screen.
    EXPECT_TRUE(dumpShows(dump, "text=\"" + dv::str(title) + "\" placeholder=\"请输入标题\" editing selected=21,0")) << dump;
    EXPECT_TRUE(dumpShows(dump, "UITextField (60 10; "));
    const CGFloat end = 60 + dv::measureText(title, UIFont::systemFontOfSize(15), 0, 1).width;
    const CGRect line = CGRectMake(58, 78, 250, 24);
    auto caretBlue = [](const Pixel& p) { return p[2] > 200 && p[0] < 100; };
    auto coloured = [&](const Pixel& p) { return std::max({ p[0], p[1], p[2] }) - std::min({ p[0], p[1], p[2] }) > 60 && !caretBlue(p); };
    EXPECT_GT(pixels.count(line, coloured), 200u) << "the thumb and the flag in colour";
    const CGRect caret = pixels.box(line, caretBlue);
    ASSERT_FALSE(CGRectIsNull(caret));
    EXPECT_NEAR(CGRectGetMidX(caret), end, 2) << "the caret at the end of the text";
    // The family's picture, grey and black, ends the text just before the caret.
    const CGRect drawn = pixels.box(CGRectMake(line.origin.x, line.origin.y, CGRectGetMidX(caret) - 1.5 - line.origin.x, line.size.height),
        [&](const Pixel& p) { return std::min({ p[0], p[1], p[2] }) < 235 && !caretBlue(p); });
    EXPECT_NEAR(CGRectGetMaxX(drawn), end, 2);
    EXPECT_GT(CGRectGetMaxX(pixels.box(line, coloured)), end - 45) << "the flag two characters before the end";
}

class SimTourTest : public SimProgramTest { };

// The tour as a newcomer runs it, twice in a row without a home of his own: each run starts from
// a fresh home (said first, removed after the run), so the second sees what the first saw; the
// first on the default screen, the second on the 320 x 568 one, where lists and pages are
// scrolled to what lies below the fold. Both are reproducible runs, whose pictures are compared
// with the references.
TEST_F(SimTourTest, RunsToItsEndTwiceInARowAtBothScreenSizesAndEveryPictureShowsItsScreen)
{
    auto run = runHeadless({ "--reproducible" }, std::nullopt, 180, RunHome::Fresh);
    ASSERT_EQ(run.status, 0) << run.errors << run.output;
    const std::string freshLine = "dovrelta-sim: a fresh home for this run: " + (m_root / "dovrelta-home-").string();
    EXPECT_EQ(run.output.rfind(freshLine, 0), 0u) << run.output;
    const std::string freshHome = run.output.substr(freshLine.size() - std::string("dovrelta-home-").size(),
        run.output.find(' ', freshLine.size()) - (freshLine.size() - std::string("dovrelta-home-").size()));
    EXPECT_FALSE(std::filesystem::exists(freshHome)) << freshHome << " is removed after a run that passes";
    EXPECT_NE(run.output.find("pictures and dumps go to " + m_out.string()), std::string::npos) << run.output;
    // The runner's lines only: the application's log is in its file.
    EXPECT_EQ(run.errors, "");
    EXPECT_GT(std::filesystem::file_size(m_out / "application.log"), 1000u);
    const std::vector<std::string> steps = { "launch", "home", "home-picture", "prospect-region", "prospect-list",
        "prospect-imported", "prospect-exact-list", "prospect-categories", "prospect-industry-list", "group-list", "group-detail", "group-detail-next",
        "group-detail-saved", "upload-form", "upload-form-emoji", "upload-form-filled", "group-list-uploaded", "group-list-next-batch", "personal-list", "personal-detail", "personal-detail-previous", "public-list",
        "public-detail", "picture-page", "about", "about-menu", "help-usage", "help-questions", "help-contact", "agent-query", "agent-letter",
        "push-alert", "news", "push-link-alert", "news-from-background" };
    ASSERT_EQ(stepNames(), steps);
    for (const auto& step : steps)
        ASSERT_TRUE(picture(step)) << step;

    EXPECT_TRUE(dumpShows(dumpOf("launch"), "screen: VQMainViewController"));
    expectHome(dumpOf("home"), *picture("home"));

    // The strip's first picture fills the screen, above the bar.
    const auto full = dumpOf("home-picture");
    EXPECT_TRUE(dumpShows(full, "  UIImageView (0 0; 375 667) image=")) << full;
    auto fullPixels = *picture("home-picture");
    EXPECT_EQ(leadingChannel(meanIn(fullPixels, CGRectMake(0, 0, 375, 30))), 1) << "green where the bar was";

    // The prospect screens: the region chosen on the wheels, its numbers imported, the numbers of a
    // prefix, the categories and a category's customers.
    const auto region = dumpOf("prospect-region");
    EXPECT_TRUE(dumpShows(region, "screen: VQAddFansViewController")) << region;
    EXPECT_TRUE(dumpShows(region, "UIPickerView"));
    const auto numbers = dumpOf("prospect-list");
    EXPECT_TRUE(dumpShows(numbers, "screen: VQAddFansSecondVC")) << numbers;
    EXPECT_TRUE(dumpShows(numbers, "title=\"导入通讯录\"") && dumpShows(numbers, "title=\"删除当前通讯录\""));
    EXPECT_TRUE(std::regex_search(numbers, std::regex("text=\"1[358][0-9]0555[0-9]{4}\""))) << "made-up mobile numbers";
    EXPECT_TRUE(dumpShows(dumpOf("prospect-imported"), "text=\"导入成功\"")) << dumpOf("prospect-imported");
    const auto exact = dumpOf("prospect-exact-list");
    EXPECT_TRUE(dumpShows(exact, "screen: VQExactCusSecondVC")) << exact;
    EXPECT_TRUE(dumpShows(exact, "text=\"1380555")) << "the numbers of the prefix typed";
    const auto categories = dumpOf("prospect-categories");
    EXPECT_TRUE(dumpShows(categories, "screen: VQCategoryResourcesNewVC")) << categories;
    EXPECT_TRUE(dumpShows(categories, "text=\"服装鞋帽\""));
    const auto industry = dumpOf("prospect-industry-list");
    EXPECT_TRUE(dumpShows(industry, "screen: VQBuyerResourceVC")) << industry;
    EXPECT_TRUE(dumpShows(industry, "服饰有限公司\"")) << "the customers of the category";
    auto listPixels = *picture("prospect-list");
    EXPECT_EQ(leadingChannel(meanIn(listPixels, CGRectMake(20, 630, 140, 30))), 2) << "the blue import button";
    EXPECT_EQ(leadingChannel(meanIn(listPixels, CGRectMake(210, 630, 140, 30))), 0) << "the red clearing button";

    // The lists, their pages, previous and next, the next batch.
    expectList(dumpOf("group-list"), *picture("group-list"), "VQAddGroupViewController", "群二维码");
    expectList(dumpOf("group-list-next-batch"), *picture("group-list-next-batch"), "VQAddGroupViewController", "群二维码");
    EXPECT_NE(dumpOf("group-list"), dumpOf("group-list-next-batch")) << "another batch of codes";
    expectList(dumpOf("personal-list"), *picture("personal-list"), "VQPassiveFansVC", "个人二维码");
    expectList(dumpOf("public-list"), *picture("public-list"), "VQAddPublicViewController", "公众号");
    auto first = expectDetail(dumpOf("group-detail"), *picture("group-detail"), "VQGroupDetailViewController");
    auto next = expectDetail(dumpOf("group-detail-next"), *picture("group-detail-next"), "VQGroupDetailViewController");
    EXPECT_FALSE(first.empty());
    EXPECT_NE(first, next) << "下一个 shows the next code";
    auto personal = expectDetail(dumpOf("personal-detail"), *picture("personal-detail"), "VQFunsDetailViewController");
    auto previous = expectDetail(dumpOf("personal-detail-previous"), *picture("personal-detail-previous"), "VQFunsDetailViewController");
    EXPECT_NE(personal, previous) << "上一个 shows the previous code";
    expectDetail(dumpOf("public-detail"), *picture("public-detail"), "VQPublicDetailViewController");

    // The long press saved the code's picture to the album: the toast says so, and the toast log of
    // the step.
    const auto saved = dumpOf("group-detail-saved");
    EXPECT_TRUE(dumpShows(saved, "text=\"已保存到相册\""));
    EXPECT_TRUE(dumpShows(saved, "s  toast \"已保存到相册\"\n")) << saved;

    // The picture page: the guide's first picture under the bar.
    const auto pictures = dumpOf("picture-page");
    EXPECT_TRUE(dumpShows(pictures, "screen: KYWifiController")) << pictures;
    EXPECT_TRUE(dumpShows(pictures, "title: \"图片\""));
    EXPECT_EQ(leadingChannel(meanIn(*picture("picture-page"), CGRectMake(45, 90, 20, 300))), 1) << "the first picture's green side";

    // The about screen: the device number, the web site, the four entries, on the grey page.
    const auto about = dumpOf("about");
    EXPECT_TRUE(dumpShows(about, "screen: VQAboutvqViewController")) << about;
    EXPECT_TRUE(dumpShows(about, "title: \"关于我们\""));
    for (auto text : { "设备号", "网站地址", "查看使用说明", "常见问题说明", "授权代理查询", "查看联系方式" })
        EXPECT_TRUE(dumpShows(about, std::string("text=\"") + text + "\"")) << text;
    auto aboutPixels = *picture("about");
    EXPECT_TRUE(dv::testing::near(aboutPixels.at(187, 600), { 238, 238, 238, 255 }, 6)) << dv::testing::show(aboutPixels.at(187, 600));
    EXPECT_TRUE(anyPixelIn(aboutPixels, CGRectMake(80, 165, 200, 20), [](const Pixel& p) { return p[2] > p[0] + 100; }))
        << "the web-site address in blue";
    // The device number's menu: its one command in a dark strip under the number, below the bar.
    const auto menu = dumpOf("about-menu");
    EXPECT_TRUE(dumpShows(menu, "UIMenuBarView")) << menu;
    EXPECT_TRUE(dumpShows(menu, "title=\"拷贝\""));
    auto menuPixels = *picture("about-menu");
    EXPECT_LT(meanIn(menuPixels, CGRectMake(165, 152, 3, 24))[0], 80) << dv::testing::show(meanIn(menuPixels, CGRectMake(165, 152, 3, 24)));
    EXPECT_FALSE(anyPixelIn(menuPixels, CGRectMake(0, 56, 375, 8), [](const Pixel& p) { return p[0] < 80; })) << "nothing dark over the bar";

    // The help pages are the server's pages in web views, under the entry's name.
    const std::pair<const char*, const char*> helps[] = { { "help-usage", "使用说明" }, { "help-questions", "常见问题" },
        { "help-contact", "联系我们" } };
    for (const auto& [step, page] : helps) {
        const auto dump = dumpOf(step);
        EXPECT_TRUE(dumpShows(dump, std::string("UIWebView (0 0; 375 603) title=\"") + page + "\"")) << dump;
        auto pixels = *picture(step);
        EXPECT_LT(meanIn(pixels, CGRectMake(16, 92, 80, 18))[0], 235) << step << ": the page's heading is drawn";
        EXPECT_TRUE(dv::testing::near(pixels.at(187, 650), kWhite)) << step;
    }

    // The agent lookup: the number typed with the keyboard up, then the agent's letter.
    const auto query = dumpOf("agent-query");
    EXPECT_TRUE(dumpShows(query, "text=\"qinghe2016\" placeholder=\"请输入代理商信聊号\"")) << query;
    EXPECT_TRUE(dumpShows(query, "(keyboard)"));
    const auto letter = dumpOf("agent-letter");
    EXPECT_TRUE(dumpShows(letter, "screen: VQQueWebViewController")) << letter;
    EXPECT_TRUE(dumpShows(letter, "title=\"授权代理书\""));
    EXPECT_TRUE(dumpShows(letter, "qinghe2016"));

    // The upload form, empty and then filled in, and the list with the uploaded code first.
    const auto form = dumpOf("upload-form");
    EXPECT_TRUE(dumpShows(form, "screen: VQGroupAddCodeViewController")) << form;
    EXPECT_TRUE(dumpShows(form, "title: \"上传二维码\""));
    EXPECT_TRUE(dumpShows(form, "placeholder=\"请输入标题\""));
    expectTitleWithEmoji(dumpOf("upload-form-emoji"), *picture("upload-form-emoji"));
    const auto filled = dumpOf("upload-form-filled");
    EXPECT_TRUE(dumpShows(filled, "text=\"周末徒步群\""));
    EXPECT_TRUE(dumpShows(filled, "text=\"hike2026\""));
    EXPECT_TRUE(dumpShows(filled, "text=\"广东省深圳市\""));
    // The picked picture on the form's button: orange and green bands around a white square.
    auto filledPixels = *picture("upload-form-filled");
    EXPECT_EQ(leadingChannel(filledPixels.at(331, 324)), 1) << dv::testing::show(filledPixels.at(331, 324));
    const auto uploaded = dumpOf("group-list-uploaded");
    const auto topRow = uploaded.find("VQPassiveFansCell (0 0.1;"); // under the header of 0.1
    ASSERT_NE(topRow, std::string::npos) << uploaded;
    EXPECT_EQ(uploaded.find("text=", topRow), uploaded.find("text=\"周末徒步群\"", topRow)) << "the new code tops its list";

    const auto alert = dumpOf("push-alert");
    EXPECT_TRUE(dumpShows(alert, "alert: \"收到一条推送消息\" \"本周新增群二维码三百个，欢迎查看。\" buttons: \"去查看\" \"忽略\"")) << alert;

    const auto news = dumpOf("news");
    EXPECT_TRUE(dumpShows(news, "screen: JZNewsDetailController")) << news;
    EXPECT_TRUE(dumpShows(news, "title: \"每周通知\""));
    EXPECT_TRUE(dumpShows(news, "UILabel (0 74; 375 21) text=\"2026-12-07 10:00\""));
    EXPECT_TRUE(dumpShows(news, "text=\"本周新增群二维码三百个，欢迎查看。\""));
    auto newsPixels = *picture("news");
    EXPECT_TRUE(dv::testing::near(newsPixels.at(187, 500), kWhite));
    EXPECT_LT(meanIn(newsPixels, CGRectMake(10, 170, 200, 20))[0], 245) << "the text is drawn";

    EXPECT_TRUE(dumpShows(dumpOf("push-link-alert"), "alert: \"收到一条推送消息\" \"限时活动：上传二维码送推广位。\" buttons: \"去查看\" \"忽略\""));

    const auto background = dumpOf("news-from-background");
    EXPECT_TRUE(dumpShows(background, "screen: JZNewsDetailController")) << background;
    EXPECT_TRUE(dumpShows(background, "title: \"审核通知\""));
    EXPECT_TRUE(dumpShows(background, "text=\"您上传的二维码已通过审核。\""));
    EXPECT_FALSE(dumpShows(background, "alert: ")) << "no alert for a message opened from the background";

    // Every picture as it was reviewed.
    expectReferencePictures(steps, std::filesystem::path(DV_SIM_REFERENCES) / "375x667");

    // Again, at once, on the small screen.
    m_out = m_root / "out-320";
    auto small = runHeadless({ "--reproducible", "--screen", "320x568" }, std::nullopt, 180, RunHome::Fresh);
    ASSERT_EQ(small.status, 0) << small.errors << small.output;
    ASSERT_EQ(stepNames(), steps);
    const auto smallHome = dumpOf("home");
    for (auto tile : { "VQMainButton (0 261.2; 79.25 87.45)", "VQMainButton (240.75 261.2; 79.25 87.45)" })
        EXPECT_TRUE(dumpShows(smallHome, tile)) << tile << "\n" << smallHome;
    auto smallPixels = picture("home");
    ASSERT_TRUE(smallPixels);
    EXPECT_EQ(smallPixels->sizeInPoints().width, 320);
    EXPECT_EQ(smallPixels->sizeInPoints().height, 568);
    EXPECT_NE(expectDetail(dumpOf("group-detail"), *picture("group-detail"), "VQGroupDetailViewController"),
        expectDetail(dumpOf("group-detail-next"), *picture("group-detail-next"), "VQGroupDetailViewController"))
        << "下一个, below the fold, was scrolled to and tapped";
    expectTitleWithEmoji(dumpOf("upload-form-emoji"), *picture("upload-form-emoji"));
    EXPECT_TRUE(dumpShows(dumpOf("upload-form-filled"), "text=\"广东省深圳市\""));
    EXPECT_TRUE(dumpShows(dumpOf("agent-letter"), "title=\"授权代理书\""));
    expectReferencePictures(steps, std::filesystem::path(DV_SIM_REFERENCES) / "320x568");
}

// One journey of the home screen with a fault of the server.
struct FaultJourney {
    const char* name;
    std::vector<std::string> setUp;  // options of the run
    std::string scriptStart;         // commands before the launch
    const char* message;             // the toast the application shows, or nullptr for none
    bool reloadButton;               // the home screen offers "点击重新加载"
    const char* recover;             // commands that take the fault away (empty: it cannot be)
    const char* tilesLeft = nullptr; // a tile the home builds in spite of the fault
};

std::ostream& operator<<(std::ostream& out, const FaultJourney& journey) { return out << journey.name; }

class SimFaultJourneyTest : public SimProgramTest, public ::testing::WithParamInterface<FaultJourney> { };

TEST_P(SimFaultJourneyTest, EndsWithItsMessageAndNoCrash)
{
    const auto& journey = GetParam();
    std::string script = journey.scriptStart + "launch\n";
    script += pictureOfTheOutcome(journey.message);
    script += "expect-no 精准加粉\n";
    script += journey.reloadButton ? "expect 点击重新加载\n" : "expect-no 点击重新加载\n";
    if (*journey.recover)
        script += std::string(journey.recover) + "tap 点击重新加载\nwait-for 精准加粉\nscreenshot recovered\n";
    auto run = runHeadless(journey.setUp, script, 120);
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.errors.find("Assertion"), std::string::npos) << run.errors;

    const auto dump = dumpOf("fault");
    ASSERT_FALSE(dump.empty());
    EXPECT_TRUE(dumpShows(dump, "screen: VQMainViewController"));
    if (journey.message) {
        EXPECT_TRUE(dumpShows(dump, std::string("text=\"") + journey.message + "\"")) << dump;
    }
    for (auto message : { "当前网络不稳定 请稍后重试", "您似乎已经断开与互联网的连接", "网络连接失败 获取数据异常", "服务器繁忙" }) {
        if (!journey.message || std::string(journey.message).find(message) == std::string::npos) {
            EXPECT_FALSE(dumpShows(dump, message)) << message;
        }
    }
    EXPECT_EQ(dumpShows(dump, "text=\"图片\""), journey.tilesLeft != nullptr) << dump;
    // Nothing but the grey background where the tiles would be.
    auto pixels = *picture("fault");
    if (!journey.tilesLeft) {
        EXPECT_TRUE(dv::testing::near(pixels.at(5, 450), kHomeGrey)) << dv::testing::show(pixels.at(5, 450));
    }
    if (*journey.recover) {
        auto recovered = picture("recovered");
        ASSERT_TRUE(recovered);
        expectHome(dumpOf("recovered"), *recovered);
    }
}

const char* kClear = "clear-faults\n";

INSTANTIATE_TEST_SUITE_P(HomeScreen, SimFaultJourneyTest,
    ::testing::Values(
        // The three network failures: the server client's toast and the reload button.
        FaultJourney { "TimeOut", { "--fault", "home/index.do=delay:15" }, "", "当前网络不稳定 请稍后重试", true, kClear },
        FaultJourney { "Offline", {}, "network off\n", "您似乎已经断开与互联网的连接", true, "network on\n" },
        FaultJourney { "NoServer", { "--server", "http://127.0.0.1:" + std::to_string(dv::devserver::Server::unusedPort()) + "/DV/" }, "",
            "网络连接失败 获取数据异常", true, "" },
        // A refusal: its message, nothing built.
        FaultJourney { "Refusal", { "--fault", "home/index.do=status" }, "", "服务器繁忙，请稍后再试", false, "" },
        FaultJourney { "RefusalWithItsOwnMessage", {}, "fault home/index.do \"status:3:系统维护中\"\n", "系统维护中", false, "" },
        // Replies the client cannot use: no message, no reload button, nothing built.
        FaultJourney { "HttpError", { "--fault", "home/index.do=http:500" }, "", nullptr, false, "" },
        FaultJourney { "HtmlPage", { "--fault", "home/index.do=html" }, "", nullptr, false, "" },
        FaultJourney { "MalformedJson", { "--fault", "home/index.do=malformed" }, "", nullptr, false, "" },
        FaultJourney { "JsonArray", { "--fault", "home/index.do=array" }, "", nullptr, false, "" },
        FaultJourney { "JsonNull", { "--fault", "home/index.do=null" }, "", nullptr, false, "" },
        FaultJourney { "WrongTypedStatus", { "--fault", "home/index.do=wrongtypes:status" }, "", nullptr, false, "" },
        FaultJourney { "ClosedConnection", { "--fault", "home/index.do=close" }, "", nullptr, false, "" },
        FaultJourney { "CutReply", { "--fault", "home/index.do=cut" }, "", nullptr, false, "" },
        // Records of the wrong types: no category is kept, the fixed tile stays.
        FaultJourney { "WrongTypedRecords", { "--fault", "home/index.do=wrongtypes" }, "", nullptr, false, "", "图片" }),
    [](const ::testing::TestParamInfo<FaultJourney>& info) { return std::string(info.param.name); });

// One journey into a QR-code list whose request meets a fault of the server.
struct ListFaultJourney {
    const char* name;
    const char* fault;   // on qrcode/listCode.do
    const char* message; // the toast the application shows, or nullptr for none
};

std::ostream& operator<<(std::ostream& out, const ListFaultJourney& journey) { return out << journey.name; }

class SimListFaultJourneyTest : public SimProgramTest, public ::testing::WithParamInterface<ListFaultJourney> { };

TEST_P(SimListFaultJourneyTest, EndsWithItsMessageAndTheListComesBackWithoutTheFault)
{
    const auto& journey = GetParam();
    std::string script = "launch\nwait-for 精准加粉\nwait-idle\n";
    script += std::string("fault qrcode/listCode.do ") + journey.fault + "\n";
    script += "open VQAddGroupViewController 群二维码\n";
    script += pictureOfTheOutcome(journey.message);
    // The next-batch button with nothing loaded yet, then back home and into the list again.
    script += "tap-bar right\nwait-idle 20\nback\nexpect-screen VQMainViewController\nclear-faults\n"
              "open VQAddGroupViewController 群二维码\nwait-idle 20\nscreenshot recovered\n";
    auto run = runHeadless({}, script, 120);
    ASSERT_EQ(run.status, 0) << run.errors;

    const auto dump = dumpOf("fault");
    EXPECT_TRUE(dumpShows(dump, "screen: VQAddGroupViewController")) << dump;
    if (journey.message) {
        EXPECT_TRUE(dumpShows(dump, std::string("text=\"") + journey.message + "\"")) << dump;
    } else {
        EXPECT_FALSE(dumpShows(dump, "PHProgressHUD")) << "no toast, and the loading overlay is gone: " << dump;
    }
    if (std::string(journey.fault).rfind("wrongtypes", 0) != 0) {
        EXPECT_FALSE(dumpShows(dump, "VQPassiveFansCell")) << "nothing listed";
    }
    expectList(dumpOf("recovered"), *picture("recovered"), "VQAddGroupViewController", "群二维码");
}

INSTANTIATE_TEST_SUITE_P(GroupList, SimListFaultJourneyTest,
    ::testing::Values(ListFaultJourney { "TimeOut", "delay:15", "当前网络不稳定 请稍后重试" },
        ListFaultJourney { "Refusal", "status:0:列表维护中", "列表维护中" },
        ListFaultJourney { "HttpError", "http:503", nullptr },
        ListFaultJourney { "MalformedJson", "malformed", nullptr },
        ListFaultJourney { "JsonNull", "null", nullptr },
        ListFaultJourney { "WrongTypes", "wrongtypes", nullptr },
        ListFaultJourney { "WrongTypedStatus", "wrongtypes:status", nullptr },
        ListFaultJourney { "CutReply", "cut", nullptr }),
    [](const ::testing::TestParamInfo<ListFaultJourney>& info) { return std::string(info.param.name); });

// The about screen and a help page with faults of the server: the screen stays empty with the
// message its failure calls for, a help page shows what the server sent in its place, and both
// come back once the fault is gone.
struct InfoFaultJourney {
    const char* name;
    const char* fault;   // on home/artifactIndex.do and data/qryLearn.do
    const char* message; // the about screen's toast, or nullptr for none
};

std::ostream& operator<<(std::ostream& out, const InfoFaultJourney& journey) { return out << journey.name; }

class SimInfoFaultJourneyTest : public SimProgramTest, public ::testing::WithParamInterface<InfoFaultJourney> { };

TEST_P(SimInfoFaultJourneyTest, EndsWithItsMessageAndComesBackWithoutTheFault)
{
    const auto& journey = GetParam();
    std::string script = "launch\nwait-for 精准加粉\nwait-idle\n";
    script += std::string("fault home/artifactIndex.do ") + journey.fault + "\n";
    script += "open VQAboutvqViewController 关于我们\n";
    script += pictureOfTheOutcome(journey.message);
    script += "expect-no 查看使用说明\nback\nclear-faults\nopen VQAboutvqViewController 关于我们\nwait-for 查看使用说明\n";
    // A help page whose server page meets the fault, then without it.
    script += std::string("fault data/qryLearn.do ") + journey.fault + "\ntap 查看使用说明\nwait-idle 20\nscreenshot page-fault\nback\n";
    script += "clear-faults\ntap 查看使用说明\nwait-idle 20\nscreenshot page\nback\nback\nexpect-screen VQMainViewController\n";
    auto run = runHeadless({}, script, 120);
    ASSERT_EQ(run.status, 0) << run.errors;

    const auto dump = dumpOf("fault");
    EXPECT_TRUE(dumpShows(dump, "screen: VQAboutvqViewController")) << dump;
    EXPECT_FALSE(dumpShows(dump, "设备号")) << "nothing built";
    if (journey.message) {
        EXPECT_TRUE(dumpShows(dump, std::string("text=\"") + journey.message + "\"")) << dump;
    } else {
        EXPECT_FALSE(dumpShows(dump, "PHProgressHUD")) << dump;
    }
    EXPECT_TRUE(dumpShows(dumpOf("page-fault"), "screen: VQNewVideoVC")) << dumpOf("page-fault");
    EXPECT_TRUE(dumpShows(dumpOf("page"), "UIWebView (0 0; 375 603) title=\"使用说明\"")) << dumpOf("page");
}

INSTANTIATE_TEST_SUITE_P(AboutScreen, SimInfoFaultJourneyTest,
    ::testing::Values(InfoFaultJourney { "TimeOut", "delay:15", "当前网络不稳定 请稍后重试" },
        InfoFaultJourney { "Refusal", "status:0:暂无联系方式", "暂无联系方式" },
        InfoFaultJourney { "HttpError", "http:500", nullptr },
        InfoFaultJourney { "JsonArray", "array", nullptr },
        InfoFaultJourney { "ClosedConnection", "close", nullptr }),
    [](const ::testing::TestParamInfo<InfoFaultJourney>& info) { return std::string(info.param.name); });

} // namespace
} // namespace dv::sim::testing
