// The QR-code detail pages against the local server, through the driver: what a page shows of its
// code, previous and next at both ends of a list and the fields they send, refused and failed
// loads and steps, the long press that offers the save once, the save to the photo album behind
// its permission prompt (the saved picture scans back as the code's account), "保存失败" for a
// refused album and for every way the picture's fetch can go wrong, and a page that goes on
// answering every touch while the picture server holds the save's fetch back.
#include "DirectoryTestSupport.h"

#include "app/directory/details/QRCodeDetailController.h"
#include "app/directory/lists/QRCodeListController.h"
#include "app/shell/models/VQPassiveModel.h"
#include "app/shell/server/ServerReply.h"
#include "app/shell/server/ServerRequests.h"
#include "app/shell/server/ServerSettings.h"
#include "app/shell/server/ZHFormData.h"
#include "app/shell/server/ZHHttpTool.h"
#include "platform/base/NSData.h"
#include "platform/base/NSIndexPath.h"
#include "platform/graphics/NSStringDrawing.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/PrivacyAccess.h"
#include "platform/system/UIScreen.h"
#include "platform/system/NSUserDefaults.h"
#include "platform/testing/LargePictures.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "tools/devserver/Fault.h"
#include "ui/images/RIWebImageManager.h"

using namespace dv::test;
using dv::app::QRCodeDetailController;
using dv::app::QRCodeKind;
using dv::app::QRCodeListController;
using dv::devserver::Fault;
using dv::devserver::FaultKind;
using dv::PrivacyService;

namespace {

class QRCodeDetailTest : public DirectoryTest {
protected:
    // Opens the group list, pages to `batch` and taps the code at `index` of it.
    Ref<QRCodeDetailController> openGroupCode(NSInteger batch, NSInteger index)
    {
        auto list = dv::as<QRCodeListController>(openScreen("VQAddGroupViewController", "群二维码"));
        if (!list)
            return nil;
        for (NSInteger i = 0; i < batch; ++i)
            EXPECT_TRUE(tapAndWait(list->navigationItem()->rightBarButtonItem()));
        EXPECT_TRUE(tapRowAndWait(list->tableView(), index % 5, index / 5));
        return dv::as<QRCodeDetailController>(m_ui.topViewController());
    }

    // The page's button with that title, tapped where a person would: after dragging the page up
    // when it is below the visible part.
    bool tapStep(const Ref<QRCodeDetailController>& page, const std::string& title)
    {
        auto button = m_ui.find(dv::testing::ViewQuery().ofClass(UIButton::class_()).withTitle(title));
        if (!button || !m_ui.tapPoint(button)) {
            m_ui.dragScrollView(page->tableView(), CGPointMake(0, 400));
            button = m_ui.find(dv::testing::ViewQuery().ofClass(UIButton::class_()).withTitle(title));
        }
        return button && tapAndWait(button);
    }

    Ref<UIImageView> picture() const
    {
        for (const auto& view : m_ui.findAll<UIImageView>())
            if (auto recognizers = view->gestureRecognizers(); recognizers && recognizers->count() > 0)
                return view;
        return nil;
    }

    // One turn of the main loop that waits for nothing: what a touch started shows by its end.
    static void oneTurn() { NSRunLoop::mainRunLoop()->runTurn(NSDefaultRunLoopMode, dv::Clock::current().now(), 0); }

    // A finger put on the page and drawn up in steps; after each step and one turn the page has
    // followed it (the first step only starts the drag).
    void dragPageUpTurnByTurn(const Ref<QRCodeDetailController>& page)
    {
        auto table = page->tableView();
        ASSERT_TRUE(table);
        const CGRect frame = m_ui.frameInWindow(table);
        const CGPoint start = CGPointMake(CGRectGetMidX(frame), CGRectGetMaxY(frame) - 20);
        auto touch = m_ui.touchDown(start);
        ASSERT_TRUE(touch);
        CGFloat last = table->contentOffset().y;
        for (int step = 1; step <= 8; ++step) {
            ASSERT_TRUE(m_ui.touchMove(touch, CGPointMake(start.x, start.y - 40 * step)));
            oneTurn();
            if (step > 1) {
                EXPECT_GT(table->contentOffset().y, last) << "step " << step;
            }
            last = table->contentOffset().y;
        }
        m_ui.touchUp(touch, CGPointMake(start.x, start.y - 320));
        m_ui.advance(1);
    }

