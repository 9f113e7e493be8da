#include "platform/ui/UITableView.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSIndexPath.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSString.h"
#include "platform/base/Scope.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UITouch.h"
#include "platform/ui/internal/ReloadDataHooks.h"
#include "platform/ui/internal/TableGeometry.h"
#include "platform/ui/internal/ViewSlot.h"

#include <algorithm>
#include <cmath>

DV_DEFINE_CLASS(UITableView)

namespace {

// Cells kept per reuse identifier: at least this many, or twice what the screen shows.
constexpr std::size_t kMinimumPool = 32;

Ref<UIColor> defaultSeparatorColor() { return UIColor::colorWithRed(200 / 255.0, 199 / 255.0, 204 / 255.0, 1); }

// A section title where the delegate gives no view: grey text at the bottom of the header.
Ref<UIView> makeTitleView(const Ref<NSString>& title, bool grouped)
{
    auto view = alloc<UIView>()->init();
    view->setBackgroundColor(grouped ? UIColor::clearColor() : UIColor::colorWithRed(247 / 255.0, 247 / 255.0, 247 / 255.0, 1));
    auto label = alloc<UILabel>()->init();
    label->setText(title);
    label->setFont(grouped ? UIFont::systemFontOfSize(14) : UIFont::boldSystemFontOfSize(14));
    label->setTextColor(grouped ? UIColor::colorWithRed(109 / 255.0, 109 / 255.0, 114 / 255.0, 1) : UIColor::blackColor());
    label->setBackgroundColor(UIColor::clearColor());
    label->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    view->addSubview(label);
    return view;
}

CGFloat hairline() { return 1 / std::max<CGFloat>(UIScreen::mainScreen()->scale(), 1); }

} // namespace

UITableView::UITableView() : m_geometry(std::make_unique<dv::internal::uikit::TableGeometry>()) { }

UITableView::~UITableView() = default;

Ref<UITableView> UITableView::init() { return initWithFrame(CGRectZero, UITableViewStylePlain); }

Ref<UITableView> UITableView::initWithFrame(CGRect frame) { return initWithFrame(frame, UITableViewStylePlain); }

Ref<UITableView> UITableView::initWithFrame(CGRect frame, UITableViewStyle style)
{
    UIScrollView::initWithFrame(frame);
    m_style = style;
    if (style == UITableViewStyleGrouped)
        m_sectionHeaderHeight = m_sectionFooterHeight = 10;
    m_separatorColor = defaultSeparatorColor();
    setAlwaysBounceVertical(true);
    return self<UITableView>();
}

void UITableView::setDataSource(const Ref<UITableViewDataSource>& dataSource)
{
    m_dataSource = dataSource;
    m_loaded = false;
    setNeedsLayout();
}

void UITableView::setDelegate(const Ref<UITableViewDelegate>& delegate)
{
    m_tableDelegate = delegate;
    UIScrollView::setDelegate(delegate);
    m_loaded = false;
    setNeedsLayout();
}

void UITableView::setRowHeight(CGFloat height)
{
    m_rowHeight = height;
    m_loaded = false;
    setNeedsLayout();
}

void UITableView::setSectionHeaderHeight(CGFloat height)
{
    m_sectionHeaderHeight = height;
    m_loaded = false;
    setNeedsLayout();
}

void UITableView::setSectionFooterHeight(CGFloat height)
{
    m_sectionFooterHeight = height;
    m_loaded = false;
    setNeedsLayout();
}

void UITableView::setSeparatorStyle(UITableViewCellSeparatorStyle style)
{
    m_separatorStyle = style;
    for (auto& [row, cell] : m_visible)
        handleConfigureSeparator(cell, row);
    setNeedsLayout();
}

void UITableView::setSeparatorColor(const Ref<UIColor>& color)
{
    m_separatorColor = color ? color : defaultSeparatorColor();
    for (auto& [row, cell] : m_visible)
        handleConfigureSeparator(cell, row);
    for (auto& line : m_fillerSeparators)
        line->setBackgroundColor(m_separatorColor);
}

void UITableView::setSeparatorInset(UIEdgeInsets inset)
{
    m_separatorInset = inset;
    for (auto& [row, cell] : m_visible)
        handleConfigureSeparator(cell, row);
    setNeedsLayout();
}

