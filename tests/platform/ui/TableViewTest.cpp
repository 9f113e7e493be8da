#include "UITestSupport.h"

#include "platform/base/NSIndexPath.h"
#include "platform/base/NSString.h"

#include <algorithm>
#include <map>

using namespace dv::test;

namespace {

Ref<NSIndexPath> path(NSInteger section, NSInteger row) { return NSIndexPath::indexPathForRow(row, section); }

std::string name(const Ref<NSIndexPath>& p)
{
    return p ? std::to_string(p->section()) + "-" + std::to_string(p->row()) : "nil";
}

// A list of sections of rows; cells are dequeued or made with the identifier "row" and show
// "section-row". Delegate calls go into the journal.
class Rows : public NSObject, public UITableViewDataSource, public UITableViewDelegate {
public:
    explicit Rows(Journal* journal) : m_journal(journal) { }

    std::vector<NSInteger> counts {10};
    int made = 0;
    std::map<std::pair<NSInteger, NSInteger>, CGFloat> heights;
    std::optional<CGFloat> headerHeight, footerHeight;
    std::map<NSInteger, std::string> headerTitles;
    bool footerViews = false;
    int footerViewsAsked = 0;
    std::optional<Ref<NSIndexPath>> redirect;
    bool refuseHighlight = false;

    std::optional<NSInteger> numberOfSectionsInTableView(const Ref<UITableView>&) override { return NSInteger(counts.size()); }
    NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger s) override { return counts[std::size_t(s)]; }
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(const Ref<UITableView>& table, const Ref<NSIndexPath>& p) override
    {
        auto cell = table->dequeueReusableCellWithIdentifier("row"_ns);
        if (!cell) {
            cell = alloc<UITableViewCell>()->initWithStyle(UITableViewCellStyleDefault, "row"_ns);
            ++made;
        }
        cell->textLabel()->setText(NSString::fromUTF8(name(p)));
        return cell;
    }
    Ref<NSString> tableViewTitleForHeaderInSection(const Ref<UITableView>&, NSInteger s) override
    {
        auto it = headerTitles.find(s);
        return it == headerTitles.end() ? nil : NSString::fromUTF8(it->second);
    }
    std::optional<CGFloat> tableViewHeightForRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>& p) override
    {
        auto it = heights.find({p->section(), p->row()});
        if (it != heights.end())
            return it->second;
        return std::nullopt;
    }
    std::optional<CGFloat> tableViewHeightForHeaderInSection(const Ref<UITableView>&, NSInteger) override { return headerHeight; }
    std::optional<CGFloat> tableViewHeightForFooterInSection(const Ref<UITableView>&, NSInteger) override { return footerHeight; }
    Ref<UIView> tableViewViewForFooterInSection(const Ref<UITableView>&, NSInteger s) override
    {
        if (!footerViews)
            return nil;
        ++footerViewsAsked;
        auto view = alloc<UIView>()->init();
        view->setTag(100 + s);
        return view;
    }
    std::optional<bool> tableViewShouldHighlightRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>&) override
    {
        if (refuseHighlight)
            return false;
        return std::nullopt;
    }
    std::optional<Ref<NSIndexPath>> tableViewWillSelectRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>& p) override
    {
        note("willSelect " + name(p));
        return redirect;
    }
    bool tableViewDidSelectRowAtIndexPath(const Ref<UITableView>& table, const Ref<NSIndexPath>& p) override
    {
        note("didSelect " + name(p) + (table->cellForRowAtIndexPath(p)->isSelected() ? " selected" : ""));
        return true;
    }
    std::optional<Ref<NSIndexPath>> tableViewWillDeselectRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>& p) override
    {
        note("willDeselect " + name(p));
        return std::nullopt;
    }
    bool tableViewDidDeselectRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>& p) override
    {
        note("didDeselect " + name(p));
        return true;
    }

private:
    void note(std::string entry) { m_journal->push_back(std::move(entry)); }
    Journal* m_journal;
};

class TableViewTest : public UITest {
protected:
    void SetUp() override
    {
        UITest::SetUp();
        m_rows = std::make_shared<Rows>(&m_journal);
    }

