#include "platform/ui/UICollectionView.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSIndexPath.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSString.h"
#include "platform/base/Scope.h"
#include "platform/ui/UITouch.h"
#include "platform/ui/internal/ReloadDataHooks.h"
#include "platform/ui/internal/ViewSlot.h"

#include <algorithm>
#include <unordered_map>

DV_DEFINE_CLASS(UICollectionView)

namespace {

// Views kept per reuse identifier: at least this many, or twice what the screen shows.
constexpr std::size_t kMinimumPool = 32;

std::string poolKey(const Ref<NSString>& kind, const Ref<NSString>& identifier)
{
    return (kind ? kind->utf8() : std::string()) + '\x1f' + (identifier ? identifier->utf8() : std::string());
}

} // namespace

UICollectionView::UICollectionView() = default;

UICollectionView::~UICollectionView() = default;

Ref<UICollectionView> UICollectionView::initWithFrame(CGRect frame, const Ref<UICollectionViewLayout>& layout)
{
    UIScrollView::initWithFrame(frame);
    setCollectionViewLayout(layout);
    return self<UICollectionView>();
}

void UICollectionView::setCollectionViewLayout(const Ref<UICollectionViewLayout>& layout)
{
    if (layout == m_layout)
        return;
    if (m_layout)
        m_layout->m_collectionView.reset();
    m_layout = layout;
    if (layout)
        layout->m_collectionView = self<UICollectionView>();
    handleInvalidateLayout();
}

void UICollectionView::setDataSource(const Ref<UICollectionViewDataSource>& dataSource)
{
    m_dataSource = dataSource;
    m_countsValid = false;
    handleInvalidateLayout();
}

void UICollectionView::setDelegate(const Ref<UICollectionViewDelegate>& delegate)
{
    m_collectionDelegate = delegate;
    UIScrollView::setDelegate(delegate);
    handleInvalidateLayout();
}

void UICollectionView::setBackgroundView(const Ref<UIView>& view)
{
    if (dv::internal::uikit::replaceViewInSlot(m_backgroundView, view, [&](const Ref<UIView>& background) { insertSubviewAtIndex(background, 0); }))
        setNeedsLayout();
}

// Reuse

void UICollectionView::registerFactory(const Ref<NSString>& kind, const Ref<NSString>& identifier, Factory factory)
{
    if (identifier)
        m_factories[poolKey(kind, identifier)] = std::move(factory);
}

Ref<UICollectionReusableView> UICollectionView::handleDequeue(const std::string& key, const Ref<NSString>& identifier)
{
    if (auto it = m_reusePool.find(key); it != m_reusePool.end() && !it->second.empty()) {
        auto view = std::move(it->second.back());
        it->second.pop_back();
        view->prepareForReuse();
        return view;
    }
    auto factory = m_factories.find(key);
    if (factory == m_factories.end()) {
        NSLog("UICollectionView: no class is registered for the reuse identifier %@", identifier);
        return nil;
    }
    auto view = factory->second();
    if (view)
        view->m_reuseIdentifier = dv::as<NSString>(identifier->copy());
    return view;
}

Ref<UICollectionViewCell> UICollectionView::dequeueReusableCellWithReuseIdentifier(const Ref<NSString>& identifier, const Ref<NSIndexPath>&)
{
    return dv::as<UICollectionViewCell>(handleDequeue(poolKey(nil, identifier), identifier));
}

Ref<UICollectionReusableView> UICollectionView::dequeueReusableSupplementaryViewOfKind(const Ref<NSString>& kind, const Ref<NSString>& identifier,
    const Ref<NSIndexPath>&)
{
    return handleDequeue(poolKey(kind, identifier), identifier);
}

