// The three upload forms against the local server, through the driver: the rows and the upload
// button as each form has them, the checks in the order of the rows with their messages, the
// photo sheet from the button (and from the picture's row where the form has that), the album
// and the camera (and the album when there is no rear camera, and a refused album), the upload
// with its loading overlay, the form closing and the code then heading its list with its
// picture, the multipart request's exact bytes, the keyboard kept off the fields on a small
// screen, a missing login token, and every fault of the server's upload path ending with the
// form open and its input kept, a title longer than its field on both screen sizes, and a
// character put between two of the title's by a tap there.
#include "UploadFormTestSupport.h"

#include "app/directory/uploads/QRCodeUploadController.h"
#include "app/shell/server/ServerSettings.h"
#include "foundation/identity/DIUUID.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSIndexPath.h"
#include "platform/base/NSURL.h"
#include "platform/graphics/NSStringDrawing.h"
#include "platform/net/NSURLConnection.h"
#include "platform/net/NSURLRequest.h"
#include "platform/system/NSUserDefaults.h"
#include "platform/system/UIScreen.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/UIImagePickerController.h"
#include "platform/ui/UITextField.h"
#include "tests/platform/ui/FieldLinePicture.h"
#include "tools/devserver/Fault.h"
#include "ui/toolkit/overlay/PHProgressHUD.h"

#include <regex>

using namespace dv::test;
using dv::devserver::Fault;
using dv::devserver::FaultKind;

namespace {

std::string text(const Ref<NSString>& value) { return value ? dv::str(value) : std::string(); }

class QRCodeUploadTest : public UploadFormTest {
protected:
    // The texts, the region and the picture as the form holds them now.
    struct Input {
        std::string title, account, introduction, region;
        Ref<NSData> picture;
        bool operator==(const Input& other) const
        {
            return title == other.title && account == other.account && introduction == other.introduction && region == other.region
                && picture && other.picture && picture->isEqualToData(other.picture);
        }
    };
    Input input() const
    {
        return { text(m_form->titField()->text()), text(m_form->xinliaoField()->text()), text(m_form->introField()->text()), regionText(),
            m_form->imageData() };
    }

    // The toast on a view (the newest), "" when none.
    static std::string toastOn(const Ref<UIView>& view)
    {
        auto hud = view ? PHProgressHUD::HUDForView(view) : nil;
        return hud ? text(hud->labelText()) : "";
    }

