// UICollectionViewFlowLayout: items in lines, section after section. Scrolling vertically, a line
// runs across the collection view (its width less the section insets and the content inset) and
// lines follow each other downwards; scrolling horizontally, a line runs down and lines follow to
// the right. A line takes items while they fit with at least minimumInteritemSpacing between
// them; the items of a line are spread so that the line fills its length (a line of one item starts
// at the inset), each centred across the line, and lines stand minimumLineSpacing apart. A section
// is its header, the section inset around its lines, and its footer; headers and footers span the
// collection view across the lines at their reference height (width when horizontal), 0 meaning
// none. The collection view's delegate, when it is a UICollectionViewDelegateFlowLayout, may give
// each of these per section or item. Every setter invalidates the layout; so does a change of the
// collection view's size. Main thread only.
//
//   auto flow = alloc<UICollectionViewFlowLayout>()->init();
//   flow->setScrollDirection(UICollectionViewScrollDirectionHorizontal);
//   flow->setMinimumLineSpacing(0);
//   flow->setItemSize(frame.size);
#pragma once

#include "platform/ui/UICollectionView.h"
#include "platform/ui/UICollectionViewLayout.h"

#include <optional>
#include <vector>

class UICollectionViewFlowLayout;

enum UICollectionViewScrollDirection : NSInteger {
    UICollectionViewScrollDirectionVertical = 0,
    UICollectionViewScrollDirectionHorizontal = 1,
};

// Every method is optional (nullopt: the layout's own value).
class UICollectionViewDelegateFlowLayout : public virtual UICollectionViewDelegate {
public:
    virtual std::optional<CGSize> collectionViewLayoutSizeForItemAtIndexPath(const Ref<UICollectionView>&, const Ref<UICollectionViewLayout>&,
        const Ref<NSIndexPath>&)
    {
        return std::nullopt;
    }
    virtual std::optional<UIEdgeInsets> collectionViewLayoutInsetForSectionAtIndex(const Ref<UICollectionView>&, const Ref<UICollectionViewLayout>&,
        NSInteger)
    {
        return std::nullopt;
    }
    virtual std::optional<CGFloat> collectionViewLayoutMinimumLineSpacingForSectionAtIndex(const Ref<UICollectionView>&,
        const Ref<UICollectionViewLayout>&, NSInteger)
    {
        return std::nullopt;
    }
    virtual std::optional<CGFloat> collectionViewLayoutMinimumInteritemSpacingForSectionAtIndex(const Ref<UICollectionView>&,
        const Ref<UICollectionViewLayout>&, NSInteger)
    {
        return std::nullopt;
    }
    virtual std::optional<CGSize> collectionViewLayoutReferenceSizeForHeaderInSection(const Ref<UICollectionView>&,
        const Ref<UICollectionViewLayout>&, NSInteger)
    {
        return std::nullopt;
    }
    virtual std::optional<CGSize> collectionViewLayoutReferenceSizeForFooterInSection(const Ref<UICollectionView>&,
        const Ref<UICollectionViewLayout>&, NSInteger)
    {
        return std::nullopt;
    }
};

class UICollectionViewFlowLayout : public UICollectionViewLayout {
    DV_CLASS(UICollectionViewFlowLayout, UICollectionViewLayout)

    UICollectionViewFlowLayout();
    ~UICollectionViewFlowLayout() override;
    Ref<UICollectionViewFlowLayout> init() { return self<UICollectionViewFlowLayout>(); }

    // 50 × 50.
    CGSize itemSize() const { return m_itemSize; }
    void setItemSize(CGSize size);
    // 10 each.
    CGFloat minimumLineSpacing() const { return m_lineSpacing; }
    void setMinimumLineSpacing(CGFloat spacing);
    CGFloat minimumInteritemSpacing() const { return m_interitemSpacing; }
    void setMinimumInteritemSpacing(CGFloat spacing);
    UIEdgeInsets sectionInset() const { return m_sectionInset; }
    void setSectionInset(UIEdgeInsets inset);
    UICollectionViewScrollDirection scrollDirection() const { return m_direction; }
    void setScrollDirection(UICollectionViewScrollDirection direction);
    CGSize headerReferenceSize() const { return m_headerSize; }
    void setHeaderReferenceSize(CGSize size);
    CGSize footerReferenceSize() const { return m_footerSize; }
    void setFooterReferenceSize(CGSize size);

    void prepareLayout() override;
    CGSize collectionViewContentSize() override;
    Ref<NSArray> layoutAttributesForElementsInRect(CGRect rect) override;
    Ref<UICollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(const Ref<NSIndexPath>& indexPath) override;
    Ref<UICollectionViewLayoutAttributes> layoutAttributesForSupplementaryViewOfKind(const Ref<NSString>& kind,
        const Ref<NSIndexPath>& indexPath) override;
    // YES when the size changes.
    bool shouldInvalidateLayoutForBoundsChange(CGRect newBounds) override;

private:
    struct Line {
        std::size_t first = 0;
        std::size_t count = 0;
        CGFloat start = 0; // along the scrolling axis
        CGFloat end = 0;
    };
    struct Section {
        CGRect rect {};
        Ref<UICollectionViewLayoutAttributes> header;
        Ref<UICollectionViewLayoutAttributes> footer;
        std::vector<Ref<UICollectionViewLayoutAttributes>> items;
        std::vector<Line> lines;
    };

    std::vector<Section> m_sections;
    CGSize m_contentSize {};
    CGSize m_preparedSize {};
    CGSize m_itemSize {50, 50};
    CGFloat m_lineSpacing = 10;
    CGFloat m_interitemSpacing = 10;
    UIEdgeInsets m_sectionInset {};
    CGSize m_headerSize {};
    CGSize m_footerSize {};
    UICollectionViewScrollDirection m_direction = UICollectionViewScrollDirectionVertical;
};
