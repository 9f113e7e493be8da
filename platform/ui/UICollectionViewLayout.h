// UICollectionViewLayout: where the cells and supplementary views of a collection view go. The
// collection view calls prepareLayout before its first layout, after reloadData and after every
// invalidation (invalidateLayout, or a bounds change the layout asks to be invalidated for:
// shouldInvalidateLayoutForBoundsChange), then asks for the content size and for the attributes
// of what meets its visible bounds. A subclass computes and keeps the attributes in prepareLayout
// and answers from them; the base places nothing. The collection view owns its layout; the layout
// refers to it weakly. Main thread only.
//
// UICollectionViewLayoutAttributes: the frame, alpha, hidden flag and zIndex (higher stands in
// front) of one element: a cell (by index path) or a supplementary view (by kind and index path).
#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/NSObject.h"
#include "platform/ui/Forward.h"

class NSIndexPath;
class UICollectionView;

enum UICollectionElementCategory : NSUInteger {
    UICollectionElementCategoryCell = 0,
    UICollectionElementCategorySupplementaryView = 1,
    UICollectionElementCategoryDecorationView = 2,
};

// The kinds of the flow layout's section headers and footers.
extern const Ref<NSString> UICollectionElementKindSectionHeader;
extern const Ref<NSString> UICollectionElementKindSectionFooter;

class UICollectionViewLayoutAttributes : public NSObject, public NSCopying {
    DV_CLASS(UICollectionViewLayoutAttributes, NSObject)

    UICollectionViewLayoutAttributes() = default;
    static Ref<UICollectionViewLayoutAttributes> layoutAttributesForCellWithIndexPath(const Ref<NSIndexPath>& indexPath);
    static Ref<UICollectionViewLayoutAttributes> layoutAttributesForSupplementaryViewOfKind(const Ref<NSString>& kind,
        const Ref<NSIndexPath>& indexPath);

    CGRect frame() const { return m_frame; }
    void setFrame(CGRect frame) { m_frame = frame; }
    CGPoint center() const { return CGPointMake(CGRectGetMidX(m_frame), CGRectGetMidY(m_frame)); }
    void setCenter(CGPoint center);
    CGSize size() const { return m_frame.size; }
    void setSize(CGSize size);
    CGFloat alpha() const { return m_alpha; }
    void setAlpha(CGFloat alpha) { m_alpha = alpha; }
    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden) { m_hidden = hidden; }
    NSInteger zIndex() const { return m_zIndex; }
    void setZIndex(NSInteger zIndex) { m_zIndex = zIndex; }

    Ref<NSIndexPath> indexPath() const { return m_indexPath; }
    void setIndexPath(const Ref<NSIndexPath>& indexPath) { m_indexPath = indexPath; }
    UICollectionElementCategory representedElementCategory() const { return m_category; }
    // nil for cells.
    Ref<NSString> representedElementKind() const { return m_kind; }

    id copyWithZone(NSZone* zone) const override;
    Ref<NSString> description() const override;

private:
    Ref<NSIndexPath> m_indexPath;
    Ref<NSString> m_kind;
    CGRect m_frame {};
    CGFloat m_alpha = 1;
    NSInteger m_zIndex = 0;
    UICollectionElementCategory m_category = UICollectionElementCategoryCell;
    bool m_hidden = false;
};

class UICollectionViewLayout : public NSObject {
    DV_CLASS(UICollectionViewLayout, NSObject)

    UICollectionViewLayout() = default;
    Ref<UICollectionViewLayout> init() { return self<UICollectionViewLayout>(); }

    // nil until the layout is given to a collection view.
    Ref<UICollectionView> collectionView() const { return m_collectionView.lock(); }

    virtual void prepareLayout();
    // Zero by default.
    virtual CGSize collectionViewContentSize();
    // Attributes of the elements that meet `rect` (nil or empty: none).
    virtual Ref<NSArray> layoutAttributesForElementsInRect(CGRect rect);
    virtual Ref<UICollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(const Ref<NSIndexPath>& indexPath);
    virtual Ref<UICollectionViewLayoutAttributes> layoutAttributesForSupplementaryViewOfKind(const Ref<NSString>& kind,
        const Ref<NSIndexPath>& indexPath);
    // Asked when the collection view's bounds change (scrolling, resizing); YES has the layout
    // prepared again before the next placement. NO by default.
    virtual bool shouldInvalidateLayoutForBoundsChange(CGRect newBounds);
    // Has the layout prepared again before the collection view next places its elements.
    virtual void invalidateLayout();

private:
    friend class UICollectionView;
    Weak<UICollectionView> m_collectionView;
};