    // A tap on the step button with that title: its loading overlay has come by the end of the
    // next turn; then the step's code arrives.
    void tapStepTurnByTurn(const std::string& title)
    {
        auto button = m_ui.find(dv::testing::ViewQuery().ofClass(UIButton::class_()).withTitle(title));
        ASSERT_TRUE(button);
        auto point = m_ui.tapPoint(button);
        ASSERT_TRUE(point) << title << " is not where a finger can reach it";
        const auto before = callsMade();
        auto touch = m_ui.touchDown(*point);
        ASSERT_TRUE(touch);
        ASSERT_TRUE(m_ui.touchUp(touch, *point));
        oneTurn();
        // Up, or already fading when the step's reply came within that very turn.
        EXPECT_TRUE(hasOverlay("正在加载")) << title;
        EXPECT_TRUE(waitUntilLoaded(before)) << title;
    }

    // Long press on the picture, then a choice in the sheet.
    bool chooseInSaveSheet(const std::string& button)
    {
        auto view = picture();
        if (!view || !m_ui.longPress(view))
            return false;
        m_ui.runUntilIdle();
        if (m_ui.visibleAlerts().size() != 1)
            return false;
        const bool tapped = m_ui.tapAlertButton(button);
        m_ui.advance(0.4);
        return tapped;
    }
};

TEST_F(QRCodeDetailTest, APageShowsItsCodeWithThePictureAndTheAccountLabelOfItsKind)
{
    struct Case {
        const char* list;
        QRCodeKind kind;
        const char* accountLabel;
    };
    for (const auto& c : { Case { "VQAddPublicViewController", QRCodeKind::Public, "公众号" },
             Case { "VQPassiveFansVC", QRCodeKind::Personal, "个人信聊号" },
             Case { "VQAddGroupViewController", QRCodeKind::Group, "群主信聊" } }) {
        SCOPED_TRACE(c.list);
        auto list = dv::as<QRCodeListController>(openScreen(c.list, "列表"));
        ASSERT_TRUE(list);
        const auto code = serverCodes(c.kind, 0).at(2);
        ASSERT_TRUE(tapRowAndWait(list->tableView(), 2, 0));
        auto page = dv::as<QRCodeDetailController>(m_ui.topViewController());
        ASSERT_TRUE(page);
        EXPECT_EQ(m_ui.navigationTitle(), "详情");
        EXPECT_TRUE(showsText(code.title));
        EXPECT_TRUE(showsText("区域  " + code.areaName));
        EXPECT_TRUE(showsText(std::string(c.accountLabel) + "  " + code.account));
        EXPECT_TRUE(showsText(code.descriptions));
        ASSERT_TRUE(page->tableView());
        EXPECT_EQ(page->tableView()->numberOfSections(), 4);

        // The introduction's row holds its label with room to spare.
        auto table = page->tableView();
        auto introduction = dv::as<UILabel>(m_ui.viewWithText(code.descriptions));
        ASSERT_TRUE(introduction);
        const CGRect row = table->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 2));
        EXPECT_GE(row.size.height, CGRectGetMaxY(introduction->frame()) + 10);
        EXPECT_NEAR(table->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 3)).size.height, 290, 0.01);

        // The picture arrives through the image library: the code of the account.
        auto view = picture();
        ASSERT_TRUE(view);
        ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return view->image() != nil; }));
        EXPECT_EQ(readQrCode(view->image()), code.account);
        ASSERT_TRUE(goBack());
        ASSERT_TRUE(goBack());
    }
}