    Ref<UITableView> makeTable(UITableViewStyle style = UITableViewStylePlain, CGRect frame = CGRectMake(0, 0, 375, 667))
    {
        auto table = alloc<UITableView>()->initWithFrame(frame, style);
        table->setDataSource(m_rows);
        table->setDelegate(m_rows);
        m_window->addSubview(table);
        m_ui.runUntilIdle();
        return table;
    }

    // The rows of the cells that are subviews of the table, in subview order.
    static std::vector<std::string> cellTexts(const Ref<UITableView>& table)
    {
        std::vector<std::string> texts;
        const auto subviews = table->subviews();
        for (auto& view : subviews->items())
            if (auto cell = dv::as<UITableViewCell>(view))
                texts.push_back(dv::str(cell->textLabel()->text()));
        std::sort(texts.begin(), texts.end());
        return texts;
    }

    std::shared_ptr<Rows> m_rows;
};

} // namespace

TEST_F(TableViewTest, ATenThousandRowTableMakesOnlyTheCellsAScreenShowsAndReusesThem)
{
    m_rows->counts = {10000};
    auto table = makeTable();
    EXPECT_EQ(table->numberOfRowsInSection(0), 10000);
    EXPECT_EQ(table->contentSize(), CGSizeMake(375, 440000));
    EXPECT_EQ(m_rows->made, 16) << "rows 0 to 15 meet 667 points";
    EXPECT_EQ(table->visibleCells()->count(), 16u);
    EXPECT_EQ(cellTexts(table).size(), 16u) << "cells are the table's own subviews";

    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(m_ui.dragScrollView(table, CGPointMake(0, 600)));
    dv::testing::DragOptions fling;
    fling.releaseVelocity = CGPointMake(0, 3000);
    ASSERT_TRUE(m_ui.dragScrollView(table, CGPointMake(0, 300), fling));
    EXPECT_GT(table->contentOffset().y, 4000);
    EXPECT_LE(m_rows->made, 17) << "a row entering while another leaves may need one more";
    const NSInteger top = NSInteger(table->contentOffset().y / 44);
    auto visible = table->indexPathsForVisibleRows();
    ASSERT_GE(visible->count(), 16u);
    EXPECT_EQ(dv::as<NSIndexPath>(visible->firstObject())->row(), top);
    auto cell = table->cellForRowAtIndexPath(path(0, top + 3));
    ASSERT_TRUE(cell);
    EXPECT_EQ(dv::str(cell->textLabel()->text()), "0-" + std::to_string(top + 3));
    EXPECT_EQ(cell->frame(), CGRectMake(0, CGFloat(top + 3) * 44, 375, 44));
    EXPECT_EQ(cellTexts(table).size(), visible->count());
}

TEST_F(TableViewTest, DequeueAnswersNilUntilACellHasLeftTheScreen)
{
    m_rows->counts = {30};
    auto table = makeTable();
    EXPECT_FALSE(table->dequeueReusableCellWithIdentifier("row"_ns));
    table->setContentOffset(CGPointMake(0, 300));
    m_ui.runUntilIdle();
    EXPECT_EQ(m_rows->made, 16) << "the cells that left were handed out again";
    table->setContentOffset(CGPointMake(0, 0));
    m_ui.runUntilIdle();
    table->setContentOffset(CGPointMake(0, 700));
    m_ui.runUntilIdle();
    auto spare = table->dequeueReusableCellWithIdentifier("row"_ns);
    EXPECT_TRUE(spare) << "rows 0 to 15 left; the pool holds what the new rows did not take";
    EXPECT_FALSE(spare && spare->superview());
    EXPECT_FALSE(table->dequeueReusableCellWithIdentifier("other"_ns));
}

