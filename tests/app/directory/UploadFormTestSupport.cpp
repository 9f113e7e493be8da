#include "UploadFormTestSupport.h"

#include "app/directory/uploads/QRCodeUploadController.h"
#include "app/shell/navigation/ScreenFactory.h"
#include "app/shell/server/ServerReply.h"
#include "app/shell/server/ZHHttpTool.h"
#include "platform/base/NSData.h"
#include "platform/base/NSIndexPath.h"
#include "platform/base/NSJSONSerialization.h"
#include "platform/base/NSURL.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/net/NSURLConnection.h"
#include "platform/system/AVCaptureDevice.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "platform/ui/UIImagePickerController.h"
#include "ui/toolkit/overlay/PHProgressHUD.h"

namespace dv::test {

const FormCase kGroupForm { "VQGroupAddCodeViewController", "VQAddGroupViewController", "群二维码", dv::app::QRCodeKind::Group, "3",
    "群主信聊", CGRectMake(10, 10, 60, 30), CGRectMake(80, 10, 275, 30), "请输入信聊号", "上传更新(一天只能更新一次)", 20, true };
const FormCase kPersonalForm { "VQUploadQRCodeVC", "VQPassiveFansVC", "个人二维码", dv::app::QRCodeKind::Personal, "2", "信聊号",
    CGRectMake(10, 10, 50, 30), CGRectMake(60, 10, 275, 30), "请输入信聊号", "上传更新(一天只能更新一次)", 20, false };
const FormCase kPublicForm { "VQPublicAddCodeViewController", "VQAddPublicViewController", "公众号", dv::app::QRCodeKind::Public, "11",
    "公众号", CGRectMake(10, 10, 60, 30), CGRectMake(80, 10, 275, 30), "请输入公众号", "上传更新", 5, true };

namespace {

std::string text(const Ref<NSString>& value) { return value ? dv::str(value) : std::string(); }

} // namespace

void UploadFormTest::SetUp()
{
    UIImagePickerController::resetDevicePictures();
    dv::Cameras::reset();
    DirectoryTest::SetUp();
}

void UploadFormTest::TearDown()
{
    m_form = nil;
    DirectoryTest::TearDown();
    UIImagePickerController::resetDevicePictures();
    dv::Cameras::reset();
}

std::vector<ServerRegion> UploadFormTest::serverRegions(const std::string& parentId)
{
    // Asked past the HTTP layer of the screens, so that the question is not counted among theirs.
    auto request = dv::app::subDistrictRequest(NSString::fromUTF8(parentId));
    auto post = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(request.URL));
    post->setHTTPMethod("POST"_ns);
    post->setValueForHTTPHeaderField("application/x-www-form-urlencoded"_ns, "Content-Type"_ns);
    post->setHTTPBody(NSData::fromString("parentId=" + parentId));
    Ref<NSURLResponse> response;
    Ref<NSError> error;
    auto body = NSURLConnection::sendSynchronousRequest(post, &response, &error);
    std::vector<ServerRegion> regions;
    auto reply = ServerReply::fromObject(body ? NSJSONSerialization::JSONObjectWithData(body, 0, nullptr) : nil);
    auto records = reply ? reply->infoArray() : nil;
    EXPECT_TRUE(records) << parentId;
    if (!records)
        return regions;
    for (const id& item : *records)
        if (auto record = dv::as<NSDictionary>(item))
            regions.push_back(
                { text(dv::app::textOfJSON(record->objectForKey("id"))), text(dv::app::textOfJSON(record->objectForKey("name"))) });
    return regions;
}

NSInteger UploadFormTest::rowOf(const std::vector<ServerRegion>& regions, const std::string& name)
{
    for (std::size_t i = 0; i < regions.size(); ++i)
        if (regions[i].name == name)
            return static_cast<NSInteger>(i);
    ADD_FAILURE() << "no region " << name;
    return -1;
}