TEST_F(QRCodeDetailTest, TheFooterHintsHowToAddAndHoldsTheStepButtonsAndTheRowsFitTheirTexts)
{
    auto page = openGroupCode(0, 1);
    ASSERT_TRUE(page);
    auto table = page->tableView();
    ASSERT_TRUE(table);
    const CGFloat W = UIScreen::mainScreen()->bounds().size.width;
    for (NSInteger section = 0; section < 3; ++section)
        EXPECT_NEAR(table->rectForFooterInSection(section).size.height, 6.6, 0.01) << section;
    EXPECT_NEAR(table->rectForFooterInSection(3).size.height, 230, 0.01);

    // The introduction's row is its text measured with the label word in front, and 20 more.
    const auto code = serverCodes(QRCodeKind::Group, 0).at(1);
    auto introduction = dv::as<UILabel>(m_ui.viewWithText(code.descriptions));
    ASSERT_TRUE(introduction);
    auto measured = boundingRectWithSize(NSString::fromUTF8("介绍  " + code.descriptions), CGSizeMake(W - 70, 1e7),
        NSStringDrawingUsesLineFragmentOrigin, NSDictionary::of({ { NSFontAttributeName, introduction->font() } }), nil);
    EXPECT_NEAR(table->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 2)).size.height, measured.size.height + 20, 0.01);
    EXPECT_EQ(introduction->numberOfLines(), 0);

    // Below the picture, a person finds the hint and the two buttons side by side.
    m_ui.dragScrollView(table, CGPointMake(0, 400));
    auto hint = dv::as<UILabel>(m_ui.viewWithText(
        "如何加粉：长按图片保存到相册，然后到信聊里面读取二维码添加好友即可，建议一次保存多个二维码图片然后去信聊一起操作添加。"));
    ASSERT_TRUE(hint);
    EXPECT_TRUE(m_ui.isVisible(hint));
    EXPECT_EQ(hint->frame(), CGRectMake(10, 10, W - 20, 60));
    EXPECT_EQ(hint->numberOfLines(), 0);
    auto previous = m_ui.find(dv::testing::ViewQuery().ofClass(UIButton::class_()).withTitle("上一个"));
    auto next = m_ui.find(dv::testing::ViewQuery().ofClass(UIButton::class_()).withTitle("下一个"));
    ASSERT_TRUE(previous && next);
    EXPECT_EQ(previous->superview(), hint->superview());
    EXPECT_EQ(next->superview(), hint->superview());
    EXPECT_EQ(previous->frame(), CGRectMake(60, 100, W / 4, 35));
    EXPECT_EQ(next->frame(), CGRectMake(W - 60 - W / 4, 100, W / 4, 35));
    EXPECT_TRUE(m_ui.tapPoint(previous).has_value());
    EXPECT_TRUE(m_ui.tapPoint(next).has_value());
}

TEST_F(QRCodeDetailTest, PreviousAndNextStepThroughTheListAndStopAtBothEnds)
{
    const auto first = serverCodes(QRCodeKind::Group, 0);
    auto page = openGroupCode(0, 0);
    ASSERT_TRUE(page);
    ASSERT_TRUE(showsText(first[0].title));

    clearRequests();
    ASSERT_TRUE(tapStep(page, "上一个"));
    EXPECT_TRUE(showsText("已经是第一个了"));
    EXPECT_EQ(dv::str(page->detailModel()->qrcodeId()), first[0].qrcodeId);
    auto sent = requestsTo(dv::app::kChangeDetailPath);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].field("id"), first[0].qrcodeId);
    EXPECT_EQ(sent[0].field("position"), first[0].position);
    EXPECT_EQ(sent[0].field("flag"), "0");
    clearToasts();

    ASSERT_TRUE(tapStep(page, "下一个"));
    EXPECT_TRUE(showsText(first[1].title));
    EXPECT_FALSE(showsText(first[0].title)) << "the old table is gone";
    EXPECT_EQ(page->tableView()->contentOffset().y, 0) << "a new code starts at the top";
    // The next step asks from the code shown now, not the one the list opened.
    ASSERT_TRUE(tapStep(page, "下一个"));
    EXPECT_TRUE(showsText(first[2].title));
    ASSERT_TRUE(tapStep(page, "上一个"));
    EXPECT_TRUE(showsText(first[1].title));
    sent = requestsTo(dv::app::kChangeDetailPath);
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[1].field("flag"), "1");
    EXPECT_EQ(sent[2].field("id"), first[1].qrcodeId);
    EXPECT_EQ(sent[2].field("position"), first[1].position);
    EXPECT_EQ(sent[2].field("flag"), "1");
    EXPECT_EQ(sent[3].field("id"), first[2].qrcodeId);
    EXPECT_EQ(sent[3].field("flag"), "0");
    EXPECT_EQ(dv::str(page->codeId()), first[0].qrcodeId) << "what the list gave stays";

    // The last of the 23 group codes.
    ASSERT_TRUE(goBack());
    ASSERT_TRUE(goBack());
    const auto last = serverCodes(QRCodeKind::Group, 2);
    ASSERT_EQ(last.size(), 3u);
    page = openGroupCode(2, 2);
    ASSERT_TRUE(page);
    ASSERT_TRUE(showsText(last[2].title));
    ASSERT_TRUE(tapStep(page, "下一个"));
    EXPECT_TRUE(showsText("已经是最后一个了"));
    EXPECT_EQ(dv::str(page->detailModel()->title()), last[2].title);
    clearToasts();
    ASSERT_TRUE(tapStep(page, "上一个"));
    EXPECT_TRUE(showsText(last[1].title));
}

