// UICollectionView: a scroll view of items in sections, placed by its layout (see
// UICollectionViewLayout.h). The data source says how many sections and items there are and
// dequeues the cell of an item (and the supplementary view of a kind) from the classes registered
// for reuse identifiers; the delegate hears of selection. In its layout pass the view prepares the
// layout when it has to, sets its content size from it, and shows cells and supplementary views
// for the elements that meet its visible bounds, as direct subviews stacked by zIndex; an element
// that leaves is taken out and its view kept for reuse. Counts are asked on first use and again
// after reloadData. scrollToItemAtIndexPath prepares the layout itself, so it works before the
// view has ever been shown. A tap on an item selects it (shouldSelect, the previous selection
// deselected, didSelect); a tap that stops the view moving chooses nothing. After every reloadData
// (and the first layout, which loads the data when no reload has) the hooks added with
// addReloadDataHook run. Main thread only.
//
//   auto collection = alloc<UICollectionView>()->initWithFrame(bounds(), flowLayout);
//   collection->registerClassForCellWithReuseIdentifier<BannerCell>("cycleCell"_ns);
//   collection->setDataSource(self<Carousel>());
//   collection->setPagingEnabled(true);
#pragma once

#include "platform/ui/UICollectionReusableView.h"
#include "platform/ui/UICollectionViewCell.h"
#include "platform/ui/UICollectionViewLayout.h"
#include "platform/ui/UIScrollView.h"
#include "platform/ui/internal/SelectionTracker.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

class NSIndexPath;
class UICollectionView;

using UICollectionViewScrollPosition = NSUInteger;
enum : UICollectionViewScrollPosition {
    UICollectionViewScrollPositionNone = 0,
    UICollectionViewScrollPositionTop = 1 << 0,
    UICollectionViewScrollPositionCenteredVertically = 1 << 1,
    UICollectionViewScrollPositionBottom = 1 << 2,
    UICollectionViewScrollPositionLeft = 1 << 3,
    UICollectionViewScrollPositionCenteredHorizontally = 1 << 4,
    UICollectionViewScrollPositionRight = 1 << 5,
};

class UICollectionViewDataSource {
public:
    virtual ~UICollectionViewDataSource() = default;

    virtual NSInteger collectionViewNumberOfItemsInSection(const Ref<UICollectionView>& collectionView, NSInteger section) = 0;
    virtual Ref<UICollectionViewCell> collectionViewCellForItemAtIndexPath(const Ref<UICollectionView>& collectionView,
        const Ref<NSIndexPath>& indexPath) = 0;
    // Optional: 1 section when not implemented; no supplementary views.
    virtual std::optional<NSInteger> numberOfSectionsInCollectionView(const Ref<UICollectionView>&) { return std::nullopt; }
    virtual Ref<UICollectionReusableView> collectionViewViewForSupplementaryElementOfKindAtIndexPath(const Ref<UICollectionView>&,
        const Ref<NSString>& kind, const Ref<NSIndexPath>&)
    {
        (void)kind;
        return nil;
    }
};

// Every method is optional (nullopt or false: not implemented).
class UICollectionViewDelegate : public virtual UIScrollViewDelegate {
public:
    virtual std::optional<bool> collectionViewShouldHighlightItemAtIndexPath(const Ref<UICollectionView>&, const Ref<NSIndexPath>&)
    {
        return std::nullopt;
    }
    virtual std::optional<bool> collectionViewShouldSelectItemAtIndexPath(const Ref<UICollectionView>&, const Ref<NSIndexPath>&)
    {
        return std::nullopt;
    }
    virtual bool collectionViewDidSelectItemAtIndexPath(const Ref<UICollectionView>&, const Ref<NSIndexPath>&) { return false; }
    virtual bool collectionViewDidDeselectItemAtIndexPath(const Ref<UICollectionView>&, const Ref<NSIndexPath>&) { return false; }
    virtual bool collectionViewWillDisplayCellForItemAtIndexPath(const Ref<UICollectionView>&, const Ref<UICollectionViewCell>&,
        const Ref<NSIndexPath>&)
    {
        return false;
    }
    virtual bool collectionViewDidEndDisplayingCellForItemAtIndexPath(const Ref<UICollectionView>&, const Ref<UICollectionViewCell>&,
        const Ref<NSIndexPath>&)
    {
        return false;
    }
};

class UICollectionView : public UIScrollView {
    DV_CLASS(UICollectionView, UIScrollView)

    UICollectionView();
    ~UICollectionView() override;
    Ref<UICollectionView> initWithFrame(CGRect frame, const Ref<UICollectionViewLayout>& layout);

    Ref<UICollectionViewLayout> collectionViewLayout() const { return m_layout; }
    void setCollectionViewLayout(const Ref<UICollectionViewLayout>& layout);
    Ref<UICollectionViewDataSource> dataSource() const { return m_dataSource.lock(); }
    void setDataSource(const Ref<UICollectionViewDataSource>& dataSource);
    // Also the scroll view's delegate (and the flow layout's, when it adopts that protocol).
    Ref<UICollectionViewDelegate> delegate() const { return m_collectionDelegate.lock(); }
    void setDelegate(const Ref<UICollectionViewDelegate>& delegate);
    // Behind the items, the size of the visible bounds.
    Ref<UIView> backgroundView() const { return m_backgroundView; }
    void setBackgroundView(const Ref<UIView>& view);

