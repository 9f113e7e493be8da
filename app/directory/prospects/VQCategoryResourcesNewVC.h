// VQCategoryResourcesNewVC: the industry categories for which the server holds prospects, as a
// two-column grid (the waterfall layout: 5 points between and around the items, items 50 points
// high); a tapped category opens its prospect list (VQBuyerResourceVC). The home screen opens it
// and gives it its title. The categories are asked for once, when the view loads. Main thread.
//
//   auto grid = alloc<VQCategoryResourcesNewVC>()->init();
//   grid->setTitle("行业客源"_ns);
//   navigationController()->pushViewController(grid, true);
#pragma once

#include "platform/ui/UICollectionView.h"
#include "platform/ui/UIViewController.h"
#include "ui/toolkit/views/DDCollectionViewFlowLayout.h"

class NSMutableArray;

class VQCategoryResourcesNewVC : public UIViewController, public DDCollectionViewDelegateFlowLayout, public UICollectionViewDataSource {
    DV_CLASS(VQCategoryResourcesNewVC, UIViewController)

    VQCategoryResourcesNewVC() = default;
    ~VQCategoryResourcesNewVC() override;

    void viewDidLoad() override;
    // The grid and its layout.
    void createCollect();
    // Asks the server for the categories and fills the grid from the reply.
    void requestData();

    // The categories shown (nil until the first successful reply).
    Ref<NSMutableArray> dataArray() const { return m_dataArray; }
    Ref<UICollectionView> collView() const { return m_collView; }

    // Data source.
    std::optional<NSInteger> numberOfSectionsInCollectionView(const Ref<UICollectionView>& collectionView) override;
    NSInteger collectionViewNumberOfItemsInSection(const Ref<UICollectionView>& collectionView, NSInteger section) override;
    Ref<UICollectionViewCell> collectionViewCellForItemAtIndexPath(const Ref<UICollectionView>& collectionView,
        const Ref<NSIndexPath>& indexPath) override;
    // Layout delegate.
    NSInteger collectionViewLayoutNumberOfColumnsInSection(const Ref<UICollectionView>& collectionView,
        const Ref<UICollectionViewLayout>& layout, NSInteger section) override;
    std::optional<CGFloat> collectionViewLayoutMinimumLineSpacingForSectionAtIndex(const Ref<UICollectionView>& collectionView,
        const Ref<UICollectionViewLayout>& layout, NSInteger section) override;
    std::optional<CGFloat> collectionViewLayoutMinimumInteritemSpacingForSectionAtIndex(const Ref<UICollectionView>& collectionView,
        const Ref<UICollectionViewLayout>& layout, NSInteger section) override;
    std::optional<UIEdgeInsets> collectionViewLayoutInsetForSectionAtIndex(const Ref<UICollectionView>& collectionView,
        const Ref<UICollectionViewLayout>& layout, NSInteger section) override;
    std::optional<CGSize> collectionViewLayoutSizeForItemAtIndexPath(const Ref<UICollectionView>& collectionView,
        const Ref<UICollectionViewLayout>& layout, const Ref<NSIndexPath>& indexPath) override;
    // Delegate: a tapped category opens its list.
    bool collectionViewDidSelectItemAtIndexPath(const Ref<UICollectionView>& collectionView, const Ref<NSIndexPath>& indexPath) override;

private:
    Ref<NSMutableArray> m_dataArray;
    Ref<UICollectionView> m_collView;
};