void UITableView::setTableHeaderView(const Ref<UIView>& view)
{
    if (!dv::internal::uikit::replaceViewInSlot(m_tableHeaderView, view, [&](const Ref<UIView>& header) { addSubview(header); }))
        return;
    m_geometry->setHeaderViewHeight(view ? view->frame().size.height : 0);
    if (m_loaded)
        setContentSize(CGSizeMake(bounds().size.width, m_geometry->contentHeight()));
    setNeedsLayout();
}

void UITableView::setTableFooterView(const Ref<UIView>& view)
{
    if (!dv::internal::uikit::replaceViewInSlot(m_tableFooterView, view, [&](const Ref<UIView>& footer) { addSubview(footer); }))
        return;
    m_geometry->setFooterViewHeight(view ? view->frame().size.height : 0);
    if (m_loaded)
        setContentSize(CGSizeMake(bounds().size.width, m_geometry->contentHeight()));
    setNeedsLayout();
}

void UITableView::setBackgroundView(const Ref<UIView>& view)
{
    if (dv::internal::uikit::replaceViewInSlot(m_backgroundView, view, [&](const Ref<UIView>& background) { insertSubviewAtIndex(background, 0); }))
        setNeedsLayout();
}

Ref<UIColor> UITableView::backgroundColor() const
{
    if (auto color = UIScrollView::backgroundColor())
        return color;
    static const Ref<UIColor> s_white = UIColor::whiteColor();
    static const Ref<UIColor> s_grouped = dv::keepingForever([] { return UIColor::colorWithRed(239 / 255.0, 239 / 255.0, 244 / 255.0, 1); });
    return m_style == UITableViewStyleGrouped ? s_grouped : s_white;
}

// Loading

void UITableView::reloadData()
{
    if (m_layingOut) {
        // Asked from a data source call in the middle of placing cells: after this pass.
        m_loaded = false;
        setNeedsLayout();
        return;
    }
    handleLoad();
}

void UITableView::handleEnsureLoaded()
{
    if (!m_loaded && !m_layingOut)
        handleLoad();
}

void UITableView::handleLoad()
{
    auto me = self<UITableView>();
    m_loaded = true;
    for (auto& [row, cell] : std::exchange(m_visible, {}))
        handleEnqueue(cell, row);
    for (auto& [key, view] : std::exchange(m_supplementaries, {}))
        if (view)
            view->removeFromSuperview();
    m_selected.clear();
    m_highlighted.reset();
    m_touchRow.reset();

    auto dataSource = this->dataSource();
    auto delegate = this->delegate();
    const bool grouped = m_style == UITableViewStyleGrouped;
    auto supplementaryHeight = [&](NSInteger s, bool footer) -> CGFloat {
        const CGFloat standard = footer ? m_sectionFooterHeight : m_sectionHeaderHeight;
        std::optional<CGFloat> asked;
        if (delegate)
            asked = footer ? delegate->tableViewHeightForFooterInSection(me, s) : delegate->tableViewHeightForHeaderInSection(me, s);
        if (asked)
            return grouped && *asked == 0 ? standard : std::max<CGFloat>(*asked, 0);
        if (grouped)
            return standard;
        if (!dataSource)
            return 0;
        auto title = footer ? dataSource->tableViewTitleForFooterInSection(me, s) : dataSource->tableViewTitleForHeaderInSection(me, s);
        return title ? standard : 0;
    };

    auto& geometry = *m_geometry;
    geometry.clear();
    geometry.setHeaderViewHeight(m_tableHeaderView ? m_tableHeaderView->frame().size.height : 0);
    geometry.setFooterViewHeight(m_tableFooterView ? m_tableFooterView->frame().size.height : 0);
    const NSInteger sections = dataSource ? std::max<NSInteger>(dataSource->numberOfSectionsInTableView(me).value_or(1), 0) : 0;
    for (NSInteger s = 0; s < sections; ++s) {
        auto& section = geometry.addSection(supplementaryHeight(s, false));
        const NSInteger rows = std::max<NSInteger>(dataSource->tableViewNumberOfRowsInSection(me, s), 0);
        section.rowTops.reserve(std::size_t(rows) + 1);
        for (NSInteger r = 0; r < rows; ++r) {
            std::optional<CGFloat> height;
            if (delegate)
                height = delegate->tableViewHeightForRowAtIndexPath(me, NSIndexPath::indexPathForRow(r, s));
            geometry.addRow(section, height.value_or(m_rowHeight));
        }
        geometry.endSection(section, supplementaryHeight(s, true));
    }
    setContentSize(CGSizeMake(bounds().size.width, geometry.contentHeight()));
    setNeedsLayout();
    dv::internal::uikit::ReloadDataHooks::tables().run(me);
}

