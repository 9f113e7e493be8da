#include "app/shell/about/VQAboutvqViewController.h"

#include "app/shell/agent/VQQueryViewController.h"
#include "app/shell/navigation/ScreenSupport.h"
#include "app/shell/server/ServerReply.h"
#include "app/shell/server/ServerRequests.h"
#include "app/shell/server/ZHHttpTool.h"
#include "app/shell/web/VQFunctionVideoVC.h"
#include "app/shell/web/VQGetGiftViewController.h"
#include "app/shell/web/VQNewVideoVC.h"
#include "foundation/identity/DIUUID.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSIndexPath.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UITapGestureRecognizer.h"
#include "platform/ui/UIWindow.h"
#include "ui/toolkit/overlay/PHProgressHUD.h"
#include "ui/toolkit/views/UICopyLabel.h"

namespace {

enum AboutSection : NSInteger { DeviceSection = 0, WebSiteSection = 1, EntrySection = 2 };

// The tags of the two call buttons, which the action sheet carries.
constexpr NSInteger kAgentPhoneTag = 301;
constexpr NSInteger kBuyPhoneTag = 302;

CGFloat screenWidth()
{
    return UIScreen::mainScreen()->bounds().size.width;
}

Ref<UILabel> makeLabel(CGRect frame, CGFloat fontSize, const Ref<NSString>& text)
{
    auto label = alloc<UILabel>()->initWithFrame(frame);
    label->setFont(UIFont::systemFontOfSize(fontSize));
    label->setTextColor(dv::app::bodyTextColor());
    label->setText(text);
    return label;
}

// The line under a row: the rows draw their own.
void addSeparatorLine(const Ref<UITableViewCell>& cell)
{
    auto line = alloc<UIView>()->initWithFrame(CGRectMake(0, 44, screenWidth(), 1));
    line->setBackgroundColor(dv::app::pageBackgroundColor());
    cell->contentView()->addSubview(line);
}

} // namespace

DV_DEFINE_CLASS_WITH(VQAboutvqViewController, b)
{
    b.method("gotoWebAct:", "v24@0:8@16", [](VQAboutvqViewController& about, std::span<const id> args) {
        about.gotoWebAct(args.empty() ? nil : dv::as<UITapGestureRecognizer>(args[0]));
        return nil;
    });
    b.method("makePhone:", "v24@0:8@16", [](VQAboutvqViewController& about, std::span<const id> args) {
        about.makePhone(args.empty() ? nil : dv::as<UIButton>(args[0]));
        return nil;
    });
}

Ref<VQAboutvqViewController> VQAboutvqViewController::init()
{
    UIViewController::init();
    return self<VQAboutvqViewController>();
}

void VQAboutvqViewController::viewDidLoad()
{
    UIViewController::viewDidLoad();
    dv::app::layOutBelowBars(*this);
    // Replaces the tile's name the home screen gave the screen.
    setTitle("关于我们"_ns);
    view()->setBackgroundColor(dv::app::pageBackgroundColor());
    requestData();
}

void VQAboutvqViewController::requestData()
{
    PHProgressHUD::showMessag("正在加载"_ns, dv::app::applicationWindow());
    auto request = dv::app::artifactIndexRequest();
    // The blocks keep the screen until the reply has come, even when it has left the stack.
    auto me = self<VQAboutvqViewController>();
    ZHHttpTool::postWithURL(
        request.URL, request.fields, [me](const id& json) { me->handleReply(json); },
        [](const Ref<NSError>& error) { NSLog("error=====%@", error); });
}

void VQAboutvqViewController::handleReply(const id& json)
{
    PHProgressHUD::hideHUDForView(dv::app::applicationWindow(), true);
    auto reply = ServerReply::fromObject(json);
    if (!reply || !reply->succeeded()) {
        PHProgressHUD::showError(reply ? reply->msg() : NSString::string(), view());
        return;
    }
    auto info = reply->infoDictionary();
    m_agentPhone = info ? dv::app::textOfJSON(info->objectForKey("agentPhone"_ns)) : nil;
    m_buyPhone = info ? dv::app::textOfJSON(info->objectForKey("buyPhone"_ns)) : nil;
    m_qqStr = info ? dv::app::textOfJSON(info->objectForKey("qq"_ns)) : nil;
    createTable();
}

void VQAboutvqViewController::createTable()
{
    m_titleArr = NSArray::of({ "查看使用说明"_ns, "常见问题说明"_ns, "授权代理查询"_ns, "查看联系方式"_ns });
    m_tableView = alloc<UITableView>()->initWithFrame(view()->bounds(), UITableViewStyleGrouped);
    m_tableView->setDataSource(self<VQAboutvqViewController>());
    m_tableView->setDelegate(self<VQAboutvqViewController>());
    m_tableView->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    view()->addSubview(m_tableView);
}

std::optional<NSInteger> VQAboutvqViewController::numberOfSectionsInTableView(const Ref<UITableView>&)
{
    return 3;
}

NSInteger VQAboutvqViewController::tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger section)
{
    return section == EntrySection ? static_cast<NSInteger>(m_titleArr ? m_titleArr->count() : 0) : 1;
}

