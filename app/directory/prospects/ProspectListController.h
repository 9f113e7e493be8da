// What the three prospect lists share (by city, by province and number prefix, by industry
// category): one screen showing one batch of prospects' phone numbers from the server, a button in
// the navigation bar for the next batch (back to the first after the last), and two buttons at the
// bottom that write the batch into the address book ("导入通讯录") or empty the address book
// ("删除当前通讯录"), each after a confirmation. The batch last asked for is remembered per list
// key in the user defaults (see internal/ProspectPageMemory.h), so the list opens on it again.
//
// The opener makes the screen with init, gives it its list key (setCityId, plus setPhone for the
// prefix list, or setCategoryId) and pushes it; the screen sets its own title. A request keeps the
// screen alive until its reply has been handled; overlapping requests are not matched to their
// press: each reply refills the table when it comes. The address book work runs on the main
// thread inside the alert's callback, as one save (see internal/ProspectAddressBook.h).
//
//   auto list = alloc<VQAddFansSecondVC>()->init();
//   list->setCityId(city->id());
//   navigationController()->pushViewController(list, true);
#pragma once

#include "platform/ui/UIAlertView.h"
#include "platform/ui/UITableView.h"
#include "platform/ui/UIViewController.h"

class NSMutableArray;
class ServerReply;
class UIButton;

namespace dv::app {

struct ServerRequest;

class ProspectListController : public UIViewController, public UITableViewDataSource, public UITableViewDelegate, public UIAlertViewDelegate {
    DV_CLASS(ProspectListController, UIViewController)

    ProspectListController() = default;
    ~ProspectListController() override;

    void viewDidLoad() override;
    // The next-batch button, the two address-book buttons and the table.
    void createUI();
    // Asks the server for batch `page` and fills the table from the reply.
    void requestData();
    // What the next-batch button does: moves `page` to the next batch (the first after the last),
    // requests it and remembers it; nothing until a reply has given a page size and a count that
    // make sense.
    void showNextBatch();
    // The confirmations before writing the batch into the address book and before emptying it.
    void insertAction(const Ref<UIButton>& sender);
    void deleteAction(const Ref<UIButton>& sender);

    NSInteger page() const { return m_page; }
    void setPage(NSInteger page) { m_page = page; }
    NSInteger pageSize() const { return m_pageSize; }
    NSInteger totalCount() const { return m_totalCount; }
    // The records of the batch shown (nil until the first successful reply).
    Ref<NSMutableArray> dataArray() const { return m_dataArray; }
    Ref<UITableView> tableView() const { return m_tableView; }

    // Data source and delegate.
    std::optional<NSInteger> numberOfSectionsInTableView(const Ref<UITableView>& tableView) override;
    NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>& tableView, NSInteger section) override;
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath) override;
    std::optional<CGFloat> tableViewHeightForRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath) override;
    std::optional<CGFloat> tableViewHeightForHeaderInSection(const Ref<UITableView>& tableView, NSInteger section) override;
    std::optional<CGFloat> tableViewHeightForFooterInSection(const Ref<UITableView>& tableView, NSInteger section) override;

    // "确认" (index 0) of the import (tag 102) or deletion (tag 101) confirmation.
    bool alertViewClickedButtonAtIndex(const Ref<UIAlertView>& alertView, NSInteger buttonIndex) override;

protected:
    // What tells the lists apart.
    struct Traits {
        const char* title;
        const char* pageMemoryKey;   // user-defaults key of the page memory
        const char* nextBatchAction; // selector of the bar button's action
        bool industry;               // company and number rows, one section each, in a grouped table
        bool setsExtendedLayout;     // the system-version branch of the set-up
        bool readsPageAfterFirstLoad; // the first batch shown is batch 0, whatever is remembered
    };
    virtual const Traits& traits() const = 0;
    // The list key (city, province or category id) and, for the prefix list, the number prefix.
    virtual Ref<NSString> listKey() const = 0;
    virtual Ref<NSString> numberPrefix() const { return nil; }
    // The request for batch `page`.
    virtual ServerRequest listRequest(NSInteger page) const = 0;

private:
    void readPageMemory();
    void handleListReply(const std::optional<ServerReply>& reply);
    void importIntoAddressBook();
    void emptyAddressBook();
    // The phone number a record shows and imports (nil when the record has none).
    Ref<NSString> phoneOf(const id& record) const;

    Ref<UITableView> m_tableView;
    Ref<NSMutableArray> m_dataArray;
    NSInteger m_page = 0;
    NSInteger m_pageSize = 0;
    NSInteger m_totalCount = 0;
};

} // namespace dv::app