void UICollectionView::handleEnqueue(const ElementKey& key, const Shown& shown)
{
    auto& view = shown.view;
    view->removeFromSuperview();
    const bool cell = std::get<0>(key).empty();
    if (cell) {
        auto asCell = dv::as<UICollectionViewCell>(view);
        if (asCell && asCell->isHighlighted())
            asCell->setHighlighted(false);
        if (auto delegate = this->delegate(); delegate && asCell)
            delegate->collectionViewDidEndDisplayingCellForItemAtIndexPath(self<UICollectionView>(), asCell,
                handleIndexPath({std::get<1>(key), std::get<2>(key)}));
    }
    // Views made anew instead of dequeued would fill the pool for ever.
    if (view->reuseIdentifier())
        if (auto& pool = m_reusePool[poolKey(cell ? nil : NSString::fromUTF8(std::get<0>(key)), view->reuseIdentifier())];
            pool.size() < std::max<std::size_t>(kMinimumPool, 2 * m_shown.size()))
            pool.push_back(view);
}

// Data

void UICollectionView::reloadData()
{
    m_countsValid = false;
    m_needsPrepare = true;
    m_loadedOnce = true;
    if (m_layingOut) {
        m_dropShown = true; // the views being placed go once this pass is over
    } else {
        for (auto& [key, shown] : std::exchange(m_shown, {}))
            handleEnqueue(key, shown);
        m_selected.clear();
        m_touchItem.reset();
    }
    setNeedsLayout();
    dv::internal::uikit::ReloadDataHooks::collections().run(self<UICollectionView>());
}

void UICollectionView::handleEnsureCounts()
{
    if (m_countsValid)
        return;
    m_countsValid = true;
    m_counts.clear();
    auto dataSource = this->dataSource();
    if (!dataSource)
        return;
    auto me = self<UICollectionView>();
    const NSInteger sections = std::max<NSInteger>(dataSource->numberOfSectionsInCollectionView(me).value_or(1), 0);
    for (NSInteger s = 0; s < sections; ++s)
        m_counts.push_back(std::max<NSInteger>(dataSource->collectionViewNumberOfItemsInSection(me, s), 0));
}

NSInteger UICollectionView::numberOfSections()
{
    handleEnsureCounts();
    return NSInteger(m_counts.size());
}

NSInteger UICollectionView::numberOfItemsInSection(NSInteger section)
{
    handleEnsureCounts();
    return section >= 0 && std::size_t(section) < m_counts.size() ? m_counts[std::size_t(section)] : 0;
}

dv::ReloadDataHookID UICollectionView::addReloadDataHook(dv::ReloadDataHook hook)
{
    return dv::internal::uikit::ReloadDataHooks::collections().add(std::move(hook));
}

void UICollectionView::removeReloadDataHook(dv::ReloadDataHookID id) { dv::internal::uikit::ReloadDataHooks::collections().remove(id); }

// Layout

void UICollectionView::handleInvalidateLayout()
{
    m_needsPrepare = true;
    setNeedsLayout();
}

void UICollectionView::handleEnsurePrepared()
{
    if (!m_needsPrepare || !m_layout)
        return;
    m_needsPrepare = false;
    handleEnsureCounts();
    auto layout = m_layout;
    layout->prepareLayout();
    m_preparedBounds = bounds();
    setContentSize(layout->collectionViewContentSize());
}