    // Views of these classes are made with their own initWithFrame (so their set-up runs).
    template <class Cell>
    void registerClassForCellWithReuseIdentifier(const Ref<NSString>& identifier)
    {
        registerFactory(nil, identifier, [] { return Ref<UICollectionReusableView>(alloc<Cell>()->initWithFrame(CGRectZero)); });
    }
    template <class View>
    void registerClassForSupplementaryViewOfKindWithReuseIdentifier(const Ref<NSString>& kind, const Ref<NSString>& identifier)
    {
        registerFactory(kind, identifier, [] { return Ref<UICollectionReusableView>(alloc<View>()->initWithFrame(CGRectZero)); });
    }
    // A free view of the identifier (prepareForReuse called), else a new one of the registered
    // class; nil (and a log line) when no class is registered.
    Ref<UICollectionViewCell> dequeueReusableCellWithReuseIdentifier(const Ref<NSString>& identifier, const Ref<NSIndexPath>& indexPath);
    Ref<UICollectionReusableView> dequeueReusableSupplementaryViewOfKind(const Ref<NSString>& kind, const Ref<NSString>& identifier,
        const Ref<NSIndexPath>& indexPath);

    void reloadData();
    NSInteger numberOfSections();
    NSInteger numberOfItemsInSection(NSInteger section);

    // The cells on screen now (after the last layout pass), in index path order.
    Ref<NSArray> visibleCells() const;
    Ref<NSArray> indexPathsForVisibleItems() const;
    Ref<UICollectionViewCell> cellForItemAtIndexPath(const Ref<NSIndexPath>& indexPath) const;
    Ref<NSIndexPath> indexPathForCell(const Ref<UICollectionViewCell>& cell) const;
    Ref<NSIndexPath> indexPathForItemAtPoint(CGPoint point);
    Ref<UICollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(const Ref<NSIndexPath>& indexPath);
    // Position none scrolls the least that shows the whole item.
    void scrollToItemAtIndexPath(const Ref<NSIndexPath>& indexPath, UICollectionViewScrollPosition position, bool animated);

    bool allowsSelection() const { return m_allowsSelection; }
    void setAllowsSelection(bool allows) { m_allowsSelection = allows; }
    bool allowsMultipleSelection() const { return m_allowsMultipleSelection; }
    void setAllowsMultipleSelection(bool allows) { m_allowsMultipleSelection = allows; }
    // No delegate calls.
    void selectItemAtIndexPath(const Ref<NSIndexPath>& indexPath, bool animated, UICollectionViewScrollPosition position);
    void deselectItemAtIndexPath(const Ref<NSIndexPath>& indexPath, bool animated);
    Ref<NSArray> indexPathsForSelectedItems() const;

    static dv::ReloadDataHookID addReloadDataHook(dv::ReloadDataHook hook);
    static void removeReloadDataHook(dv::ReloadDataHookID id);

    void layoutSubviews() override;
    void touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesMoved(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesCancelled(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;

private:
    friend class UICollectionViewLayout;
    using Item = std::pair<NSInteger, NSInteger>; // section, item
    // A cell (empty kind) or a supplementary view of a kind.
    using ElementKey = std::tuple<std::string, NSInteger, NSInteger>;
    struct Shown {
        Ref<UICollectionReusableView> view;
        NSInteger zIndex = 0;
        std::uint64_t order = 0; // when it was placed, for equal zIndex
    };
    using Factory = std::function<Ref<UICollectionReusableView>()>;

    void registerFactory(const Ref<NSString>& kind, const Ref<NSString>& identifier, Factory factory);
    Ref<UICollectionReusableView> handleDequeue(const std::string& poolKey, const Ref<NSString>& identifier);
    void handleInvalidateLayout();
    void handleEnsureCounts();
    void handleEnsurePrepared();
    void handleEnqueue(const ElementKey& key, const Shown& shown);
    void handleStack();
    std::optional<Item> handleItemForTouch(const Ref<NSSet>& touches) const;
    void handleSelectFromTouch(Item item);
    void handleSetCellSelected(Item item, bool selected);
    dv::internal::uikit::SelectionTracker::Mode selectionMode() const
    {
        return m_allowsMultipleSelection ? dv::internal::uikit::SelectionTracker::Mode::Multiple : dv::internal::uikit::SelectionTracker::Mode::Single;
    }
    Ref<NSIndexPath> handleIndexPath(Item item) const;
    static std::optional<Item> handleItem(const Ref<NSIndexPath>& indexPath);
    bool handleValid(Item item);

    Ref<UICollectionViewLayout> m_layout;
    Weak<UICollectionViewDataSource> m_dataSource;
    Weak<UICollectionViewDelegate> m_collectionDelegate;
    Ref<UIView> m_backgroundView;
    std::vector<NSInteger> m_counts;
    std::map<ElementKey, Shown> m_shown;
    std::unordered_map<std::string, std::vector<Ref<UICollectionReusableView>>> m_reusePool;
    std::unordered_map<std::string, Factory> m_factories;
    dv::internal::uikit::SelectionTracker m_selected;
    std::optional<Item> m_touchItem;
    CGRect m_preparedBounds {};
    std::uint64_t m_placements = 0;
    bool m_countsValid = false;
    bool m_loadedOnce = false;   // the first layout counts as a reload when no reloadData came before
    bool m_dropShown = false;    // a reload came in the middle of a layout pass
    bool m_needsPrepare = true;
    bool m_layingOut = false;
    bool m_allowsSelection = true;
    bool m_allowsMultipleSelection = false;
};
