#include "UITestSupport.h"

#include "platform/base/NSString.h"
#include "platform/testing/Pixels.h"

using namespace dv::test;

namespace {

// Two wheels, provinces and cities, with titles "p<n>" and "c<n>"; selections go into the
// journal as "row in component".
class Regions : public NSObject, public UIPickerViewDataSource, public UIPickerViewDelegate {
public:
    explicit Regions(Journal* journal) : m_journal(journal) { }
    NSInteger provinces = 0;
    NSInteger cities = 0;
    bool ownViews = false;
    int viewsMade = 0;
    int viewsReused = 0;
    std::function<void(NSInteger row, NSInteger component)> onSelect;

    NSInteger numberOfComponentsInPickerView(const Ref<UIPickerView>&) override { return 2; }
    NSInteger pickerViewNumberOfRowsInComponent(const Ref<UIPickerView>&, NSInteger component) override
    {
        return component == 0 ? provinces : component == 1 ? cities : 0;
    }
    std::optional<CGFloat> pickerViewWidthForComponent(const Ref<UIPickerView>& picker, NSInteger) override
    {
        return picker->bounds().size.width * 0.5;
    }
    Ref<NSString> pickerViewTitleForRowForComponent(const Ref<UIPickerView>&, NSInteger row, NSInteger component) override
    {
        return NSString::fromUTF8((component == 0 ? "p" : "c") + std::to_string(row));
    }
    Ref<UIView> pickerViewViewForRowForComponentReusingView(const Ref<UIPickerView>& picker, NSInteger row, NSInteger component,
        const Ref<UIView>& view) override
    {
        if (!ownViews)
            return nil;
        auto label = dv::as<UILabel>(view);
        if (label) {
            ++viewsReused;
        } else {
            label = alloc<UILabel>()->init();
            label->setAdjustsFontSizeToFitWidth(true);
            ++viewsMade;
        }
        label->setText(pickerViewTitleForRowForComponent(picker, row, component));
        return label;
    }
    bool pickerViewDidSelectRowInComponent(const Ref<UIPickerView>&, NSInteger row, NSInteger component) override
    {
        m_journal->push_back(std::to_string(row) + " in " + std::to_string(component));
        if (onSelect)
            onSelect(row, component);
        return true;
    }

private:
    Journal* m_journal;
};

class PickerViewTest : public UITest {
protected:
    void SetUp() override
    {
        UITest::SetUp();
        m_regions = std::make_shared<Regions>(&m_journal);
        m_picker = alloc<UIPickerView>()->initWithFrame(CGRectMake(0, 300, 375, 180));
        m_picker->setDataSource(m_regions);
        m_picker->setDelegate(m_regions);
        m_picker->setShowsSelectionIndicator(true);
        m_window->addSubview(m_picker);
        m_ui.runUntilIdle();
    }

    // The row whose view stands in the middle band of a wheel.
    std::string inBand(NSInteger component)
    {
        const CGPoint middle = CGPointMake(375 * (component == 0 ? 0.25 : 0.75), 300 + 90);
        for (NSInteger row = 0; row < m_picker->numberOfRowsInComponent(component); ++row)
            if (auto view = m_picker->viewForRow(row, component); view && CGRectContainsPoint(m_ui.frameInWindow(view), middle))
                return m_ui.textOf(view);
        return "none";
    }

    std::shared_ptr<Regions> m_regions;
    Ref<UIPickerView> m_picker;
};

} // namespace

TEST_F(PickerViewTest, AWheelSelectsItsFirstRowWhenItFirstHasRowsAndKeepsItsIndexWithinReloads)
{
    EXPECT_EQ(m_picker->numberOfComponents(), 2);
    EXPECT_EQ(m_picker->selectedRowInComponent(0), -1) << "no rows yet";
    m_regions->provinces = 30;
    m_picker->reloadAllComponents();
    EXPECT_EQ(m_picker->selectedRowInComponent(0), 0);
    EXPECT_EQ(m_picker->selectedRowInComponent(1), -1);
    m_picker->selectRow(12, 0, false);
    EXPECT_EQ(m_picker->selectedRowInComponent(0), 12);
    m_ui.runUntilIdle();
    EXPECT_EQ(inBand(0), "p12");
    m_regions->provinces = 5;
    m_picker->reloadComponent(0);
    EXPECT_EQ(m_picker->selectedRowInComponent(0), 4) << "cut down to the new count";
    m_ui.runUntilIdle();
    EXPECT_EQ(inBand(0), "p4");
    m_regions->provinces = 0;
    m_picker->reloadAllComponents();
    EXPECT_EQ(m_picker->selectedRowInComponent(0), -1);
    m_regions->provinces = 8;
    m_picker->reloadAllComponents();
    EXPECT_EQ(m_picker->selectedRowInComponent(0), 0);
    m_picker->selectRow(20, 0, false);
    EXPECT_EQ(m_picker->selectedRowInComponent(0), 0) << "a row it does not have is ignored";
    m_picker->selectRow(6, 0, true);
    m_ui.advance(1);
    EXPECT_EQ(inBand(0), "p6");
    EXPECT_TRUE(m_journal.empty()) << "rows chosen in code are not reported";
    EXPECT_NE(m_ui.dump().find("UIPickerView (0 300; 375 180) selected=6,-1"), std::string::npos) << m_ui.dump();
}