NSInteger UITableView::numberOfSections()
{
    handleEnsureLoaded();
    return m_geometry->sections();
}

NSInteger UITableView::numberOfRowsInSection(NSInteger section)
{
    handleEnsureLoaded();
    if (section < 0 || section >= m_geometry->sections())
        return 0;
    return m_geometry->section(section).rows();
}

dv::ReloadDataHookID UITableView::addReloadDataHook(dv::ReloadDataHook hook) { return dv::internal::uikit::ReloadDataHooks::tables().add(std::move(hook)); }

void UITableView::removeReloadDataHook(dv::ReloadDataHookID id) { dv::internal::uikit::ReloadDataHooks::tables().remove(id); }

// Geometry

std::optional<UITableView::Row> UITableView::handleRow(const Ref<NSIndexPath>& indexPath)
{
    if (!indexPath || indexPath->length() < 2)
        return std::nullopt;
    return Row {indexPath->section(), indexPath->row()};
}

bool UITableView::handleValid(Row row) const
{
    return row.first >= 0 && row.first < m_geometry->sections() && row.second >= 0 && row.second < m_geometry->section(row.first).rows();
}

Ref<NSIndexPath> UITableView::handleIndexPath(Row row) const { return NSIndexPath::indexPathForRow(row.second, row.first); }

CGRect UITableView::handleRect(std::pair<CGFloat, CGFloat> span) const { return CGRectMake(0, span.first, bounds().size.width, span.second); }

CGRect UITableView::rectForSection(NSInteger section)
{
    handleEnsureLoaded();
    if (section < 0 || section >= m_geometry->sections())
        return CGRectZero;
    return handleRect(m_geometry->wholeSection(section));
}

CGRect UITableView::rectForRowAtIndexPath(const Ref<NSIndexPath>& indexPath)
{
    handleEnsureLoaded();
    auto row = handleRow(indexPath);
    if (!row || !handleValid(*row))
        return CGRectZero;
    return handleRect(m_geometry->row(row->first, row->second));
}

CGRect UITableView::rectForHeaderInSection(NSInteger section)
{
    handleEnsureLoaded();
    if (section < 0 || section >= m_geometry->sections())
        return CGRectZero;
    return handleRect(m_geometry->header(section));
}

CGRect UITableView::rectForFooterInSection(NSInteger section)
{
    handleEnsureLoaded();
    if (section < 0 || section >= m_geometry->sections())
        return CGRectZero;
    return handleRect(m_geometry->footer(section));
}

Ref<NSIndexPath> UITableView::indexPathForRowAtPoint(CGPoint point)
{
    handleEnsureLoaded();
    if (point.x < 0 || point.x >= bounds().size.width)
        return nil;
    auto row = m_geometry->rowAt(point.y);
    return row ? handleIndexPath(*row) : nil;
}

Ref<NSArray> UITableView::indexPathsForRowsInRect(CGRect rect)
{
    handleEnsureLoaded();
    auto paths = NSMutableArray::array();
    auto [first, last] = m_geometry->sectionsIn(CGRectGetMinY(rect), CGRectGetMaxY(rect));
    for (NSInteger s = first; s <= last; ++s) {
        auto [r0, r1] = m_geometry->rowsIn(s, CGRectGetMinY(rect), CGRectGetMaxY(rect));
        for (NSInteger r = r0; r <= r1; ++r)
            paths->addObject(handleIndexPath({s, r}));
    }
    return paths;
}

// Cells

