// UITableView: a scroll view of rows in sections, plain or grouped. The data source says how many
// sections and rows there are and makes the cell of a row; the delegate gives heights, section
// header and footer views, and hears of selection. A table loads its counts and heights (every
// row's) on its first layout or query and on reloadData, and sets its content size from them; it
// asks for cells only in its layout pass and only for the rows that meet its visible bounds. Cells
// are direct subviews of the table; a cell whose row leaves the bounds is taken out of the table
// and kept for reuse under its reuse identifier, to be handed out by
// dequeueReusableCellWithIdentifier (nil when none is free). Main thread only.
//
// Heights: a row is the delegate's height, else rowHeight (44). A section header or footer is the
// delegate's height, else, in a grouped table, sectionHeaderHeight / sectionFooterHeight (10), and,
// in a plain one, 22 when the data source gives a title and 0 otherwise. In a grouped table a
// delegate's height of 0 means the default (a section without a header asks for a tiny height).
// Header and footer views come from the delegate (or show the data source's title) while they are
// on screen; a plain table's section headers stay at the top while their section is in view.
//
// A tap on a row highlights its cell while the finger is down and, when it lifts on the same row,
// selects it: willSelectRow (which may choose another row or none), the previous selection
// deselected (willDeselect/didDeselect), the cell selected, didSelectRow. A tap that stops the list
// moving chooses nothing, and a drag takes the touch away. After every reloadData (and the first
// load) the hooks added with addReloadDataHook run.
//
//   auto table = alloc<UITableView>()->initWithFrame(view->bounds(), UITableViewStyleGrouped);
//   table->setDataSource(self<Screen>());
//   table->setDelegate(self<Screen>());
//   table->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
#pragma once

#include "platform/ui/UIScrollView.h"
#include "platform/ui/UITableViewCell.h"
#include "platform/ui/internal/SelectionTracker.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class NSIndexPath;
class UITableView;

namespace dv::internal::uikit {
class TableGeometry;
} // namespace dv::internal::uikit

enum UITableViewStyle : NSInteger {
    UITableViewStylePlain = 0,
    UITableViewStyleGrouped = 1,
};

enum UITableViewScrollPosition : NSInteger {
    UITableViewScrollPositionNone = 0,
    UITableViewScrollPositionTop = 1,
    UITableViewScrollPositionMiddle = 2,
    UITableViewScrollPositionBottom = 3,
};

class UITableViewDataSource {
public:
    virtual ~UITableViewDataSource() = default;

    virtual NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>& tableView, NSInteger section) = 0;
    virtual Ref<UITableViewCell> tableViewCellForRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath) = 0;
    // Optional: 1 section when not implemented; no titles.
    virtual std::optional<NSInteger> numberOfSectionsInTableView(const Ref<UITableView>&) { return std::nullopt; }
    virtual Ref<NSString> tableViewTitleForHeaderInSection(const Ref<UITableView>&, NSInteger) { return nil; }
    virtual Ref<NSString> tableViewTitleForFooterInSection(const Ref<UITableView>&, NSInteger) { return nil; }
};

// Every method is optional (nullopt, nil or false: not implemented).
class UITableViewDelegate : public virtual UIScrollViewDelegate {
public:
    virtual std::optional<CGFloat> tableViewHeightForRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>&) { return std::nullopt; }
    virtual std::optional<CGFloat> tableViewHeightForHeaderInSection(const Ref<UITableView>&, NSInteger) { return std::nullopt; }
    virtual std::optional<CGFloat> tableViewHeightForFooterInSection(const Ref<UITableView>&, NSInteger) { return std::nullopt; }
    virtual Ref<UIView> tableViewViewForHeaderInSection(const Ref<UITableView>&, NSInteger) { return nil; }
    virtual Ref<UIView> tableViewViewForFooterInSection(const Ref<UITableView>&, NSInteger) { return nil; }
    virtual bool tableViewWillDisplayCellForRowAtIndexPath(const Ref<UITableView>&, const Ref<UITableViewCell>&, const Ref<NSIndexPath>&)
    {
        return false;
    }
    virtual bool tableViewDidEndDisplayingCellForRowAtIndexPath(const Ref<UITableView>&, const Ref<UITableViewCell>&, const Ref<NSIndexPath>&)
    {
        return false;
    }
    virtual std::optional<bool> tableViewShouldHighlightRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>&) { return std::nullopt; }
    // Answers the row to select instead, or nil for none.
    virtual std::optional<Ref<NSIndexPath>> tableViewWillSelectRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>&)
    {
        return std::nullopt;
    }
    virtual bool tableViewDidSelectRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>&) { return false; }
    virtual std::optional<Ref<NSIndexPath>> tableViewWillDeselectRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>&)
    {
        return std::nullopt;
    }
    virtual bool tableViewDidDeselectRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>&) { return false; }
};