TEST_F(QRCodeDetailTest, AStepThatIsRefusedOrFailsKeepsTheCodeOnScreen)
{
    const auto codes = serverCodes(QRCodeKind::Group, 0);
    auto page = openGroupCode(0, 3);
    ASSERT_TRUE(page);
    auto table = page->tableView();

    m_server->setFault(dv::app::kChangeDetailPath, Fault::refusal(0, "系统维护中"));
    ASSERT_TRUE(tapStep(page, "下一个"));
    EXPECT_TRUE(showsText("系统维护中"));
    EXPECT_EQ(dv::str(page->detailModel()->title()), codes[3].title);
    EXPECT_EQ(page->tableView(), table);
    clearToasts();

    m_server->setFault(dv::app::kChangeDetailPath, Fault::httpError(500));
    ASSERT_TRUE(tapStep(page, "下一个"));
    EXPECT_FALSE(showsText("正在加载"));
    EXPECT_EQ(dv::str(page->detailModel()->title()), codes[3].title);
    EXPECT_EQ(page->tableView(), table);

    // A success without a code in it changes nothing either.
    m_server->setFault(dv::app::kChangeDetailPath, Fault::of(FaultKind::JsonNull));
    ASSERT_TRUE(tapStep(page, "下一个"));
    EXPECT_EQ(page->tableView(), table);
    m_server->clearFaults();
    ASSERT_TRUE(tapStep(page, "下一个"));
    EXPECT_TRUE(showsText(codes[4].title));
}

TEST_F(QRCodeDetailTest, AFirstLoadThatIsRefusedOrFailsLeavesThePageEmpty)
{
    m_server->setFault(dv::app::kCodeDetailPath, Fault::refusal(0, "该二维码不存在或已被删除"));
    auto page = openGroupCode(0, 0);
    ASSERT_TRUE(page);
    EXPECT_TRUE(showsText("该二维码不存在或已被删除"));
    EXPECT_FALSE(page->tableView());
    clearToasts();
    ASSERT_TRUE(goBack());

    dv::app::setServerRequestTimeout(0.3);
    m_server->setFault(dv::app::kCodeDetailPath, Fault::delay(3));
    auto list = dv::as<QRCodeListController>(m_ui.topViewController());
    ASSERT_TRUE(list);
    ASSERT_TRUE(tapRowAndWait(list->tableView(), 1, 0));
    page = dv::as<QRCodeDetailController>(m_ui.topViewController());
    ASSERT_TRUE(page);
    // The server client took the window's loading overlay down and said why.
    EXPECT_TRUE(showsText("当前网络不稳定 请稍后重试"));
    EXPECT_FALSE(page->tableView());
}

TEST_F(QRCodeDetailTest, ALongPressOffersTheSaveOnceAndCancelDoesNothing)
{
    auto page = openGroupCode(0, 0);
    ASSERT_TRUE(page);
    auto view = picture();
    ASSERT_TRUE(view);
    ASSERT_TRUE(m_ui.longPress(view, 1.5));
    m_ui.runUntilIdle();
    auto alerts = m_ui.visibleAlerts();
    ASSERT_EQ(alerts.size(), 1u) << "lifting the finger offers nothing more";
    EXPECT_EQ(alerts[0].kind, "sheet");
    EXPECT_EQ(alerts[0].buttons, (std::vector<std::string> { "保存二维码", "取消" }));
    EXPECT_EQ(alerts[0].cancelButtonIndex, 1);
    EXPECT_EQ(alerts[0].tag, 101);

    ASSERT_TRUE(m_ui.tapAlertButton("取消"));
    m_ui.advance(0.4);
    EXPECT_TRUE(m_ui.visibleAlerts().empty());
    m_ui.runUntilIdle();
    EXPECT_EQ(m_ui.permissionPromptCount(PrivacyService::photos), 0);
    EXPECT_TRUE(albumPictures().empty());
}