Ref<NSArray> UITableView::visibleCells() const
{
    auto cells = NSMutableArray::array();
    for (auto& [row, cell] : m_visible)
        cells->addObject(cell);
    return cells;
}

Ref<NSArray> UITableView::indexPathsForVisibleRows() const
{
    auto paths = NSMutableArray::array();
    for (auto& [row, cell] : m_visible)
        paths->addObject(handleIndexPath(row));
    return paths;
}

Ref<UITableViewCell> UITableView::cellForRowAtIndexPath(const Ref<NSIndexPath>& indexPath) const
{
    auto row = handleRow(indexPath);
    if (!row)
        return nil;
    auto it = m_visible.find(*row);
    return it == m_visible.end() ? nil : it->second;
}

Ref<NSIndexPath> UITableView::indexPathForCell(const Ref<UITableViewCell>& cell) const
{
    for (auto& [row, shown] : m_visible)
        if (shown == cell)
            return handleIndexPath(row);
    return nil;
}

Ref<UITableViewCell> UITableView::dequeueReusableCellWithIdentifier(const Ref<NSString>& identifier)
{
    if (!identifier)
        return nil;
    auto it = m_reusePool.find(identifier->utf8());
    if (it == m_reusePool.end() || it->second.empty())
        return nil;
    auto cell = std::move(it->second.back());
    it->second.pop_back();
    cell->prepareForReuse();
    return cell;
}

Ref<UITableViewCell> UITableView::dequeueReusableCellWithIdentifier(const Ref<NSString>& identifier, const Ref<NSIndexPath>&)
{
    if (auto cell = dequeueReusableCellWithIdentifier(identifier))
        return cell;
    auto factory = identifier ? m_factories.find(identifier->utf8()) : m_factories.end();
    if (factory == m_factories.end()) {
        NSLog("UITableView: no cell class is registered for the identifier %@", identifier);
        return nil;
    }
    return factory->second(identifier);
}

void UITableView::registerCellFactory(const Ref<NSString>& identifier, std::function<Ref<UITableViewCell>(const Ref<NSString>&)> factory)
{
    if (identifier)
        m_factories[identifier->utf8()] = std::move(factory);
}

void UITableView::handleEnqueue(const Ref<UITableViewCell>& cell, Row row)
{
    cell->removeFromSuperview();
    if (cell->isHighlighted())
        cell->setHighlighted(false);
    if (auto delegate = this->delegate())
        delegate->tableViewDidEndDisplayingCellForRowAtIndexPath(self<UITableView>(), cell, handleIndexPath(row));
    // A data source that makes new cells instead of dequeuing would fill the pool for ever.
    if (auto identifier = cell->reuseIdentifier())
        if (auto& pool = m_reusePool[identifier->utf8()]; pool.size() < std::max<std::size_t>(kMinimumPool, 2 * m_visible.size()))
            pool.push_back(cell);
}

void UITableView::handleInsertCell(const Ref<UIView>& cell)
{
    // Below everything but the background: section headers and the table's own views stay above.
    insertSubviewAtIndex(cell, m_backgroundView && m_backgroundView->superview().get() == this ? 1 : 0);
}

void UITableView::handleConfigureSeparator(const Ref<UITableViewCell>& cell, Row row) const
{
    const bool lastOfGroup = m_style == UITableViewStyleGrouped && handleValid(row) && row.second == m_geometry->section(row.first).rows() - 1;
    cell->handleSeparator(m_separatorStyle != UITableViewCellSeparatorStyleNone, lastOfGroup ? 0 : m_separatorInset.left, m_separatorColor);
}