Ref<dv::app::QRCodeUploadController> UploadFormTest::openForm(const FormCase& form, bool waitForRegions)
{
    const auto asked = requestsTo(dv::app::kSubDistrictPath).size();
    auto list = openScreen(form.listClass, form.listTitle);
    if (!list)
        return nil;
    Ref<UIButton> floating;
    const auto subviews = list->view()->subviews();
    for (const auto& subview : *subviews)
        if (auto button = dv::as<UIButton>(subview))
            floating = button;
    EXPECT_TRUE(floating && m_ui.tap(floating));
    m_ui.advance(0.4);
    m_form = dv::as<dv::app::QRCodeUploadController>(m_ui.topViewController());
    EXPECT_TRUE(m_form) << form.className;
    if (m_form && waitForRegions) {
        EXPECT_TRUE(waitForWheels());
        // The calls are on record once they have ended, a little after their replies filled the wheels.
        EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return requestsTo(dv::app::kSubDistrictPath).size() >= asked + 2; }));
    }
    return m_form;
}

Ref<dv::app::QRCodeUploadController> UploadFormTest::pushForm(const FormCase& form, bool waitForRegions)
{
    m_form = dv::as<dv::app::QRCodeUploadController>(dv::app::makeScreen(form.className));
    EXPECT_TRUE(m_form);
    if (!m_form)
        return nil;
    m_navigation->pushViewController(m_form, true);
    m_ui.advance(0.4);
    if (waitForRegions) {
        EXPECT_TRUE(waitForWheels());
    }
    return m_form;
}

bool UploadFormTest::waitForWheels()
{
    return dv::testing::runMainLoopUntil([&] {
        auto wheels = picker();
        return wheels && wheels->numberOfRowsInComponent(0) > 0 && wheels->numberOfRowsInComponent(1) > 0;
    });
}

Ref<UIPickerView> UploadFormTest::picker() const { return m_form ? m_form->pickerView() : nil; }

std::vector<std::string> UploadFormTest::wheelTitles(NSInteger component) const
{
    std::vector<std::string> titles;
    auto wheels = picker();
    if (!wheels)
        return titles;
    for (NSInteger row = 0; row < wheels->numberOfRowsInComponent(component); ++row) {
        auto view = wheels->viewForRow(row, component);
        if (!view)
            break;
        titles.push_back(m_ui.textOf(view));
    }
    return titles;
}

bool UploadFormTest::wheelShows(NSInteger component, const std::vector<ServerRegion>& regions) const
{
    auto wheels = picker();
    if (!wheels || wheels->numberOfRowsInComponent(component) != static_cast<NSInteger>(regions.size()))
        return false;
    const auto shown = wheelTitles(component);
    if (shown.empty() != regions.empty() || shown.size() > regions.size())
        return false;
    for (std::size_t i = 0; i < shown.size(); ++i)
        if (shown[i] != regions[i].name)
            return false;
    return true;
}

std::string UploadFormTest::selectedTitle(NSInteger component) const
{
    auto wheels = picker();
    const NSInteger row = wheels ? wheels->selectedRowInComponent(component) : -1;
    auto view = row >= 0 ? wheels->viewForRow(row, component) : nil;
    return view ? m_ui.textOf(view) : std::string();
}

bool UploadFormTest::panelShows() const { return m_form && m_form->picView() && m_ui.isVisible(m_form->picView()); }

bool UploadFormTest::tapRegionRow()
{
    if (!m_form || !m_ui.tapRow(m_form->tableView(), NSIndexPath::indexPathForRow(0, 1)))
        return false;
    m_ui.advance(0.3);
    return true;
}

bool UploadFormTest::spinProvince(NSInteger row)
{
    const auto before = callsMade();
    if (!picker() || !m_ui.spinPicker(picker(), 0, row))
        return false;
    // Choosing a province asks for its cities; the wheel fills when they arrive.
    return dv::testing::runMainLoopUntil([&] { return callsMade() > before; }) && m_ui.runUntilIdle();
}

bool UploadFormTest::spinCity(NSInteger row) { return picker() && m_ui.spinPicker(picker(), 1, row); }

