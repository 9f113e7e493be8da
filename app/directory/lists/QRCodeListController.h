// What the three QR-code lists share (public accounts, personal accounts, group chats): one screen
// showing one batch of the server's list of codes of its kind by title, in sections of five rows.
// The button in the navigation bar asks for the next batch (back to the first after the last) and
// remembers its number in the user defaults, so that the next launch shows it again; a tapped
// row opens the code's detail page; the floating button opens the kind's upload form.
//
// The home screen makes a list with init (by class name), gives it the tile's name as its title
// and pushes it. A request keeps its screen alive until its reply has been handled; the loading
// overlay is on the screen's own view. Main thread only.
//
//   auto list = alloc<VQAddGroupViewController>()->init();
//   list->setTitle("群二维码"_ns);
//   navigationController->pushViewController(list, true);
#pragma once

#include "app/shell/server/ServerReply.h"
#include "platform/ui/UITableView.h"
#include "platform/ui/UIViewController.h"

class NSMutableArray;
class UIButton;

namespace dv::app {

enum class QRCodeKind;
class QRCodeDetailController;

class QRCodeListController : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
    DV_CLASS(QRCodeListController, UIViewController)

    QRCodeListController() = default;
    ~QRCodeListController() override;

    void viewDidLoad() override;
    // The next-batch button in the navigation bar.
    void createUI();
    // Asks the server for batch `page` and fills the table from the reply.
    void requestData();
    // The table and the floating upload button.
    void createTable();
    // Moves `page` to the next batch (the first after the last), requests it and remembers it.
    // Does nothing until a reply has given a page size and a count that make sense.
    void changeSectionAct(const Ref<UIButton>& sender);
    void didReceiveMemoryWarning() override;

    NSInteger page() const { return m_page; }
    void setPage(NSInteger page) { m_page = page; }
    Ref<UITableView> tableView() const { return m_tableView; }
    // The codes of the batch shown (nil until the first successful reply).
    Ref<NSMutableArray> dataArray() const { return m_dataArray; }
    NSInteger totalCount() const { return m_totalCount; }
    NSInteger pageSize() const { return m_pageSize; }

    // Data source and delegate.
    std::optional<NSInteger> numberOfSectionsInTableView(const Ref<UITableView>& tableView) override;
    NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>& tableView, NSInteger section) override;
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath) override;
    std::optional<CGFloat> tableViewHeightForRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath) override;
    std::optional<CGFloat> tableViewHeightForHeaderInSection(const Ref<UITableView>& tableView, NSInteger section) override;
    std::optional<CGFloat> tableViewHeightForFooterInSection(const Ref<UITableView>& tableView, NSInteger section) override;
    bool tableViewDidSelectRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath) override;

protected:
    // What tells the three lists apart.
    struct Traits {
        QRCodeKind kind;
        const char* pageKey;         // user-defaults key of the remembered batch
        const char* uploadAction;    // selector of the floating button's action
        const char* uploadFormClass; // the upload form, made by class name
        Ref<QRCodeDetailController> (*makeDetailScreen)();
    };
    virtual const Traits& traits() const = 0;

    // The upload action: pushes the kind's upload form, made by class name as the home screen
    // makes screens; while none is registered under the name, the tap is only logged.
    void pushUploadForm();

private:
    void handleListReply(const std::optional<ServerReply>& reply);
    Ref<NSString> pageKey() const;

    Ref<UITableView> m_tableView;
    Ref<NSMutableArray> m_dataArray;
    NSInteger m_totalCount = 0;
    NSInteger m_pageSize = 0;
    NSInteger m_page = 0;
};

} // namespace dv::app
