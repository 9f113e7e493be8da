// VQAboutvqViewController: the "关于我们" screen, opened by the home tile with keyword 12. It asks
// home/artifactIndex.do for the contact values (overlay "正在加载" on the application window) and
// then shows a grouped table: the device identifier in a copyable label, the web-site address
// (`qq` of the reply; a tap opens it in the browser when it forms a URL with a scheme), and four
// entries: "查看使用说明", "常见问题说明" and "查看联系方式" open the help pages, "授权代理查询" the
// agent lookup form. A refusal shows the server's `msg` as a toast on the screen and builds no
// table; a failed request leaves the screen empty after the server client's network message. The
// request goes out once per screen, from viewDidLoad; its blocks keep the screen until they run.
//
// The call action (makePhone / the action sheet) is kept for the agent's and the seller's numbers,
// though no row offers a call button. Main thread only.
#pragma once

#include "platform/ui/UIActionSheet.h"
#include "platform/ui/UITableView.h"
#include "platform/ui/UIViewController.h"

class NSArray;
class UIButton;
class UITapGestureRecognizer;

class VQAboutvqViewController : public UIViewController,
                                public UITableViewDataSource,
                                public UITableViewDelegate,
                                public UIActionSheetDelegate {
    DV_CLASS(VQAboutvqViewController, UIViewController)

    VQAboutvqViewController() = default;
    Ref<VQAboutvqViewController> init();

    void viewDidLoad() override;
    // Sends home/artifactIndex.do.
    void requestData();
    // Builds the grouped table over the whole view.
    void createTable();

    // Table: 3 sections (device number, web site, the four entries).
    std::optional<NSInteger> numberOfSectionsInTableView(const Ref<UITableView>& tableView) override;
    NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>& tableView, NSInteger section) override;
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(
        const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath) override;
    std::optional<CGFloat> tableViewHeightForRowAtIndexPath(
        const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath) override;
    std::optional<CGFloat> tableViewHeightForHeaderInSection(
        const Ref<UITableView>& tableView, NSInteger section) override;
    std::optional<CGFloat> tableViewHeightForFooterInSection(
        const Ref<UITableView>& tableView, NSInteger section) override;
    bool tableViewDidSelectRowAtIndexPath(
        const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath) override;

    // The web-site text's tap.
    void gotoWebAct(const Ref<UITapGestureRecognizer>& tap);
    // A call button's action: asks, in an action sheet, whether to call its number.
    void makePhone(const Ref<UIButton>& sender);
    bool actionSheetClickedButtonAtIndex(const Ref<UIActionSheet>& actionSheet, NSInteger buttonIndex) override;

private:
    void handleReply(const id& json);

    Ref<UITableView> m_tableView;
    Ref<NSArray> m_titleArr;
    Ref<UIButton> m_phoneBtn;
    Ref<UIButton> m_buyBtn;
    Ref<NSString> m_agentPhone;
    Ref<NSString> m_buyPhone;
    Ref<NSString> m_qqStr;
};
