// QPAllController: the base of a list screen: a plain table over the whole screen with ten empty
// rows of 92 points (and no separator lines below the last), the hooks xiaLaSuaXin (refresh from
// the top) and shangLaSuaXin (load more at the bottom), which here only write a line in the log,
// and a refresh flag and page counter that only subclasses use. A subclass overrides the data
// source and the hooks and attaches the refresh controls that call them; this class attaches none.
// Main thread only.
//
//   setRf_header(mytableView(), RFRefreshNormalHeader::headerWithRefreshingTarget(self(), "xiaLaSuaXin"));
//   setRf_footer(mytableView(), RFRefreshAutoNormalFooter::footerWithRefreshingTarget(self(), "shangLaSuaXin"));
#pragma once

#include "app/shell/navigation/DDYPPartentsController.h"
#include "platform/ui/UITableView.h"

class QPAllController : public DDYPPartentsController, public UITableViewDataSource, public UITableViewDelegate {
    DV_CLASS(QPAllController, DDYPPartentsController)

    QPAllController() = default;
    Ref<QPAllController> init();

    // Whether the running load is a refresh from the top.
    bool toprefresh() const { return m_toprefresh; }
    void setToprefresh(bool refreshing) { m_toprefresh = refreshing; }
    // The batch of the list.
    int32_t page() const { return m_page; }
    void setPage(int32_t page) { m_page = page; }
    Ref<UITableView> mytableView() const { return m_mytableView; }
    void setMytableView(const Ref<UITableView>& tableView) { m_mytableView = tableView; }

    void viewDidLoad() override;

    // The hooks, registered under their names for refresh controls' target and action.
    virtual void xiaLaSuaXin();
    virtual void shangLaSuaXin();

    std::optional<NSInteger> numberOfSectionsInTableView(const Ref<UITableView>& tableView) override;
    NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>& tableView, NSInteger section) override;
    std::optional<CGFloat> tableViewHeightForRowAtIndexPath(
        const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath) override;
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(
        const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath) override;
    bool tableViewDidSelectRowAtIndexPath(
        const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath) override;

private:
    bool m_toprefresh = false;
    int32_t m_page = 0;
    Ref<UITableView> m_mytableView;
};
