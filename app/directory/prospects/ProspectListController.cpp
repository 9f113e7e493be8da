#include "app/directory/prospects/ProspectListController.h"

#include "app/directory/prospects/ProspectAddressBook.h"
#include "app/directory/internal/ProspectPageMemory.h"
#include "app/directory/internal/BatchPaging.h"
#include "app/directory/internal/ScreenRequest.h"
#include "app/directory/internal/ScreenSupport.h"
#include "app/directory/prospects/VQAddFansCell.h"
#include "app/directory/prospects/VQAddFansModel.h"
#include "app/directory/prospects/VQBuyResourceCell.h"
#include "app/shell/models/VQBuyResourceModel.h"
#include "app/shell/server/ServerRequests.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSIndexPath.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UIBarButtonItem.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UINavigationItem.h"
#include "ui/toolkit/overlay/PHProgressHUD.h"

#include <vector>

using namespace dv::internal::directory;

namespace dv::app {

namespace {

constexpr NSInteger kDeleteAlertTag = 101;
constexpr NSInteger kImportAlertTag = 102;

Ref<UIButton> bottomButton(CGRect frame, const Ref<UIColor>& background, const Ref<NSString>& title)
{
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(frame);
    button->setBackgroundColor(background);
    button->setTitle(title, UIControlStateNormal);
    button->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
    button->titleLabel()->setFont(systemFont(15));
    return button;
}

} // namespace

ProspectListController::~ProspectListController() = default;

void ProspectListController::viewDidLoad()
{
    UIViewController::viewDidLoad();
    if (traits().setsExtendedLayout)
        dv::app::layOutBelowBars(*this);
    setTitle(NSString::fromUTF8(traits().title));
    view()->setBackgroundColor(pageBackgroundColor());
    if (traits().readsPageAfterFirstLoad) {
        // The industry list shows its first batch first; what it remembers counts from the next press.
        createUI();
        requestData();
        readPageMemory();
    } else {
        readPageMemory();
        createUI();
        requestData();
    }
}

void ProspectListController::readPageMemory()
{
    m_page = ProspectPageMemory { NSString::fromUTF8(traits().pageMemoryKey), listKey(), numberPrefix() }.rememberedPage();
}

void ProspectListController::createUI()
{
    const CGFloat width = screenWidth();
    const CGFloat height = screenHeight();

    auto next = UIButton::buttonWithType(UIButtonTypeCustom);
    next->setFrame(CGRectMake(0, 0, 30, 30));
    next->setImage(UIImage::imageNamed("huanyizu"_ns), UIControlStateNormal);
    next->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
    next->titleLabel()->setFont(systemFont(15));
    next->addTarget(self(), traits().nextBatchAction, UIControlEventTouchUpInside);
    navigationItem()->setRightBarButtonItem(alloc<UIBarButtonItem>()->initWithCustomView(next));

    auto import = bottomButton(CGRectMake(0, height - kBottomBarHeight - kTopBarsHeight, width / 2 - 1, kBottomBarHeight), rgb(131, 162, 251), "导入通讯录"_ns);
    import->addTarget(self(), "insertAction:", UIControlEventTouchUpInside);
    view()->addSubview(import);
    auto remove = bottomButton(CGRectMake(width / 2 + 2, height - kBottomBarHeight - kTopBarsHeight, width / 2 - 1, kBottomBarHeight), rgb(254, 72, 115), "删除当前通讯录"_ns);
    remove->addTarget(self(), "deleteAction:", UIControlEventTouchUpInside);
    view()->addSubview(remove);

    const bool industry = traits().industry;
    m_tableView = alloc<UITableView>()->initWithFrame(CGRectMake(0, 0, width, height - kBottomBarHeight - kTopBarsHeight), industry ? UITableViewStyleGrouped : UITableViewStylePlain);
    m_tableView->setDataSource(self<ProspectListController>());
    m_tableView->setDelegate(self<ProspectListController>());
    if (!industry)
        m_tableView->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    view()->addSubview(m_tableView);
}

void ProspectListController::requestData()
{
    // The handler keeps the screen until the reply has been handled, as every screen's requests do.
    auto screen = self<ProspectListController>();
    requestShowingLoading(listRequest(m_page), view(), FailedCallOverlay::HideOnHost,
        [screen](const std::optional<ServerReply>& reply) { screen->handleListReply(reply); });
}

void ProspectListController::handleListReply(const std::optional<ServerReply>& reply)
{
    if (!acceptReply(reply, view()))
        return;
    m_pageSize = reply->pageSize().value_or(0);
    m_totalCount = reply->totalCount().value_or(0);
    if (!m_dataArray)
        m_dataArray = NSMutableArray::array();
    m_dataArray->removeAllObjects();
    // Entries that are not records give no row.
    if (traits().industry)
        m_dataArray->addObjectsFromArray(replyModels<VQBuyResourceModel>(reply->listItems()));
    else
        m_dataArray->addObjectsFromArray(replyModels<VQAddFansModel>(reply->listItems()));
    m_tableView->reloadData();
}

void ProspectListController::showNextBatch()
{
    auto next = nextBatch(m_page, m_totalCount, m_pageSize);
    if (!next)
        return;
    m_page = *next;
    requestData();
    // Remembered as soon as it is asked for, whatever the reply: the next visit asks again.
    ProspectPageMemory { NSString::fromUTF8(traits().pageMemoryKey), listKey(), numberPrefix() }.remember(m_page);
}

void ProspectListController::insertAction(const Ref<UIButton>&)
{
    auto alert = alloc<UIAlertView>()->initWithTitle(nil, "是否导入通讯录"_ns, self<ProspectListController>(), "确认"_ns, { "取消"_ns });
    alert->setTag(kImportAlertTag);
    alert->show();
}

void ProspectListController::deleteAction(const Ref<UIButton>&)
{
    auto alert = alloc<UIAlertView>()->initWithTitle("是否删除当前通讯录"_ns, "该操作将删除通讯录中所有联系人且不可恢复!请谨慎操作!"_ns,
        self<ProspectListController>(), "确认"_ns, { "取消"_ns });
    alert->setTag(kDeleteAlertTag);
    alert->show();
}

bool ProspectListController::alertViewClickedButtonAtIndex(const Ref<UIAlertView>& alertView, NSInteger buttonIndex)
{
    if (buttonIndex != 0 || !alertView)
        return true;
    if (alertView->tag() == kDeleteAlertTag)
        emptyAddressBook();
    else if (alertView->tag() == kImportAlertTag)
        importIntoAddressBook();
    return true;
}

void ProspectListController::importIntoAddressBook()
{
    // The batch as it stands when the user confirms, in table order.
    std::vector<Ref<NSString>> phones;
    if (m_dataArray)
        for (const id& record : *m_dataArray)
            phones.push_back(phoneOf(record));
    // Kept until the user's answer has been acted on (at once, unless the prompt is up).
    auto screen = self<ProspectListController>();
    whenAddressBookAccessKnown([screen, phones = std::move(phones)](bool granted) {
        const auto result = granted ? addProspects(phones, NSDate::date()) : AddressBookResult::NotAllowed;
        PHProgressHUD::showError(result == AddressBookResult::Saved ? "导入成功"_ns : "导入失败"_ns, screen->view());
    });
}

void ProspectListController::emptyAddressBook()
{
    auto screen = self<ProspectListController>();
    whenAddressBookAccessKnown([screen](bool granted) {
        const auto result = granted ? removeAllPeople() : AddressBookResult::NotAllowed;
        PHProgressHUD::showError(result == AddressBookResult::Saved ? "删除成功"_ns : "删除失败"_ns, screen->view());
    });
}

Ref<NSString> ProspectListController::phoneOf(const id& record) const
{
    if (auto prospect = dv::as<VQAddFansModel>(record))
        return prospect->phone();
    if (auto prospect = dv::as<VQBuyResourceModel>(record))
        return prospect->phone();
    return nil;
}

std::optional<NSInteger> ProspectListController::numberOfSectionsInTableView(const Ref<UITableView>&)
{
    const NSInteger count = m_dataArray ? static_cast<NSInteger>(m_dataArray->count()) : 0;
    return traits().industry ? count : 1;
}

NSInteger ProspectListController::tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger)
{
    const NSInteger count = m_dataArray ? static_cast<NSInteger>(m_dataArray->count()) : 0;
    return traits().industry ? 1 : count;
}

