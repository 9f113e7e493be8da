#include "platform/ui/UICollectionViewLayout.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSIndexPath.h"
#include "platform/base/NSString.h"
#include "platform/ui/UICollectionView.h"

DV_DEFINE_CLASS(UICollectionViewLayoutAttributes)
DV_DEFINE_CLASS(UICollectionViewLayout)

const Ref<NSString> UICollectionElementKindSectionHeader = NSString::fromUTF8("UICollectionElementKindSectionHeader");
const Ref<NSString> UICollectionElementKindSectionFooter = NSString::fromUTF8("UICollectionElementKindSectionFooter");

// Attributes

Ref<UICollectionViewLayoutAttributes> UICollectionViewLayoutAttributes::layoutAttributesForCellWithIndexPath(const Ref<NSIndexPath>& indexPath)
{
    auto attributes = alloc<UICollectionViewLayoutAttributes>();
    attributes->m_indexPath = indexPath;
    return attributes;
}

Ref<UICollectionViewLayoutAttributes> UICollectionViewLayoutAttributes::layoutAttributesForSupplementaryViewOfKind(const Ref<NSString>& kind,
    const Ref<NSIndexPath>& indexPath)
{
    auto attributes = alloc<UICollectionViewLayoutAttributes>();
    attributes->m_indexPath = indexPath;
    attributes->m_kind = kind;
    attributes->m_category = UICollectionElementCategorySupplementaryView;
    return attributes;
}

void UICollectionViewLayoutAttributes::setCenter(CGPoint center)
{
    m_frame.origin = CGPointMake(center.x - m_frame.size.width / 2, center.y - m_frame.size.height / 2);
}

void UICollectionViewLayoutAttributes::setSize(CGSize size)
{
    const CGPoint c = center();
    m_frame.size = size;
    setCenter(c);
}

id UICollectionViewLayoutAttributes::copyWithZone(NSZone*) const
{
    auto copy = alloc<UICollectionViewLayoutAttributes>();
    copy->m_indexPath = m_indexPath;
    copy->m_kind = m_kind;
    copy->m_frame = m_frame;
    copy->m_alpha = m_alpha;
    copy->m_zIndex = m_zIndex;
    copy->m_category = m_category;
    copy->m_hidden = m_hidden;
    return copy;
}

Ref<NSString> UICollectionViewLayoutAttributes::description() const
{
    const std::string what = m_category == UICollectionElementCategoryCell ? "cell" : "kind = " + dv::str(m_kind);
    return NSString::stringWithFormat("<%@: %p; index path: %@; %s; frame = %s; zIndex = %ld%s>", className(),
        static_cast<const void*>(this), m_indexPath, what.c_str(), NSStringFromCGRectUTF8(m_frame).c_str(), long(m_zIndex),
        m_hidden ? "; hidden" : "");
}

// Layout

void UICollectionViewLayout::prepareLayout() { }

CGSize UICollectionViewLayout::collectionViewContentSize() { return CGSizeZero; }

Ref<NSArray> UICollectionViewLayout::layoutAttributesForElementsInRect(CGRect) { return nil; }

Ref<UICollectionViewLayoutAttributes> UICollectionViewLayout::layoutAttributesForItemAtIndexPath(const Ref<NSIndexPath>&) { return nil; }

Ref<UICollectionViewLayoutAttributes> UICollectionViewLayout::layoutAttributesForSupplementaryViewOfKind(const Ref<NSString>&, const Ref<NSIndexPath>&)
{
    return nil;
}

bool UICollectionViewLayout::shouldInvalidateLayoutForBoundsChange(CGRect) { return false; }

void UICollectionViewLayout::invalidateLayout()
{
    if (auto view = collectionView())
        view->handleInvalidateLayout();
}