TEST_F(QRCodeDetailTest, SavingPutsAPictureThatScansAsTheAccountIntoTheAlbum)
{
    const auto codes = serverCodes(QRCodeKind::Group, 0);
    auto page = openGroupCode(0, 1);
    ASSERT_TRUE(page);
    // The first save asks for the album; the user allows it.
    m_ui.setPermissionAnswer(PrivacyService::photos, true);
    ASSERT_TRUE(chooseInSaveSheet("保存二维码"));
    ASSERT_TRUE(waitForOverlay("已保存到相册"));
    EXPECT_EQ(m_ui.permissionPromptCount(PrivacyService::photos), 1);
    auto pictures = albumPictures();
    ASSERT_EQ(pictures.size(), 1u);
    auto saved = UIImage::imageWithData(NSData::dataWithContentsOfFile(NSString::fromUTF8(pictures[0])));
    ASSERT_TRUE(saved);
    EXPECT_EQ(readQrCode(saved), codes[1].account);
    clearToasts();

    // After a step the code shown now is the one saved, and the album is not asked again.
    ASSERT_TRUE(tapStep(page, "下一个"));
    ASSERT_TRUE(chooseInSaveSheet("保存二维码"));
    ASSERT_TRUE(waitForOverlay("已保存到相册"));
    EXPECT_EQ(m_ui.permissionPromptCount(PrivacyService::photos), 1);
    pictures = albumPictures();
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(readQrCode(UIImage::imageWithData(NSData::dataWithContentsOfFile(NSString::fromUTF8(pictures[1])))), codes[2].account);
}

TEST_F(QRCodeDetailTest, AnAlbumTheUserRefusesSaysSaveFailed)
{
    auto page = openGroupCode(0, 0);
    ASSERT_TRUE(page);
    m_ui.setPermissionAnswer(PrivacyService::photos, false);
    ASSERT_TRUE(chooseInSaveSheet("保存二维码"));
    ASSERT_TRUE(waitForOverlay("保存失败"));
    EXPECT_EQ(m_ui.permissionPromptCount(PrivacyService::photos), 1);
    EXPECT_FALSE(showsText("已保存到相册"));
    EXPECT_TRUE(albumPictures().empty());
}

TEST_F(QRCodeDetailTest, APictureThatCannotBeFetchedWholeIsNeverHandedToTheAlbum)
{
    auto page = openGroupCode(0, 0);
    ASSERT_TRUE(page);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return picture() && picture()->image() != nil; }));
    for (const char* text : { "http", "http:404", "html", "malformed", "array", "null", "wrongtypes", "status", "close", "cut",
             "delay:2" }) {
        SCOPED_TRACE(text);
        auto fault = dv::devserver::parseFault(text);
        ASSERT_TRUE(fault);
        // Only the delay needs the short time-out: the fetch waits at most that long.
        dv::app::setServerRequestTimeout(fault->kind == FaultKind::Delay ? 0.3 : 0);
        m_server->setFault("pic/*", *fault);
        ASSERT_TRUE(chooseInSaveSheet("保存二维码"));
        EXPECT_TRUE(waitForOverlay("保存失败"));
        EXPECT_EQ(m_ui.permissionPromptCount(PrivacyService::photos), 0) << "nothing reached the album";
        clearToasts();
    }
    m_server->clearFaults();
    EXPECT_TRUE(albumPictures().empty());
}