    // The picture the server keeps for a code, fetched from its qrcodeImg.
    static Ref<NSData> serverPicture(const ServerCode& code)
    {
        auto request = NSURLRequest::requestWithURL(NSURL::URLWithString(NSString::fromUTF8(code.qrcodeImg)));
        Ref<NSURLResponse> response;
        Ref<NSError> error;
        return NSURLConnection::sendSynchronousRequest(request, &response, &error);
    }
};

TEST_F(QRCodeUploadTest, EachFormShowsItsRowsAndItsUploadButton)
{
    for (const auto& form : { kGroupForm, kPersonalForm, kPublicForm }) {
        SCOPED_TRACE(form.className);
        ASSERT_TRUE(openForm(form));
        EXPECT_EQ(m_ui.navigationTitle(), "上传二维码");
        for (const char* shown : { "标题", "省市", "请选择", "介绍", "二维码", "注:一天只能更新一次", form.accountLabel })
            EXPECT_TRUE(showsText(shown)) << shown;
        auto account = m_form->xinliaoField();
        EXPECT_EQ(text(account->placeholder()), form.accountPlaceholder);
        EXPECT_TRUE(CGRectEqualToRect(account->frame(), form.accountFieldFrame));
        auto accountLabel = dv::as<UILabel>(m_ui.find(dv::testing::ViewQuery().withText(form.accountLabel).ofClass(UILabel::class_())));
        ASSERT_TRUE(accountLabel);
        EXPECT_TRUE(CGRectEqualToRect(accountLabel->frame(), form.accountLabelFrame));
        EXPECT_EQ(text(m_form->titField()->placeholder()), "请输入标题");
        EXPECT_EQ(text(m_form->introField()->placeholder()), "请输入介绍");
        auto upload = uploadButton();
        ASSERT_TRUE(upload);
        EXPECT_EQ(m_ui.textOf(upload), form.uploadTitle);
        EXPECT_EQ(upload->layer()->cornerRadius(), form.uploadCornerRadius);
        EXPECT_EQ(m_form->addBtn()->imageForState(UIControlStateNormal), UIImage::imageNamed("addphoto"_ns));
        EXPECT_TRUE(m_form->addBtn()->imageForState(UIControlStateNormal));
        ASSERT_TRUE(goBack());
        ASSERT_TRUE(goBack());
    }
}

TEST_F(QRCodeUploadTest, TheChecksFollowTheRowsAndSendNothing)
{
    for (const auto& form : { kGroupForm, kPublicForm }) {
        SCOPED_TRACE(form.className);
        ASSERT_TRUE(openForm(form));
        EXPECT_EQ(uploadToast(), "标题不能为空");
        // A title of blanks is a title.
        ASSERT_TRUE(typeInto(m_form->titField(), "  "));
        EXPECT_EQ(uploadToast(), "请选择省市");
        ASSERT_TRUE(chooseRegion("北京市", "北京市"));
        EXPECT_EQ(uploadToast(), "信聊号不能为空");
        ASSERT_TRUE(typeInto(m_form->xinliaoField(), "xl_chk"));
        EXPECT_EQ(uploadToast(), "介绍不能为空");
        ASSERT_TRUE(typeInto(m_form->introField(), "介绍"));
        EXPECT_EQ(uploadToast(), "请上传一张二维码");
        EXPECT_TRUE(requestsTo(dv::app::kSaveCodePath).empty());
        EXPECT_FALSE(hasOverlay("上传中..."));
        clearToasts();
        ASSERT_TRUE(goBack());
        ASSERT_TRUE(goBack());
    }
}

TEST_F(QRCodeUploadTest, AnUploadClosesTheFormAndTheCodeHeadsItsList)
{
    for (const auto& form : { kGroupForm, kPersonalForm, kPublicForm }) {
        SCOPED_TRACE(form.className);
        const std::string title = std::string("新码 ") + form.type;
        const std::string account = std::string("xl_new_") + form.type;
        ASSERT_TRUE(openForm(form));
        ASSERT_TRUE(fillTexts(title, account, "每天更新 欢迎加入"));
        ASSERT_TRUE(chooseRegion("广东省", "广州市"));
        ASSERT_TRUE(pickPicture(makePicture(3)));
        auto picture = m_form->imageData();
        ASSERT_TRUE(picture);
        const auto stack = m_ui.navigationStack().size();

        auto closing = m_form;
        const auto before = callsMade();
        ASSERT_TRUE(m_ui.tap(uploadButton()));
        EXPECT_TRUE(hasOverlay("上传中..."));
        ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return callsMade() > before; }));
        m_ui.runUntilIdle();
        // Closed, and the server's text on the closing form.
        EXPECT_EQ(toastOn(closing->view()), "上传成功");
        m_ui.advance(1);
        EXPECT_EQ(m_ui.navigationStack().size(), stack - 1);
        EXPECT_FALSE(hasOverlay("上传中..."));

        const auto codes = serverCodes(form.kind, 0);
        ASSERT_FALSE(codes.empty());
        EXPECT_EQ(codes[0].title, title);
        EXPECT_EQ(codes[0].account, account);
        EXPECT_EQ(codes[0].descriptions, "每天更新 欢迎加入");
        EXPECT_EQ(codes[0].areaName, "广东省广州市");
        auto kept = serverPicture(codes[0]);
        ASSERT_TRUE(kept);
        EXPECT_TRUE(kept->isEqualToData(picture));

        // The list, opened again, shows it first.
        ASSERT_TRUE(goBack());
        auto list = openScreen(form.listClass, form.listTitle);
        ASSERT_TRUE(list);
        auto table = m_ui.find<UITableView>();
        const auto rows = visibleRowTitles(table);
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows[0], title);
        ASSERT_TRUE(goBack());
    }
}