void UICollectionView::layoutSubviews()
{
    UIScrollView::layoutSubviews();
    if (!m_layout)
        return;
    auto me = self<UICollectionView>();
    auto layout = m_layout;
    if (!m_loadedOnce) {
        m_loadedOnce = true;
        handleEnsureCounts();
        dv::internal::uikit::ReloadDataHooks::collections().run(me);
    }
    if (std::exchange(m_dropShown, false)) {
        for (auto& [key, shown] : std::exchange(m_shown, {}))
            handleEnqueue(key, shown);
        m_selected.clear();
    }
    const CGRect visible = bounds();
    if (!m_needsPrepare && !CGRectEqualToRect(visible, m_preparedBounds)) {
        if (layout->shouldInvalidateLayoutForBoundsChange(visible))
            m_needsPrepare = true;
        m_preparedBounds = visible;
    }
    handleEnsurePrepared();
    dv::TemporaryChange layingOut(m_layingOut, true);

    std::map<ElementKey, Ref<UICollectionViewLayoutAttributes>> wanted;
    if (auto found = layout->layoutAttributesForElementsInRect(visible)) {
        for (auto& item : found->items()) {
            auto attributes = dv::as<UICollectionViewLayoutAttributes>(item);
            if (!attributes || !attributes->indexPath() || attributes->representedElementCategory() == UICollectionElementCategoryDecorationView)
                continue;
            const bool cell = attributes->representedElementCategory() == UICollectionElementCategoryCell;
            if (!cell && !attributes->representedElementKind())
                continue;
            wanted[{cell ? std::string() : attributes->representedElementKind()->utf8(), attributes->indexPath()->section(),
                attributes->indexPath()->item()}] = attributes;
        }
    }
    for (auto it = m_shown.begin(); it != m_shown.end();) {
        if (wanted.count(it->first)) {
            ++it;
            continue;
        }
        auto [key, shown] = *it;
        it = m_shown.erase(it);
        handleEnqueue(key, shown);
    }
    auto dataSource = this->dataSource();
    auto delegate = this->delegate();
    for (auto& [key, attributes] : wanted) {
        auto existing = m_shown.find(key);
        Ref<UICollectionReusableView> view = existing == m_shown.end() ? nil : existing->second.view;
        const bool cell = std::get<0>(key).empty();
        const Item item {std::get<1>(key), std::get<2>(key)};
        if (!view) {
            if (!dataSource)
                continue;
            auto indexPath = attributes->indexPath();
            if (cell)
                view = dataSource->collectionViewCellForItemAtIndexPath(me, indexPath);
            else
                view = dataSource->collectionViewViewForSupplementaryElementOfKindAtIndexPath(me, attributes->representedElementKind(), indexPath);
            if (!view) {
                if (cell)
                    NSLog("UICollectionView: the data source gave no cell for %@", indexPath);
                continue;
            }
            if (auto asCell = dv::as<UICollectionViewCell>(view); asCell && cell)
                asCell->setSelected(m_selected.contains(item));
        }
        view->setFrame(attributes->frame());
        view->setAlpha(attributes->alpha());
        view->setHidden(attributes->isHidden());
        view->applyLayoutAttributes(attributes);
        if (existing == m_shown.end()) {
            if (auto asCell = dv::as<UICollectionViewCell>(view); cell && asCell && delegate)
                delegate->collectionViewWillDisplayCellForItemAtIndexPath(me, asCell, attributes->indexPath());
            if (view->superview().get() != this)
                addSubview(view);
            m_shown[key] = Shown {view, attributes->zIndex(), ++m_placements};
        } else {
            existing->second.zIndex = attributes->zIndex();
        }
    }
    handleStack();
    if (m_backgroundView)
        m_backgroundView->setFrame(visible);
}

void UICollectionView::handleStack()
{
    std::vector<const Shown*> order;
    order.reserve(m_shown.size());
    for (auto& [key, shown] : m_shown)
        order.push_back(&shown);
    std::sort(order.begin(), order.end(), [](const Shown* a, const Shown* b) {
        return a->zIndex != b->zIndex ? a->zIndex < b->zIndex : a->order < b->order;
    });
    const auto subviews = this->subviews();
    std::unordered_map<const UIView*, std::size_t> position;
    std::size_t index = 0;
    for (auto& view : subviews->items())
        position[static_cast<const UIView*>(view.get())] = index++;
    bool sorted = true;
    for (std::size_t i = 1; i < order.size() && sorted; ++i)
        sorted = position[order[i - 1]->view.get()] < position[order[i]->view.get()];
    if (sorted)
        return;
    for (auto* shown : order)
        bringSubviewToFront(shown->view);
}

// Queries

std::optional<UICollectionView::Item> UICollectionView::handleItem(const Ref<NSIndexPath>& indexPath)
{
    if (!indexPath || indexPath->length() < 2)
        return std::nullopt;
    return Item {indexPath->section(), indexPath->item()};
}

bool UICollectionView::handleValid(Item item)
{
    return item.first >= 0 && item.first < numberOfSections() && item.second >= 0 && item.second < numberOfItemsInSection(item.first);
}

Ref<NSIndexPath> UICollectionView::handleIndexPath(Item item) const { return NSIndexPath::indexPathForItem(item.second, item.first); }