TEST_F(QRCodeDetailTest, WhileThePictureServerHoldsTheSaveBackThePageAnswersEveryTouch)
{
    const auto codes = serverCodes(QRCodeKind::Group, 0);
    auto page = openGroupCode(0, 0);
    ASSERT_TRUE(page);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return picture() && picture()->image() != nil; }));
    m_ui.setPermissionAnswer(PrivacyService::photos, true);
    // The next picture request is taken and answered only when the server stops. The fetch's
    // time-out is put far beyond the test, which takes a fraction of a second even on a busy
    // machine; a main thread that waited for the fetch would come back from the sheet only then,
    // with "保存失败" already up.
    dv::app::setServerRequestTimeout(60);
    auto hold = Fault::delay(3600);
    hold.times = 1;
    m_server->setFault("pic/*", hold);
    ASSERT_TRUE(chooseInSaveSheet("保存二维码"));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return m_server->faults().list().empty(); })) << "the fetch reached the server";
    EXPECT_FALSE(hasOverlay("保存失败"));

    // Thirty seconds on the clock, with the fetch held all along: the page scrolls with the
    // finger and its buttons step through the list.
    dragPageUpTurnByTurn(page);
    tapStepTurnByTurn("下一个");
    EXPECT_TRUE(showsText(codes[1].title));
    m_ui.advance(10);
    dragPageUpTurnByTurn(page);
    tapStepTurnByTurn("上一个");
    EXPECT_TRUE(showsText(codes[0].title));
    m_ui.advance(20);
    EXPECT_FALSE(hasOverlay("保存失败"));
    EXPECT_FALSE(hasOverlay("已保存到相册"));
    EXPECT_EQ(m_ui.permissionPromptCount(PrivacyService::photos), 0);

    // The server goes away without a byte of the picture: the save fails, on the page shown.
    m_server->stop();
    ASSERT_TRUE(waitForOverlay("保存失败"));
    EXPECT_EQ(m_ui.permissionPromptCount(PrivacyService::photos), 0) << "nothing reached the album";
    EXPECT_TRUE(albumPictures().empty());
}

TEST_F(QRCodeDetailTest, APictureOfMorePixelsThanAScreenShowsIsNeitherShownNorSaved)
{
    // A server that keeps pictures of any size (this one when told to), and a code whose picture
    // has 100 million pixels in some 12 KB.
    startServer(true, 10000ull * 10000);
    relaunch();
    auto token = NSUserDefaults::standardUserDefaults()->stringForKey("utoken"_ns);
    ASSERT_TRUE(token);
    auto request = dv::app::saveCodeRequest({ .kind = QRCodeKind::Group, .title = "大图群"_ns, .areaId = "310100"_ns,
        .description = "一张很大的二维码"_ns, .account = "xl_huge_picture"_ns });
    id reply;
    ZHHttpTool::postWithURL(request.URL, request.fields,
        NSArray::of({ ZHFormData::codePicture(NSData::fromString(dv::testing::blackPng(10000, 10000))) }),
        [&](const id& json) { reply = json; }, [](const Ref<NSError>&) { });
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return reply != nil; }));
    ASSERT_TRUE(ServerReply::fromObject(reply)->succeeded());

    auto page = openGroupCode(0, 0);
    ASSERT_TRUE(page);
    ASSERT_EQ(dv::str(page->detailModel()->account()), "xl_huge_picture");
    // The page's load of the picture ends without one.
    ASSERT_TRUE(dv::testing::runMainLoopUntil([] { return !RIWebImageManager::sharedManager()->isRunning(); }));
    auto shown = picture()->image();
    EXPECT_FALSE(shown && CGImageGetWidth(shown->CGImage()) > 4096);

    m_ui.setPermissionAnswer(PrivacyService::photos, true);
    ASSERT_TRUE(chooseInSaveSheet("保存二维码"));
    EXPECT_TRUE(waitForOverlay("保存失败"));
    EXPECT_EQ(m_ui.permissionPromptCount(PrivacyService::photos), 0) << "nothing reached the album";
    EXPECT_TRUE(albumPictures().empty());
}

TEST_F(QRCodeDetailTest, ACodeWithoutAPictureAddressCannotBeSaved)
{
    // Every field of the code comes in a type no model property takes: the page shows empty texts
    // (no "(null)") and has no address to fetch.
    m_server->setFault(dv::app::kCodeDetailPath, Fault::of(FaultKind::WrongTypes));
    auto page = openGroupCode(0, 0);
    ASSERT_TRUE(page);
    ASSERT_TRUE(page->tableView());
    EXPECT_FALSE(page->detailModel()->qrcodeImg());
    EXPECT_TRUE(showsText("区域  "));
    EXPECT_EQ(m_ui.dump().find("(null)"), std::string::npos);
    ASSERT_TRUE(chooseInSaveSheet("保存二维码"));
    EXPECT_TRUE(waitForOverlay("保存失败"));
    EXPECT_EQ(m_ui.permissionPromptCount(PrivacyService::photos), 0);
}

} // namespace