TEST_F(QRCodeUploadTest, TheRequestCarriesEveryFieldAndThePictureAsTheServerExpectsThem)
{
    // A server that records what it gets, in place of the local one.
    dv::testing::LoopbackServer recorder;
    recorder.route("/DV/district/listSubDistrict.do", [](const dv::testing::RecordedRequest& request) {
        const bool provinces = request.body == "parentId=0";
        return dv::testing::ScriptedReply { .body = provinces ? R"({"status":1,"msg":"","info":[{"id":440000,"name":"广东省"}]})"
                                                              : R"({"status":"1","info":[{"id":"440300","name":"深圳市"}]})",
            .contentType = "application/json" };
    });
    recorder.route("/DV/qrcode/saveCode.do",
        dv::testing::ScriptedReply { .body = R"({"status":1,"msg":"","info":"上传成功"})", .contentType = "application/json" });
    ASSERT_TRUE(dv::app::setServerAddress("127.0.0.1", recorder.port()));
    NSUserDefaults::standardUserDefaults()->setObjectForKey("tok-42"_ns, "utoken"_ns);

    ASSERT_TRUE(pushForm(kPublicForm));
    ASSERT_TRUE(fillTexts("春季 新品&优惠", "xl_dongfang88", "每天更新"));
    ASSERT_TRUE(tapRegionRow());
    ASSERT_TRUE(tapPanelButton("完成"));
    EXPECT_EQ(regionText(), "广东省深圳市");
    ASSERT_TRUE(pickPicture(makePicture(7)));
    auto picture = m_form->imageData();
    ASSERT_TRUE(picture && picture->length() > 2);
    EXPECT_EQ(picture->view().substr(0, 2), std::string("\xFF\xD8"));
    ASSERT_TRUE(tapUpload());

    std::vector<dv::testing::RecordedRequest> uploads;
    for (const auto& request : recorder.requests())
        if (request.path == "/DV/qrcode/saveCode.do")
            uploads.push_back(request);
    ASSERT_EQ(uploads.size(), 1u);
    const auto& sent = uploads[0];
    std::smatch match;
    const std::string type = sent.header("content-type");
    ASSERT_TRUE(std::regex_match(type, match, std::regex("multipart/form-data; boundary=(.+)"))) << type;
    const std::string boundary = match[1];
    auto part = [&](const std::string& name, const std::string& value) {
        return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
    };
    const std::string clientId = dv::str(DIUUID::uuidForDevice());
    const std::string expected = part("account", "xl_dongfang88") + part("area_id", "440300") + part("clientId", clientId)
        + part("description", "每天更新") + part("title", "春季 新品&优惠") + part("token", "tok-42") + part("type", "11") + "--" + boundary
        + "\r\nContent-Disposition: form-data; name=\"code\"; filename=\"1111.png\"\r\nContent-Type: jpg\r\n\r\n"
        + std::string(picture->view()) + "\r\n--" + boundary + "--\r\n";
    EXPECT_EQ(sent.body, expected);
}

TEST_F(QRCodeUploadTest, WithoutAStoredTokenTheUploadSendsItEmptyAndShowsTheRefusal)
{
    ASSERT_TRUE(openForm(kGroupForm));
    ASSERT_TRUE(fillForm("无令牌", "xl_notoken", "介绍"));
    NSUserDefaults::standardUserDefaults()->removeObjectForKey("utoken"_ns);
    const auto kept = input();
    ASSERT_TRUE(tapUpload());
    EXPECT_EQ(toastOn(m_form->view()), "请先登录");
    EXPECT_EQ(m_ui.topViewController(), m_form);
    EXPECT_TRUE(input() == kept);
}

TEST_F(QRCodeUploadTest, APictureComesFromTheSheetOfTheButtonOrOfTheRowWhereTheFormHasIt)
{
    for (const auto& form : { kGroupForm, kPersonalForm, kPublicForm }) {
        SCOPED_TRACE(form.className);
        ASSERT_TRUE(openForm(form));
        // The picture's row outside the button.
        auto cell = m_form->tableView()->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 2));
        ASSERT_TRUE(cell);
        const CGRect frame = m_ui.frameInWindow(cell);
        ASSERT_TRUE(m_ui.tap(CGPointMake(frame.origin.x + 100, frame.origin.y + 25)));
        m_ui.advance(0.3);
        const auto sheets = m_ui.visibleAlerts();
        if (!form.pictureRowOpensSheet) {
            EXPECT_TRUE(sheets.empty());
        } else {
            ASSERT_EQ(sheets.size(), 1u);
            EXPECT_EQ(sheets[0].kind, "sheet");
            EXPECT_EQ(sheets[0].tag, 101);
            EXPECT_EQ(sheets[0].buttons, (std::vector<std::string> { "相册", "拍照", "取消" }));
            ASSERT_TRUE(m_ui.tapAlertButton("取消"));
            m_ui.advance(0.3);
            EXPECT_FALSE(m_ui.imagePicker());
        }
        // The button ends editing first.
        ASSERT_TRUE(m_ui.focus(m_form->titField()));
        ASSERT_TRUE(m_ui.tap(m_form->addBtn()));
        m_ui.advance(0.3);
        EXPECT_FALSE(m_ui.firstResponder());
        ASSERT_EQ(m_ui.visibleAlerts().size(), 1u);
        ASSERT_TRUE(m_ui.tapAlertButton("相册"));
        m_ui.advance(0.5);
        auto picker = m_ui.imagePicker();
        ASSERT_TRUE(picker);
        EXPECT_EQ(picker->sourceType(), UIImagePickerControllerSourceTypePhotoLibrary);
        EXPECT_TRUE(picker->allowsEditing());
        EXPECT_EQ(picker->view()->tag(), 111);
        auto first = makePicture(11);
        ASSERT_TRUE(m_ui.pickImage(first));
        m_ui.advance(0.5);
        EXPECT_FALSE(m_ui.imagePicker());
        auto chosen = m_form->imageData();
        ASSERT_TRUE(chosen);
        EXPECT_NE(m_form->addBtn()->imageForState(UIControlStateNormal), UIImage::imageNamed("addphoto"_ns));

        // A second choice replaces the first.
        ASSERT_TRUE(pickPicture(makePicture(12)));
        EXPECT_FALSE(m_form->imageData()->isEqualToData(chosen));
        ASSERT_TRUE(goBack());
        ASSERT_TRUE(goBack());
    }
}

