// The waterfall layout in a collection view on screen: where items, headers and footers stand for
// known sizes, the content size, the column count and empty sections, and sticky headers while a
// person drags the list.
#include "ToolkitTestSupport.h"

#include "platform/base/NSIndexPath.h"
#include "platform/base/NSString.h"
#include "ui/toolkit/views/DDCollectionViewFlowLayout.h"

#include <optional>

using namespace dv::test;

namespace {

Ref<NSIndexPath> path(NSInteger section, NSInteger item) { return NSIndexPath::indexPathForItem(item, section); }

std::string text(CGRect rect) { return NSStringFromCGRectUTF8(rect); }

constexpr NSInteger kHeaderTag = 100;
constexpr NSInteger kFooterTag = 200;

// Data source and layout delegate in one, as the application's screens are: sections of items
// with given heights, and per section the column count and whatever else is set.
class Grid : public NSObject, public UICollectionViewDataSource, public DDCollectionViewDelegateFlowLayout {
public:
    struct Section {
        Section(NSInteger columnCount, std::vector<CGFloat> itemHeights) : columns(columnCount), heights(std::move(itemHeights)) { }
        Section& withInsets(UIEdgeInsets value) { insets = value; return *this; }
        Section& withSpacing(std::optional<CGFloat> interitem, std::optional<CGFloat> line)
        {
            interitemSpacing = interitem;
            lineSpacing = line;
            return *this;
        }
        Section& withHeader(CGSize size) { header = size; return *this; }
        Section& withFooter(CGSize size) { footer = size; return *this; }
        Section& unsized() { sized = false; return *this; }

        NSInteger columns;
        std::vector<CGFloat> heights; // one per item
        bool sized = true;            // NO: the delegate gives no item size
        std::optional<UIEdgeInsets> insets;
        std::optional<CGFloat> interitemSpacing;
        std::optional<CGFloat> lineSpacing;
        std::optional<CGSize> header;
        std::optional<CGSize> footer;
    };
    std::vector<Section> sections;
    Journal selected;

    std::optional<NSInteger> numberOfSectionsInCollectionView(const Ref<UICollectionView>&) override { return NSInteger(sections.size()); }
    NSInteger collectionViewNumberOfItemsInSection(const Ref<UICollectionView>&, NSInteger s) override
    {
        return NSInteger(sections[std::size_t(s)].heights.size());
    }
    Ref<UICollectionViewCell> collectionViewCellForItemAtIndexPath(const Ref<UICollectionView>& view, const Ref<NSIndexPath>& p) override
    {
        auto cell = view->dequeueReusableCellWithReuseIdentifier("cell"_ns, p);
        cell->setBackgroundColor(UIColor::lightGrayColor());
        return cell;
    }
    Ref<UICollectionReusableView> collectionViewViewForSupplementaryElementOfKindAtIndexPath(const Ref<UICollectionView>& view,
        const Ref<NSString>& kind, const Ref<NSIndexPath>& p) override
    {
        const bool header = kind->isEqualToString(UICollectionElementKindSectionHeader);
        auto supplementary = view->dequeueReusableSupplementaryViewOfKind(kind, header ? "header"_ns : "footer"_ns, p);
        supplementary->setTag((header ? kHeaderTag : kFooterTag) + p->section());
        supplementary->setBackgroundColor(header ? UIColor::redColor() : UIColor::greenColor());
        return supplementary;
    }

