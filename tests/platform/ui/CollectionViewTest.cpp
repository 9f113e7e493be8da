#include "UITestSupport.h"

#include "platform/base/NSIndexPath.h"
#include "platform/base/NSString.h"

#include <algorithm>
#include <map>

using namespace dv::test;

namespace {

Ref<NSIndexPath> item(NSInteger section, NSInteger index) { return NSIndexPath::indexPathForItem(index, section); }

// A cell whose own initialiser adds a label, as the application's cells do.
class LabelCell : public UICollectionViewCell {
public:
    static int made;
    Ref<UILabel> label;
    int reused = 0;
    Ref<LabelCell> initWithFrame(CGRect frame)
    {
        UICollectionViewCell::initWithFrame(frame);
        label = alloc<UILabel>()->initWithFrame(CGRectMake(0, 0, 40, 20));
        contentView()->addSubview(label);
        ++made;
        return self<LabelCell>();
    }
    void prepareForReuse() override { ++reused; }
};
int LabelCell::made = 0;

class Header : public UICollectionReusableView {
public:
    Ref<Header> initWithFrame(CGRect frame)
    {
        UICollectionReusableView::initWithFrame(frame);
        setTag(77);
        return self<Header>();
    }
};

class Items : public NSObject, public UICollectionViewDataSource, public UICollectionViewDelegateFlowLayout {
public:
    explicit Items(Journal* journal) : m_journal(journal) { }
    std::vector<NSInteger> counts {10};
    std::map<NSInteger, CGSize> sizes;

    std::optional<NSInteger> numberOfSectionsInCollectionView(const Ref<UICollectionView>&) override { return NSInteger(counts.size()); }
    NSInteger collectionViewNumberOfItemsInSection(const Ref<UICollectionView>&, NSInteger s) override { return counts[std::size_t(s)]; }
    Ref<UICollectionViewCell> collectionViewCellForItemAtIndexPath(const Ref<UICollectionView>& view, const Ref<NSIndexPath>& p) override
    {
        auto cell = std::static_pointer_cast<LabelCell>(view->dequeueReusableCellWithReuseIdentifier("cell"_ns, p));
        cell->label->setText(NSString::stringWithFormat("%ld-%ld", long(p->section()), long(p->item())));
        return cell;
    }
    Ref<UICollectionReusableView> collectionViewViewForSupplementaryElementOfKindAtIndexPath(const Ref<UICollectionView>& view,
        const Ref<NSString>& kind, const Ref<NSIndexPath>& p) override
    {
        return view->dequeueReusableSupplementaryViewOfKind(kind, "header"_ns, p);
    }
    std::optional<CGSize> collectionViewLayoutSizeForItemAtIndexPath(const Ref<UICollectionView>&, const Ref<UICollectionViewLayout>&,
        const Ref<NSIndexPath>& p) override
    {
        auto it = sizes.find(p->item());
        if (it == sizes.end())
            return std::nullopt;
        return it->second;
    }
    bool collectionViewDidSelectItemAtIndexPath(const Ref<UICollectionView>&, const Ref<NSIndexPath>& p) override
    {
        m_journal->push_back("didSelect " + std::to_string(p->section()) + "-" + std::to_string(p->item()));
        return true;
    }
    bool collectionViewDidDeselectItemAtIndexPath(const Ref<UICollectionView>&, const Ref<NSIndexPath>& p) override
    {
        m_journal->push_back("didDeselect " + std::to_string(p->section()) + "-" + std::to_string(p->item()));
        return true;
    }

private:
    Journal* m_journal;
};

// A flow layout that counts its preparations and may ask to be prepared on every scroll step.
class CountingLayout : public UICollectionViewFlowLayout {
public:
    int prepared = 0;
    bool everyBoundsChange = false;
    void prepareLayout() override
    {
        ++prepared;
        UICollectionViewFlowLayout::prepareLayout();
    }
    bool shouldInvalidateLayoutForBoundsChange(CGRect bounds) override
    {
        return everyBoundsChange || UICollectionViewFlowLayout::shouldInvalidateLayoutForBoundsChange(bounds);
    }
};

// Places items 0..n-1 on top of each other with zIndex n - i, so the first stands in front.
class StackLayout : public UICollectionViewLayout {
public:
    std::vector<Ref<UICollectionViewLayoutAttributes>> attributes;
    void prepareLayout() override
    {
        attributes.clear();
        for (NSInteger i = 0; i < collectionView()->numberOfItemsInSection(0); ++i) {
            auto a = UICollectionViewLayoutAttributes::layoutAttributesForCellWithIndexPath(item(0, i));
            a->setFrame(CGRectMake(10 * CGFloat(i), 0, 100, 100));
            a->setZIndex(100 - i);
            attributes.push_back(a);
        }
    }
    CGSize collectionViewContentSize() override { return CGSizeMake(300, 100); }
    Ref<NSArray> layoutAttributesForElementsInRect(CGRect) override
    {
        auto all = NSMutableArray::array();
        for (auto& a : attributes)
            all->addObject(a);
        return all;
    }
};

class CollectionViewTest : public UITest {
protected:
    void SetUp() override
    {
        UITest::SetUp();
        LabelCell::made = 0;
        m_items = std::make_shared<Items>(&m_journal);
    }