TEST_F(QRCodeUploadTest, TheCameraTakesThePictureAndWithoutARearCameraTheAlbumOpens)
{
    m_ui.setCameraPresent(dv::CameraPosition::rear, true);
    ASSERT_TRUE(openForm(kPersonalForm));
    ASSERT_TRUE(m_ui.tap(m_form->addBtn()));
    m_ui.advance(0.3);
    ASSERT_TRUE(m_ui.tapAlertButton("拍照"));
    m_ui.advance(0.5);
    ASSERT_TRUE(m_ui.imagePicker());
    EXPECT_EQ(m_ui.imagePicker()->sourceType(), UIImagePickerControllerSourceTypeCamera);
    ASSERT_TRUE(m_ui.pickImage(makePicture(21)));
    m_ui.advance(0.5);
    EXPECT_TRUE(m_form->imageData());

    m_ui.setCameraPresent(dv::CameraPosition::rear, false);
    ASSERT_TRUE(m_ui.tap(m_form->addBtn()));
    m_ui.advance(0.3);
    ASSERT_TRUE(m_ui.tapAlertButton("拍照"));
    m_ui.advance(0.5);
    ASSERT_TRUE(m_ui.imagePicker());
    EXPECT_EQ(m_ui.imagePicker()->sourceType(), UIImagePickerControllerSourceTypePhotoLibrary);
    ASSERT_TRUE(m_ui.cancelImagePicker());
    m_ui.advance(0.5);
    EXPECT_FALSE(m_ui.imagePicker());
}

TEST_F(QRCodeUploadTest, ARefusedAlbumLeavesTheFormWithoutAPicture)
{
    m_ui.setPermissionAnswer(dv::PrivacyService::photos, false);
    ASSERT_TRUE(openForm(kGroupForm));
    ASSERT_TRUE(fillTexts("相册被拒", "xl_denied", "介绍"));
    ASSERT_TRUE(chooseRegion("北京市", "北京市"));
    ASSERT_TRUE(m_ui.tap(m_form->addBtn()));
    m_ui.advance(0.3);
    ASSERT_TRUE(m_ui.tapAlertButton("相册"));
    m_ui.advance(0.5);
    ASSERT_TRUE(m_ui.imagePicker());
    EXPECT_FALSE(m_ui.pickImage(makePicture(5)));
    EXPECT_EQ(m_ui.permissionPromptCount(dv::PrivacyService::photos), 1);
    // The picker can only be cancelled, and closes itself: the form has no cancel of its own.
    ASSERT_TRUE(m_ui.cancelImagePicker());
    m_ui.advance(0.5);
    EXPECT_FALSE(m_ui.imagePicker());
    EXPECT_EQ(m_ui.topViewController(), m_form);
    EXPECT_FALSE(m_form->imageData());
    EXPECT_EQ(uploadToast(), "请上传一张二维码");
    EXPECT_TRUE(requestsTo(dv::app::kSaveCodePath).empty());
}