    NSInteger collectionViewLayoutNumberOfColumnsInSection(const Ref<UICollectionView>&, const Ref<UICollectionViewLayout>&, NSInteger s) override
    {
        return sections[std::size_t(s)].columns;
    }
    std::optional<CGSize> collectionViewLayoutSizeForItemAtIndexPath(const Ref<UICollectionView>&, const Ref<UICollectionViewLayout>&,
        const Ref<NSIndexPath>& p) override
    {
        auto& section = sections[std::size_t(p->section())];
        if (!section.sized)
            return std::nullopt;
        // The width is meant to be ignored.
        return CGSizeMake(999, section.heights[std::size_t(p->item())]);
    }
    std::optional<UIEdgeInsets> collectionViewLayoutInsetForSectionAtIndex(const Ref<UICollectionView>&, const Ref<UICollectionViewLayout>&,
        NSInteger s) override
    {
        return sections[std::size_t(s)].insets;
    }
    std::optional<CGFloat> collectionViewLayoutMinimumInteritemSpacingForSectionAtIndex(const Ref<UICollectionView>&,
        const Ref<UICollectionViewLayout>&, NSInteger s) override
    {
        return sections[std::size_t(s)].interitemSpacing;
    }
    std::optional<CGFloat> collectionViewLayoutMinimumLineSpacingForSectionAtIndex(const Ref<UICollectionView>&,
        const Ref<UICollectionViewLayout>&, NSInteger s) override
    {
        return sections[std::size_t(s)].lineSpacing;
    }
    std::optional<CGSize> collectionViewLayoutReferenceSizeForHeaderInSection(const Ref<UICollectionView>&, const Ref<UICollectionViewLayout>&,
        NSInteger s) override
    {
        return sections[std::size_t(s)].header;
    }
    std::optional<CGSize> collectionViewLayoutReferenceSizeForFooterInSection(const Ref<UICollectionView>&, const Ref<UICollectionViewLayout>&,
        NSInteger s) override
    {
        return sections[std::size_t(s)].footer;
    }
    bool collectionViewDidSelectItemAtIndexPath(const Ref<UICollectionView>&, const Ref<NSIndexPath>& p) override
    {
        selected.push_back(std::to_string(p->section()) + "-" + std::to_string(p->item()));
        return true;
    }
};

// Counts its preparations.
class CountingWaterfall : public DDCollectionViewFlowLayout {
public:
    int prepared = 0;
    void prepareLayout() override
    {
        ++prepared;
        DDCollectionViewFlowLayout::prepareLayout();
    }
};

class WaterfallLayoutTest : public ToolkitTest {
protected:
    // A collection view of `frame` in the window, laid out by a waterfall layout over m_grid.
    void present(CGRect frame, bool sticky = false)
    {
        m_layout = alloc<CountingWaterfall>();
        m_layout->init();
        m_layout->setDelegate(m_grid);
        m_layout->setEnableStickyHeaders(sticky);
        m_view = alloc<UICollectionView>()->initWithFrame(frame, m_layout);
        m_view->setBackgroundColor(UIColor::whiteColor());
        m_view->registerClassForCellWithReuseIdentifier<UICollectionViewCell>("cell"_ns);
        m_view->registerClassForSupplementaryViewOfKindWithReuseIdentifier<UICollectionReusableView>(UICollectionElementKindSectionHeader, "header"_ns);
        m_view->registerClassForSupplementaryViewOfKindWithReuseIdentifier<UICollectionReusableView>(UICollectionElementKindSectionFooter, "footer"_ns);
        m_view->setDataSource(m_grid);
        m_view->setDelegate(m_grid);
        m_window->addSubview(m_view);
        m_ui.runUntilIdle();
    }

    // The frame of the item's cell on screen, in the content; the null rectangle when none shows.
    CGRect cellFrame(NSInteger section, NSInteger item) const
    {
        auto cell = m_view->cellForItemAtIndexPath(path(section, item));
        return cell && cell->superview() == m_view ? cell->frame() : CGRectNull;
    }
    // The section's header (or footer) view on screen, nil when none shows.
    Ref<UIView> supplementary(NSInteger tag) const
    {
        const auto subviews = m_view->subviews();
        for (auto& view : subviews->items())
            if (auto reusable = dv::as<UICollectionReusableView>(view); reusable && !dv::as<UICollectionViewCell>(view) && reusable->tag() == tag)
                return reusable;
        return nil;
    }
    CGRect headerFrame(NSInteger section) const
    {
        auto header = supplementary(kHeaderTag + section);
        return header ? header->frame() : CGRectNull;
    }
    // Drags the list by `change` points of offset and lets it rest.
    void dragBy(CGFloat change)
    {
        ASSERT_TRUE(m_ui.dragScrollView(m_view, CGPointMake(0, change)));
        m_ui.runUntilIdle();
    }