TEST_F(TableViewTest, GroupedHeightsComeFromTheDelegateAndZeroMeansTheDefault)
{
    m_rows->counts = {1, 4};
    m_rows->heights[{0, 0}] = 80;
    m_rows->headerHeight = CGFloat(float(0.1));
    m_rows->footerHeight = 8;
    auto table = makeTable(UITableViewStyleGrouped);
    const CGFloat header = CGFloat(float(0.1));
    EXPECT_EQ(table->rectForHeaderInSection(0), CGRectMake(0, 0, 375, header));
    EXPECT_EQ(table->rectForRowAtIndexPath(path(0, 0)), CGRectMake(0, header, 375, 80));
    EXPECT_EQ(table->rectForFooterInSection(0), CGRectMake(0, header + 80, 375, 8));
    EXPECT_EQ(table->rectForRowAtIndexPath(path(1, 2)), CGRectMake(0, (header + 80 + 8) + header + 88, 375, 44));
    EXPECT_EQ(table->contentSize().height, 2 * (header + 8) + 80 + 4 * 44);
    EXPECT_EQ(name(table->indexPathForRowAtPoint(CGPointMake(10, 100 + 44))), "1-1");
    EXPECT_FALSE(table->indexPathForRowAtPoint(CGPointMake(10, header + 81))) << "a footer is no row";

    m_rows->headerHeight = 0;
    table->reloadData();
    EXPECT_EQ(table->rectForHeaderInSection(0).size.height, 10) << "0 asks for the grouped default";
    m_rows->headerHeight.reset();
    m_rows->footerHeight.reset();
    table->reloadData();
    EXPECT_EQ(table->rectForSection(1), CGRectMake(0, 10 + 80 + 10, 375, 10 + 4 * 44 + 10));

    auto plain = makeTable(UITableViewStylePlain);
    EXPECT_EQ(plain->rectForHeaderInSection(1).size.height, 0) << "a plain section without a title has no header";
    m_rows->headerTitles[1] = "标题";
    plain->reloadData();
    EXPECT_EQ(plain->rectForHeaderInSection(1).size.height, 22);
    m_ui.runUntilIdle();
    EXPECT_TRUE(m_ui.viewWithText("标题"));
}

TEST_F(TableViewTest, ATapHighlightsWhileDownAndSelectsOnTheLift)
{
    m_rows->counts = {20};
    auto table = makeTable();
    auto cell = table->cellForRowAtIndexPath(path(0, 2));
    const CGPoint point = CGPointMake(100, 2 * 44 + 20);
    auto touch = m_ui.touchDown(point);
    EXPECT_TRUE(cell->isHighlighted());
    EXPECT_TRUE(m_journal.empty());
    m_ui.touchUp(touch, point);
    EXPECT_FALSE(cell->isHighlighted());
    EXPECT_TRUE(cell->isSelected());
    EXPECT_EQ(m_journal, (Journal {"willSelect 0-2", "didSelect 0-2 selected"}));
    EXPECT_EQ(name(table->indexPathForSelectedRow()), "0-2");

    m_journal.clear();
    ASSERT_TRUE(m_ui.tapRow(table, path(0, 5)));
    EXPECT_EQ(m_journal, (Journal {"willSelect 0-5", "willDeselect 0-2", "didDeselect 0-2", "didSelect 0-5 selected"}));
    EXPECT_FALSE(cell->isSelected());

    m_journal.clear();
    m_rows->redirect = path(0, 7);
    ASSERT_TRUE(m_ui.tapRow(table, path(0, 6)));
    EXPECT_EQ(m_journal, (Journal {"willSelect 0-6", "willDeselect 0-5", "didDeselect 0-5", "didSelect 0-7 selected"}));
    m_rows->redirect = Ref<NSIndexPath>();
    m_journal.clear();
    ASSERT_TRUE(m_ui.tapRow(table, path(0, 6)));
    EXPECT_EQ(m_journal, (Journal {"willSelect 0-6"})) << "nil from willSelect: nothing selected";

    table->deselectRowAtIndexPath(path(0, 7), true);
    EXPECT_FALSE(table->indexPathForSelectedRow());
    m_rows->redirect.reset();
    m_rows->refuseHighlight = true;
    m_journal.clear();
    ASSERT_TRUE(m_ui.tapRow(table, path(0, 1)));
    EXPECT_TRUE(m_journal.empty()) << "a row that may not highlight is not chosen by a tap";
}

