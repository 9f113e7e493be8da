#include "app/directory/uploads/QRCodeUploadController.h"

#include "app/directory/internal/ScreenRequest.h"
#include "app/directory/internal/ScreenSupport.h"
#include "app/shell/server/ServerReply.h"
#include "app/shell/server/ServerRequests.h"
#include "app/shell/server/ZHFormData.h"
#include "app/shell/server/ZHHttpTool.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSIndexPath.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UITextField.h"
#include "platform/ui/UIWindow.h"
#include "ui/toolkit/overlay/PHProgressHUD.h"

#include <algorithm>

using namespace dv::internal::directory;

namespace dv::app {

namespace {

constexpr NSInteger kPhotoSheetTag = 101;
constexpr NSInteger kImagePickerTag = 111;
constexpr NSInteger kLibraryButtonIndex = 0;
constexpr NSInteger kCameraButtonIndex = 1;
// The quality the picture is sent at: the lowest, for the smallest upload.
constexpr CGFloat kPictureQuality = 0.0001;

Ref<UILabel> rowLabel(CGRect frame, const Ref<NSString>& text)
{
    auto label = alloc<UILabel>()->initWithFrame(frame);
    label->setText(text);
    label->setFont(systemFont(15));
    label->setTextColor(bodyTextColor());
    return label;
}

Ref<UITextField> rowField(CGRect frame, const Ref<NSString>& placeholder)
{
    auto field = alloc<UITextField>()->initWithFrame(frame);
    field->setPlaceholder(placeholder);
    field->setFont(systemFont(15));
    field->setTextColor(bodyTextColor());
    return field;
}

Ref<UIView> rowLine(CGFloat width)
{
    auto line = alloc<UIView>()->initWithFrame(CGRectMake(0, 49, width, 1));
    line->setBackgroundColor(pageBackgroundColor());
    return line;
}

// A field that is not there (its row never built) counts as empty, as one left blank does.
bool isEmpty(const Ref<UITextField>& field)
{
    auto text = field ? field->text() : nil;
    return !text || text->isEqualToString(""_ns);
}

Ref<NSString> textOf(const Ref<UITextField>& field) { return textOrEmpty(field ? field->text() : nil); }

} // namespace

QRCodeUploadController::~QRCodeUploadController() = default;

void QRCodeUploadController::viewDidLoad()
{
    RegionPickerController::viewDidLoad();
    dv::app::layOutBelowBars(*this);
    setTitle("上传二维码"_ns);
    view()->setBackgroundColor(pageBackgroundColor());
    requestCityData("0"_ns);
    createBottom();
    createTable();
}

void QRCodeUploadController::createBottom()
{
    auto bottom = alloc<UIView>()->initWithFrame(CGRectMake(0, screenHeight() - kTopBarsHeight - kBottomBarHeight, screenWidth(), kBottomBarHeight));
    bottom->setBackgroundColor(rgb(255, 244, 237));
    view()->addSubview(bottom);
}

void QRCodeUploadController::createTable()
{
    const CGFloat width = screenWidth();
    const CGFloat height = screenHeight();
    m_tableView = alloc<UITableView>()->initWithFrame(CGRectMake(0, 0, width, height - kTopBarsHeight), UITableViewStyleGrouped);
    m_tableView->setDataSource(self<QRCodeUploadController>());
    m_tableView->setDelegate(self<QRCodeUploadController>());
    m_tableView->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    view()->addSubview(m_tableView);
    // After the table, so that the panel lies above it.
    createPickerPanel({ .panel = CGRectMake(0, height - 275, width, 210),
        .picker = CGRectMake(0, 30, width, 180),
        .cancelButton = CGRectMake(10, 0, 60, 30),
        .doneButton = CGRectMake(width - 70, 0, 60, 30) });
}

void QRCodeUploadController::didReceiveMemoryWarning() { RegionPickerController::didReceiveMemoryWarning(); }

RegionWheels QRCodeUploadController::regionWheels() const { return RegionWheels::ProvinceAndCity; }

void QRCodeUploadController::regionConfirmed() { m_areaId = cityId(); }

// Table

std::optional<NSInteger> QRCodeUploadController::numberOfSectionsInTableView(const Ref<UITableView>&) { return 3; }

NSInteger QRCodeUploadController::tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger section)
{
    return section == 1 ? 3 : 1;
}