Ref<NSArray> UICollectionView::visibleCells() const
{
    auto cells = NSMutableArray::array();
    for (auto& [key, shown] : m_shown)
        if (std::get<0>(key).empty())
            cells->addObject(shown.view);
    return cells;
}

Ref<NSArray> UICollectionView::indexPathsForVisibleItems() const
{
    auto paths = NSMutableArray::array();
    for (auto& [key, shown] : m_shown)
        if (std::get<0>(key).empty())
            paths->addObject(handleIndexPath({std::get<1>(key), std::get<2>(key)}));
    return paths;
}

Ref<UICollectionViewCell> UICollectionView::cellForItemAtIndexPath(const Ref<NSIndexPath>& indexPath) const
{
    auto item = handleItem(indexPath);
    if (!item)
        return nil;
    auto it = m_shown.find({std::string(), item->first, item->second});
    return it == m_shown.end() ? nil : dv::as<UICollectionViewCell>(it->second.view);
}

Ref<NSIndexPath> UICollectionView::indexPathForCell(const Ref<UICollectionViewCell>& cell) const
{
    for (auto& [key, shown] : m_shown)
        if (std::get<0>(key).empty() && shown.view == cell)
            return handleIndexPath({std::get<1>(key), std::get<2>(key)});
    return nil;
}

Ref<NSIndexPath> UICollectionView::indexPathForItemAtPoint(CGPoint point)
{
    handleEnsurePrepared();
    if (!m_layout)
        return nil;
    auto found = m_layout->layoutAttributesForElementsInRect(CGRectMake(point.x, point.y, 1e-3, 1e-3));
    if (!found)
        return nil;
    for (auto& item : found->items())
        if (auto attributes = dv::as<UICollectionViewLayoutAttributes>(item);
            attributes && attributes->representedElementCategory() == UICollectionElementCategoryCell && CGRectContainsPoint(attributes->frame(), point))
            return attributes->indexPath();
    return nil;
}

Ref<UICollectionViewLayoutAttributes> UICollectionView::layoutAttributesForItemAtIndexPath(const Ref<NSIndexPath>& indexPath)
{
    handleEnsurePrepared();
    return m_layout ? m_layout->layoutAttributesForItemAtIndexPath(indexPath) : nil;
}

void UICollectionView::scrollToItemAtIndexPath(const Ref<NSIndexPath>& indexPath, UICollectionViewScrollPosition position, bool animated)
{
    auto attributes = layoutAttributesForItemAtIndexPath(indexPath);
    if (!attributes)
        return;
    const CGRect frame = attributes->frame();
    const CGRect visible = bounds();
    const UIEdgeInsets inset = contentInset();
    // One axis: where the visible stretch [start, start + length) must begin for the item
    // [from, from + size) to stand as asked.
    auto place = [](CGFloat now, CGFloat length, CGFloat before, CGFloat after, CGFloat from, CGFloat size, bool lead, bool centre, bool trail) {
        if (lead)
            return from - before;
        if (centre)
            return from + size / 2 - before - (length - before - after) / 2;
        if (trail)
            return from + size - length + after;
        // The least movement that shows it whole (its start when it does not fit).
        if (from < now + before || size > length - before - after)
            return from - before;
        if (from + size > now + length - after)
            return from + size - length + after;
        return now;
    };
    CGPoint target;
    target.x = place(visible.origin.x, visible.size.width, inset.left, inset.right, frame.origin.x, frame.size.width,
        position & UICollectionViewScrollPositionLeft, position & UICollectionViewScrollPositionCenteredHorizontally,
        position & UICollectionViewScrollPositionRight);
    target.y = place(visible.origin.y, visible.size.height, inset.top, inset.bottom, frame.origin.y, frame.size.height,
        position & UICollectionViewScrollPositionTop, position & UICollectionViewScrollPositionCenteredVertically,
        position & UICollectionViewScrollPositionBottom);
    const CGPoint low = minimumContentOffset(), high = maximumContentOffset();
    target.x = std::clamp(target.x, low.x, high.x);
    target.y = std::clamp(target.y, low.y, high.y);
    if (!CGPointEqualToPoint(target, visible.origin))
        setContentOffset(target, animated);
}

// Selection

