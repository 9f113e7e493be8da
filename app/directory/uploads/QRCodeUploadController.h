// What the three QR-code upload forms share (group chats, personal accounts, public accounts): one
// screen on which the user uploads, or refreshes, one of his own 信聊 QR codes. He types a
// title, chooses a province and city on the region picker, types the account and an
// introduction, picks the code's picture from the album or the camera and taps the upload button;
// the form checks the input in the order of its rows (the first missing one is named in a toast
// and nothing is sent), sends everything as one multipart request with the picture as JPEG data
// and closes itself when the server accepts it. A refusal shows the server's text and a failed
// request only takes the loading overlay away; either way the input stays for another try.
//
// A list makes the form with init (by class name) and pushes it. The loading overlay of the
// upload lies on the application's window; the upload's blocks keep the form alive until they
// have run. Nothing is stored on the device. Main thread only.
//
//   auto form = dv::app::makeScreen("VQGroupAddCodeViewController");
//   navigationController->pushViewController(form, true);
#pragma once

#include "app/directory/region/RegionPickerController.h"
#include "platform/ui/UIActionSheet.h"
#include "platform/ui/UIImagePickerController.h"
#include "platform/ui/UITableView.h"

class NSData;
class UIButton;
class UILabel;
class UITextField;

namespace dv::app {

enum class QRCodeKind;

class QRCodeUploadController : public RegionPickerController,
                               public UITableViewDataSource,
                               public UITableViewDelegate,
                               public UIActionSheetDelegate,
                               public UIImagePickerControllerDelegate {
    DV_CLASS(QRCodeUploadController, RegionPickerController)

    QRCodeUploadController() = default;
    ~QRCodeUploadController() override;

    void viewDidLoad() override;
    // An empty bar along the bottom; the table covers it.
    void createBottom();
    // The form's table, then the region picker's panel above it.
    void createTable();
    void didReceiveMemoryWarning() override;

    // Data source and delegate of the table.
    std::optional<NSInteger> numberOfSectionsInTableView(const Ref<UITableView>& tableView) override;
    NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>& tableView, NSInteger section) override;
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath) override;
    std::optional<CGFloat> tableViewHeightForRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath) override;
    std::optional<CGFloat> tableViewHeightForHeaderInSection(const Ref<UITableView>& tableView, NSInteger section) override;
    std::optional<CGFloat> tableViewHeightForFooterInSection(const Ref<UITableView>& tableView, NSInteger section) override;
    Ref<UIView> tableViewViewForFooterInSection(const Ref<UITableView>& tableView, NSInteger section) override;
    bool tableViewDidSelectRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath) override;

    // The photo sheet ("相册", "拍照") and the image picker it opens.
    bool actionSheetClickedButtonAtIndex(const Ref<UIActionSheet>& actionSheet, NSInteger buttonIndex) override;
    bool imagePickerControllerDidFinishPickingMediaWithInfo(
        const Ref<UIImagePickerController>& picker, const Ref<NSDictionary>& info) override;

    Ref<UITableView> tableView() const { return m_tableView; }
    Ref<UITextField> titField() const { return m_titField; }
    Ref<UITextField> xinliaoField() const { return m_xinliaoField; }
    Ref<UITextField> introField() const { return m_introField; }
    Ref<UIButton> addBtn() const { return m_addBtn; }
    Ref<UILabel> contentLabel() const { return m_contentLabel; }
    // The chosen picture as JPEG data; nil until one is chosen.
    Ref<NSData> imageData() const { return m_imageData; }
    // The id of the confirmed city; nil until the region picker's first "完成" with a city.
    Ref<NSString> areaId() const { return m_areaId; }

protected:
    // What tells the three forms apart.
    struct Traits {
        QRCodeKind kind;
        const char* accountLabel;
        CGFloat accountLabelWidth;
        CGFloat accountFieldX;
        const char* accountPlaceholder;
        const char* photoAction; // selector of the picture button's action
        bool pictureRowOpensSheet; // a tap on the picture's row does what the button does
        const char* uploadAction; // selector of the upload button's action
        const char* uploadTitle;
        CGFloat uploadCornerRadius;
    };
    virtual const Traits& traits() const = 0;

    // The bodies of the forms' documented actions.
    // The photo action: ends editing and offers "相册" and "拍照".
    void showPhotoSheet();
    // The upload action: checks, then sends.
    void uploadCode();

    RegionWheels regionWheels() const override;
    Ref<UILabel> regionLabel() const override { return m_contentLabel; }
    void regionConfirmed() override;

private:
    Ref<UITableViewCell> makeCell(NSInteger section, NSInteger row, const Ref<NSString>& identifier);
    // The text of the first check the input fails, nil when it passes them all.
    Ref<NSString> missingInput() const;
    void handleUploadReply(const id& json);

    Ref<UITableView> m_tableView;
    Ref<UITextField> m_titField;
    Ref<UITextField> m_xinliaoField;
    Ref<UITextField> m_introField;
    Ref<UIButton> m_addBtn;
    Ref<UILabel> m_contentLabel;
    Ref<NSData> m_imageData;
    Ref<NSString> m_areaId;
};

} // namespace dv::app
