#include "app/directory/prospects/VQCategoryResourcesNewVC.h"

#include "app/directory/internal/ProspectCategories.h"
#include "app/directory/internal/ScreenSupport.h"
#include "app/directory/prospects/VQRescorcesCollCell.h"
#include "app/shell/models/VQCategoryModel.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSIndexPath.h"
#include "platform/graphics/UIColor.h"
#include "platform/ui/UILabel.h"

using namespace dv::internal::directory;

DV_DEFINE_CLASS(VQCategoryResourcesNewVC)

namespace {

const auto kCellIdentifier = "RescorceCellID";

} // namespace

VQCategoryResourcesNewVC::~VQCategoryResourcesNewVC() = default;

void VQCategoryResourcesNewVC::viewDidLoad()
{
    UIViewController::viewDidLoad();
    dv::app::layOutBelowBars(*this);
    view()->setBackgroundColor(pageBackgroundColor());
    createCollect();
    requestData();
}

void VQCategoryResourcesNewVC::createCollect()
{
    auto layout = alloc<DDCollectionViewFlowLayout>()->init();
    layout->setDelegate(self<VQCategoryResourcesNewVC>());
    layout->setEnableStickyHeaders(false);
    m_collView = alloc<UICollectionView>()->initWithFrame(CGRectMake(0, 0, screenWidth(), screenHeight() - kTopBarsHeight), layout);
    m_collView->setBackgroundColor(UIColor::whiteColor());
    m_collView->setDelegate(self<VQCategoryResourcesNewVC>());
    m_collView->setDataSource(self<VQCategoryResourcesNewVC>());
    m_collView->registerClassForCellWithReuseIdentifier<VQRescorcesCollCell>(NSString::fromUTF8(kCellIdentifier));
    view()->addSubview(m_collView);
}

void VQCategoryResourcesNewVC::requestData()
{
    requestCategories(self<VQCategoryResourcesNewVC>(), [weakScreen = Weak<VQCategoryResourcesNewVC>(self<VQCategoryResourcesNewVC>())](
                                                            const Ref<NSMutableArray>& categories) {
        auto screen = weakScreen.lock();
        if (!screen)
            return;
        if (!screen->m_dataArray)
            screen->m_dataArray = NSMutableArray::array();
        screen->m_dataArray->removeAllObjects();
        screen->m_dataArray->addObjectsFromArray(categories);
        screen->m_collView->reloadData();
    });
}

std::optional<NSInteger> VQCategoryResourcesNewVC::numberOfSectionsInCollectionView(const Ref<UICollectionView>&) { return 1; }

NSInteger VQCategoryResourcesNewVC::collectionViewNumberOfItemsInSection(const Ref<UICollectionView>&, NSInteger)
{
    return m_dataArray ? static_cast<NSInteger>(m_dataArray->count()) : 0;
}

Ref<UICollectionViewCell> VQCategoryResourcesNewVC::collectionViewCellForItemAtIndexPath(const Ref<UICollectionView>& collectionView,
    const Ref<NSIndexPath>& indexPath)
{
    auto cell = dv::as<VQRescorcesCollCell>(collectionView->dequeueReusableCellWithReuseIdentifier(NSString::fromUTF8(kCellIdentifier), indexPath));
    auto category = dv::as<VQCategoryModel>(m_dataArray->objectAtIndex(static_cast<NSUInteger>(indexPath->item())));
    if (cell)
        cell->contentLabel()->setText(category ? category->name() : nil);
    return cell;
}

NSInteger VQCategoryResourcesNewVC::collectionViewLayoutNumberOfColumnsInSection(const Ref<UICollectionView>&, const Ref<UICollectionViewLayout>&,
    NSInteger)
{
    return 2;
}

std::optional<CGFloat> VQCategoryResourcesNewVC::collectionViewLayoutMinimumLineSpacingForSectionAtIndex(const Ref<UICollectionView>&,
    const Ref<UICollectionViewLayout>&, NSInteger)
{
    return 5.0;
}

std::optional<CGFloat> VQCategoryResourcesNewVC::collectionViewLayoutMinimumInteritemSpacingForSectionAtIndex(const Ref<UICollectionView>&,
    const Ref<UICollectionViewLayout>&, NSInteger)
{
    return 5.0;
}

std::optional<UIEdgeInsets> VQCategoryResourcesNewVC::collectionViewLayoutInsetForSectionAtIndex(const Ref<UICollectionView>&,
    const Ref<UICollectionViewLayout>&, NSInteger)
{
    return UIEdgeInsetsMake(5.0, 5.0, 5.0, 5.0);
}

std::optional<CGSize> VQCategoryResourcesNewVC::collectionViewLayoutSizeForItemAtIndexPath(const Ref<UICollectionView>&,
    const Ref<UICollectionViewLayout>&, const Ref<NSIndexPath>&)
{
    // The waterfall takes only the height; the columns decide the width.
    return CGSizeMake(screenWidth() / 2, 50.0);
}

bool VQCategoryResourcesNewVC::collectionViewDidSelectItemAtIndexPath(const Ref<UICollectionView>&, const Ref<NSIndexPath>& indexPath)
{
    const auto item = static_cast<NSUInteger>(indexPath->item());
    if (m_dataArray && item < m_dataArray->count())
        openIndustryList(self<VQCategoryResourcesNewVC>(), dv::as<VQCategoryModel>(m_dataArray->objectAtIndex(item)));
    return true;
}