Ref<NSArray> UICollectionView::indexPathsForSelectedItems() const
{
    auto paths = NSMutableArray::array();
    for (auto& item : m_selected.positions())
        paths->addObject(handleIndexPath(item));
    return paths;
}

void UICollectionView::handleSetCellSelected(Item item, bool selected)
{
    if (auto it = m_shown.find({std::string(), item.first, item.second}); it != m_shown.end())
        if (auto cell = dv::as<UICollectionViewCell>(it->second.view))
            cell->setSelected(selected);
}

void UICollectionView::selectItemAtIndexPath(const Ref<NSIndexPath>& indexPath, bool animated, UICollectionViewScrollPosition position)
{
    auto item = handleItem(indexPath);
    if (!item || !handleValid(*item))
        return;
    m_selected.select(*item, selectionMode(), [&](Item other) { handleSetCellSelected(other, false); });
    handleSetCellSelected(*item, true);
    if (position != UICollectionViewScrollPositionNone)
        scrollToItemAtIndexPath(indexPath, position, animated);
}

void UICollectionView::deselectItemAtIndexPath(const Ref<NSIndexPath>& indexPath, bool)
{
    auto item = handleItem(indexPath);
    if (item && m_selected.remove(*item))
        handleSetCellSelected(*item, false);
}

std::optional<UICollectionView::Item> UICollectionView::handleItemForTouch(const Ref<NSSet>& touches) const
{
    auto touch = dv::as<UITouch>(touches->anyObject());
    if (!touch)
        return std::nullopt;
    Ref<UIView> view = touch->view();
    while (view && view->superview().get() != this)
        view = view->superview();
    if (!view)
        return std::nullopt;
    for (auto& [key, shown] : m_shown)
        if (std::get<0>(key).empty() && shown.view == view)
            return Item {std::get<1>(key), std::get<2>(key)};
    return std::nullopt;
}

void UICollectionView::touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>&)
{
    if (!m_allowsSelection || m_touchItem || lastTouchStoppedScrolling())
        return;
    auto item = handleItemForTouch(touches);
    if (!item)
        return;
    if (auto delegate = this->delegate())
        if (!delegate->collectionViewShouldHighlightItemAtIndexPath(self<UICollectionView>(), handleIndexPath(*item)).value_or(true))
            return;
    m_touchItem = item;
    if (auto cell = cellForItemAtIndexPath(handleIndexPath(*item)))
        cell->setHighlighted(true);
}

void UICollectionView::touchesMoved(const Ref<NSSet>&, const Ref<UIEvent>&) { }

void UICollectionView::touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>&)
{
    auto item = std::exchange(m_touchItem, std::nullopt);
    if (!item)
        return;
    auto cell = cellForItemAtIndexPath(handleIndexPath(*item));
    if (!cell)
        return;
    cell->setHighlighted(false);
    auto touch = dv::as<UITouch>(touches->anyObject());
    if (touch && CGRectContainsPoint(cell->bounds(), touch->locationInView(cell)))
        handleSelectFromTouch(*item);
}

void UICollectionView::touchesCancelled(const Ref<NSSet>&, const Ref<UIEvent>&)
{
    auto item = std::exchange(m_touchItem, std::nullopt);
    if (!item)
        return;
    if (auto cell = cellForItemAtIndexPath(handleIndexPath(*item)))
        cell->setHighlighted(false);
}

void UICollectionView::handleSelectFromTouch(Item item)
{
    auto me = self<UICollectionView>();
    auto delegate = this->delegate();
    auto indexPath = handleIndexPath(item);
    if (delegate && !delegate->collectionViewShouldSelectItemAtIndexPath(me, indexPath).value_or(true))
        return;
    auto deselect = [&](Item old) {
        if (!m_selected.remove(old))
            return;
        handleSetCellSelected(old, false);
        if (delegate)
            delegate->collectionViewDidDeselectItemAtIndexPath(me, handleIndexPath(old));
    };
    m_selected.tap(item, selectionMode(), deselect, [&](Item selected) {
        handleSetCellSelected(selected, true);
        if (delegate)
            delegate->collectionViewDidSelectItemAtIndexPath(me, indexPath);
    });
}