    Ref<UICollectionView> make(const Ref<UICollectionViewLayout>& layout, CGRect frame, bool show = true)
    {
        auto view = alloc<UICollectionView>()->initWithFrame(frame, layout);
        view->registerClassForCellWithReuseIdentifier<LabelCell>("cell"_ns);
        view->registerClassForSupplementaryViewOfKindWithReuseIdentifier<Header>(UICollectionElementKindSectionHeader, "header"_ns);
        view->setDataSource(m_items);
        view->setDelegate(m_items);
        if (show) {
            m_window->addSubview(view);
            m_ui.runUntilIdle();
        }
        return view;
    }

    static CGRect frameOf(const Ref<UICollectionView>& view, NSInteger s, NSInteger i)
    {
        return view->layoutAttributesForItemAtIndexPath(item(s, i))->frame();
    }

    std::shared_ptr<Items> m_items;
};

} // namespace

TEST_F(CollectionViewTest, TheFlowLayoutFillsLinesSpreadingTheirItems)
{
    auto flow = alloc<UICollectionViewFlowLayout>()->init();
    flow->setItemSize(CGSizeMake(100, 50));
    flow->setSectionInset(UIEdgeInsetsMake(5, 10, 5, 10));
    flow->setHeaderReferenceSize(CGSizeMake(0, 30));
    m_items->counts = {5, 1};
    auto view = make(flow, CGRectMake(0, 0, 320, 480));
    // 300 points across: two items of 100 fit with the spacing, a third does not.
    EXPECT_EQ(frameOf(view, 0, 0), CGRectMake(10, 35, 100, 50));
    EXPECT_EQ(frameOf(view, 0, 1), CGRectMake(210, 35, 100, 50)) << "a line is spread to its full length";
    EXPECT_EQ(frameOf(view, 0, 2), CGRectMake(10, 95, 100, 50));
    EXPECT_EQ(frameOf(view, 0, 4), CGRectMake(10, 155, 100, 50)) << "a line of one item starts at the inset";
    EXPECT_EQ(frameOf(view, 1, 0), CGRectMake(10, 210 + 30 + 5, 100, 50));
    EXPECT_EQ(view->contentSize(), CGSizeMake(320, 210 + 30 + 5 + 50 + 5));
    auto header = view->collectionViewLayout()->layoutAttributesForSupplementaryViewOfKind(UICollectionElementKindSectionHeader, item(1, 0));
    EXPECT_EQ(header->frame(), CGRectMake(0, 210, 320, 30));
    EXPECT_EQ(m_ui.findAll(dv::testing::ViewQuery().withTag(77)).size(), 2u) << "both headers are on screen";

    m_items->sizes = {{0, CGSizeMake(90, 20)}, {1, CGSizeMake(90, 60)}, {2, CGSizeMake(90, 40)}};
    view->reloadData();
    m_ui.runUntilIdle();
    // 90 × 3 + 20 fits in 300: one line 60 high, gaps of 15, each item centred in the line.
    EXPECT_EQ(frameOf(view, 0, 0), CGRectMake(10, 35 + 20, 90, 20));
    EXPECT_EQ(frameOf(view, 0, 1), CGRectMake(115, 35, 90, 60));
    EXPECT_EQ(frameOf(view, 0, 2), CGRectMake(220, 35 + 10, 90, 40));
    EXPECT_EQ(frameOf(view, 0, 3), CGRectMake(10, 35 + 60 + 10, 100, 50));
}