TEST_F(QRCodeUploadTest, ARefusalShowsTheServersTextAndKeepsTheInput)
{
    ASSERT_TRUE(openForm(kPublicForm));
    ASSERT_TRUE(fillForm("被拒绝", "xl_refused", "介绍"));
    const auto kept = input();
    m_server->setFault(dv::app::kSaveCodePath, Fault::refusal(0, "今天不能再上传了"));
    ASSERT_TRUE(tapUpload());
    EXPECT_EQ(toastOn(m_form->view()), "今天不能再上传了");
    EXPECT_FALSE(hasOverlay("上传中..."));
    EXPECT_EQ(m_ui.topViewController(), m_form);
    EXPECT_TRUE(input() == kept);
    // The input goes again once the server takes it (under another account: the refused upload
    // was stored before the server's answer was replaced, and a code is refreshed once a day).
    m_server->clearFaults();
    clearToasts();
    ASSERT_TRUE(m_ui.focus(m_form->xinliaoField()));
    ASSERT_TRUE(m_ui.typeText("_2"));
    m_ui.resignFocus();
    m_ui.advance(0.3);
    auto form = m_form;
    ASSERT_TRUE(tapUpload());
    EXPECT_NE(m_ui.topViewController(), form);
}

TEST_F(QRCodeUploadTest, EveryFaultOfTheUploadPathEndsWithTheFormOpenAndItsInputKept)
{
    ASSERT_TRUE(openForm(kGroupForm));
    ASSERT_TRUE(fillForm("故障", "xl_fault", "介绍"));
    const auto kept = input();
    struct Case {
        Fault fault;
        std::string toast; // what the form shows; "" for nothing
    };
    const Case cases[] = {
        { Fault::httpError(500), "" },
        { Fault::httpError(404), "" },
        { Fault::of(FaultKind::Html), "" },
        { Fault::of(FaultKind::MalformedJson), "" },
        { Fault::of(FaultKind::JsonArray), "" },
        { Fault::of(FaultKind::JsonNull), "" },
        { Fault::of(FaultKind::CloseConnection), "" },
        { Fault::of(FaultKind::CutConnection), "" },
        { Fault::refusal(2, "服务器繁忙，请稍后再试"), "服务器繁忙，请稍后再试" },
        // A status that cannot be read is no success: the (unreadable) msg shows as an empty text.
        { [] {
             auto f = Fault::of(FaultKind::WrongTypes);
             f.wrongStatus = true;
             return f;
         }(),
            "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(dv::devserver::formatFault(c.fault));
        m_server->setFault(dv::app::kSaveCodePath, c.fault);
        clearToasts();
        ASSERT_TRUE(tapUpload());
        EXPECT_FALSE(hasOverlay("上传中..."));
        EXPECT_EQ(m_ui.topViewController(), m_form);
        EXPECT_TRUE(input() == kept);
        EXPECT_EQ(toastOn(m_form->view()), c.toast);
        // Nothing on the window either: the upload shows no network message.
        EXPECT_FALSE(PHProgressHUD::HUDForView(m_window));
    }
    m_server->clearFaults();
    clearToasts();

    // A slow server: the loading overlay covers the window until the reply, then the form closes.
    m_server->setFault(dv::app::kSaveCodePath, Fault::delay(0.5));
    // Faults above may have stored the code already: another account makes it a new one.
    ASSERT_TRUE(m_ui.focus(m_form->xinliaoField()));
    ASSERT_TRUE(m_ui.deleteBackward(20));
    ASSERT_TRUE(m_ui.typeText("xl_fault_slow"));
    m_ui.resignFocus();
    m_ui.advance(0.3);
    auto form = m_form;
    const auto before = callsMade();
    ASSERT_TRUE(m_ui.tap(uploadButton()));
    EXPECT_TRUE(hasOverlay("上传中..."));
    const CGRect cover = PHProgressHUD::HUDForView(m_window)->frame();
    EXPECT_TRUE(CGRectEqualToRect(cover, m_window->bounds()));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return callsMade() > before; }));
    m_ui.runUntilIdle();
    EXPECT_EQ(toastOn(form->view()), "上传成功");
    m_ui.advance(1);
    EXPECT_NE(m_ui.topViewController(), form);
    EXPECT_FALSE(hasOverlay("上传中..."));
}