class UITableView : public UIScrollView {
    DV_CLASS(UITableView, UIScrollView)

    UITableView();
    ~UITableView() override;
    Ref<UITableView> init();
    Ref<UITableView> initWithFrame(CGRect frame);
    Ref<UITableView> initWithFrame(CGRect frame, UITableViewStyle style);

    UITableViewStyle style() const { return m_style; }
    Ref<UITableViewDataSource> dataSource() const { return m_dataSource.lock(); }
    void setDataSource(const Ref<UITableViewDataSource>& dataSource);
    // Also the scroll view's delegate.
    Ref<UITableViewDelegate> delegate() const { return m_tableDelegate.lock(); }
    void setDelegate(const Ref<UITableViewDelegate>& delegate);

    CGFloat rowHeight() const { return m_rowHeight; }
    void setRowHeight(CGFloat height);
    CGFloat sectionHeaderHeight() const { return m_sectionHeaderHeight; }
    void setSectionHeaderHeight(CGFloat height);
    CGFloat sectionFooterHeight() const { return m_sectionFooterHeight; }
    void setSectionFooterHeight(CGFloat height);

    UITableViewCellSeparatorStyle separatorStyle() const { return m_separatorStyle; }
    void setSeparatorStyle(UITableViewCellSeparatorStyle style);
    Ref<UIColor> separatorColor() const { return m_separatorColor; }
    void setSeparatorColor(const Ref<UIColor>& color);
    // Only the left inset is used.
    UIEdgeInsets separatorInset() const { return m_separatorInset; }
    void setSeparatorInset(UIEdgeInsets inset);

    // Above the first section and below the last, as wide as the table, at their own height.
    Ref<UIView> tableHeaderView() const { return m_tableHeaderView; }
    void setTableHeaderView(const Ref<UIView>& view);
    Ref<UIView> tableFooterView() const { return m_tableFooterView; }
    void setTableFooterView(const Ref<UIView>& view);
    // Behind everything, the size of the table's bounds.
    Ref<UIView> backgroundView() const { return m_backgroundView; }
    void setBackgroundView(const Ref<UIView>& view);

    void reloadData();
    NSInteger numberOfSections();
    NSInteger numberOfRowsInSection(NSInteger section);

    // Content coordinates; the zero rectangle for what does not exist.
    CGRect rectForSection(NSInteger section);
    CGRect rectForRowAtIndexPath(const Ref<NSIndexPath>& indexPath);
    CGRect rectForHeaderInSection(NSInteger section);
    CGRect rectForFooterInSection(NSInteger section);
    Ref<NSIndexPath> indexPathForRowAtPoint(CGPoint point);
    Ref<NSArray> indexPathsForRowsInRect(CGRect rect);

    // The cells on screen now (after the last layout pass), in row order.
    Ref<NSArray> visibleCells() const;
    Ref<NSArray> indexPathsForVisibleRows() const;
    Ref<UITableViewCell> cellForRowAtIndexPath(const Ref<NSIndexPath>& indexPath) const;
    Ref<NSIndexPath> indexPathForCell(const Ref<UITableViewCell>& cell) const;
    void scrollToRowAtIndexPath(const Ref<NSIndexPath>& indexPath, UITableViewScrollPosition position, bool animated);

    // A free cell of the identifier (prepareForReuse called), or nil.
    Ref<UITableViewCell> dequeueReusableCellWithIdentifier(const Ref<NSString>& identifier);
    // The same, or a new cell of the class registered for the identifier; nil when none is.
    Ref<UITableViewCell> dequeueReusableCellWithIdentifier(const Ref<NSString>& identifier, const Ref<NSIndexPath>& indexPath);
    // Cells of this class made with initWithStyle(default, identifier): the class's own
    // initialiser runs, so its set-up does.
    template <class Cell>
    void registerClassForCellReuseIdentifier(const Ref<NSString>& identifier)
    {
        registerCellFactory(identifier, [](const Ref<NSString>& id) -> Ref<UITableViewCell> {
            return alloc<Cell>()->initWithStyle(UITableViewCellStyleDefault, id);
        });
    }
    void registerCellFactory(const Ref<NSString>& identifier, std::function<Ref<UITableViewCell>(const Ref<NSString>&)> factory);

