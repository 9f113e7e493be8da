// VQCategoryResourceVC: the industry categories as a one-column list ("行业客源"); a tapped row opens
// the category's prospect list (VQBuyerResourceVC), as the grid does. Nothing in the application
// opens it at present (the home screen opens the grid); it is registered for the runtime's class
// registry all the same. Main thread.
#pragma once

#include "platform/ui/UITableView.h"
#include "platform/ui/UIViewController.h"

class NSMutableArray;

class VQCategoryResourceVC : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
    DV_CLASS(VQCategoryResourceVC, UIViewController)

    VQCategoryResourceVC() = default;
    ~VQCategoryResourceVC() override;

    void viewDidLoad() override;
    void createTable();
    // Asks the server for the categories and fills the table from the reply.
    void requestData();

    Ref<NSMutableArray> dataArray() const { return m_dataArray; }
    Ref<UITableView> tableView() const { return m_tableView; }

    NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>& tableView, NSInteger section) override;
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath) override;
    std::optional<CGFloat> tableViewHeightForRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath) override;
    bool tableViewDidSelectRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath) override;

private:
    Ref<NSMutableArray> m_dataArray;
    Ref<UITableView> m_tableView;
};