TEST_F(CollectionViewTest, AHorizontalPagingCarouselShowsOnlyTheItemsInViewAndReusesTheirCells)
{
    auto flow = alloc<UICollectionViewFlowLayout>()->init();
    flow->setScrollDirection(UICollectionViewScrollDirectionHorizontal);
    flow->setMinimumLineSpacing(0);
    flow->setItemSize(CGSizeMake(300, 200));
    m_items->counts = {300};
    auto view = make(flow, CGRectMake(0, 100, 300, 200));
    view->setPagingEnabled(true);
    EXPECT_EQ(view->contentSize(), CGSizeMake(90000, 200));
    EXPECT_EQ(frameOf(view, 0, 7), CGRectMake(2100, 0, 300, 200));
    EXPECT_EQ(view->visibleCells()->count(), 1u);
    ASSERT_TRUE(m_ui.swipePage(view, dv::testing::SwipeDirection::Left));
    EXPECT_EQ(view->contentOffset(), CGPointMake(300, 0));
    ASSERT_TRUE(m_ui.swipePage(view, dv::testing::SwipeDirection::Left));
    ASSERT_TRUE(m_ui.swipePage(view, dv::testing::SwipeDirection::Left));
    EXPECT_EQ(view->contentOffset(), CGPointMake(900, 0));
    EXPECT_EQ(dv::as<NSIndexPath>(view->indexPathsForVisibleItems()->firstObject())->item(), 3);
    EXPECT_LE(LabelCell::made, 2) << "one on screen and one coming in";
    auto cell = std::static_pointer_cast<LabelCell>(view->cellForItemAtIndexPath(item(0, 3)));
    EXPECT_EQ(dv::str(cell->label->text()), "0-3");
    EXPECT_GT(cell->reused, 0);

    ASSERT_TRUE(m_ui.tapItem(view, item(0, 3)));
    EXPECT_EQ(m_journal, (Journal {"didSelect 0-3"}));
    EXPECT_TRUE(cell->isSelected());
    ASSERT_TRUE(m_ui.tapItem(view, item(0, 5)));
    EXPECT_EQ(m_journal, (Journal {"didSelect 0-3", "didDeselect 0-3", "didSelect 0-5"}));
    EXPECT_EQ(view->contentOffset(), CGPointMake(1500, 0)) << "the driver dragged it into view first";
}

TEST_F(CollectionViewTest, ScrollToItemWorksBeforeTheViewIsEverShown)
{
    auto flow = alloc<UICollectionViewFlowLayout>()->init();
    flow->setScrollDirection(UICollectionViewScrollDirectionHorizontal);
    flow->setMinimumLineSpacing(0);
    flow->setItemSize(CGSizeMake(300, 200));
    m_items->counts = {300};
    auto view = make(flow, CGRectMake(0, 0, 300, 200), false);
    view->scrollToItemAtIndexPath(item(0, 150), UICollectionViewScrollPositionNone, false);
    EXPECT_EQ(view->contentOffset(), CGPointMake(45000, 0));
    m_window->addSubview(view);
    m_ui.runUntilIdle();
    EXPECT_EQ(dv::as<NSIndexPath>(view->indexPathsForVisibleItems()->firstObject())->item(), 150);
    EXPECT_EQ(view->visibleCells()->count(), 1u);

    view->scrollToItemAtIndexPath(item(0, 151), UICollectionViewScrollPositionNone, true);
    m_ui.settle(view);
    EXPECT_EQ(view->contentOffset(), CGPointMake(45300, 0));
    view->scrollToItemAtIndexPath(item(0, 299), UICollectionViewScrollPositionCenteredHorizontally, false);
    EXPECT_EQ(view->contentOffset(), CGPointMake(89700, 0)) << "never past the end";
}