TEST_F(PickerViewTest, ASpinByAPersonIsReportedOnceWhenTheWheelComesToRest)
{
    m_regions->provinces = 60;
    m_regions->cities = 10;
    m_picker->reloadAllComponents();
    ASSERT_TRUE(m_ui.spinPicker(m_picker, 0, 7));
    EXPECT_EQ(m_journal, (Journal {"7 in 0"}));
    EXPECT_EQ(m_picker->selectedRowInComponent(0), 7);
    EXPECT_EQ(inBand(0), "p7");
    ASSERT_TRUE(m_ui.spinPicker(m_picker, 0, 45));
    EXPECT_EQ(m_journal, (Journal {"7 in 0", "45 in 0"})) << "several strokes, one report";
    EXPECT_EQ(inBand(0), "p45");
    ASSERT_TRUE(m_ui.spinPicker(m_picker, 1, 3));
    EXPECT_EQ(m_journal.back(), "3 in 1");
    EXPECT_EQ(m_picker->selectedRowInComponent(0), 45);
}

TEST_F(PickerViewTest, AFlungWheelComesToRestOnARow)
{
    m_regions->provinces = 200;
    m_picker->reloadAllComponents();
    m_ui.runUntilIdle();
    auto wheel = dv::as<UIScrollView>(m_picker->viewForRow(0, 0)->superview());
    ASSERT_TRUE(wheel);
    dv::testing::DragOptions fling;
    fling.releaseVelocity = CGPointMake(0, 900);
    ASSERT_TRUE(m_ui.dragScrollView(wheel, CGPointMake(0, 50), fling));
    ASSERT_EQ(m_journal.size(), 1u);
    const NSInteger row = m_picker->selectedRowInComponent(0);
    EXPECT_GT(row, 5);
    EXPECT_EQ(m_journal.front(), std::to_string(row) + " in 0");
    EXPECT_EQ(wheel->contentOffset().y, CGFloat(row) * 32 - wheel->contentInset().top) << "exactly on the row";
    EXPECT_EQ(inBand(0), "p" + std::to_string(row));
}

TEST_F(PickerViewTest, ATapOnAnotherRowTurnsTheWheelToIt)
{
    m_regions->provinces = 20;
    m_picker->reloadAllComponents();
    m_ui.runUntilIdle();
    auto below = m_picker->viewForRow(2, 0);
    ASSERT_TRUE(below);
    const CGRect frame = m_ui.frameInWindow(below);
    ASSERT_TRUE(m_ui.tap(CGPointMake(CGRectGetMidX(frame), CGRectGetMidY(frame))));
    EXPECT_TRUE(m_journal.empty()) << "it turns on the clock";
    m_ui.advance(0.5);
    EXPECT_EQ(m_journal, (Journal {"2 in 0"}));
    EXPECT_EQ(inBand(0), "p2");
    ASSERT_TRUE(m_ui.tap(CGPointMake(375 * 0.25, 300 + 90)));
    m_ui.advance(0.5);
    EXPECT_EQ(m_journal.size(), 1u) << "a tap on the selected row does nothing";
}