    bool allowsSelection() const { return m_allowsSelection; }
    void setAllowsSelection(bool allows) { m_allowsSelection = allows; }
    bool allowsMultipleSelection() const { return m_allowsMultipleSelection; }
    void setAllowsMultipleSelection(bool allows) { m_allowsMultipleSelection = allows; }
    // No delegate calls; the list scrolls to the row unless the position is none.
    void selectRowAtIndexPath(const Ref<NSIndexPath>& indexPath, bool animated, UITableViewScrollPosition position);
    void deselectRowAtIndexPath(const Ref<NSIndexPath>& indexPath, bool animated);
    Ref<NSIndexPath> indexPathForSelectedRow() const;
    Ref<NSArray> indexPathsForSelectedRows() const;

    static dv::ReloadDataHookID addReloadDataHook(dv::ReloadDataHook hook);
    static void removeReloadDataHook(dv::ReloadDataHookID id);

    Ref<UIColor> backgroundColor() const override;
    void layoutSubviews() override;
    void touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesMoved(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesCancelled(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;

private:
    using Row = std::pair<NSInteger, NSInteger>; // section, row
    struct SupplementaryKey {
        NSInteger section;
        bool footer;
        auto operator<=>(const SupplementaryKey&) const = default;
    };

    void handleLoad();
    void handleEnsureLoaded();
    void handleLayoutTableViews();
    void handleLayoutCells(CGRect visible);
    void handleLayoutSupplementaries(CGRect visible);
    void handleLayoutFillerSeparators(CGRect visible);
    void handleEnqueue(const Ref<UITableViewCell>& cell, Row row);
    void handleInsertCell(const Ref<UIView>& cell);
    void handleConfigureSeparator(const Ref<UITableViewCell>& cell, Row row) const;
    void handleSelectFromTouch(Row row);
    void handleSetCellsSelected(Row row, bool selected, bool animated);
    dv::internal::uikit::SelectionTracker::Mode selectionMode() const
    {
        return m_allowsMultipleSelection ? dv::internal::uikit::SelectionTracker::Mode::Multiple : dv::internal::uikit::SelectionTracker::Mode::Single;
    }
    std::optional<Row> handleRowForTouch(const Ref<NSSet>& touches) const;
    bool handleValid(Row row) const;
    CGRect handleRect(std::pair<CGFloat, CGFloat> span) const;
    Ref<NSIndexPath> handleIndexPath(Row row) const;
    static std::optional<Row> handleRow(const Ref<NSIndexPath>& indexPath);

    Weak<UITableViewDataSource> m_dataSource;
    Weak<UITableViewDelegate> m_tableDelegate;
    std::unique_ptr<dv::internal::uikit::TableGeometry> m_geometry;
    std::map<Row, Ref<UITableViewCell>> m_visible;
    std::map<SupplementaryKey, Ref<UIView>> m_supplementaries;
    std::unordered_map<std::string, std::vector<Ref<UITableViewCell>>> m_reusePool;
    std::unordered_map<std::string, std::function<Ref<UITableViewCell>(const Ref<NSString>&)>> m_factories;
    std::vector<Ref<UIView>> m_fillerSeparators;
    dv::internal::uikit::SelectionTracker m_selected;
    std::optional<Row> m_highlighted;
    Ref<UIView> m_tableHeaderView;
    Ref<UIView> m_tableFooterView;
    Ref<UIView> m_backgroundView;
    Ref<UIColor> m_separatorColor;
    UIEdgeInsets m_separatorInset {0, 15, 0, 0};
    CGFloat m_rowHeight = 44;
    CGFloat m_sectionHeaderHeight = 22;
    CGFloat m_sectionFooterHeight = 22;
    CGFloat m_laidOutWidth = -1;
    UITableViewStyle m_style = UITableViewStylePlain;
    UITableViewCellSeparatorStyle m_separatorStyle = UITableViewCellSeparatorStyleSingleLine;
    std::optional<Row> m_touchRow; // the row a finger landed on
    bool m_loaded = false;
    bool m_layingOut = false;
    bool m_allowsSelection = true;
    bool m_allowsMultipleSelection = false;
};