TEST_F(QRCodeUploadTest, ASuccessWithoutATextClosesTheFormQuietly)
{
    // status kept, every other field of the wrong type: "上传成功" arrives inside an array.
    ASSERT_TRUE(openForm(kPersonalForm));
    ASSERT_TRUE(fillForm("奇怪的成功", "xl_odd", "介绍"));
    m_server->setFault(dv::app::kSaveCodePath, Fault::of(FaultKind::WrongTypes));
    auto form = m_form;
    ASSERT_TRUE(tapUpload());
    EXPECT_EQ(toastOn(form->view()), "");
    EXPECT_NE(m_ui.topViewController(), form);
}

TEST_F(QRCodeUploadTest, TheKeyboardKeepsOffTheFieldsOnASmallScreen)
{
    UIScreen::mainScreen()->setBounds(CGRectMake(0, 0, 320, 480));
    relaunch();
    ASSERT_TRUE(openForm(kGroupForm));
    for (const auto& field : { m_form->titField(), m_form->xinliaoField(), m_form->introField() }) {
        ASSERT_TRUE(m_ui.focus(field));
        m_ui.advance(0.3);
        ASSERT_TRUE(m_ui.isKeyboardVisible());
        const CGRect keyboard = m_ui.keyboardFrame();
        const CGRect shown = m_ui.frameInWindow(field);
        EXPECT_LE(CGRectGetMaxY(shown), CGRectGetMinY(keyboard)) << m_ui.textOf(field);
        EXPECT_TRUE(m_ui.tapPoint(field).has_value());
        ASSERT_TRUE(m_ui.typeText("键入"));
        EXPECT_EQ(text(field->text()), "键入");
    }
    m_ui.resignFocus();
    m_ui.advance(0.5);
    EXPECT_FALSE(m_ui.isKeyboardVisible());
    // The form as it was: its view under the navigation bar, no inset left for the keyboard.
    EXPECT_EQ(m_ui.frameInWindow(m_form->view()).origin.y, 64);
    EXPECT_EQ(m_form->tableView()->contentInset().bottom, 0);
}

struct Screen {
    CGFloat width, height;
};

void PrintTo(const Screen& screen, std::ostream* out) { *out << screen.width << "x" << screen.height; }

// The title field (left aligned, no border) with sixty characters, as a picture of the window
// shows it: while typed and deleted at its end, the end stands before the caret inside the
// field; once editing ends, the line shows its beginning and ends in an ellipsis.
class LongTitleTest : public UploadFormTest, public ::testing::WithParamInterface<Screen> {
protected:
    // The title's dark text.
    static constexpr int kInk = 160;
    // A Chinese character's ink fills its line; an "n" stands within its x-height.
    static constexpr CGFloat kTall = 12, kShort = 9;
};

TEST_P(LongTitleTest, TheEndShowsWhileTypedAndTheBeginningAfterwards)
{
    UIScreen::mainScreen()->setBounds(CGRectMake(0, 0, GetParam().width, GetParam().height));
    relaunch();
    ASSERT_TRUE(openForm(kGroupForm));
    auto field = m_form->titField();
    ASSERT_TRUE(m_ui.focus(field));
    // Sixty characters: an "n" at each end, Chinese ones between.
    const std::string middle = "信聊群二维码推广";
    std::string title = "n";
    for (int i = 0; i < 58; ++i)
        title += middle.substr((i % 8) * 3, 3);
    title += "n";
    ASSERT_TRUE(m_ui.typeText(title));

    const auto typed = dv::testing::readFieldLine(m_ui, field, kInk);
    dv::testing::expectEndAtTheCaret(typed);
    EXPECT_LE(typed.ink.origin.x, typed.area.origin.x + 3) << "no gap on the left: the beginning is hidden there";
    EXPECT_LE(typed.inkBetween(typed.caret.origin.x - 8, 7).size.height, kShort) << "the last character, n, before the caret";
    EXPECT_GE(typed.inkBetween(typed.caret.origin.x - 30, 15).size.height, kTall) << "Chinese before it";
    ASSERT_TRUE(m_ui.deleteBackward(1));
    const auto deleted = dv::testing::readFieldLine(m_ui, field, kInk);
    dv::testing::expectEndAtTheCaret(deleted);
    EXPECT_LE(deleted.ink.origin.x, deleted.area.origin.x + 3);
    EXPECT_GE(deleted.inkBetween(deleted.caret.origin.x - 15, 14).size.height, kTall) << "the line followed the deletion";
    ASSERT_TRUE(m_ui.typeText("n"));
    EXPECT_EQ(text(field->text()), title);

    m_ui.resignFocus();
    m_ui.advance(0.5);
    const auto ended = dv::testing::readFieldLine(m_ui, field, kInk);
    EXPECT_TRUE(CGRectIsNull(ended.caretAround));
    EXPECT_NEAR(ended.ink.origin.x, ended.area.origin.x, 2) << "the beginning at the left edge";
    EXPECT_LE(ended.inkBetween(ended.area.origin.x, 7).size.height, kShort) << "n first";
    EXPECT_GE(ended.inkBetween(ended.area.origin.x + 10, 15).size.height, kTall) << "then Chinese";
    EXPECT_LE(CGRectGetMaxX(ended.ink), CGRectGetMaxX(ended.area));
    // The ellipsis: its last dot, a point or two high, ends the line.
    EXPECT_LE(ended.inkBetween(CGRectGetMaxX(ended.ink) - 2, 2).size.height, 2.5);
    EXPECT_NE(m_ui.dump().find("text=\"" + title + "\""), std::string::npos) << "the dump has the whole title";
}