TEST_F(TableViewTest, ADragTakesTheTouchAndATapThatStopsTheListChoosesNothing)
{
    m_rows->counts = {100};
    auto table = makeTable();
    auto touch = m_ui.touchDown(CGPointMake(100, 200));
    auto cell = table->cellForRowAtIndexPath(path(0, 4));
    EXPECT_TRUE(cell->isHighlighted());
    for (int i = 1; i <= 4; ++i) {
        m_ui.advance(1.0 / 60);
        m_ui.touchMove(touch, CGPointMake(100, 200 - 10 * i));
    }
    EXPECT_FALSE(cell->isHighlighted()) << "the pan took the touch";
    m_ui.touchUp(touch, CGPointMake(100, 160));
    m_ui.settle(table);
    EXPECT_TRUE(m_journal.empty());

    dv::testing::DragOptions fling;
    fling.releaseVelocity = CGPointMake(0, 2000);
    fling.settle = false;
    ASSERT_TRUE(m_ui.dragScrollView(table, CGPointMake(0, 200), fling));
    m_ui.advance(0.2);
    ASSERT_TRUE(table->isDecelerating());
    ASSERT_TRUE(m_ui.tap(CGPointMake(100, 300)));
    EXPECT_FALSE(table->isDecelerating());
    EXPECT_TRUE(m_journal.empty()) << "the tap only stopped the list";
    ASSERT_TRUE(m_ui.tap(CGPointMake(100, 300)));
    EXPECT_EQ(m_journal.size(), 2u) << "the next tap chooses";
}

TEST_F(TableViewTest, SelectionFollowsTheRowWhenItsCellIsReusedAndEndsWithAReload)
{
    m_rows->counts = {100};
    auto table = makeTable();
    table->selectRowAtIndexPath(path(0, 1), false, UITableViewScrollPositionNone);
    EXPECT_TRUE(m_journal.empty()) << "selecting in code tells no delegate";
    table->setContentOffset(CGPointMake(0, 1000));
    m_ui.runUntilIdle();
    const auto cells = table->visibleCells();
    for (auto& item : cells->items())
        EXPECT_FALSE(dv::as<UITableViewCell>(item)->isSelected()) << "a reused cell is not shown selected";
    table->setContentOffset(CGPointZero);
    m_ui.runUntilIdle();
    EXPECT_TRUE(table->cellForRowAtIndexPath(path(0, 1))->isSelected());
    table->reloadData();
    EXPECT_FALSE(table->indexPathForSelectedRow());
    EXPECT_EQ(table->visibleCells()->count(), 0u) << "the cells wait for the next layout";
    m_ui.runUntilIdle();
    EXPECT_FALSE(table->cellForRowAtIndexPath(path(0, 1))->isSelected());
}

TEST_F(TableViewTest, ScrollToRowPlacesItAsAsked)
{
    m_rows->counts = {100};
    auto table = makeTable(UITableViewStylePlain, CGRectMake(0, 0, 375, 440));
    table->scrollToRowAtIndexPath(path(0, 20), UITableViewScrollPositionTop, false);
    EXPECT_EQ(table->contentOffset().y, 880);
    table->scrollToRowAtIndexPath(path(0, 20), UITableViewScrollPositionBottom, false);
    EXPECT_EQ(table->contentOffset().y, 880 + 44 - 440);
    table->scrollToRowAtIndexPath(path(0, 20), UITableViewScrollPositionMiddle, false);
    EXPECT_EQ(table->contentOffset().y, 880 + 22 - 220);
    table->scrollToRowAtIndexPath(path(0, 21), UITableViewScrollPositionNone, false);
    EXPECT_EQ(table->contentOffset().y, 880 + 22 - 220) << "already in view";
    table->scrollToRowAtIndexPath(path(0, 99), UITableViewScrollPositionTop, false);
    EXPECT_EQ(table->contentOffset().y, 4400 - 440) << "never past the end";
    table->scrollToRowAtIndexPath(path(0, 0), UITableViewScrollPositionTop, true);
    m_ui.settle(table);
    EXPECT_EQ(table->contentOffset().y, 0);
}

TEST_F(TableViewTest, FooterViewsAreAskedForWhileOnScreen)
{
    m_rows->counts = {5, 5, 5, 5, 5, 5};
    m_rows->footerHeight = 300;
    m_rows->footerViews = true;
    auto table = makeTable(UITableViewStyleGrouped);
    EXPECT_TRUE(m_ui.viewWithTag(100));
    EXPECT_FALSE(m_ui.viewWithTag(101)) << "section 1's footer is below the screen";
    const int asked = m_rows->footerViewsAsked;
    table->setNeedsLayout();
    m_ui.runUntilIdle();
    EXPECT_EQ(m_rows->footerViewsAsked, asked) << "a footer on screen is kept";
    const CGRect footer = table->rectForFooterInSection(1);
    EXPECT_EQ(m_ui.viewWithTag(100)->frame(), table->rectForFooterInSection(0));
    ASSERT_TRUE(m_ui.dragScrollView(table, CGPointMake(0, footer.origin.y - 100)));
    EXPECT_TRUE(m_ui.viewWithTag(101));
    EXPECT_FALSE(m_ui.viewWithTag(100)) << "gone once off screen";
}

