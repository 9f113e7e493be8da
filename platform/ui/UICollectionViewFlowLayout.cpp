#include "platform/ui/UICollectionViewFlowLayout.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSIndexPath.h"
#include "platform/base/NSString.h"

#include <algorithm>

DV_DEFINE_CLASS(UICollectionViewFlowLayout)

namespace {

constexpr CGFloat kEpsilon = 1e-6;

} // namespace

UICollectionViewFlowLayout::UICollectionViewFlowLayout() = default;

UICollectionViewFlowLayout::~UICollectionViewFlowLayout() = default;

void UICollectionViewFlowLayout::setItemSize(CGSize size)
{
    m_itemSize = size;
    invalidateLayout();
}

void UICollectionViewFlowLayout::setMinimumLineSpacing(CGFloat spacing)
{
    m_lineSpacing = spacing;
    invalidateLayout();
}

void UICollectionViewFlowLayout::setMinimumInteritemSpacing(CGFloat spacing)
{
    m_interitemSpacing = spacing;
    invalidateLayout();
}

void UICollectionViewFlowLayout::setSectionInset(UIEdgeInsets inset)
{
    m_sectionInset = inset;
    invalidateLayout();
}

void UICollectionViewFlowLayout::setScrollDirection(UICollectionViewScrollDirection direction)
{
    m_direction = direction;
    invalidateLayout();
}

void UICollectionViewFlowLayout::setHeaderReferenceSize(CGSize size)
{
    m_headerSize = size;
    invalidateLayout();
}

void UICollectionViewFlowLayout::setFooterReferenceSize(CGSize size)
{
    m_footerSize = size;
    invalidateLayout();
}

void UICollectionViewFlowLayout::prepareLayout()
{
    m_sections.clear();
    m_contentSize = CGSizeZero;
    auto view = collectionView();
    if (!view)
        return;
    auto me = self<UICollectionViewFlowLayout>();
    auto delegate = std::dynamic_pointer_cast<UICollectionViewDelegateFlowLayout>(view->delegate());
    const bool vertical = m_direction == UICollectionViewScrollDirectionVertical;
    const CGRect bounds = view->bounds();
    const UIEdgeInsets contentInset = view->contentInset();
    m_preparedSize = bounds.size;
    const CGFloat across = vertical ? bounds.size.width - contentInset.left - contentInset.right
                                    : bounds.size.height - contentInset.top - contentInset.bottom;
    // Rectangles and sizes in terms of the scrolling axis ("main") and the one across it.
    auto rect = [vertical](CGFloat main, CGFloat cross, CGFloat mainLength, CGFloat crossLength) {
        return vertical ? CGRectMake(cross, main, crossLength, mainLength) : CGRectMake(main, cross, mainLength, crossLength);
    };
    auto mainOf = [vertical](CGSize size) { return vertical ? size.height : size.width; };
    auto crossOf = [vertical](CGSize size) { return vertical ? size.width : size.height; };

    CGFloat position = 0;
    const NSInteger sections = view->numberOfSections();
    for (NSInteger s = 0; s < sections; ++s) {
        Section section;
        const CGFloat start = position;
        const UIEdgeInsets inset = delegate ? delegate->collectionViewLayoutInsetForSectionAtIndex(view, me, s).value_or(m_sectionInset) : m_sectionInset;
        const CGFloat lineSpacing = delegate ? delegate->collectionViewLayoutMinimumLineSpacingForSectionAtIndex(view, me, s).value_or(m_lineSpacing) : m_lineSpacing;
        const CGFloat itemSpacing = delegate ? delegate->collectionViewLayoutMinimumInteritemSpacingForSectionAtIndex(view, me, s).value_or(m_interitemSpacing)
                                             : m_interitemSpacing;
        const CGSize headerSize = delegate ? delegate->collectionViewLayoutReferenceSizeForHeaderInSection(view, me, s).value_or(m_headerSize) : m_headerSize;
        const CGSize footerSize = delegate ? delegate->collectionViewLayoutReferenceSizeForFooterInSection(view, me, s).value_or(m_footerSize) : m_footerSize;
        auto sectionPath = NSIndexPath::indexPathForItem(0, s);
        if (mainOf(headerSize) > 0) {
            section.header = UICollectionViewLayoutAttributes::layoutAttributesForSupplementaryViewOfKind(UICollectionElementKindSectionHeader, sectionPath);
            section.header->setFrame(rect(position, 0, mainOf(headerSize), across));
            position += mainOf(headerSize);
        }

        const NSInteger count = view->numberOfItemsInSection(s);
        const CGFloat before = vertical ? inset.top : inset.left, after = vertical ? inset.bottom : inset.right;
        const CGFloat crossBefore = vertical ? inset.left : inset.top, crossAfter = vertical ? inset.right : inset.bottom;
        const CGFloat available = across - crossBefore - crossAfter;
        std::vector<CGSize> sizes(std::size_t(std::max<NSInteger>(count, 0)));
        for (NSInteger i = 0; i < count; ++i) {
            std::optional<CGSize> asked;
            if (delegate)
                asked = delegate->collectionViewLayoutSizeForItemAtIndexPath(view, me, NSIndexPath::indexPathForItem(i, s));
            sizes[std::size_t(i)] = asked.value_or(m_itemSize);
        }
        if (count > 0)
            position += before;
        std::size_t i = 0;
        while (i < sizes.size()) {
            Line line;
            line.first = i;
            CGFloat used = 0, sum = 0, thickest = 0;
            while (i < sizes.size()) {
                const CGFloat need = used + (line.count > 0 ? itemSpacing : 0) + crossOf(sizes[i]);
                if (line.count > 0 && need > available + kEpsilon)
                    break;
                used = need;
                sum += crossOf(sizes[i]);
                thickest = std::max(thickest, mainOf(sizes[i]));
                ++line.count;
                ++i;
            }
            const CGFloat gap = line.count > 1 ? (available - sum) / CGFloat(line.count - 1) : 0;
            CGFloat cross = crossBefore;
            for (std::size_t k = line.first; k < line.first + line.count; ++k) {
                auto item = UICollectionViewLayoutAttributes::layoutAttributesForCellWithIndexPath(NSIndexPath::indexPathForItem(NSInteger(k), s));
                item->setFrame(rect(position + (thickest - mainOf(sizes[k])) / 2, cross, mainOf(sizes[k]), crossOf(sizes[k])));
                section.items.push_back(item);
                cross += crossOf(sizes[k]) + gap;
            }
            line.start = position;
            line.end = position + thickest;
            section.lines.push_back(line);
            position += thickest;
            if (i < sizes.size())
                position += lineSpacing;
        }
        if (count > 0)
            position += after;

        if (mainOf(footerSize) > 0) {
            section.footer = UICollectionViewLayoutAttributes::layoutAttributesForSupplementaryViewOfKind(UICollectionElementKindSectionFooter, sectionPath);
            section.footer->setFrame(rect(position, 0, mainOf(footerSize), across));
            position += mainOf(footerSize);
        }
        section.rect = rect(start, 0, position - start, across);
        m_sections.push_back(std::move(section));
    }
    m_contentSize = vertical ? CGSizeMake(across, position) : CGSizeMake(position, across);
}