    Ref<Grid> m_grid = std::make_shared<Grid>();
    Ref<CountingWaterfall> m_layout;
    Ref<UICollectionView> m_view;
};

TEST_F(WaterfallLayoutTest, EachItemGoesUnderTheShortestColumnTheLeftmostAmongEqualOnes)
{
    m_grid->sections = {Grid::Section(2, {100, 50, 30, 20, 40})};
    present(CGRectMake(0, 0, 200, 400));

    EXPECT_EQ(text(cellFrame(0, 0)), text(CGRectMake(0, 0, 100, 100)));
    EXPECT_EQ(text(cellFrame(0, 1)), text(CGRectMake(100, 0, 100, 50)));
    // The right column is the shorter one now, twice.
    EXPECT_EQ(text(cellFrame(0, 2)), text(CGRectMake(100, 50, 100, 30)));
    EXPECT_EQ(text(cellFrame(0, 3)), text(CGRectMake(100, 80, 100, 20)));
    // Both end at 100: the left one takes it.
    EXPECT_EQ(text(cellFrame(0, 4)), text(CGRectMake(0, 100, 100, 40)));
    EXPECT_EQ(m_view->contentSize(), CGSizeMake(200, 140));
    EXPECT_EQ(m_layout->columnRectsInSection()[0][1].size(), 3u);
}

TEST_F(WaterfallLayoutTest, InsetsSpacingsHeadersAndFootersPlaceTheSections)
{
    // 330 wide, 10-point side insets and 5 points between three columns: columns of 100.
    m_grid->sections = {
        Grid::Section(3, {40, 60, 20, 10}).withInsets(UIEdgeInsetsMake(10, 10, 6, 10)).withSpacing(5, 4).withHeader(CGSizeMake(330, 30))
            .withFooter(CGSizeMake(300, 20)),
        Grid::Section(1, {50, 25}).withInsets(UIEdgeInsetsMake(2, 0, 0, 0)).withSpacing(std::nullopt, 3).withHeader(CGSizeMake(330, 30))
            .withFooter(CGSizeMake(330, 10)),
    };
    present(CGRectMake(0, 0, 330, 500));

    EXPECT_EQ(text(headerFrame(0)), text(CGRectMake(0, 0, 330, 30)));
    // First items at the section's top + header + top inset, later ones a line spacing lower.
    EXPECT_EQ(text(cellFrame(0, 0)), text(CGRectMake(10, 40, 100, 40)));
    EXPECT_EQ(text(cellFrame(0, 1)), text(CGRectMake(115, 40, 100, 60)));
    EXPECT_EQ(text(cellFrame(0, 2)), text(CGRectMake(220, 40, 100, 20)));
    EXPECT_EQ(text(cellFrame(0, 3)), text(CGRectMake(220, 64, 100, 10)));
    // The footer below the tallest column and the bottom inset, at its own width.
    EXPECT_EQ(text(supplementary(kFooterTag)->frame()), text(CGRectMake(0, 106, 300, 20)));
    EXPECT_EQ(text(m_layout->sectionRects()[0]), text(CGRectMake(0, 0, 330, 126)));

    EXPECT_EQ(text(headerFrame(1)), text(CGRectMake(0, 126, 330, 30)));
    EXPECT_EQ(text(cellFrame(1, 0)), text(CGRectMake(0, 158, 330, 50)));
    EXPECT_EQ(text(cellFrame(1, 1)), text(CGRectMake(0, 211, 330, 25)));
    EXPECT_EQ(text(supplementary(kFooterTag + 1)->frame()), text(CGRectMake(0, 236, 330, 10)));
    EXPECT_EQ(m_view->contentSize(), CGSizeMake(330, 246));
}

TEST_F(WaterfallLayoutTest, TheCategoryGridOfTheDirectory)
{
    // Two columns on a 320-point screen, 5 points of spacing and insets, items 50 high (the width
    // asked for, half the screen, does not count).
    m_grid->sections = {Grid::Section(2, {50, 50, 50, 50, 50}).withInsets(UIEdgeInsetsMake(5, 5, 5, 5)).withSpacing(5, 5)};
    present(CGRectMake(0, 0, 320, 504));

    EXPECT_EQ(text(cellFrame(0, 0)), text(CGRectMake(5, 5, 152.5, 50)));
    EXPECT_EQ(text(cellFrame(0, 1)), text(CGRectMake(162.5, 5, 152.5, 50)));
    EXPECT_EQ(text(cellFrame(0, 2)), text(CGRectMake(5, 60, 152.5, 50)));
    EXPECT_EQ(text(cellFrame(0, 3)), text(CGRectMake(162.5, 60, 152.5, 50)));
    EXPECT_EQ(text(cellFrame(0, 4)), text(CGRectMake(5, 115, 152.5, 50)));
    EXPECT_EQ(m_view->contentSize(), CGSizeMake(320, 170));

    // A tap finds the item the layout put there.
    ASSERT_TRUE(m_ui.tap(CGPointMake(240, 80)));
    EXPECT_EQ(m_grid->selected, Journal({"0-3"}));
}

TEST_F(WaterfallLayoutTest, ItemsWithoutASizeAreSquare)
{
    m_grid->sections = {Grid::Section(3, {0, 0, 0, 0}).unsized().withSpacing(15, std::nullopt)};
    present(CGRectMake(0, 0, 330, 400));
    EXPECT_EQ(text(cellFrame(0, 0)), text(CGRectMake(0, 0, 100, 100)));
    EXPECT_EQ(text(cellFrame(0, 2)), text(CGRectMake(230, 0, 100, 100)));
    EXPECT_EQ(text(cellFrame(0, 3)), text(CGRectMake(0, 100, 100, 100)));
}

TEST_F(WaterfallLayoutTest, ColumnsLeftEmptyAndSectionsWithoutItemsKeepTheirPlace)
{
    const UIEdgeInsets insets = UIEdgeInsetsMake(10, 0, 5, 0);
    m_grid->sections = {
        Grid::Section(3, {40, 70}).withInsets(insets).withHeader(CGSizeMake(300, 20)).withFooter(CGSizeMake(300, 8)),
        Grid::Section(2, {}).withInsets(insets).withHeader(CGSizeMake(300, 20)).withFooter(CGSizeMake(300, 8)),
        Grid::Section(2, {30}).withInsets(insets).withHeader(CGSizeMake(300, 20)),
    };
    present(CGRectMake(0, 0, 300, 500));

    // The third column stays empty; the section is as tall as its taller item allows.
    EXPECT_EQ(text(m_layout->sectionRects()[0]), text(CGRectMake(0, 0, 300, 20 + 10 + 70 + 5 + 8)));
    EXPECT_TRUE(m_layout->columnRectsInSection()[0][2].empty());
    // The empty section keeps its header, its insets and its footer, below the first one.
    EXPECT_EQ(text(m_layout->sectionRects()[1]), text(CGRectMake(0, 113, 300, 20 + 10 + 5 + 8)));
    EXPECT_EQ(text(headerFrame(1)), text(CGRectMake(0, 113, 300, 20)));
    EXPECT_EQ(text(supplementary(kFooterTag + 1)->frame()), text(CGRectMake(0, 148, 300, 8)));
    // And the section after it follows on.
    EXPECT_EQ(text(headerFrame(2)), text(CGRectMake(0, 156, 300, 20)));
    EXPECT_EQ(text(cellFrame(2, 0)), text(CGRectMake(0, 186, 150, 30)));
    EXPECT_EQ(m_view->contentSize(), CGSizeMake(300, 221));
}

TEST_F(WaterfallLayoutTest, AColumnCountBelowOneIsOneColumn)
{
    m_grid->sections = {Grid::Section(0, {10, 20}), Grid::Section(-3, {30})};
    present(CGRectMake(0, 0, 300, 400));
    EXPECT_EQ(text(cellFrame(0, 0)), text(CGRectMake(0, 0, 300, 10)));
    EXPECT_EQ(text(cellFrame(0, 1)), text(CGRectMake(0, 10, 300, 20)));
    EXPECT_EQ(text(cellFrame(1, 0)), text(CGRectMake(0, 30, 300, 30)));
}

TEST_F(WaterfallLayoutTest, NoSectionsNoContent)
{
    present(CGRectMake(0, 0, 300, 400));
    EXPECT_EQ(m_view->contentSize(), CGSizeMake(300, 0));
    EXPECT_EQ(m_view->visibleCells()->count(), 0u);

    // The sections come with a reload.
    m_grid->sections = {Grid::Section(2, {10, 20, 30})};
    m_view->reloadData();
    m_ui.runUntilIdle();
    EXPECT_EQ(m_view->contentSize(), CGSizeMake(300, 40));
    EXPECT_EQ(text(cellFrame(0, 2)), text(CGRectMake(0, 10, 150, 30)));
}

TEST_F(WaterfallLayoutTest, AWiderListGetsWiderColumns)
{
    m_grid->sections = {Grid::Section(2, {10, 20})};
    present(CGRectMake(0, 0, 200, 400));
    m_view->setFrame(CGRectMake(0, 0, 300, 400));
    m_ui.runUntilIdle();
    EXPECT_EQ(text(cellFrame(0, 1)), text(CGRectMake(150, 0, 150, 20)));
    EXPECT_EQ(m_view->contentSize(), CGSizeMake(300, 20));
}

// Three sections under 40-point headers, two columns of 100-point items: section 0 spans 0-340,
// section 1 340-580 and section 2 580-1120. The list shows 400 points.
class StickyHeadersTest : public WaterfallLayoutTest {
protected:
    void SetUp() override
    {
        WaterfallLayoutTest::SetUp();
        auto section = [](std::size_t items) {
            return Grid::Section(2, std::vector<CGFloat>(items, 100)).withHeader(CGSizeMake(320, 40));
        };
        m_grid->sections = {section(6), section(4), section(10)};
    }
};

TEST_F(StickyHeadersTest, AHeaderStaysAtTheTopWhileItsSectionShowsAndIsPushedUpAtItsEnd)
{
    present(CGRectMake(0, 0, 320, 400), true);
    EXPECT_EQ(m_view->contentSize(), CGSizeMake(320, 1120));
    EXPECT_EQ(text(headerFrame(0)), text(CGRectMake(0, 0, 320, 40)));
    EXPECT_EQ(text(headerFrame(1)), text(CGRectMake(0, 340, 320, 40)));

    dragBy(100);
    ASSERT_EQ(m_view->contentOffset().y, 100);
    EXPECT_EQ(text(headerFrame(0)), text(CGRectMake(0, 100, 320, 40)));
    EXPECT_EQ(text(m_ui.frameInWindow(supplementary(kHeaderTag))), text(CGRectMake(0, 0, 320, 40)));
    EXPECT_EQ(text(headerFrame(1)), text(CGRectMake(0, 340, 320, 40)));

    // Near its section's end the header goes up with the last items.
    dragBy(220);
    ASSERT_EQ(m_view->contentOffset().y, 320);
    EXPECT_EQ(text(headerFrame(0)), text(CGRectMake(0, 300, 320, 40)));
    EXPECT_EQ(text(headerFrame(1)), text(CGRectMake(0, 340, 320, 40)));

    // The next section takes the top; the first one has gone.
    dragBy(130);
    ASSERT_EQ(m_view->contentOffset().y, 450);
    EXPECT_TRUE(CGRectIsNull(headerFrame(0)));
    EXPECT_EQ(text(headerFrame(1)), text(CGRectMake(0, 450, 320, 40)));
    EXPECT_EQ(text(headerFrame(2)), text(CGRectMake(0, 580, 320, 40)));

    // Back at the top every header stands in its place again.
    dragBy(-450);
    ASSERT_EQ(m_view->contentOffset().y, 0);
    EXPECT_EQ(text(headerFrame(0)), text(CGRectMake(0, 0, 320, 40)));
    EXPECT_EQ(text(headerFrame(1)), text(CGRectMake(0, 340, 320, 40)));
}

TEST_F(StickyHeadersTest, APinnedHeaderCoversTheCellsUnderIt)
{
    present(CGRectMake(0, 0, 320, 400), true);
    dragBy(100);
    auto header = supplementary(kHeaderTag);
    ASSERT_TRUE(header);
    // In front of every cell.
    bool headerSeen = false;
    const auto subviews = m_view->subviews();
    for (auto& view : subviews->items()) {
        headerSeen = headerSeen || view.get() == header.get();
        if (dv::as<UICollectionViewCell>(view)) {
            EXPECT_FALSE(headerSeen);
        }
    }
    EXPECT_TRUE(headerSeen);
    // Item 0 (0-100 in the content) is scrolled away; items 2 and 3 (140-240) lie under the header.
    const Pixels shot(m_ui.screenshot());
    EXPECT_TRUE(near(shot.at(50, 20), {255, 0, 0, 255})) << show(shot.at(50, 20));
    EXPECT_TRUE(near(shot.at(50, 60), {170, 170, 170, 255})) << show(shot.at(50, 60));

    // A tap on the header selects nothing beneath it; one below it selects the item there.
    ASSERT_TRUE(m_ui.tap(CGPointMake(50, 20)));
    EXPECT_TRUE(m_grid->selected.empty());
    ASSERT_TRUE(m_ui.tap(CGPointMake(250, 60)));
    EXPECT_EQ(m_grid->selected, Journal({"0-3"}));
}

TEST_F(StickyHeadersTest, HeadersPinBelowTheContentInset)
{
    present(CGRectMake(0, 0, 320, 400), true);
    m_view->setContentInset(UIEdgeInsetsMake(64, 0, 0, 0));
    m_view->setContentOffset(CGPointMake(0, -64));
    m_ui.runUntilIdle();
    EXPECT_EQ(text(m_ui.frameInWindow(supplementary(kHeaderTag))), text(CGRectMake(0, 64, 320, 40)));

    dragBy(100);
    ASSERT_EQ(m_view->contentOffset().y, 36);
    EXPECT_EQ(text(headerFrame(0)), text(CGRectMake(0, 100, 320, 40)));
    EXPECT_EQ(text(m_ui.frameInWindow(supplementary(kHeaderTag))), text(CGRectMake(0, 64, 320, 40)));
}

TEST_F(StickyHeadersTest, AHeaderWhoseItemsAreBelowTheVisibleAreaStaysInItsPlace)
{
    // Section 1's items start 20 points below its header, out of sight: its header must not take
    // its place from what section 0 shows.
    m_grid->sections[1].insets = UIEdgeInsetsMake(30, 0, 0, 0);
    present(CGRectMake(0, 0, 320, 400), true);
    EXPECT_TRUE(CGRectIsNull(cellFrame(1, 0)));
    EXPECT_EQ(text(headerFrame(1)), text(CGRectMake(0, 340, 320, 40)));
    EXPECT_EQ(text(headerFrame(0)), text(CGRectMake(0, 0, 320, 40)));
}

TEST_F(StickyHeadersTest, TheEndOfAWaterfallSectionIsItsLowestItem)
{
    // Section 0's last item lands in the shorter column: the header goes up only when the taller
    // column ends.
    m_grid->sections[0].heights = {300, 100, 100};
    present(CGRectMake(0, 0, 320, 400), true);
    // Section 0 spans 0-340: the left column's 300-point item under the header; the right column
    // ends at 240 with the last item, which still shows at 220.
    dragBy(220);
    ASSERT_EQ(m_view->contentOffset().y, 220);
    ASSERT_FALSE(CGRectIsNull(cellFrame(0, 2)));
    EXPECT_EQ(text(headerFrame(0)), text(CGRectMake(0, 220, 320, 40)));
    dragBy(90);
    EXPECT_EQ(text(headerFrame(0)), text(CGRectMake(0, 300, 320, 40)));
}

TEST_F(StickyHeadersTest, WithoutStickyHeadersTheHeadersScrollAwayAndScrollingDoesNotRelayout)
{
    present(CGRectMake(0, 0, 320, 400), false);
    const int prepared = m_layout->prepared;
    dragBy(100);
    EXPECT_TRUE(CGRectIsNull(headerFrame(0)));
    EXPECT_EQ(text(headerFrame(1)), text(CGRectMake(0, 340, 320, 40)));
    EXPECT_EQ(text(m_ui.frameInWindow(supplementary(kHeaderTag + 1))), text(CGRectMake(0, 240, 320, 40)));
    EXPECT_EQ(m_layout->prepared, prepared);

    // Switched on, every scroll step lays the list out again.
    m_layout->setEnableStickyHeaders(true);
    m_ui.runUntilIdle();
    EXPECT_EQ(text(headerFrame(0)), text(CGRectMake(0, 100, 320, 40)));
    const int before = m_layout->prepared;
    dragBy(50);
    EXPECT_GE(m_layout->prepared, before + 5);
    EXPECT_EQ(text(headerFrame(0)), text(CGRectMake(0, 150, 320, 40)));
}

} // namespace
