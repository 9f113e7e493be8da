#include "app/shell/list/QPAllController.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/system/UIScreen.h"

DV_DEFINE_CLASS_WITH(QPAllController, b)
{
    b.property<bool>(
        "toprefresh", "TB,N,V_toprefresh", [](const QPAllController& object) { return object.toprefresh(); },
        [](QPAllController& object, bool value) { object.setToprefresh(value); });
    b.property<int32_t>(
        "page", "Ti,N,V_page", [](const QPAllController& object) { return object.page(); },
        [](QPAllController& object, int32_t value) { object.setPage(value); });
    b.property<Ref<UITableView>>(
        "mytableView", "T@\"UITableView\",&,N,V_mytableView",
        [](const QPAllController& object) { return object.mytableView(); },
        [](QPAllController& object, Ref<UITableView> value) { object.setMytableView(value); });
    b.method("xiaLaSuaXin", "v16@0:8", [](QPAllController& list, std::span<const id>) {
        list.xiaLaSuaXin();
        return nil;
    });
    b.method("shangLaSuaXin", "v16@0:8", [](QPAllController& list, std::span<const id>) {
        list.shangLaSuaXin();
        return nil;
    });
}

Ref<QPAllController> QPAllController::init()
{
    DDYPPartentsController::init();
    return self<QPAllController>();
}

void QPAllController::viewDidLoad()
{
    DDYPPartentsController::viewDidLoad();
    const CGRect screen = UIScreen::mainScreen()->bounds();
    m_mytableView = alloc<UITableView>()->initWithFrame(
        CGRectMake(0, 0, screen.size.width, screen.size.height), UITableViewStylePlain);
    m_mytableView->setDataSource(self<QPAllController>());
    m_mytableView->setDelegate(self<QPAllController>());
    // No separator lines below the last row.
    m_mytableView->setTableFooterView(alloc<UIView>()->init());
    view()->addSubview(m_mytableView);
}

void QPAllController::xiaLaSuaXin()
{
    NSLog("shang =======la");
}

void QPAllController::shangLaSuaXin()
{
    NSLog("shang -------la");
}

std::optional<NSInteger> QPAllController::numberOfSectionsInTableView(const Ref<UITableView>&)
{
    return 1;
}

NSInteger QPAllController::tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger)
{
    return 10;
}

std::optional<CGFloat> QPAllController::tableViewHeightForRowAtIndexPath(
    const Ref<UITableView>&, const Ref<NSIndexPath>&)
{
    return 92;
}

Ref<UITableViewCell> QPAllController::tableViewCellForRowAtIndexPath(
    const Ref<UITableView>& tableView, const Ref<NSIndexPath>&)
{
    auto cell = tableView->dequeueReusableCellWithIdentifier("QKSY1"_ns);
    if (!cell)
        cell = alloc<UITableViewCell>()->initWithStyle(UITableViewCellStyleDefault, "QKSY1"_ns);
    return cell;
}

bool QPAllController::tableViewDidSelectRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>&)
{
    return true;
}
