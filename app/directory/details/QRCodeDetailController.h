// What the three QR-code detail pages share: one code of the directory (title, region, account,
// introduction and the QR picture), with buttons under the picture that step to the previous or
// the next code of its list (the server decides which), and a long press on the picture that
// offers to save it to the photo album, to be scanned in 信聊.
//
// A list makes the page with init, sets codeId and position from the tapped code and pushes it;
// the page loads the code itself, with the loading overlay on the application's window. Every
// code shown gets a table of its own (the previous one is removed). Requests keep the page alive
// until their reply has been handled. Main thread only.
//
// Saving fetches the picture again, without holding up the interface (the answer comes within the
// server client's request time-out), and hands it to the album only when it arrived whole as a
// picture; anything else ends in "保存失败", as a refusal of the album does.
//
//   auto detail = alloc<VQGroupDetailViewController>()->init();
//   detail->setCodeId(code->qrcodeId());
//   detail->setPosition(code->position());
//   navigationController->pushViewController(detail, true);
#pragma once

#include "app/shell/server/ServerReply.h"
#include "platform/ui/UIActionSheet.h"
#include "platform/ui/UITableView.h"
#include "platform/ui/UIViewController.h"

class UIButton;
class UIImage;
class NSURLResponse;
class UILongPressGestureRecognizer;
class VQPassiveModel;

namespace dv::app {

enum class Neighbour;

class QRCodeDetailController : public UIViewController,
                               public UITableViewDataSource,
                               public UITableViewDelegate,
                               public UIActionSheetDelegate {
    DV_CLASS(QRCodeDetailController, UIViewController)

    QRCodeDetailController() = default;
    ~QRCodeDetailController() override;

    void viewDidLoad() override;
    // A bar with the previous and next buttons along the bottom of the page. The page does not
    // show it: its buttons are those under the picture.
    void createBottom();
    // Loads the first code, by the id and position the list gave.
    void requestDataWithId(const Ref<NSString>& codeId, const Ref<NSString>& position);
    // A table for detailModel, added to the view.
    void createTable();
    // Step to the previous or the next code of the one shown.
    void lastAction(const Ref<UIButton>& sender);
    void nextAction(const Ref<UIButton>& sender);
    // Offers to save the picture when the press begins.
    void longpressAct(const Ref<UILongPressGestureRecognizer>& recognizer);
    // The album's answer to a save.
    void imageDidFinishSavingWithError(const Ref<UIImage>& image, const Ref<NSError>& error, void* contextInfo);
    void didReceiveMemoryWarning() override;

    Ref<UITableView> tableView() const { return m_tableView; }
    Ref<NSString> position() const { return m_position; }
    void setPosition(const Ref<NSString>& position);
    Ref<NSString> codeId() const { return m_codeId; }
    void setCodeId(const Ref<NSString>& codeId);
    Ref<VQPassiveModel> detailModel() const { return m_detailModel; }
    void setDetailModel(const Ref<VQPassiveModel>& model) { m_detailModel = model; }

    // Data source and delegate.
    std::optional<NSInteger> numberOfSectionsInTableView(const Ref<UITableView>& tableView) override;
    NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>& tableView, NSInteger section) override;
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath) override;
    std::optional<CGFloat> tableViewHeightForRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath) override;
    std::optional<CGFloat> tableViewHeightForHeaderInSection(const Ref<UITableView>& tableView, NSInteger section) override;
    std::optional<CGFloat> tableViewHeightForFooterInSection(const Ref<UITableView>& tableView, NSInteger section) override;
    Ref<UIView> tableViewViewForFooterInSection(const Ref<UITableView>& tableView, NSInteger section) override;
    bool actionSheetClickedButtonAtIndex(const Ref<UIActionSheet>& actionSheet, NSInteger buttonIndex) override;

protected:
    // The label of the account row ("个人信聊号", "公众号" or "群主信聊").
    virtual Ref<NSString> accountRowLabel() const = 0;

private:
    void requestNeighbour(Neighbour neighbour);
    // The code of a reply; nil, with the reply's `msg` in a toast, for a refusal or a reply
    // without a code.
    Ref<VQPassiveModel> codeFromReply(const std::optional<ServerReply>& reply);
    void saveQRCodePicture();
    // The fetched picture to the album, or "保存失败" when it is not usable.
    void savePicture(const Ref<NSURLResponse>& response, const Ref<NSData>& data, const Ref<NSError>& error);
    Ref<UITableViewCell> makeCell(NSInteger section, const Ref<NSString>& identifier);

    Ref<UITableView> m_tableView;
    Ref<NSString> m_position;
    Ref<NSString> m_codeId;
    Ref<VQPassiveModel> m_detailModel;
};

} // namespace dv::app