TEST_F(TableViewTest, TableHeaderAndFooterViewsFrameTheSectionsAndAFooterViewEndsTheSeparators)
{
    m_rows->counts = {3};
    auto table = makeTable();
    auto header = alloc<UIView>()->initWithFrame(CGRectMake(0, 0, 10, 50));
    table->setTableHeaderView(header);
    m_ui.runUntilIdle();
    EXPECT_EQ(header->frame(), CGRectMake(0, 0, 375, 50));
    EXPECT_EQ(table->rectForRowAtIndexPath(path(0, 0)).origin.y, 50);
    EXPECT_EQ(table->cellForRowAtIndexPath(path(0, 0))->frame().origin.y, 50);
    EXPECT_EQ(table->contentSize().height, 50 + 3 * 44);

    auto hairlines = [&] {
        int count = 0;
        const auto subviews = table->subviews();
        for (auto& item : subviews->items()) {
            auto view = dv::as<UIView>(item);
            const CGFloat height = view->frame().size.height;
            if (!dv::as<UITableViewCell>(view) && !view->isHidden() && height > 0 && height < 1)
                ++count;
        }
        return count;
    };
    EXPECT_EQ(hairlines(), int((667 - 182) / 44)) << "separators go on below the last row";
    table->setTableFooterView(alloc<UIView>()->init());
    m_ui.runUntilIdle();
    EXPECT_EQ(hairlines(), 0) << "an empty footer view ends them";
    table->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    m_ui.runUntilIdle();
    for (auto& view : m_ui.findAll(dv::testing::ViewQuery()))
        EXPECT_FALSE(view->frame().size.height > 0 && view->frame().size.height < 1) << "no separator shows";
}

TEST_F(TableViewTest, ThePlainHeaderStaysOnTopWhileItsSectionIsInView)
{
    m_rows->counts = {20, 20};
    m_rows->headerTitles = {{0, "一"}, {1, "二"}};
    auto table = makeTable();
    table->setContentOffset(CGPointMake(0, 300));
    m_ui.runUntilIdle();
    auto first = m_ui.viewWithText("一")->superview();
    EXPECT_EQ(first->frame().origin.y, 300);
    table->setContentOffset(CGPointMake(0, 22 + 20 * 44 - 10));
    m_ui.runUntilIdle();
    EXPECT_EQ(first->frame().origin.y, 20 * 44) << "pushed up by the end of its section";
}

TEST_F(TableViewTest, HooksRunAfterEveryReloadWithTheNewCounts)
{
    std::vector<NSInteger> totals;
    Weak<UITableView> seen;
    auto hook = UITableView::addReloadDataHook([&](const Ref<UIScrollView>& view) {
        auto table = dv::as<UITableView>(view);
        NSInteger total = 0;
        for (NSInteger s = 0; s < table->numberOfSections(); ++s)
            total += table->numberOfRowsInSection(s);
        totals.push_back(total);
        seen = table;
    });
    m_rows->counts = {3, 4};
    auto table = makeTable();
    m_rows->counts = {0};
    table->reloadData();
    m_rows->counts = {2, 2, 2};
    table->reloadData();
    UITableView::removeReloadDataHook(hook);
    table->reloadData();
    EXPECT_EQ(totals, (std::vector<NSInteger> {7, 0, 6})) << "the first load counts as a reload";
    EXPECT_EQ(seen.lock(), table);
}

