#include "ui/toolkit/views/DDCollectionViewFlowLayout.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSIndexPath.h"
#include "platform/base/NSIndexSet.h"
#include "platform/base/NSString.h"

#include <algorithm>
#include <limits>

DV_DEFINE_CLASS_WITH(DDCollectionViewFlowLayout, b)
{
    b.property<bool>("enableStickyHeaders", "TB,N", [](const DDCollectionViewFlowLayout& l) { return l.enableStickyHeaders(); },
        [](DDCollectionViewFlowLayout& l, bool enable) { l.setEnableStickyHeaders(enable); });
}

namespace {

// Cells stand above the collection view's other content, sticky headers above the cells.
constexpr NSInteger kCellZIndex = 1;
constexpr NSInteger kStickyHeaderZIndex = 1024;

} // namespace

DDCollectionViewFlowLayout::DDCollectionViewFlowLayout() = default;

DDCollectionViewFlowLayout::~DDCollectionViewFlowLayout() = default;

Ref<DDCollectionViewFlowLayout> DDCollectionViewFlowLayout::init()
{
    UICollectionViewFlowLayout::init();
    return self<DDCollectionViewFlowLayout>();
}

void DDCollectionViewFlowLayout::setDelegate(const Ref<DDCollectionViewDelegateFlowLayout>& delegate)
{
    m_delegate = delegate;
    invalidateLayout();
}

void DDCollectionViewFlowLayout::setEnableStickyHeaders(bool enable)
{
    if (enable == m_enableStickyHeaders)
        return;
    m_enableStickyHeaders = enable;
    invalidateLayout();
}

CGSize DDCollectionViewFlowLayout::collectionViewContentSize()
{
    auto view = collectionView();
    const CGFloat width = view ? view->bounds().size.width : 0;
    return CGSizeMake(width, m_sectionRects.empty() ? 0 : CGRectGetMaxY(m_sectionRects.back()));
}

void DDCollectionViewFlowLayout::prepareLayout()
{
    m_sectionRects.clear();
    m_columnRects.clear();
    m_itemAttributes.clear();
    m_sectionInsets.clear();
    m_sectionExtras.clear();
    auto view = collectionView();
    if (!view)
        return;
    m_preparedWidth = view->bounds().size.width;
    const NSInteger sections = view->numberOfSections();
    for (NSInteger section = 0; section < sections; ++section) {
        const NSInteger items = view->numberOfItemsInSection(section);
        m_itemAttributes.emplace_back();
        prepareLayoutInSection(NSUInteger(section), NSUInteger(std::max<NSInteger>(items, 0)));
    }
}