Ref<UITableViewCell> QRCodeUploadController::tableViewCellForRowAtIndexPath(
    const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath)
{
    static const char* const identifiers[] = { "cellZero", "cellOne", "cellTwo", "cellThree", "cellFour" };
    const NSInteger section = indexPath->section(), row = indexPath->row();
    const NSInteger index = section == 0 ? 0 : section == 1 ? 1 + std::clamp<NSInteger>(row, 0, 2) : 4;
    auto identifier = NSString::fromUTF8(identifiers[index]);
    // Each row has a reuse identifier of its own, built once: a free cell is that row's, with its
    // field and what was typed into it.
    if (auto cell = tableView->dequeueReusableCellWithIdentifier(identifier))
        return cell;
    return makeCell(section, row, identifier);
}

Ref<UITableViewCell> QRCodeUploadController::makeCell(NSInteger section, NSInteger row, const Ref<NSString>& identifier)
{
    auto cell = alloc<UITableViewCell>()->initWithStyle(UITableViewCellStyleDefault, identifier);
    auto content = cell->contentView();
    const CGFloat width = screenWidth();
    const bool regionRow = section == 1 && row == 0;
    // Only the region row highlights when tapped.
    if (!regionRow)
        cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    if (section == 0) {
        content->addSubview(rowLabel(CGRectMake(10, 10, 50, 30), "标题"_ns));
        m_titField = rowField(CGRectMake(60, 10, width - 100, 30), "请输入标题"_ns);
        content->addSubview(m_titField);
    } else if (regionRow) {
        content->addSubview(rowLabel(CGRectMake(10, 10, 50, 30), "省市"_ns));
        m_contentLabel = rowLabel(CGRectMake(60, 10, width - 100, 30), "请选择"_ns);
        m_contentLabel->setTextColor(rgb(155, 155, 155));
        content->addSubview(m_contentLabel);
        content->addSubview(rowLine(width));
        auto arrow = alloc<UIImageView>()->initWithFrame(CGRectMake(width - 30, 12.5, 20, 20));
        arrow->setImage(UIImage::imageNamed("next"_ns));
        content->addSubview(arrow);
    } else if (section == 1 && row == 1) {
        const auto& t = traits();
        content->addSubview(rowLabel(CGRectMake(10, 10, t.accountLabelWidth, 30), NSString::fromUTF8(t.accountLabel)));
        m_xinliaoField = rowField(CGRectMake(t.accountFieldX, 10, width - 100, 30), NSString::fromUTF8(t.accountPlaceholder));
        content->addSubview(m_xinliaoField);
        content->addSubview(rowLine(width));
    } else if (section == 1) {
        content->addSubview(rowLabel(CGRectMake(10, 10, 50, 30), "介绍"_ns));
        m_introField = rowField(CGRectMake(60, 10, width - 100, 30), "请输入介绍"_ns);
        content->addSubview(m_introField);
    } else {
        content->addSubview(rowLabel(CGRectMake(10, 10, 50, 30), "二维码"_ns));
        m_addBtn = UIButton::buttonWithType(UIButtonTypeCustom);
        m_addBtn->setFrame(CGRectMake(width - 50, 10, 30, 30));
        m_addBtn->setImage(UIImage::imageNamed("addphoto"_ns), UIControlStateNormal);
        m_addBtn->addTarget(self(), traits().photoAction, UIControlEventTouchUpInside);
        content->addSubview(m_addBtn);
    }
    return cell;
}

std::optional<CGFloat> QRCodeUploadController::tableViewHeightForRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>&)
{
    return 50;
}

std::optional<CGFloat> QRCodeUploadController::tableViewHeightForHeaderInSection(const Ref<UITableView>&, NSInteger) { return 0.1; }

std::optional<CGFloat> QRCodeUploadController::tableViewHeightForFooterInSection(const Ref<UITableView>&, NSInteger section)
{
    return section == 2 ? 200 : 10;
}

Ref<UIView> QRCodeUploadController::tableViewViewForFooterInSection(const Ref<UITableView>&, NSInteger section)
{
    if (section != 2)
        return nil;
    const CGFloat width = screenWidth();
    const auto& t = traits();
    auto footer = alloc<UIView>()->initWithFrame(CGRectMake(0, 0, width, 200));
    footer->setBackgroundColor(pageBackgroundColor());
    footer->addSubview(
        actionButton(CGRectMake(40, 80, width - 80, 45), NSString::fromUTF8(t.uploadTitle), t.uploadCornerRadius, self(), t.uploadAction));
    auto note = alloc<UILabel>()->initWithFrame(CGRectMake(width / 2, 130, width / 2 - 10, 20));
    note->setFont(systemFont(15));
    note->setTextColor(rgb(155, 155, 155));
    note->setText("注:一天只能更新一次"_ns);
    footer->addSubview(note);
    return footer;
}

bool QRCodeUploadController::tableViewDidSelectRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath)
{
    tableView->deselectRowAtIndexPath(indexPath, true);
    if (indexPath->section() == 1 && indexPath->row() == 0) {
        if (auto panel = picView())
            panel->setHidden(!panel->isHidden());
    } else if (indexPath->section() == 2 && traits().pictureRowOpensSheet) {
        showPhotoSheet();
    }
    return true;
}