TEST_F(CollectionViewTest, TheLayoutIsPreparedFirstAfterReloadsInvalidationsAndEachScrollWhenItAsks)
{
    auto layout = alloc<CountingLayout>();
    layout->setItemSize(CGSizeMake(100, 100));
    m_items->counts = {100};
    auto view = make(layout, CGRectMake(0, 0, 320, 400));
    EXPECT_EQ(layout->prepared, 1);
    view->setContentOffset(CGPointMake(0, 300));
    m_ui.runUntilIdle();
    EXPECT_EQ(layout->prepared, 1) << "a flow layout is not prepared again for scrolling";
    view->reloadData();
    EXPECT_EQ(layout->prepared, 1) << "prepared when next laid out";
    m_ui.runUntilIdle();
    EXPECT_EQ(layout->prepared, 2);
    layout->invalidateLayout();
    m_ui.runUntilIdle();
    EXPECT_EQ(layout->prepared, 3);
    view->setFrame(CGRectMake(0, 0, 320, 300));
    m_ui.runUntilIdle();
    EXPECT_EQ(layout->prepared, 4) << "a new size";

    layout->everyBoundsChange = true;
    dv::testing::DragOptions steps;
    steps.steps = 6;
    ASSERT_TRUE(m_ui.dragScrollView(view, CGPointMake(0, 120), steps));
    EXPECT_EQ(layout->prepared, 4 + 6) << "once per step of the finger";
}

TEST_F(CollectionViewTest, ViewsStandInTheOrderOfTheirZIndex)
{
    m_items->counts = {4};
    auto view = make(alloc<StackLayout>(), CGRectMake(0, 0, 300, 100));
    std::vector<std::string> order;
    const auto subviews = view->subviews();
    for (auto& sub : subviews->items())
        if (auto cell = std::dynamic_pointer_cast<LabelCell>(sub))
            order.push_back(dv::str(cell->label->text()));
    EXPECT_EQ(order, (std::vector<std::string> {"0-3", "0-2", "0-1", "0-0"})) << "the highest zIndex last, in front";
    ASSERT_TRUE(m_ui.tap(CGPointMake(35, 50)));
    EXPECT_EQ(m_journal, (Journal {"didSelect 0-0"})) << "a tap lands on the one in front";
}

TEST_F(CollectionViewTest, HooksRunAfterEveryReloadWithTheNewCounts)
{
    std::vector<NSInteger> totals;
    auto hook = UICollectionView::addReloadDataHook([&](const Ref<UIScrollView>& scroll) {
        auto view = dv::as<UICollectionView>(scroll);
        NSInteger total = 0;
        for (NSInteger s = 0; s < view->numberOfSections(); ++s)
            total += view->numberOfItemsInSection(s);
        totals.push_back(total);
    });
    auto tableHook = UITableView::addReloadDataHook([&](const Ref<UIScrollView>&) { totals.push_back(-1); });
    m_items->counts = {3, 2};
    auto view = make(alloc<UICollectionViewFlowLayout>()->init(), CGRectMake(0, 0, 320, 400));
    m_items->counts = {0};
    view->reloadData();
    m_items->counts = {4};
    view->reloadData();
    UICollectionView::removeReloadDataHook(hook);
    UITableView::removeReloadDataHook(tableHook);
    view->reloadData();
    EXPECT_EQ(totals, (std::vector<NSInteger> {5, 0, 4})) << "the first layout loads and counts as a reload; tables' hooks are apart";
    m_ui.runUntilIdle();
    EXPECT_EQ(view->visibleCells()->count(), 4u);
}