TEST_F(PickerViewTest, RowsShrinkAndFadeTowardTheWheelsEdgesAndNoneIsCut)
{
    m_regions->provinces = 30;
    m_picker->setBackgroundColor(UIColor::whiteColor());
    m_picker->reloadAllComponents();
    m_picker->selectRow(15, 0, false);
    m_ui.runUntilIdle();
    const CGRect wheel = m_ui.frameInWindow(m_picker);
    std::vector<CGRect> frames;
    std::vector<CGFloat> alphas;
    for (NSInteger row = 10; row <= 20; ++row)
        if (auto view = m_picker->viewForRow(row, 0)) {
            frames.push_back(m_ui.frameInWindow(view));
            alphas.push_back(view->alpha());
        }
    ASSERT_GE(frames.size(), 7u) << "the band and at least three rows either side";
    ASSERT_LE(frames.size(), 11u);
    const std::size_t band = frames.size() / 2;
    EXPECT_NEAR(CGRectGetMidY(frames[band]), CGRectGetMidY(wheel), 0.5);
    EXPECT_NEAR(frames[band].size.height, 32, 0.5);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_GE(frames[i].origin.y, wheel.origin.y - 0.01) << "row " << i << " is cut by the top edge";
        EXPECT_LE(CGRectGetMaxY(frames[i]), CGRectGetMaxY(wheel) + 0.01) << "row " << i << " is cut by the bottom edge";
        if (i + 1 < frames.size()) {
            EXPECT_LE(CGRectGetMaxY(frames[i]), frames[i + 1].origin.y + 0.01) << "rows do not overlap";
        }
        const std::size_t away = i > band ? i - band : band - i;
        if (away == 0 || away + 1 > band || i + 1 >= frames.size())
            continue;
        // Each row further from the band is smaller and fainter than the one before it.
        const std::size_t nearer = i > band ? i - 1 : i + 1;
        EXPECT_LT(frames[i].size.height, frames[nearer].size.height) << i;
        EXPECT_LT(frames[i].size.width, frames[nearer].size.width) << i;
        EXPECT_LT(alphas[i], alphas[nearer]) << i;
    }

    // On the screen the band's title is black; the edge rows' ink is faint and low.
    const dv::testing::Pixels shot(m_ui.screenshot());
    auto darkest = [&](CGRect area) {
        int value = 255;
        const CGRect inside = CGRectIntersection(area, CGRectMake(0, wheel.origin.y, 375 / 2.0, wheel.size.height));
        shot.count(inside, [&](const dv::testing::Pixel& p) {
            value = std::min(value, p[0]);
            return false;
        });
        return value;
    };
    EXPECT_LT(darkest(frames[band]), 60);
    EXPECT_GT(darkest(frames.front()), 150);
    EXPECT_GT(darkest(frames.back()), 150);
    const CGRect bandInk = shot.box(frames[band], [](const dv::testing::Pixel& p) { return dv::testing::isInk(p, 200); });
    const CGRect edgeInk = shot.box(frames[1], [](const dv::testing::Pixel& p) { return dv::testing::isInk(p, 245); });
    ASSERT_FALSE(CGRectIsNull(bandInk));
    EXPECT_TRUE(CGRectIsNull(edgeInk) || edgeInk.size.height < bandInk.size.height * 0.8);

    // A tap lands on the row drawn there: the second row above the band.
    ASSERT_TRUE(m_ui.tap(CGPointMake(375 * 0.25, CGRectGetMidY(frames[band - 2]))));
    m_ui.advance(0.5);
    EXPECT_EQ(m_journal, (Journal {"13 in 0"}));
    EXPECT_EQ(inBand(0), "p13");
}

TEST_F(PickerViewTest, RowViewsAreOfferedBackForReuse)
{
    m_regions->ownViews = true;
    m_regions->provinces = 100;
    m_picker->reloadAllComponents();
    m_ui.runUntilIdle();
    const int first = m_regions->viewsMade;
    EXPECT_LE(first, 5) << "only the rows the wheel shows: the band and those within a quarter turn below it";
    EXPECT_FALSE(m_picker->viewForRow(50, 0));
    ASSERT_TRUE(m_ui.spinPicker(m_picker, 0, 60));
    EXPECT_LE(m_regions->viewsMade, 11) << "never more than the rows in sight at once";
    EXPECT_GT(m_regions->viewsReused, 50);
    EXPECT_EQ(inBand(0), "p60");
}

TEST_F(PickerViewTest, ACityWheelReloadedAfterAProvinceTurnKeepsItsRowCutToTheNewCount)
{
    m_regions->provinces = 10;
    m_regions->cities = 12;
    m_picker->reloadAllComponents();
    ASSERT_TRUE(m_ui.spinPicker(m_picker, 1, 9));
    m_regions->onSelect = [this](NSInteger row, NSInteger component) {
        if (component != 0)
            return;
        m_regions->cities = row + 1; // the cities of the new province
        m_picker->reloadComponent(1);
    };
    ASSERT_TRUE(m_ui.spinPicker(m_picker, 0, 4));
    EXPECT_EQ(m_picker->selectedRowInComponent(1), 4);
    m_ui.runUntilIdle();
    EXPECT_EQ(inBand(1), "c4");
    ASSERT_TRUE(m_ui.spinPicker(m_picker, 0, 8));
    EXPECT_EQ(m_picker->selectedRowInComponent(1), 4) << "not reset to the first row";
    EXPECT_EQ(m_journal, (Journal {"9 in 1", "4 in 0", "8 in 0"})) << "reloading a wheel reports nothing";
    EXPECT_EQ(m_picker->rowSizeForComponent(1), CGSizeMake(187.5, 32));
    EXPECT_EQ(m_ui.frameInWindow(m_picker->viewForRow(4, 1)).origin.x, 187.5);
}
