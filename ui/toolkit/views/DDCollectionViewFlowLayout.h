// DDCollectionViewFlowLayout: a waterfall (masonry) layout for a vertically scrolling collection
// view. Each section is split into columns of equal width, and every item goes under the column
// that is shortest at that moment (the leftmost of equally short ones), one line spacing below the
// column's last item, or at the section's top (below its header and top inset) when the column is
// still empty. Sections follow each other downwards: header, insets around the columns, footer.
// The column count, insets, spacings, item heights (the width of an item's size is not used) and
// header and footer sizes come from the delegate, per section; without an item size an item is
// square. With sticky headers a section's header stays at the top of the visible area while its
// section is on screen and is pushed up by the section's end; the layout is then prepared again on
// every scroll step.
//
// Although it derives from the platform's flow layout (so it can stand wherever one is expected),
// it places everything itself and ignores the flow layout's own item size, spacings and insets.
// The collection view owns the layout; the layout refers to its delegate and to the collection
// view weakly. Main thread only.
//
//   auto layout = alloc<DDCollectionViewFlowLayout>()->init();
//   layout->setDelegate(self<CategoryScreen>());   // two columns, 5-point spacing and insets
//   auto grid = alloc<UICollectionView>()->initWithFrame(frame, layout);
#pragma once

#include "platform/ui/UICollectionViewFlowLayout.h"

#include <vector>

class NSIndexSet;

// The flow layout's delegate protocol (insets, spacings, item sizes, header and footer sizes, each
// optional) plus the number of columns of a section.
class DDCollectionViewDelegateFlowLayout : public virtual UICollectionViewDelegateFlowLayout {
public:
    // At least 1; a smaller answer is taken as 1.
    virtual NSInteger collectionViewLayoutNumberOfColumnsInSection(const Ref<UICollectionView>& collectionView,
        const Ref<UICollectionViewLayout>& layout, NSInteger section)
        = 0;
};

class DDCollectionViewFlowLayout : public UICollectionViewFlowLayout {
    DV_CLASS(DDCollectionViewFlowLayout, UICollectionViewFlowLayout)

    DDCollectionViewFlowLayout();
    ~DDCollectionViewFlowLayout() override;
    Ref<DDCollectionViewFlowLayout> init();

    Ref<DDCollectionViewDelegateFlowLayout> delegate() const { return m_delegate.lock(); }
    // Without a delegate every section has one column of square items and no spacing, insets,
    // headers or footers.
    void setDelegate(const Ref<DDCollectionViewDelegateFlowLayout>& delegate);
    // NO by default.
    bool enableStickyHeaders() const { return m_enableStickyHeaders; }
    void setEnableStickyHeaders(bool enable);

    // What the last preparation computed: each section's frame (the collection view's width, from
    // the section's top to the bottom of its footer, or of its items and bottom inset), the frames
    // of the items placed in each column of each section (in placement order), the cells'
    // attributes per section (in item order) and each section's insets.
    const std::vector<CGRect>& sectionRects() const { return m_sectionRects; }
    const std::vector<std::vector<std::vector<CGRect>>>& columnRectsInSection() const { return m_columnRects; }
    const std::vector<std::vector<Ref<UICollectionViewLayoutAttributes>>>& layoutItemAttributes() const { return m_itemAttributes; }
    const std::vector<UIEdgeInsets>& sectionInsetses() const { return m_sectionInsets; }

    CGSize collectionViewContentSize() override;
    void prepareLayout() override;
    // The section's header or footer (one per section at most, at item 0 of the section); nil when
    // the section has none.
    Ref<UICollectionViewLayoutAttributes> layoutAttributesForSupplementaryViewOfKind(const Ref<NSString>& kind,
        const Ref<NSIndexPath>& indexPath) override;
    Ref<UICollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(const Ref<NSIndexPath>& indexPath) override;
    // The cells (zIndex 1) and footers that meet the rectangle, section by section, each section's
    // header after its cells: with sticky headers the header of every section that meets the
    // rectangle, moved to where it sticks (zIndex 1024), else the headers that meet it.
    Ref<NSArray> layoutAttributesForElementsInRect(CGRect rect) override;
    // With sticky headers every bounds change; otherwise a change of the width the columns were
    // computed for.
    bool shouldInvalidateLayoutForBoundsChange(CGRect newBounds) override;

private:
    // Per section, beside the published stores.
    struct SectionExtras {
        Ref<UICollectionViewLayoutAttributes> header;
        Ref<UICollectionViewLayoutAttributes> footer;
        CGRect headerFrame {}; // where the header stands before it sticks
        CGFloat itemsTop = 0;  // the section's top below its header
    };

    void prepareLayoutInSection(NSUInteger section, NSUInteger numberOfItems);
    // The bottom of the section's items (below its header and top inset when it has none).
    CGFloat heightOfItemsInSection(NSUInteger section) const;
    NSUInteger numberOfItemsForColumn(NSInteger column, NSInteger section) const;
    // The bottom of the column's last item; for an empty column the section's top below its header.
    CGFloat lastItemOffsetYForColumn(NSInteger column, NSInteger section) const;
    // The shortest column: an empty one first, else the one whose last item ends highest; the
    // leftmost among equals.
    NSInteger preferredColumnIndexInSection(NSInteger section) const;
    // The zero rectangle for a section that is not laid out.
    CGRect rectForSectionAtIndex(NSInteger section) const;
    Ref<NSArray> searchVisibleLayoutAttributesInRect(CGRect rect);
    Ref<NSIndexSet> sectionIndexesInRect(CGRect rect) const;
    // Moves the header of `section` to where it sticks: at the top of the visible area (below the
    // content inset), but never above its own place nor lower than its section's end allows.
    void updateHeaderAttributes(const Ref<UICollectionViewLayoutAttributes>& header, NSUInteger section);

    Weak<DDCollectionViewDelegateFlowLayout> m_delegate;
    std::vector<CGRect> m_sectionRects;
    std::vector<std::vector<std::vector<CGRect>>> m_columnRects;
    std::vector<std::vector<Ref<UICollectionViewLayoutAttributes>>> m_itemAttributes;
    std::vector<UIEdgeInsets> m_sectionInsets;
    std::vector<SectionExtras> m_sectionExtras;
    CGFloat m_preparedWidth = 0;
    bool m_enableStickyHeaders = false;
};