void UITableView::scrollToRowAtIndexPath(const Ref<NSIndexPath>& indexPath, UITableViewScrollPosition position, bool animated)
{
    handleEnsureLoaded();
    auto row = handleRow(indexPath);
    if (!row || !handleValid(*row))
        return;
    const CGRect rect = handleRect(m_geometry->row(row->first, row->second));
    const CGRect visible = bounds();
    const UIEdgeInsets inset = contentInset();
    const CGFloat top = visible.origin.y + inset.top, bottom = CGRectGetMaxY(visible) - inset.bottom;
    if (position == UITableViewScrollPositionNone) {
        if (rect.origin.y >= top && CGRectGetMaxY(rect) <= bottom)
            return;
        position = rect.origin.y < top ? UITableViewScrollPositionTop : UITableViewScrollPositionBottom;
    }
    CGFloat y = rect.origin.y - inset.top;
    if (position == UITableViewScrollPositionMiddle)
        y = CGRectGetMidY(rect) - inset.top - (visible.size.height - inset.top - inset.bottom) / 2;
    else if (position == UITableViewScrollPositionBottom)
        y = CGRectGetMaxY(rect) - visible.size.height + inset.bottom;
    y = std::clamp(y, minimumContentOffset().y, maximumContentOffset().y);
    if (y != visible.origin.y)
        setContentOffset(CGPointMake(contentOffset().x, y), animated);
}

// Layout

void UITableView::layoutSubviews()
{
    UIScrollView::layoutSubviews();
    handleEnsureLoaded();
    const CGFloat width = bounds().size.width;
    if (width != m_laidOutWidth) {
        m_laidOutWidth = width;
        if (contentSize().width != width)
            setContentSize(CGSizeMake(width, m_geometry->contentHeight()));
    }
    auto keep = self<UITableView>();
    dv::TemporaryChange layingOut(m_layingOut, true);
    const CGRect visible = bounds();
    handleLayoutTableViews();
    handleLayoutCells(visible);
    handleLayoutSupplementaries(visible);
    handleLayoutFillerSeparators(visible);
    if (m_backgroundView)
        m_backgroundView->setFrame(visible);
}

void UITableView::handleLayoutTableViews()
{
    const CGFloat width = bounds().size.width;
    if (m_tableHeaderView)
        m_tableHeaderView->setFrame(CGRectMake(0, 0, width, m_tableHeaderView->frame().size.height));
    if (m_tableFooterView)
        m_tableFooterView->setFrame(CGRectMake(0, m_geometry->footerViewTop(), width, m_tableFooterView->frame().size.height));
}

void UITableView::handleLayoutCells(CGRect visible)
{
    auto me = self<UITableView>();
    const CGFloat top = CGRectGetMinY(visible), bottom = CGRectGetMaxY(visible), width = visible.size.width;
    auto& geometry = *m_geometry;
    std::vector<Row> wanted;
    auto [first, last] = geometry.sectionsIn(top, bottom);
    for (NSInteger s = first; s <= last; ++s) {
        auto [r0, r1] = geometry.rowsIn(s, top, bottom);
        for (NSInteger r = r0; r <= r1; ++r)
            if (geometry.row(s, r).second > 0)
                wanted.emplace_back(s, r);
    }
    for (auto it = m_visible.begin(); it != m_visible.end();) {
        if (std::binary_search(wanted.begin(), wanted.end(), it->first)) {
            auto [y, h] = geometry.row(it->first.first, it->first.second);
            it->second->setFrame(CGRectMake(0, y, width, h));
            ++it;
            continue;
        }
        auto [row, cell] = *it;
        it = m_visible.erase(it);
        handleEnqueue(cell, row);
    }
    auto dataSource = this->dataSource();
    auto delegate = this->delegate();
    for (const Row& row : wanted) {
        if (m_visible.count(row) || !dataSource)
            continue;
        auto indexPath = handleIndexPath(row);
        auto cell = dataSource->tableViewCellForRowAtIndexPath(me, indexPath);
        if (!cell) {
            NSLog("UITableView: the data source gave no cell for %@", indexPath);
            continue;
        }
        auto [y, h] = geometry.row(row.first, row.second);
        cell->setFrame(CGRectMake(0, y, width, h));
        cell->setSelected(m_selected.contains(row));
        handleConfigureSeparator(cell, row);
        if (delegate)
            delegate->tableViewWillDisplayCellForRowAtIndexPath(me, cell, indexPath);
        if (cell->superview().get() != this)
            handleInsertCell(cell);
        m_visible[row] = cell;
    }
}