TEST_F(TableViewTest, ACellLaysOutItsStyleAndAccessory)
{
    auto cell = alloc<UITableViewCell>()->initWithStyle(UITableViewCellStyleValue1, "c"_ns);
    cell->setFrame(CGRectMake(0, 0, 375, 44));
    cell->textLabel()->setText("设备号"_ns);
    cell->detailTextLabel()->setText("12"_ns);
    cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
    m_window->addSubview(cell);
    m_ui.runUntilIdle();
    EXPECT_EQ(cell->contentView()->frame(), CGRectMake(0, 0, 375 - 15 - 8 - 10, 44));
    EXPECT_EQ(CGRectGetMaxX(cell->detailTextLabel()->frame()), 375 - 15 - 8 - 10 - 15);
    EXPECT_EQ(cell->textLabel()->frame().origin.x, 15);
    EXPECT_FALSE(alloc<UITableViewCell>()->initWithStyle(UITableViewCellStyleDefault, nil)->detailTextLabel());
    cell->setSelected(true);
    EXPECT_NE(m_ui.dump().find("selected accessory=disclosure"), std::string::npos) << m_ui.dump();
    cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    cell->setSelected(true);
    EXPECT_TRUE(cell->selectedBackgroundView()->isHidden()) << "no highlight look without a selection style";
}

TEST_F(TableViewTest, AButtonInACellTakesItsTapAndTheRowIsNotChosen)
{
    m_rows->counts = {5};
    auto table = makeTable();
    auto target = alloc<ActionTarget>();
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(CGRectMake(0, 0, 100, 44));
    button->addTarget(target, "fire", UIControlEventTouchUpInside);
    table->cellForRowAtIndexPath(path(0, 1))->contentView()->addSubview(button);
    m_ui.runUntilIdle();
    ASSERT_TRUE(m_ui.tap(button));
    EXPECT_EQ(target->calls, (Journal {"fire"}));
    EXPECT_TRUE(m_journal.empty());
}

namespace {

// Makes a new cell for every row, with a reuse identifier, and never dequeues.
class NewCells : public NSObject, public UITableViewDataSource {
public:
    std::vector<Weak<UITableViewCell>> made;
    NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger) override { return 2000; }
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>&) override
    {
        auto cell = alloc<UITableViewCell>()->initWithStyle(UITableViewCellStyleDefault, "aboutvqCell"_ns);
        made.push_back(cell);
        return cell;
    }
};

} // namespace

TEST_F(TableViewTest, CellsThatAreNeverDequeuedDoNotPileUp)
{
    auto source = std::make_shared<NewCells>();
    auto table = alloc<UITableView>()->initWithFrame(CGRectMake(0, 0, 375, 667), UITableViewStylePlain);
    table->setDataSource(source);
    m_window->addSubview(table);
    m_ui.runUntilIdle();
    for (int screen = 1; screen <= 100; ++screen) {
        table->setContentOffset(CGPointMake(0, 667 * screen));
        m_ui.runUntilIdle();
    }
    const auto alive = std::count_if(source->made.begin(), source->made.end(), [](auto& cell) { return !cell.expired(); });
    EXPECT_GT(source->made.size(), 1500u);
    EXPECT_LE(std::size_t(alive), table->visibleCells()->count() + 32) << "what shows, and a bounded pool";
}

TEST_F(TableViewTest, ABackSwipeOverAListPopsTheScreenAndAnUpwardDragScrollsTheList)
{
    m_rows->counts = {100};
    auto root = alloc<UIViewController>()->init();
    auto list = alloc<UIViewController>()->init();
    auto navigation = alloc<UINavigationController>()->initWithRootViewController(root);
    m_window->setRootViewController(navigation);
    navigation->pushViewController(list, false);
    m_ui.runUntilIdle();
    auto table = alloc<UITableView>()->initWithFrame(list->view()->bounds(), UITableViewStylePlain);
    table->setDataSource(m_rows);
    list->view()->addSubview(table);
    m_ui.runUntilIdle();

    ASSERT_TRUE(m_ui.dragScrollView(table, CGPointMake(0, 300)));
    EXPECT_EQ(table->contentOffset().y, 300);
    EXPECT_EQ(m_ui.topViewController(), list);
    ASSERT_TRUE(m_ui.swipeBack(0.7));
    m_ui.advance(0.4);
    EXPECT_EQ(m_ui.topViewController(), root) << "the list, which scrolls only up and down, leaves a sideways pan to the back swipe";
    EXPECT_EQ(table->contentOffset().y, 300);
}