Ref<UITableViewCell> VQAboutvqViewController::tableViewCellForRowAtIndexPath(
    const Ref<UITableView>&, const Ref<NSIndexPath>& indexPath)
{
    // A new cell for every row: the table has six.
    auto cell = alloc<UITableViewCell>()->initWithStyle(UITableViewCellStyleDefault, "aboutvqCell"_ns);
    const CGFloat W = screenWidth();
    switch (indexPath->section()) {
    case DeviceSection: {
        cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
        cell->contentView()->addSubview(makeLabel(CGRectMake(10, 8, 100, 30), 15, "设备号"_ns));
        auto identifier = alloc<UICopyLabel>()->initWithFrame(CGRectMake(10, 42, W - 20, 30));
        identifier->setFont(UIFont::systemFontOfSize(13));
        identifier->setTextColor(dv::app::bodyTextColor());
        identifier->setText(NSString::stringWithFormat("%@", DIUUID::uuidForDevice()));
        cell->contentView()->addSubview(identifier);
        break;
    }
    case WebSiteSection: {
        cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
        cell->contentView()->addSubview(makeLabel(CGRectMake(10, 5, 70, 35), 15, "网站地址"_ns));
        auto site = makeLabel(CGRectMake(80, 5, W - 95, 35), 15, m_qqStr);
        site->setTextColor(dv::app::rgb(0, 169, 242));
        site->setUserInteractionEnabled(true);
        site->addGestureRecognizer(alloc<UITapGestureRecognizer>()->initWithTarget(self(), "gotoWebAct:"));
        cell->contentView()->addSubview(site);
        addSeparatorLine(cell);
        break;
    }
    default: {
        const auto row = static_cast<NSUInteger>(indexPath->row());
        auto label = cell->textLabel();
        label->setFont(UIFont::systemFontOfSize(15));
        label->setTextColor(dv::app::bodyTextColor());
        label->setText(
            m_titleArr && row < m_titleArr->count() ? dv::as<NSString>(m_titleArr->objectAtIndex(row)) : nil);
        cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
        addSeparatorLine(cell);
        break;
    }
    }
    return cell;
}

std::optional<CGFloat> VQAboutvqViewController::tableViewHeightForRowAtIndexPath(
    const Ref<UITableView>&, const Ref<NSIndexPath>& indexPath)
{
    return indexPath->section() == DeviceSection ? 80 : 45;
}

std::optional<CGFloat> VQAboutvqViewController::tableViewHeightForHeaderInSection(const Ref<UITableView>&, NSInteger)
{
    // A grouped table takes 0 for its default height: the smallest height that shows no header.
    return static_cast<CGFloat>(0.1f);
}

std::optional<CGFloat> VQAboutvqViewController::tableViewHeightForFooterInSection(const Ref<UITableView>&, NSInteger)
{
    return 8;
}

bool VQAboutvqViewController::tableViewDidSelectRowAtIndexPath(
    const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath)
{
    tableView->deselectRowAtIndexPath(indexPath, true);
    if (indexPath->section() != EntrySection)
        return true;
    Ref<UIViewController> screen;
    switch (indexPath->row()) {
    case 0:
        screen = alloc<VQNewVideoVC>()->init();
        break;
    case 1:
        screen = alloc<VQGetGiftViewController>()->init();
        break;
    case 2:
        screen = alloc<VQQueryViewController>()->init();
        break;
    case 3:
        screen = alloc<VQFunctionVideoVC>()->init();
        break;
    default:
        return true;
    }
    if (auto navigation = navigationController())
        navigation->pushViewController(screen, true);
    return true;
}

void VQAboutvqViewController::gotoWebAct(const Ref<UITapGestureRecognizer>&)
{
    // Only an address with a scheme names something the system can open.
    auto url = m_qqStr ? NSURL::URLWithString(NSString::stringWithFormat("%@", m_qqStr)) : nil;
    if (!url || !url->scheme() || url->scheme()->length() == 0)
        return;
    UIApplication::sharedApplication()->openURL(url);
}

void VQAboutvqViewController::makePhone(const Ref<UIButton>& sender)
{
    Ref<NSString> number = NSString::string();
    if (sender && sender == m_phoneBtn)
        number = m_agentPhone;
    else if (sender && sender == m_buyBtn)
        number = m_buyPhone;
    auto sheet = alloc<UIActionSheet>()->initWithTitle(
        nil, self<VQAboutvqViewController>(), "取消"_ns, NSString::stringWithFormat("呼叫:%@", number), {});
    sheet->setTag(sender ? sender->tag() : 0);
    sheet->showInView(view());
}

bool VQAboutvqViewController::actionSheetClickedButtonAtIndex(
    const Ref<UIActionSheet>& actionSheet, NSInteger buttonIndex)
{
    Ref<NSString> number = NSString::string();
    if (actionSheet && actionSheet->tag() == kAgentPhoneTag)
        number = m_agentPhone;
    else if (actionSheet && actionSheet->tag() == kBuyPhoneTag)
        number = m_buyPhone;
    if (buttonIndex == 0) {
        if (auto url = NSURL::URLWithString(NSString::stringWithFormat("tel://%@", number)))
            UIApplication::sharedApplication()->openURL(url);
    }
    return true;
}