INSTANTIATE_TEST_SUITE_P(BothScreens, LongTitleTest, ::testing::Values(Screen { 375, 667 }, Screen { 320, 568 }),
    [](const ::testing::TestParamInfo<Screen>& info) { return "Width" + std::to_string(int(info.param.width)); });

// The title typed, then a tap between two of its characters, as a person corrects a title: the
// caret shows where the finger went and the next character goes in there.
class TitleCaretTest : public UploadFormTest, public ::testing::WithParamInterface<Screen> { };

TEST_P(TitleCaretTest, ATapBetweenTwoCharactersPutsTheCaretAndTheNextCharacterThere)
{
    UIScreen::mainScreen()->setBounds(CGRectMake(0, 0, GetParam().width, GetParam().height));
    relaunch();
    ASSERT_TRUE(openForm(kGroupForm));
    auto field = m_form->titField();
    ASSERT_TRUE(typeInto(field, "周末徒步群欢迎你"));

    // Between 欢 and 迎: the six characters' width from the start of the field's text.
    const CGRect frame = m_ui.frameInWindow(field);
    const CGRect area = field->textRectForBounds(field->bounds());
    const CGFloat six = sizeWithAttributes("周末徒步群欢"_ns, NSDictionary::of({ { NSFontAttributeName, field->font() } })).width;
    const CGFloat one = sizeWithAttributes("欢"_ns, NSDictionary::of({ { NSFontAttributeName, field->font() } })).width;
    const CGPoint between = CGPointMake(frame.origin.x + area.origin.x + six + 2, frame.origin.y + CGRectGetMidY(area));
    ASSERT_TRUE(m_ui.tap(between));
    ASSERT_TRUE(field->isEditing());
    const auto tapped = dv::testing::readFieldLine(m_ui, field, 160);
    ASSERT_FALSE(CGRectIsNull(tapped.caret));
    EXPECT_NEAR(CGRectGetMidX(tapped.caret), between.x, 2.5) << "the caret where the finger went";
    EXPECT_NEAR(CGRectGetMaxX(tapped.inkBetween(tapped.area.origin.x, tapped.caret.origin.x - tapped.area.origin.x)),
        tapped.caret.origin.x, 3) << "欢 just before it";
    EXPECT_GE(tapped.inkBetween(CGRectGetMaxX(tapped.caret), 2 * one).size.width, one) << "迎你 after it";
    EXPECT_NE(m_ui.dump().find("selected=6,0"), std::string::npos) << m_ui.dump();

    ASSERT_TRUE(m_ui.typeText("X"));
    EXPECT_EQ(text(field->text()), "周末徒步群欢X迎你");
    const auto typed = dv::testing::readFieldLine(m_ui, field, 160);
    EXPECT_GT(typed.caret.origin.x, tapped.caret.origin.x + 4) << "the caret after the X";
    EXPECT_LT(typed.caret.origin.x, tapped.caret.origin.x + one);
    m_ui.resignFocus();
    m_ui.advance(0.5);
    EXPECT_EQ(text(field->text()), "周末徒步群欢X迎你");
}

INSTANTIATE_TEST_SUITE_P(BothScreens, TitleCaretTest, ::testing::Values(Screen { 375, 667 }, Screen { 320, 568 }),
    [](const ::testing::TestParamInfo<Screen>& info) { return "Width" + std::to_string(int(info.param.width)); });

} // namespace