CGSize UICollectionViewFlowLayout::collectionViewContentSize() { return m_contentSize; }

Ref<NSArray> UICollectionViewFlowLayout::layoutAttributesForElementsInRect(CGRect rect)
{
    auto found = NSMutableArray::array();
    const bool vertical = m_direction == UICollectionViewScrollDirectionVertical;
    const CGFloat from = vertical ? CGRectGetMinY(rect) : CGRectGetMinX(rect);
    const CGFloat to = vertical ? CGRectGetMaxY(rect) : CGRectGetMaxX(rect);
    for (auto& section : m_sections) {
        if (!CGRectIntersectsRect(section.rect, rect))
            continue;
        if (section.header && CGRectIntersectsRect(section.header->frame(), rect))
            found->addObject(section.header);
        // The first line that ends after `from`, then on while lines start before `to`.
        auto line = std::upper_bound(section.lines.begin(), section.lines.end(), from, [](CGFloat y, const Line& l) { return y < l.end; });
        for (; line != section.lines.end() && line->start < to; ++line)
            for (std::size_t k = line->first; k < line->first + line->count; ++k)
                if (CGRectIntersectsRect(section.items[k]->frame(), rect))
                    found->addObject(section.items[k]);
        if (section.footer && CGRectIntersectsRect(section.footer->frame(), rect))
            found->addObject(section.footer);
    }
    return found;
}

Ref<UICollectionViewLayoutAttributes> UICollectionViewFlowLayout::layoutAttributesForItemAtIndexPath(const Ref<NSIndexPath>& indexPath)
{
    if (!indexPath || indexPath->length() < 2)
        return nil;
    const NSInteger s = indexPath->section(), item = indexPath->item();
    if (s < 0 || std::size_t(s) >= m_sections.size() || item < 0 || std::size_t(item) >= m_sections[std::size_t(s)].items.size())
        return nil;
    return m_sections[std::size_t(s)].items[std::size_t(item)];
}

Ref<UICollectionViewLayoutAttributes> UICollectionViewFlowLayout::layoutAttributesForSupplementaryViewOfKind(const Ref<NSString>& kind,
    const Ref<NSIndexPath>& indexPath)
{
    if (!indexPath || !kind)
        return nil;
    const NSInteger s = indexPath->section();
    if (s < 0 || std::size_t(s) >= m_sections.size())
        return nil;
    if (kind->isEqualToString(UICollectionElementKindSectionHeader))
        return m_sections[std::size_t(s)].header;
    if (kind->isEqualToString(UICollectionElementKindSectionFooter))
        return m_sections[std::size_t(s)].footer;
    return nil;
}

bool UICollectionViewFlowLayout::shouldInvalidateLayoutForBoundsChange(CGRect newBounds) { return !CGSizeEqualToSize(newBounds.size, m_preparedSize); }