void UITableView::handleLayoutSupplementaries(CGRect visible)
{
    auto me = self<UITableView>();
    auto dataSource = this->dataSource();
    auto delegate = this->delegate();
    const bool plain = m_style == UITableViewStylePlain;
    const CGFloat top = CGRectGetMinY(visible), bottom = CGRectGetMaxY(visible), width = visible.size.width;
    std::map<SupplementaryKey, Ref<UIView>> shown;
    auto place = [&](NSInteger s, bool footer, CGRect frame) {
        if (frame.size.height <= 0 || !CGRectIntersectsRect(frame, visible))
            return;
        const SupplementaryKey key {s, footer};
        Ref<UIView> view;
        if (auto it = m_supplementaries.find(key); it != m_supplementaries.end()) {
            view = it->second;
        } else {
            if (delegate)
                view = footer ? delegate->tableViewViewForFooterInSection(me, s) : delegate->tableViewViewForHeaderInSection(me, s);
            if (!view && dataSource)
                if (auto title = footer ? dataSource->tableViewTitleForFooterInSection(me, s) : dataSource->tableViewTitleForHeaderInSection(me, s))
                    view = makeTitleView(title, !plain);
        }
        shown[key] = view; // nil is remembered too, so that the delegate is asked once while on screen
        if (!view)
            return;
        view->setFrame(frame);
        if (view->superview().get() != this)
            addSubview(view);
        else if (plain && !footer)
            bringSubviewToFront(view);
    };
    auto [first, last] = m_geometry->sectionsIn(top, bottom);
    const CGFloat pinnedTop = top + contentInset().top;
    for (NSInteger s = first; s <= last; ++s) {
        auto [hy, hh] = m_geometry->header(s);
        if (plain && hh > 0) {
            // A plain table's header stays at the top of the visible area while its section is there.
            auto [sy, sh] = m_geometry->wholeSection(s);
            hy = std::min(std::max(hy, pinnedTop), sy + sh - hh);
        }
        place(s, false, CGRectMake(0, hy, width, hh));
        auto [fy, fh] = m_geometry->footer(s);
        place(s, true, CGRectMake(0, fy, width, fh));
    }
    for (auto& [key, view] : m_supplementaries)
        if (view && !shown.count(key))
            view->removeFromSuperview();
    m_supplementaries = std::move(shown);
}

void UITableView::handleLayoutFillerSeparators(CGRect visible)
{
    // A plain table without a footer view draws separators below its last row down to the bottom
    // of the visible area, at the row height.
    std::size_t used = 0;
    const CGFloat end = m_geometry->contentHeight();
    if (m_style == UITableViewStylePlain && !m_tableFooterView && m_separatorStyle != UITableViewCellSeparatorStyleNone && m_rowHeight > 0
        && end < CGRectGetMaxY(visible)) {
        const CGFloat line = hairline(), left = m_separatorInset.left, width = std::max<CGFloat>(visible.size.width - left, 0);
        CGFloat y = end + m_rowHeight;
        if (y < visible.origin.y)
            y += std::ceil((visible.origin.y - y) / m_rowHeight) * m_rowHeight;
        for (; y <= CGRectGetMaxY(visible); y += m_rowHeight, ++used) {
            if (used == m_fillerSeparators.size()) {
                auto separator = alloc<UIView>()->init();
                separator->setUserInteractionEnabled(false);
                separator->setBackgroundColor(m_separatorColor);
                m_fillerSeparators.push_back(separator);
                handleInsertCell(separator);
            }
            m_fillerSeparators[used]->setHidden(false);
            m_fillerSeparators[used]->setFrame(CGRectMake(left, y - line, width, line));
        }
    }
    for (std::size_t i = used; i < m_fillerSeparators.size(); ++i)
        m_fillerSeparators[i]->setHidden(true);
}

// Selection

Ref<NSIndexPath> UITableView::indexPathForSelectedRow() const
{
    return m_selected.positions().empty() ? nil : handleIndexPath(*m_selected.positions().begin());
}

Ref<NSArray> UITableView::indexPathsForSelectedRows() const
{
    if (m_selected.positions().empty())
        return nil;
    auto paths = NSMutableArray::array();
    for (auto& row : m_selected.positions())
        paths->addObject(handleIndexPath(row));
    return paths;
}

void UITableView::handleSetCellsSelected(Row row, bool selected, bool animated)
{
    if (auto it = m_visible.find(row); it != m_visible.end())
        it->second->setSelected(selected, animated);
}