bool UploadFormTest::tapPanelButton(const std::string& title)
{
    auto panel = m_form ? m_form->picView() : nil;
    if (!panel)
        return false;
    const auto subviews = panel->subviews();
    for (const auto& subview : *subviews)
        if (auto button = dv::as<UIButton>(subview); button && m_ui.textOf(button) == title) {
            const bool tapped = m_ui.tap(button);
            m_ui.advance(0.3);
            return tapped;
        }
    return false;
}

bool UploadFormTest::chooseRegion(const std::string& province, const std::string& city)
{
    const auto provinces = serverRegions("0");
    const NSInteger provinceRow = rowOf(provinces, province);
    if (provinceRow < 0)
        return false;
    const auto cities = serverRegions(provinces[static_cast<std::size_t>(provinceRow)].id);
    const NSInteger cityRow = rowOf(cities, city);
    if (cityRow < 0 || (!panelShows() && !tapRegionRow()))
        return false;
    if (picker()->selectedRowInComponent(0) != provinceRow && !spinProvince(provinceRow))
        return false;
    if (picker()->selectedRowInComponent(1) != cityRow && !spinCity(cityRow))
        return false;
    return tapPanelButton("完成");
}

std::string UploadFormTest::regionText() const { return m_form && m_form->contentLabel() ? text(m_form->contentLabel()->text()) : ""; }

bool UploadFormTest::typeInto(const Ref<UITextField>& field, const std::string& typed)
{
    if (!m_ui.focus(field) || !m_ui.typeText(typed))
        return false;
    m_ui.resignFocus();
    m_ui.advance(0.3);
    return true;
}

bool UploadFormTest::fillTexts(const std::string& title, const std::string& account, const std::string& introduction)
{
    return m_form && typeInto(m_form->titField(), title) && typeInto(m_form->xinliaoField(), account)
        && typeInto(m_form->introField(), introduction);
}

bool UploadFormTest::pickPicture(const Ref<UIImage>& image, const std::string& source)
{
    if (!m_form || !m_ui.tap(m_form->addBtn()))
        return false;
    m_ui.advance(0.3);
    if (!m_ui.tapAlertButton(source))
        return false;
    m_ui.advance(0.5);
    if (!m_ui.imagePicker() || !m_ui.pickImage(image))
        return false;
    m_ui.advance(0.5);
    return !m_ui.imagePicker();
}

bool UploadFormTest::fillForm(const std::string& title, const std::string& account, const std::string& introduction)
{
    return fillTexts(title, account, introduction) && chooseRegion("北京市", "北京市") && pickPicture(makePicture(1));
}

Ref<UIButton> UploadFormTest::uploadButton() const
{
    for (const auto& button : m_ui.findAll<UIButton>())
        if (m_form && button->isDescendantOfView(m_form->tableView()) && button->backgroundColor()
            && m_ui.textOf(button).starts_with("上传更新"))
            return button;
    return nil;
}

bool UploadFormTest::tapUpload()
{
    const auto before = callsMade();
    if (!m_ui.tap(uploadButton()))
        return false;
    if (!dv::testing::runMainLoopUntil([&] { return callsMade() > before; }))
        return false;
    m_ui.advance(0.5);
    return true;
}

std::string UploadFormTest::uploadToast()
{
    clearToasts();
    if (!m_ui.tap(uploadButton()))
        return "";
    m_ui.runUntilIdle();
    auto hud = m_form ? PHProgressHUD::HUDForView(m_form->view()) : nil;
    const std::string shown = hud ? text(hud->labelText()) : "";
    // Gone again before the next step, as a person waits for it: a toast lies over the form.
    clearToasts();
    return shown;
}

Ref<UIImage> UploadFormTest::makePicture(int seed, CGSize size)
{
    UIGraphicsBeginImageContextWithOptions(size, true, 1);
    auto context = UIGraphicsGetCurrentContext();
    for (int stripe = 0; stripe < 6; ++stripe) {
        const int value = (seed * 53 + stripe * 41) % 256;
        CGContextSetRGBFillColor(context, value / 255.0, (255 - value) / 255.0, ((value * 7) % 256) / 255.0, 1);
        CGContextFillRect(context, CGRectMake(stripe * size.width / 6, 0, size.width / 6, size.height));
    }
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

} // namespace dv::test
