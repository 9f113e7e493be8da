#include "app/directory/prospects/VQCategoryResourceVC.h"

#include "app/directory/internal/ProspectCategories.h"
#include "app/directory/internal/ScreenSupport.h"
#include "app/directory/prospects/VQCategoryResourceCell.h"
#include "app/shell/models/VQCategoryModel.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSIndexPath.h"
#include "platform/graphics/UIColor.h"
#include "platform/ui/UILabel.h"

using namespace dv::internal::directory;

DV_DEFINE_CLASS(VQCategoryResourceVC)

VQCategoryResourceVC::~VQCategoryResourceVC() = default;

void VQCategoryResourceVC::viewDidLoad()
{
    UIViewController::viewDidLoad();
    dv::app::layOutBelowBars(*this);
    setTitle("行业客源"_ns);
    view()->setBackgroundColor(pageBackgroundColor());
    createTable();
    requestData();
}

void VQCategoryResourceVC::createTable()
{
    m_tableView = alloc<UITableView>()->initWithFrame(CGRectMake(0, 0, screenWidth(), screenHeight() - kTopBarsHeight), UITableViewStylePlain);
    m_tableView->setDelegate(self<VQCategoryResourceVC>());
    m_tableView->setDataSource(self<VQCategoryResourceVC>());
    m_tableView->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    m_tableView->setBackgroundColor(UIColor::whiteColor());
    view()->addSubview(m_tableView);
}

void VQCategoryResourceVC::requestData()
{
    requestCategories(self<VQCategoryResourceVC>(),
        [weakScreen = Weak<VQCategoryResourceVC>(self<VQCategoryResourceVC>())](const Ref<NSMutableArray>& categories) {
            auto screen = weakScreen.lock();
            if (!screen)
                return;
            if (!screen->m_dataArray)
                screen->m_dataArray = NSMutableArray::array();
            screen->m_dataArray->removeAllObjects();
            screen->m_dataArray->addObjectsFromArray(categories);
            screen->m_tableView->reloadData();
        });
}

NSInteger VQCategoryResourceVC::tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger)
{
    return m_dataArray ? static_cast<NSInteger>(m_dataArray->count()) : 0;
}

Ref<UITableViewCell> VQCategoryResourceVC::tableViewCellForRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath)
{
    const auto identifier = "cellId"_ns;
    auto cell = dv::as<VQCategoryResourceCell>(tableView->dequeueReusableCellWithIdentifier(identifier));
    if (!cell)
        cell = alloc<VQCategoryResourceCell>()->initWithStyle(UITableViewCellStyleDefault, identifier);
    auto category = dv::as<VQCategoryModel>(m_dataArray->objectAtIndex(static_cast<NSUInteger>(indexPath->row())));
    cell->contentLabel()->setText(category ? category->name() : nil);
    cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    return cell;
}

std::optional<CGFloat> VQCategoryResourceVC::tableViewHeightForRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>&) { return 50; }

bool VQCategoryResourceVC::tableViewDidSelectRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>& indexPath)
{
    const auto row = static_cast<NSUInteger>(indexPath->row());
    if (m_dataArray && row < m_dataArray->count())
        openIndustryList(self<VQCategoryResourceVC>(), dv::as<VQCategoryModel>(m_dataArray->objectAtIndex(row)));
    return true;
}