Ref<UITableViewCell> ProspectListController::tableViewCellForRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath)
{
    const auto identifier = "cellID"_ns;
    if (traits().industry) {
        auto cell = dv::as<VQBuyResourceCell>(tableView->dequeueReusableCellWithIdentifier(identifier));
        if (!cell)
            cell = alloc<VQBuyResourceCell>()->initWithStyle(UITableViewCellStyleDefault, identifier);
        auto prospect = dv::as<VQBuyResourceModel>(m_dataArray->objectAtIndex(static_cast<NSUInteger>(indexPath->section())));
        cell->contentLabel()->setText(NSString::stringWithFormat("%@", prospect ? prospect->computerName() : nil));
        cell->phoneLabel()->setText(NSString::stringWithFormat("%@", prospect ? prospect->phone() : nil));
        cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
        return cell;
    }
    auto cell = dv::as<VQAddFansCell>(tableView->dequeueReusableCellWithIdentifier(identifier));
    if (!cell)
        cell = alloc<VQAddFansCell>()->initWithStyle(UITableViewCellStyleDefault, identifier);
    auto prospect = dv::as<VQAddFansModel>(m_dataArray->objectAtIndex(static_cast<NSUInteger>(indexPath->row())));
    cell->phoneBtn()->setTitle(NSString::stringWithFormat("%@", prospect ? prospect->phone() : nil), UIControlStateNormal);
    cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    return cell;
}

std::optional<CGFloat> ProspectListController::tableViewHeightForRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>&)
{
    return traits().industry ? 80 : 50;
}

std::optional<CGFloat> ProspectListController::tableViewHeightForHeaderInSection(const Ref<UITableView>&, NSInteger)
{
    if (!traits().industry)
        return std::nullopt;
    return 0.1;
}

std::optional<CGFloat> ProspectListController::tableViewHeightForFooterInSection(const Ref<UITableView>&, NSInteger)
{
    if (!traits().industry)
        return std::nullopt;
    return 8;
}

DV_DEFINE_CLASS_WITH(ProspectListController, b)
{
    b.method("insertAction:", "v24@0:8@16", [](ProspectListController& screen, std::span<const id> args) -> id {
        screen.insertAction(args.empty() ? nil : dv::as<UIButton>(args[0]));
        return nil;
    });
    b.method("deleteAction:", "v24@0:8@16", [](ProspectListController& screen, std::span<const id> args) -> id {
        screen.deleteAction(args.empty() ? nil : dv::as<UIButton>(args[0]));
        return nil;
    });
}

} // namespace dv::app