void DDCollectionViewFlowLayout::prepareLayoutInSection(NSUInteger section, NSUInteger numberOfItems)
{
    auto view = collectionView();
    auto delegate = m_delegate.lock();
    auto me = self<UICollectionViewLayout>();
    const auto s = NSInteger(section);
    auto sectionPath = NSIndexPath::indexPathForItem(0, s);
    SectionExtras extras;

    const CGFloat top = CGRectGetMaxY(rectForSectionAtIndex(s - 1));
    CGFloat headerHeight = 0;
    if (auto size = delegate ? delegate->collectionViewLayoutReferenceSizeForHeaderInSection(view, me, s) : std::nullopt) {
        extras.header = UICollectionViewLayoutAttributes::layoutAttributesForSupplementaryViewOfKind(UICollectionElementKindSectionHeader, sectionPath);
        extras.headerFrame = CGRectMake(0, top, size->width, size->height);
        extras.header->setFrame(extras.headerFrame);
        headerHeight = size->height;
    }
    extras.itemsTop = top + headerHeight;

    const UIEdgeInsets insets = delegate ? delegate->collectionViewLayoutInsetForSectionAtIndex(view, me, s).value_or(UIEdgeInsetsZero) : UIEdgeInsetsZero;
    const CGFloat interitemSpacing = delegate ? delegate->collectionViewLayoutMinimumInteritemSpacingForSectionAtIndex(view, me, s).value_or(0) : 0;
    const CGFloat lineSpacing = delegate ? delegate->collectionViewLayoutMinimumLineSpacingForSectionAtIndex(view, me, s).value_or(0) : 0;
    const NSInteger columns = std::max<NSInteger>(delegate ? delegate->collectionViewLayoutNumberOfColumnsInSection(view, me, s) : 1, 1);
    m_sectionInsets.push_back(insets);
    m_sectionExtras.push_back(extras);
    m_columnRects.emplace_back(std::size_t(columns));

    auto& placed = m_columnRects[section];
    auto& cells = m_itemAttributes[section];
    if (numberOfItems > 0) {
        const CGFloat itemWidth = (view->frame().size.width - insets.left - insets.right - interitemSpacing * CGFloat(columns - 1)) / CGFloat(columns);
        for (NSUInteger i = 0; i < numberOfItems; ++i) {
            const NSInteger column = preferredColumnIndexInSection(s);
            const bool first = numberOfItemsForColumn(column, s) == 0;
            const CGFloat last = lastItemOffsetYForColumn(column, s);
            const CGFloat x = insets.left + (itemWidth + interitemSpacing) * CGFloat(column);
            const CGFloat y = first ? last + insets.top : last + lineSpacing;
            auto indexPath = NSIndexPath::indexPathForItem(NSInteger(i), s);
            const auto size = delegate ? delegate->collectionViewLayoutSizeForItemAtIndexPath(view, me, indexPath) : std::nullopt;
            const CGFloat height = size ? size->height : itemWidth;
            const CGRect frame = CGRectMake(x, y, itemWidth, height);
            auto attributes = UICollectionViewLayoutAttributes::layoutAttributesForCellWithIndexPath(indexPath);
            attributes->setFrame(frame);
            attributes->setZIndex(kCellZIndex);
            cells.push_back(attributes);
            placed[std::size_t(column)].push_back(frame);
        }
    }

    const CGFloat footerTop = heightOfItemsInSection(section) + insets.bottom;
    CGFloat footerHeight = 0;
    if (auto size = delegate ? delegate->collectionViewLayoutReferenceSizeForFooterInSection(view, me, s) : std::nullopt) {
        auto footer = UICollectionViewLayoutAttributes::layoutAttributesForSupplementaryViewOfKind(UICollectionElementKindSectionFooter, sectionPath);
        footer->setFrame(CGRectMake(0, footerTop, size->width, size->height));
        m_sectionExtras[section].footer = footer;
        footerHeight = size->height;
    }
    m_sectionRects.push_back(CGRectMake(0, top, view->bounds().size.width, footerTop + footerHeight - top));
}

CGFloat DDCollectionViewFlowLayout::heightOfItemsInSection(NSUInteger section) const
{
    if (section >= m_columnRects.size())
        return 0;
    bool empty = true;
    CGFloat bottom = m_sectionExtras[section].itemsTop;
    for (auto& column : m_columnRects[section])
        if (!column.empty()) {
            empty = false;
            bottom = std::max(bottom, CGRectGetMaxY(column.back()));
        }
    // A section without items keeps its top inset all the same.
    return empty ? bottom + m_sectionInsets[section].top : bottom;
}

NSUInteger DDCollectionViewFlowLayout::numberOfItemsForColumn(NSInteger column, NSInteger section) const
{
    if (section < 0 || std::size_t(section) >= m_columnRects.size())
        return 0;
    auto& columns = m_columnRects[std::size_t(section)];
    return column < 0 || std::size_t(column) >= columns.size() ? 0 : columns[std::size_t(column)].size();
}

CGFloat DDCollectionViewFlowLayout::lastItemOffsetYForColumn(NSInteger column, NSInteger section) const
{
    if (section < 0 || std::size_t(section) >= m_columnRects.size())
        return 0;
    auto& columns = m_columnRects[std::size_t(section)];
    if (column < 0 || std::size_t(column) >= columns.size() || columns[std::size_t(column)].empty())
        return m_sectionExtras[std::size_t(section)].itemsTop;
    return CGRectGetMaxY(columns[std::size_t(column)].back());
}

NSInteger DDCollectionViewFlowLayout::preferredColumnIndexInSection(NSInteger section) const
{
    if (section < 0 || std::size_t(section) >= m_columnRects.size())
        return 0;
    auto& columns = m_columnRects[std::size_t(section)];
    NSInteger chosen = 0;
    CGFloat lowest = std::numeric_limits<CGFloat>::max();
    for (std::size_t column = 0; column < columns.size(); ++column) {
        // Columns fill from the left before anything stacks, even under items of no height.
        if (columns[column].empty())
            return NSInteger(column);
        const CGFloat offset = CGRectGetMaxY(columns[column].back());
        if (offset < lowest) {
            lowest = offset;
            chosen = NSInteger(column);
        }
    }
    return chosen;
}