// Picture

void QRCodeUploadController::showPhotoSheet()
{
    for (const auto& field : { m_titField, m_xinliaoField, m_introField })
        if (field)
            field->resignFirstResponder();
    auto sheet = alloc<UIActionSheet>()->initWithTitle(nil, self<QRCodeUploadController>(), "取消"_ns, nil, { "相册"_ns, "拍照"_ns });
    sheet->setTag(kPhotoSheetTag);
    sheet->showInView(view());
}

bool QRCodeUploadController::actionSheetClickedButtonAtIndex(const Ref<UIActionSheet>& actionSheet, NSInteger buttonIndex)
{
    if (!actionSheet || actionSheet->tag() != kPhotoSheetTag)
        return true;
    if (buttonIndex != kLibraryButtonIndex && buttonIndex != kCameraButtonIndex)
        return true;
    auto picker = alloc<UIImagePickerController>()->init();
    picker->view()->setTag(kImagePickerTag);
    picker->setDelegate(self<QRCodeUploadController>());
    picker->setModalTransitionStyle(UIModalTransitionStyleCoverVertical);
    picker->setAllowsEditing(true);
    if (buttonIndex == kLibraryButtonIndex)
        picker->setSourceType(UIImagePickerControllerSourceTypePhotoLibrary);
    // Without a rear camera the picker stays on the photo library.
    else if (UIImagePickerController::isCameraDeviceAvailable(UIImagePickerControllerCameraDeviceRear))
        picker->setSourceType(UIImagePickerControllerSourceTypeCamera);
    presentViewController(picker, true);
    return true;
}

bool QRCodeUploadController::imagePickerControllerDidFinishPickingMediaWithInfo(
    const Ref<UIImagePickerController>& picker, const Ref<NSDictionary>& info)
{
    if (!picker || picker->view()->tag() != kImagePickerTag)
        return true;
    auto image = info ? dv::as<UIImage>(info->objectForKey(UIImagePickerControllerEditedImage)) : nil;
    if (auto data = image ? UIImageJPEGRepresentation(image, kPictureQuality) : nil) {
        m_imageData = data;
        if (m_addBtn)
            m_addBtn->setImage(image, UIControlStateNormal);
    }
    picker->dismissViewControllerAnimated(true);
    return true;
}

// Upload

Ref<NSString> QRCodeUploadController::missingInput() const
{
    // In the order of the rows on screen. Texts count as typed: a title of blanks is a title.
    if (isEmpty(m_titField))
        return "标题不能为空"_ns;
    if (!m_areaId)
        return "请选择省市"_ns;
    if (isEmpty(m_xinliaoField))
        return "信聊号不能为空"_ns;
    if (isEmpty(m_introField))
        return "介绍不能为空"_ns;
    if (!m_imageData)
        return "请上传一张二维码"_ns;
    return nil;
}

void QRCodeUploadController::uploadCode()
{
    if (auto missing = missingInput()) {
        PHProgressHUD::showError(missing, view());
        return;
    }
    PHProgressHUD::showMessag("上传中..."_ns, applicationWindow());
    auto request = saveCodeRequest({ .kind = traits().kind,
        .title = textOf(m_titField),
        .areaId = m_areaId,
        .description = textOf(m_introField),
        .account = textOf(m_xinliaoField) });
    auto parts = NSArray::of({ ZHFormData::codePicture(m_imageData) });
    // Kept alive by the blocks until the reply has been handled, on purpose: the reply closes it.
    auto form = self<QRCodeUploadController>();
    ZHHttpTool::postWithURL(
        request.URL, request.fields, parts, [form](const id& json) { form->handleUploadReply(json); },
        [](const Ref<NSError>& error) {
            // The input stays for another try; the multipart client shows no message of its own.
            NSLog("error=====%@", error);
            PHProgressHUD::hideHUDForView(applicationWindow(), true);
        });
}

void QRCodeUploadController::handleUploadReply(const id& json)
{
    PHProgressHUD::hideHUDForView(applicationWindow(), true);
    auto reply = ServerReply::fromObject(json);
    // A refusal shows the server's text; the input stays for another try.
    if (!acceptReply(reply, view()))
        return;
    if (auto navigation = navigationController())
        navigation->popViewControllerAnimated(true);
    // The server's own words on the closing form, in the error toast as every toast of the
    // screens; a success without a text to show shows nothing.
    if (auto text = textOfJSON(reply->info()))
        PHProgressHUD::showError(text, view());
}

DV_DEFINE_CLASS(QRCodeUploadController)

} // namespace dv::app
