#include "app/directory/lists/QRCodeListController.h"

#include "app/directory/details/QRCodeDetailController.h"
#include "app/directory/internal/BatchPaging.h"
#include "app/directory/internal/ScreenRequest.h"
#include "app/directory/internal/ScreenSupport.h"
#include "app/directory/lists/VQPassiveFansCell.h"
#include "app/shell/models/VQPassiveModel.h"
#include "app/shell/navigation/ScreenFactory.h"
#include "app/shell/server/ServerReply.h"
#include "app/shell/server/ServerRequests.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSIndexPath.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/NSUserDefaults.h"
#include "platform/ui/UIBarButtonItem.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UINavigationItem.h"

using namespace dv::internal::directory;

namespace dv::app {

namespace {

constexpr NSInteger kRowsPerSection = 5;

// The index in the batch of the code a row shows.
NSUInteger codeIndex(const Ref<NSIndexPath>& indexPath)
{
    return static_cast<NSUInteger>(indexPath->section() * kRowsPerSection + indexPath->row());
}

} // namespace

QRCodeListController::~QRCodeListController() = default;

void QRCodeListController::viewDidLoad()
{
    UIViewController::viewDidLoad();
    dv::app::layOutBelowBars(*this);
    auto defaults = NSUserDefaults::standardUserDefaults();
    m_page = defaults->objectForKey(pageKey()) ? defaults->integerForKey(pageKey()) : 0;
    view()->setBackgroundColor(pageBackgroundColor());
    createUI();
    createTable();
    requestData();
}

void QRCodeListController::createUI()
{
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(CGRectMake(0, 0, 30, 30));
    button->setImage(UIImage::imageNamed("huanyizu"_ns), UIControlStateNormal);
    button->addTarget(self(), "changeSectionAct:", UIControlEventTouchUpInside);
    navigationItem()->setRightBarButtonItem(alloc<UIBarButtonItem>()->initWithCustomView(button));
}

void QRCodeListController::createTable()
{
    const CGFloat width = screenWidth();
    const CGFloat height = screenHeight();
    m_tableView = alloc<UITableView>()->initWithFrame(CGRectMake(0, 0, width, height - kTopBarsHeight), UITableViewStyleGrouped);
    m_tableView->setDelegate(self<QRCodeListController>());
    m_tableView->setDataSource(self<QRCodeListController>());
    m_tableView->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    view()->addSubview(m_tableView);

    // Added after the table, so that it floats above the list and does not scroll with it.
    auto upload = UIButton::buttonWithType(UIButtonTypeCustom);
    upload->setFrame(CGRectMake(width - 80, height - kBottomBarHeight - kTopBarsHeight - 100, 70, 70));
    upload->setImage(UIImage::imageNamed("fatiezi"_ns), UIControlStateNormal);
    upload->addTarget(self(), traits().uploadAction, UIControlEventTouchUpInside);
    view()->addSubview(upload);
}

void QRCodeListController::requestData()
{
    // The handler keeps the screen until the reply has been handled, as every screen's requests
    // do; a reply after the user has gone back fills a table nobody sees.
    auto screen = self<QRCodeListController>();
    requestShowingLoading(listCodeRequest(traits().kind, m_page), view(), FailedCallOverlay::HideOnHost,
        [screen](const std::optional<ServerReply>& reply) { screen->handleListReply(reply); });
}

void QRCodeListController::handleListReply(const std::optional<ServerReply>& reply)
{
    // A refusal keeps the batch shown, its count and its size.
    if (!acceptReply(reply, view()))
        return;
    m_pageSize = reply->pageSize().value_or(0);
    m_totalCount = reply->totalCount().value_or(0);
    if (!m_dataArray)
        m_dataArray = NSMutableArray::array();
    m_dataArray->removeAllObjects();
    // Entries that are not records give no code and are left out.
    m_dataArray->addObjectsFromArray(replyModels<VQPassiveModel>(reply->listItems()));
    m_tableView->reloadData();
}

void QRCodeListController::changeSectionAct(const Ref<UIButton>&)
{
    auto next = nextBatch(m_page, m_totalCount, m_pageSize);
    if (!next)
        return;
    m_page = *next;
    requestData();
    // Remembered as soon as it is asked for, whatever the reply: the next launch asks again.
    NSUserDefaults::standardUserDefaults()->setObjectForKey(NSString::stringWithFormat("%ld", static_cast<long>(m_page)), pageKey());
}

void QRCodeListController::pushUploadForm()
{
    // Logged and nothing pushed while no form is registered under the name.
    auto form = makeScreen(traits().uploadFormClass);
    auto navigation = navigationController();
    if (form && navigation)
        navigation->pushViewController(form, true);
}

void QRCodeListController::didReceiveMemoryWarning() { UIViewController::didReceiveMemoryWarning(); }

Ref<NSString> QRCodeListController::pageKey() const { return NSString::fromUTF8(traits().pageKey); }

std::optional<NSInteger> QRCodeListController::numberOfSectionsInTableView(const Ref<UITableView>&)
{
    const NSInteger count = m_dataArray ? static_cast<NSInteger>(m_dataArray->count()) : 0;
    return count / kRowsPerSection + (count % kRowsPerSection ? 1 : 0);
}

NSInteger QRCodeListController::tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger section)
{
    const NSInteger count = m_dataArray ? static_cast<NSInteger>(m_dataArray->count()) : 0;
    return section == count / kRowsPerSection ? count % kRowsPerSection : kRowsPerSection;
}

Ref<UITableViewCell> QRCodeListController::tableViewCellForRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath)
{
    const auto identifier = "cellOne"_ns;
    auto cell = dv::as<VQPassiveFansCell>(tableView->dequeueReusableCellWithIdentifier(identifier));
    if (!cell)
        cell = alloc<VQPassiveFansCell>()->initWithStyle(UITableViewCellStyleDefault, identifier);
    auto code = dv::as<VQPassiveModel>(m_dataArray->objectAtIndex(codeIndex(indexPath)));
    cell->contentLabel()->setText(code ? code->title() : nil);
    return cell;
}

std::optional<CGFloat> QRCodeListController::tableViewHeightForRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>&) { return 45; }

std::optional<CGFloat> QRCodeListController::tableViewHeightForHeaderInSection(const Ref<UITableView>&, NSInteger) { return 0.1; }

std::optional<CGFloat> QRCodeListController::tableViewHeightForFooterInSection(const Ref<UITableView>&, NSInteger) { return 8; }

bool QRCodeListController::tableViewDidSelectRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath)
{
    tableView->deselectRowAtIndexPath(indexPath, true);
    auto code = dv::as<VQPassiveModel>(m_dataArray->objectAtIndex(codeIndex(indexPath)));
    auto detail = traits().makeDetailScreen();
    // A code the server gave without id or position still opens its page, which asks with empty
    // fields and shows the server's answer.
    detail->setPosition(code ? code->position() : nil);
    detail->setCodeId(code ? code->qrcodeId() : nil);
    if (auto navigation = navigationController())
        navigation->pushViewController(detail, true);
    return true;
}

DV_DEFINE_CLASS_WITH(QRCodeListController, b)
{
    b.method("changeSectionAct:", "v24@0:8@16", [](QRCodeListController& screen, std::span<const id> args) -> id {
        screen.changeSectionAct(args.empty() ? nil : dv::as<UIButton>(args[0]));
        return nil;
    });
}

} // namespace dv::app