CGRect DDCollectionViewFlowLayout::rectForSectionAtIndex(NSInteger section) const
{
    if (section < 0 || std::size_t(section) >= m_sectionRects.size())
        return CGRectZero;
    return m_sectionRects[std::size_t(section)];
}

Ref<UICollectionViewLayoutAttributes> DDCollectionViewFlowLayout::layoutAttributesForSupplementaryViewOfKind(const Ref<NSString>& kind,
    const Ref<NSIndexPath>& indexPath)
{
    if (!kind || !indexPath || indexPath->section() < 0 || std::size_t(indexPath->section()) >= m_sectionExtras.size())
        return nil;
    auto& extras = m_sectionExtras[std::size_t(indexPath->section())];
    if (kind->isEqualToString(UICollectionElementKindSectionHeader))
        return extras.header;
    if (kind->isEqualToString(UICollectionElementKindSectionFooter))
        return extras.footer;
    return nil;
}

Ref<UICollectionViewLayoutAttributes> DDCollectionViewFlowLayout::layoutAttributesForItemAtIndexPath(const Ref<NSIndexPath>& indexPath)
{
    if (!indexPath || indexPath->section() < 0 || std::size_t(indexPath->section()) >= m_itemAttributes.size())
        return nil;
    auto& cells = m_itemAttributes[std::size_t(indexPath->section())];
    if (indexPath->item() < 0 || std::size_t(indexPath->item()) >= cells.size())
        return nil;
    return cells[std::size_t(indexPath->item())];
}

Ref<NSArray> DDCollectionViewFlowLayout::layoutAttributesForElementsInRect(CGRect rect) { return searchVisibleLayoutAttributesInRect(rect); }

bool DDCollectionViewFlowLayout::shouldInvalidateLayoutForBoundsChange(CGRect newBounds)
{
    return m_enableStickyHeaders || newBounds.size.width != m_preparedWidth;
}

Ref<NSIndexSet> DDCollectionViewFlowLayout::sectionIndexesInRect(CGRect rect) const
{
    auto indexes = NSMutableIndexSet::indexSet();
    for (std::size_t section = 0; section < m_sectionRects.size(); ++section)
        if (CGRectIntersectsRect(rect, m_sectionRects[section]))
            indexes->addIndex(section);
    return indexes;
}

Ref<NSArray> DDCollectionViewFlowLayout::searchVisibleLayoutAttributesInRect(CGRect rect)
{
    auto found = NSMutableArray::array();
    sectionIndexesInRect(rect)->enumerateIndexesUsingBlock([&](NSUInteger section, bool*) {
        for (auto& cell : m_itemAttributes[section])
            if (CGRectIntersectsRect(rect, cell->frame()))
                found->addObject(cell);
        auto& extras = m_sectionExtras[section];
        if (extras.footer && CGRectIntersectsRect(rect, extras.footer->frame()))
            found->addObject(extras.footer);
        if (!extras.header)
            return;
        if (m_enableStickyHeaders) {
            updateHeaderAttributes(extras.header, section);
            found->addObject(extras.header);
        } else if (CGRectIntersectsRect(rect, extras.header->frame())) {
            found->addObject(extras.header);
        }
    });
    return found;
}

void DDCollectionViewFlowLayout::updateHeaderAttributes(const Ref<UICollectionViewLayoutAttributes>& header, NSUInteger section)
{
    header->setZIndex(kStickyHeaderZIndex);
    header->setHidden(false);
    // Measured from the header's own place and its own section's end, so that asking again (a hit
    // test between two scroll steps) gives the same answer and a section whose cells are all below
    // the visible area does not take its limit from the section above.
    const CGRect own = m_sectionExtras[section].headerFrame;
    const CGFloat limit = CGRectGetMaxY(m_sectionRects[section]) - own.size.height;
    CGFloat pinned = -std::numeric_limits<CGFloat>::max();
    if (auto view = collectionView())
        pinned = view->bounds().origin.y + view->contentInset().top;
    CGRect frame = own;
    frame.origin.y = std::min(limit, std::max(pinned, own.origin.y));
    header->setFrame(frame);
}