void UITableView::selectRowAtIndexPath(const Ref<NSIndexPath>& indexPath, bool animated, UITableViewScrollPosition position)
{
    handleEnsureLoaded();
    auto row = handleRow(indexPath);
    if (!row || !handleValid(*row))
        return;
    m_selected.select(*row, selectionMode(), [&](Row other) { handleSetCellsSelected(other, false, animated); });
    handleSetCellsSelected(*row, true, animated);
    if (position != UITableViewScrollPositionNone)
        scrollToRowAtIndexPath(indexPath, position, animated);
}

void UITableView::deselectRowAtIndexPath(const Ref<NSIndexPath>& indexPath, bool animated)
{
    auto row = handleRow(indexPath);
    if (!row || !m_selected.remove(*row))
        return;
    handleSetCellsSelected(*row, false, animated);
}

std::optional<UITableView::Row> UITableView::handleRowForTouch(const Ref<NSSet>& touches) const
{
    auto touch = dv::as<UITouch>(touches->anyObject());
    if (!touch)
        return std::nullopt;
    Ref<UIView> view = touch->view();
    while (view && view->superview().get() != this)
        view = view->superview();
    auto cell = dv::as<UITableViewCell>(view);
    if (!cell)
        return std::nullopt;
    for (auto& [row, shown] : m_visible)
        if (shown == cell)
            return row;
    return std::nullopt;
}

void UITableView::touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>&)
{
    if (!m_allowsSelection || m_touchRow || lastTouchStoppedScrolling())
        return;
    auto row = handleRowForTouch(touches);
    if (!row)
        return;
    if (auto delegate = this->delegate())
        if (!delegate->tableViewShouldHighlightRowAtIndexPath(self<UITableView>(), handleIndexPath(*row)).value_or(true))
            return;
    m_touchRow = row;
    m_highlighted = row;
    if (auto it = m_visible.find(*row); it != m_visible.end())
        it->second->setHighlighted(true);
}

void UITableView::touchesMoved(const Ref<NSSet>&, const Ref<UIEvent>&) { }

void UITableView::touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>&)
{
    auto landed = std::exchange(m_touchRow, std::nullopt);
    if (auto highlighted = std::exchange(m_highlighted, std::nullopt))
        if (auto it = m_visible.find(*highlighted); it != m_visible.end())
            it->second->setHighlighted(false);
    if (!landed)
        return;
    auto it = m_visible.find(*landed);
    auto touch = dv::as<UITouch>(touches->anyObject());
    if (it == m_visible.end() || !touch || !CGRectContainsPoint(it->second->bounds(), touch->locationInView(it->second)))
        return; // lifted off the row
    handleSelectFromTouch(*landed);
}

void UITableView::touchesCancelled(const Ref<NSSet>&, const Ref<UIEvent>&)
{
    m_touchRow.reset();
    if (auto highlighted = std::exchange(m_highlighted, std::nullopt))
        if (auto it = m_visible.find(*highlighted); it != m_visible.end())
            it->second->setHighlighted(false);
}

void UITableView::handleSelectFromTouch(Row row)
{
    auto me = self<UITableView>();
    auto delegate = this->delegate();
    if (delegate) {
        if (auto chosen = delegate->tableViewWillSelectRowAtIndexPath(me, handleIndexPath(row))) {
            auto other = handleRow(*chosen);
            if (!other || !handleValid(*other))
                return;
            row = *other;
        }
    }
    auto deselect = [&](Row old) {
        Row target = old;
        if (delegate)
            if (auto chosen = delegate->tableViewWillDeselectRowAtIndexPath(me, handleIndexPath(old))) {
                auto other = handleRow(*chosen);
                if (!other)
                    return;
                target = *other;
            }
        if (!m_selected.remove(target))
            return;
        handleSetCellsSelected(target, false, false);
        if (delegate)
            delegate->tableViewDidDeselectRowAtIndexPath(me, handleIndexPath(target));
    };
    m_selected.tap(row, selectionMode(), deselect, [&](Row selected) {
        handleSetCellsSelected(selected, true, false);
        if (delegate)
            delegate->tableViewDidSelectRowAtIndexPath(me, handleIndexPath(selected));
    });
}
