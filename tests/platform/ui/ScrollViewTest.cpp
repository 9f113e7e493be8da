#include "UITestSupport.h"

#include "platform/base/NSNumber.h"
#include "platform/base/NSValue.h"
#include "platform/ui/internal/ViewFormat.h"

#include <algorithm>
#include <cmath>

using namespace dv::test;
using dv::internal::uikit::ViewFormat;

namespace {

std::string point(CGPoint p) { return ViewFormat::number(p.x) + "," + ViewFormat::number(p.y); }

// Writes every delegate call into a journal, with the flags the view shows at that moment:
// " d" while dragging, " D" while decelerating.
class ScrollRecorder : public NSObject, public UIScrollViewDelegate {
public:
    explicit ScrollRecorder(Journal* journal) : m_journal(journal) { }
    std::optional<CGPoint> retarget; // moves the rest point offered in willEndDragging
    CGPoint lastVelocity {};
    CGPoint lastTarget {};

    bool scrollViewDidScroll(const Ref<UIScrollView>& v) override
    {
        note("didScroll" + flags(v));
        return true;
    }
    bool scrollViewWillBeginDragging(const Ref<UIScrollView>& v) override
    {
        note("willBeginDragging" + flags(v));
        return true;
    }
    bool scrollViewWillEndDragging(const Ref<UIScrollView>& v, CGPoint velocity, CGPoint* target) override
    {
        lastVelocity = velocity;
        lastTarget = *target;
        if (retarget)
            *target = *retarget;
        note("willEndDragging" + flags(v));
        return true;
    }
    bool scrollViewDidEndDragging(const Ref<UIScrollView>& v, bool decelerate) override
    {
        note(std::string("didEndDragging ") + (decelerate ? "YES" : "NO") + flags(v));
        return true;
    }
    bool scrollViewWillBeginDecelerating(const Ref<UIScrollView>& v) override
    {
        note("willBeginDecelerating" + flags(v));
        return true;
    }
    bool scrollViewDidEndDecelerating(const Ref<UIScrollView>& v) override
    {
        note("didEndDecelerating" + flags(v));
        return true;
    }
    bool scrollViewDidEndScrollingAnimation(const Ref<UIScrollView>& v) override
    {
        note("didEndScrollingAnimation" + flags(v));
        return true;
    }

private:
    static std::string flags(const Ref<UIScrollView>& v)
    {
        return std::string(v->isDragging() ? " d" : "") + (v->isDecelerating() ? " D" : "");
    }
    void note(std::string entry) { m_journal->push_back(std::move(entry)); }
    Journal* m_journal;
};

// Runs of the same entry become one "entry ×n".
Journal squeeze(const Journal& journal)
{
    Journal out;
    int run = 0;
    for (std::size_t i = 0; i < journal.size(); ++i) {
        ++run;
        if (i + 1 < journal.size() && journal[i + 1] == journal[i])
            continue;
        out.push_back(run > 1 ? journal[i] + " ×" + std::to_string(run) : journal[i]);
        run = 0;
    }
    return out;
}

class ScrollViewTest : public UITest {
protected:
    void SetUp() override
    {
        UITest::SetUp();
        m_scroll = alloc<UIScrollView>()->initWithFrame(CGRectMake(0, 0, 300, 400));
        m_scroll->setContentSize(CGSizeMake(300, 2000));
        m_recorder = std::make_shared<ScrollRecorder>(&m_journal);
        m_scroll->setDelegate(m_recorder);
        m_window->addSubview(m_scroll);
        m_ui.runUntilIdle();
    }

    // Every observed offset as "old->new", in m_offsets.
    void watchOffsets(bool intoJournal = false)
    {
        m_tokens.push_back(m_scroll->observe("contentOffset", NSKeyValueObservingOptionOld | NSKeyValueObservingOptionNew,
            [this, intoJournal](const id&, const dv::KeyValueChange& change) {
                const CGPoint from = dv::as<NSValue>(change.oldValue)->CGPointValue();
                const CGPoint to = dv::as<NSValue>(change.newValue)->CGPointValue();
                m_offsets.push_back({from, to});
                if (intoJournal)
                    m_journal.push_back("offset " + point(from) + "->" + point(to));
            }));
    }
    void watchPan()
    {
        m_tokens.push_back(m_scroll->panGestureRecognizer()->observe("state", NSKeyValueObservingOptionNew,
            [this](const id&, const dv::KeyValueChange& change) {
                m_journal.push_back("pan " + std::to_string(dv::as<NSNumber>(change.newValue)->integerValue()));
            }));
    }
    static dv::testing::DragOptions held(int steps, bool settle = true)
    {
        dv::testing::DragOptions options;
        options.steps = steps;
        options.settle = settle;
        return options;
    }
    static dv::testing::DragOptions flung(int steps, CGPoint velocity)
    {
        auto options = held(steps);
        options.releaseVelocity = velocity;
        options.settle = false;
        return options;
    }
    // The clock runs frame by frame until the view rests; the largest and smallest offsets met.
    std::pair<CGPoint, CGPoint> settleWatching()
    {
        CGPoint least = m_scroll->contentOffset(), most = least;
        for (int i = 0; i < 600 && dv::isScrollViewMoving(*m_scroll); ++i) {
            m_ui.advance(1.0 / 60);
            const CGPoint o = m_scroll->contentOffset();
            least = CGPointMake(std::min(least.x, o.x), std::min(least.y, o.y));
            most = CGPointMake(std::max(most.x, o.x), std::max(most.y, o.y));
        }
        return {least, most};
    }

    Ref<UIScrollView> m_scroll;
    std::shared_ptr<ScrollRecorder> m_recorder;
    std::vector<std::pair<CGPoint, CGPoint>> m_offsets;
    std::vector<dv::ObservationToken> m_tokens;
};

} // namespace

TEST_F(ScrollViewTest, ADragReportsEachStepAndAReleaseAtRestEndsWithoutDeceleration)
{
    watchOffsets(true);
    watchPan();
    ASSERT_TRUE(m_ui.dragScrollView(m_scroll, CGPointMake(0, 100), held(5)));
    EXPECT_EQ(m_journal, (Journal {
        "pan 1", "willBeginDragging d", "didScroll d", "offset 0,0->0,20",
        "pan 2", "didScroll d", "offset 0,20->0,40",
        "pan 2", "didScroll d", "offset 0,40->0,60",
        "pan 2", "didScroll d", "offset 0,60->0,80",
        "pan 2", "didScroll d", "offset 0,80->0,100",
        "pan 3", "willEndDragging d", "didEndDragging NO",
        "pan 0"}));
    EXPECT_EQ(m_recorder->lastVelocity, CGPointZero);
    EXPECT_EQ(m_recorder->lastTarget, CGPointMake(0, 100)) << "rests where it was let go";
    EXPECT_FALSE(m_scroll->isDragging());
    EXPECT_FALSE(m_scroll->isTracking());
    EXPECT_FALSE(dv::isScrollViewMoving(*m_scroll));
    m_ui.advance(1);
    EXPECT_EQ(m_journal.back(), "pan 0") << "nothing follows on the clock";
}

TEST_F(ScrollViewTest, TrackingFollowsTheFingerAndATapDoesNotDrag)
{
    auto touch = m_ui.touchDown(CGPointMake(150, 200));
    EXPECT_TRUE(m_scroll->isTracking());
    EXPECT_FALSE(m_scroll->isDragging());
    m_ui.touchMove(touch, CGPointMake(150, 195));
    EXPECT_FALSE(m_scroll->isDragging()) << "within the pan's threshold";
    m_ui.touchUp(touch, CGPointMake(150, 195));
    EXPECT_FALSE(m_scroll->isTracking());
    EXPECT_TRUE(m_journal.empty());
    EXPECT_EQ(m_scroll->contentOffset(), CGPointZero);
}

TEST_F(ScrollViewTest, AFlingDeceleratesOnTheClockOntoTheRestPointItAnnounced)
{
    watchOffsets();
    ASSERT_TRUE(m_ui.dragScrollView(m_scroll, CGPointMake(0, 100), flung(5, CGPointMake(0, 600))));
    EXPECT_NEAR(m_recorder->lastVelocity.y, 0.6, 1e-3) << "points per millisecond";
    const CGFloat expected = 100 + m_recorder->lastVelocity.y * 1000 / (-1000 * std::log(0.998));
    EXPECT_NEAR(m_recorder->lastTarget.y, expected, 1e-9);
    EXPECT_TRUE(m_scroll->isDecelerating());
    EXPECT_FALSE(m_scroll->isDragging());
    m_ui.settle(m_scroll);
    EXPECT_EQ(m_scroll->contentOffset().y, m_recorder->lastTarget.y);
    EXPECT_EQ(squeeze(m_journal), (Journal {"willBeginDragging d", "didScroll d ×10", "willEndDragging d", "didEndDragging YES",
                                      "willBeginDecelerating D", "didScroll D ×" + std::to_string(m_offsets.size() - 10),
                                      "didEndDecelerating"}));
    for (std::size_t i = 1; i < m_offsets.size(); ++i) {
        EXPECT_EQ(m_offsets[i].first, m_offsets[i - 1].second) << "each change starts where the last ended";
        EXPECT_GT(m_offsets[i].second.y, m_offsets[i].first.y) << "it keeps going the same way";
    }
}

TEST_F(ScrollViewTest, ATouchStopsTheDecelerationAndSetContentOffsetDoesToo)
{
    ASSERT_TRUE(m_ui.dragScrollView(m_scroll, CGPointMake(0, 100), flung(5, CGPointMake(0, 800))));
    m_ui.advance(0.1);
    const CGPoint caught = m_scroll->contentOffset();
    m_journal.clear();
    auto touch = m_ui.touchDown(CGPointMake(150, 200));
    EXPECT_EQ(m_journal, (Journal {"didEndDecelerating"}));
    EXPECT_FALSE(m_scroll->isDecelerating());
    m_ui.advance(0.5);
    EXPECT_EQ(m_scroll->contentOffset(), caught);
    m_ui.touchUp(touch, CGPointMake(150, 200));

    ASSERT_TRUE(m_ui.dragScrollView(m_scroll, CGPointMake(0, 100), flung(5, CGPointMake(0, 800))));
    m_ui.advance(0.1);
    m_journal.clear();
    m_scroll->setContentOffset(CGPointMake(0, 50));
    EXPECT_EQ(m_journal, (Journal {"didEndDecelerating", "didScroll"}));
    m_ui.advance(0.5);
    EXPECT_EQ(m_scroll->contentOffset(), CGPointMake(0, 50));
}

TEST_F(ScrollViewTest, PastTheTopTheContentMovesHalfAsFarAndSpringsBackIntoTheInset)
{
    m_scroll->setContentInset(UIEdgeInsetsMake(20, 0, 0, 0));
    EXPECT_EQ(m_scroll->contentOffset(), CGPointZero) << "an inset does not move the offset";
    m_scroll->setContentOffset(CGPointMake(0, -20));
    watchOffsets();
    auto touch = m_ui.touchDown(CGPointMake(150, 100));
    for (int i = 1; i <= 10; ++i) {
        m_ui.advance(1.0 / 60);
        m_ui.touchMove(touch, CGPointMake(150, 100 + 12 * i));
    }
    EXPECT_EQ(m_scroll->contentOffset().y, -20 - 60) << "120 points of finger, 60 of content";
    m_ui.advance(0.15);
    m_journal.clear();
    m_ui.touchUp(touch, CGPointMake(150, 220));
    EXPECT_EQ(m_recorder->lastTarget, CGPointMake(0, -20));
    EXPECT_EQ(m_journal, (Journal {"willEndDragging d", "didEndDragging YES", "willBeginDecelerating D"})) << "bouncing back decelerates";
    m_offsets.clear();
    auto [least, most] = settleWatching();
    EXPECT_EQ(m_scroll->contentOffset(), CGPointMake(0, -20));
    EXPECT_EQ(most.y, -20) << "no overshoot into the content";
    EXPECT_EQ(m_journal.back(), "didEndDecelerating");
    for (auto& [from, to] : m_offsets)
        EXPECT_GE(to.y, from.y);
}

TEST_F(ScrollViewTest, EachEdgeBouncesBackToItsLimit)
{
    m_scroll->setContentInset(UIEdgeInsetsMake(0, 0, 44, 0));
    m_scroll->setContentOffset(CGPointMake(0, 1644 - 100));
    ASSERT_TRUE(m_ui.dragScrollView(m_scroll, CGPointMake(0, 160), held(8, false)));
    EXPECT_EQ(m_scroll->contentOffset().y, 1704) << "60 past the bottom limit 2000 + 44 - 400";
    m_ui.settle(m_scroll);
    EXPECT_EQ(m_scroll->contentOffset().y, 1644);

    auto wide = alloc<UIScrollView>()->initWithFrame(CGRectMake(0, 420, 300, 200));
    wide->setContentSize(CGSizeMake(900, 200));
    m_window->addSubview(wide);
    m_ui.runUntilIdle();
    ASSERT_TRUE(m_ui.dragScrollView(wide, CGPointMake(-40, 0), held(6, false)));
    EXPECT_EQ(wide->contentOffset(), CGPointMake(-40, 0));
    m_ui.settle(wide);
    EXPECT_EQ(wide->contentOffset(), CGPointZero);
    wide->setContentOffset(CGPointMake(600, 0));
    ASSERT_TRUE(m_ui.dragScrollView(wide, CGPointMake(30, 0), held(6, false)));
    EXPECT_EQ(wide->contentOffset(), CGPointMake(630, 0));
    m_ui.settle(wide);
    EXPECT_EQ(wide->contentOffset(), CGPointMake(600, 0));
    EXPECT_EQ(wide->contentOffset().y, 0) << "a view that cannot scroll down does not";
}

TEST_F(ScrollViewTest, AFlingIntoAnEdgeOvershootsAndComesBackUnlessBouncingIsOff)
{
    m_scroll->setContentOffset(CGPointMake(0, 1500));
    ASSERT_TRUE(m_ui.dragScrollView(m_scroll, CGPointMake(0, 40), flung(4, CGPointMake(0, 2000))));
    EXPECT_EQ(m_recorder->lastTarget.y, 1600) << "the rest point is the edge";
    auto [least, most] = settleWatching();
    EXPECT_GT(most.y, 1600);
    EXPECT_EQ(m_scroll->contentOffset().y, 1600);

    m_scroll->setBounces(false);
    m_scroll->setContentOffset(CGPointMake(0, 1500));
    ASSERT_TRUE(m_ui.dragScrollView(m_scroll, CGPointMake(0, 40), flung(4, CGPointMake(0, 2000))));
    std::tie(least, most) = settleWatching();
    EXPECT_EQ(most.y, 1600);
    EXPECT_EQ(m_scroll->contentOffset().y, 1600);
    ASSERT_TRUE(m_ui.dragScrollView(m_scroll, CGPointMake(0, 100), held(5)));
    EXPECT_EQ(m_scroll->contentOffset().y, 1600) << "without bouncing a drag stops at the edge";
}

TEST_F(ScrollViewTest, ShortContentDragsOnlyWhenItAlwaysBounces)
{
    m_scroll->setContentSize(CGSizeMake(300, 300));
    ASSERT_TRUE(m_ui.dragScrollView(m_scroll, CGPointMake(0, -50), held(5)));
    EXPECT_EQ(m_scroll->contentOffset(), CGPointZero);
    EXPECT_TRUE(m_journal.empty()) << "the pan does not begin";

    m_scroll->setAlwaysBounceVertical(true);
    ASSERT_TRUE(m_ui.dragScrollView(m_scroll, CGPointMake(0, -50), held(5)));
    EXPECT_EQ(m_journal.front(), "willBeginDragging d");
    EXPECT_EQ(m_scroll->contentOffset(), CGPointZero) << "back at the top";
    ASSERT_TRUE(m_ui.dragScrollView(m_scroll, CGPointMake(0, 30), held(5)));
    EXPECT_EQ(m_scroll->contentOffset(), CGPointZero) << "short content bounces at its end too";
}

TEST_F(ScrollViewTest, PagingGlidesToTheNextPageOnAFlingAndBackOnASlowRelease)
{
    m_scroll->setContentSize(CGSizeMake(900, 400));
    m_scroll->setPagingEnabled(true);
    ASSERT_TRUE(m_ui.swipePage(m_scroll, dv::testing::SwipeDirection::Left));
    EXPECT_EQ(m_scroll->contentOffset(), CGPointMake(300, 0));
    EXPECT_EQ(m_recorder->lastTarget, CGPointMake(300, 0));
    const Journal squeezed = squeeze(m_journal);
    ASSERT_GE(squeezed.size(), 7u);
    EXPECT_EQ(squeezed[0], "willBeginDragging d");
    EXPECT_EQ(Journal(squeezed.end() - 5, squeezed.end() - 1),
        (Journal {"willEndDragging d", "didEndDragging YES", "willBeginDecelerating D", squeezed[squeezed.size() - 2]}));
    EXPECT_EQ(squeezed.back(), "didEndDecelerating");
    EXPECT_EQ(squeezed[squeezed.size() - 2].rfind("didScroll D ×", 0), 0u);

    ASSERT_TRUE(m_ui.swipePage(m_scroll, dv::testing::SwipeDirection::Left));
    ASSERT_TRUE(m_ui.swipePage(m_scroll, dv::testing::SwipeDirection::Left));
    EXPECT_EQ(m_scroll->contentOffset(), CGPointMake(600, 0)) << "the last page; the fling past it bounces back";
    ASSERT_TRUE(m_ui.swipePage(m_scroll, dv::testing::SwipeDirection::Right));
    EXPECT_EQ(m_scroll->contentOffset(), CGPointMake(300, 0));

    m_journal.clear();
    ASSERT_TRUE(m_ui.dragScrollView(m_scroll, CGPointMake(100, 0), held(5)));
    EXPECT_EQ(m_scroll->contentOffset(), CGPointMake(300, 0)) << "a third of a page, let go slowly: back";
    EXPECT_NE(std::find(m_journal.begin(), m_journal.end(), "didEndDragging YES"), m_journal.end());
    ASSERT_TRUE(m_ui.dragScrollView(m_scroll, CGPointMake(200, 0), held(5)));
    EXPECT_EQ(m_scroll->contentOffset(), CGPointMake(600, 0)) << "past half a page: on";
}

TEST_F(ScrollViewTest, TheDelegateMayMoveTheRestPoint)
{
    m_recorder->retarget = CGPointMake(0, 250);
    ASSERT_TRUE(m_ui.dragScrollView(m_scroll, CGPointMake(0, 100), flung(5, CGPointMake(0, 600))));
    m_ui.settle(m_scroll);
    EXPECT_EQ(m_scroll->contentOffset(), CGPointMake(0, 250));
    m_recorder->retarget = CGPointMake(0, 180);
    ASSERT_TRUE(m_ui.dragScrollView(m_scroll, CGPointMake(0, -50), held(5)));
    EXPECT_EQ(m_scroll->contentOffset(), CGPointMake(0, 180)) << "a release at rest glides to a moved target";
}

TEST_F(ScrollViewTest, AnAnimatedScrollReportsItsStepsAndEndsWithTheAnimationCallbackOnly)
{
    watchOffsets();
    m_scroll->setContentOffset(CGPointMake(0, 500), true);
    EXPECT_EQ(m_scroll->contentOffset(), CGPointZero) << "it moves on the clock";
    m_ui.advance(0.15);
    EXPECT_GT(m_scroll->contentOffset().y, 0);
    EXPECT_LT(m_scroll->contentOffset().y, 500);
    m_ui.advance(0.2);
    EXPECT_EQ(m_scroll->contentOffset(), CGPointMake(0, 500));
    EXPECT_EQ(squeeze(m_journal), (Journal {"didScroll ×" + std::to_string(m_offsets.size()), "didEndScrollingAnimation"}));
    EXPECT_EQ(m_offsets.back().second, CGPointMake(0, 500));

    m_journal.clear();
    m_scroll->setContentOffset(CGPointMake(0, 500), true);
    m_ui.advance(0.5);
    EXPECT_TRUE(m_journal.empty()) << "no movement, no callback";
}

TEST_F(ScrollViewTest, EverySetIsObservedWithOldAndNewValues)
{
    std::vector<std::string> changes;
    auto sizes = m_scroll->observe("contentSize", NSKeyValueObservingOptionOld | NSKeyValueObservingOptionNew,
        [&](const id&, const dv::KeyValueChange& c) {
            changes.push_back("size " + ViewFormat::number(dv::as<NSValue>(c.oldValue)->CGSizeValue().height) + "->"
                + ViewFormat::number(dv::as<NSValue>(c.newValue)->CGSizeValue().height));
        });
    watchOffsets();
    m_scroll->setContentSize(CGSizeMake(300, 2000));
    m_scroll->setContentSize(CGSizeMake(300, 900));
    m_scroll->setContentOffset(CGPointMake(0, 30));
    m_scroll->setContentOffset(CGPointMake(0, 30));
    EXPECT_EQ(changes, (std::vector<std::string> {"size 2000->2000", "size 2000->900"}));
    ASSERT_EQ(m_offsets.size(), 2u);
    EXPECT_EQ(m_offsets[1].first, m_offsets[1].second) << "an unchanged offset is observed too";
    EXPECT_EQ(m_journal, (Journal {"didScroll"})) << "but scrolls only once";
    m_scroll->setBounds(CGRectMake(0, 60, 300, 400));
    EXPECT_EQ(m_scroll->contentOffset(), CGPointMake(0, 60));
    EXPECT_EQ(m_offsets.size(), 3u) << "the bounds origin is the offset";
    m_scroll->removeObservation(sizes);
}

TEST_F(ScrollViewTest, AnInsetChangedDuringTheBounceMovesWhereItComesToRest)
{
    // As a refresh header does: once let go past its height, it holds itself in view through the
    // inset.
    auto token = m_scroll->observe("contentOffset", NSKeyValueObservingOptionNew, [this](const id&, const dv::KeyValueChange&) {
        if (!m_scroll->isDragging() && m_scroll->contentOffset().y < -54 && m_scroll->contentInset().top == 0)
            m_scroll->setContentInset(UIEdgeInsetsMake(54, 0, 0, 0));
    });
    ASSERT_TRUE(m_ui.dragScrollView(m_scroll, CGPointMake(0, -80), held(8)));
    EXPECT_EQ(m_scroll->contentInset().top, 54);
    EXPECT_EQ(m_scroll->contentOffset().y, -54);
    m_scroll->removeObservation(token);
}

TEST_F(ScrollViewTest, AnInsetTakenBackAtRestBringsTheOffsetToTheNewEdge)
{
    // A refresh that ends: the header held itself in view through the inset and gives it back.
    m_scroll->setContentInset(UIEdgeInsetsMake(54, 0, 0, 0));
    m_scroll->setContentOffset(CGPointMake(0, -54));
    watchOffsets();
    m_journal.clear();
    m_scroll->setContentInset(UIEdgeInsetsZero);
    EXPECT_EQ(m_scroll->contentOffset(), CGPointZero);
    ASSERT_EQ(m_offsets.size(), 1u);
    EXPECT_EQ(m_offsets[0].first, CGPointMake(0, -54));
    EXPECT_EQ(m_journal, (Journal {"didScroll"}));

    // Past the far end too; an offset the new range still holds stays where it is.
    m_scroll->setContentInset(UIEdgeInsetsMake(0, 0, 44, 0));
    m_scroll->setContentOffset(CGPointMake(0, 1644));
    m_scroll->setContentInset(UIEdgeInsetsZero);
    EXPECT_EQ(m_scroll->contentOffset(), CGPointMake(0, 1600));
    m_scroll->setContentInset(UIEdgeInsetsMake(20, 0, 20, 0));
    EXPECT_EQ(m_scroll->contentOffset(), CGPointMake(0, 1600));

    // While a finger holds the content the inset leaves it alone; the release springs to the edge.
    m_scroll->setContentInset(UIEdgeInsetsMake(54, 0, 0, 0));
    m_scroll->setContentOffset(CGPointMake(0, -54));
    auto touch = m_ui.touchDown(CGPointMake(150, 100));
    for (int i = 1; i <= 4; ++i) {
        m_ui.advance(1.0 / 60);
        m_ui.touchMove(touch, CGPointMake(150, 100 + 5 * i));
    }
    m_scroll->setContentInset(UIEdgeInsetsZero);
    EXPECT_LT(m_scroll->contentOffset().y, -54);
    m_ui.advance(0.15);
    m_ui.touchUp(touch, CGPointMake(150, 120));
    m_ui.settle(m_scroll);
    EXPECT_EQ(m_scroll->contentOffset(), CGPointZero);
}

TEST_F(ScrollViewTest, APanAlongAnAxisThatCannotScrollIsLeftToTheScrollViewAround)
{
    auto pages = alloc<UIScrollView>()->initWithFrame(CGRectMake(0, 0, 300, 400));
    pages->setContentSize(CGSizeMake(900, 400));
    pages->setPagingEnabled(true);
    m_scroll->removeFromSuperview();
    pages->addSubview(m_scroll);
    m_window->addSubview(pages);
    m_ui.runUntilIdle();

    ASSERT_TRUE(m_ui.dragScrollView(pages, CGPointMake(200, 0), held(5)));
    EXPECT_EQ(pages->contentOffset(), CGPointMake(300, 0));
    EXPECT_EQ(m_scroll->contentOffset(), CGPointZero);
    EXPECT_TRUE(m_journal.empty()) << "the inner list heard nothing";
    pages->setContentOffset(CGPointZero);
    ASSERT_TRUE(m_ui.dragScrollView(m_scroll, CGPointMake(0, 120), held(5)));
    EXPECT_EQ(m_scroll->contentOffset(), CGPointMake(0, 120));
    EXPECT_EQ(pages->contentOffset(), CGPointZero);
}

TEST_F(ScrollViewTest, ADisabledScrollViewDoesNotScrollAndClipsItsContent)
{
    m_scroll->setScrollEnabled(false);
    ASSERT_TRUE(m_ui.dragScrollView(m_scroll, CGPointMake(0, 100), held(5)));
    EXPECT_EQ(m_scroll->contentOffset(), CGPointZero);
    EXPECT_TRUE(m_journal.empty());
    EXPECT_TRUE(m_scroll->clipsToBounds());
    m_scroll->setContentOffset(CGPointMake(0, 35));
    EXPECT_NE(m_ui.dump().find("UIScrollView (0 0; 300 400) clips offset=0,35 content=300x2000"), std::string::npos) << m_ui.dump();
}

namespace {

// Observes as the refresh components do: offset and size of the scroll view, state of its pan,
// with old and new values in the change dictionary.
class ChangeWatcher : public NSObject, public NSKeyValueObserving {
public:
    Journal seen;
    void observeValueForKeyPath(const Ref<NSString>& keyPath, const id&, const Ref<NSDictionary>& change, void*) override
    {
        auto old = change->objectForKey(std::string_view(NSKeyValueChangeOldKey));
        auto now = change->objectForKey(std::string_view(NSKeyValueChangeNewKey));
        const std::string key = dv::str(keyPath);
        if (key == "state") {
            seen.push_back("state " + std::to_string(dv::as<NSNumber>(old)->integerValue()) + "->"
                + std::to_string(dv::as<NSNumber>(now)->integerValue()));
        } else if (key == "contentOffset") {
            seen.push_back("offset " + point(dv::as<NSValue>(old)->CGPointValue()) + "->" + point(dv::as<NSValue>(now)->CGPointValue()));
        } else {
            const CGSize from = dv::as<NSValue>(old)->CGSizeValue(), to = dv::as<NSValue>(now)->CGSizeValue();
            seen.push_back("size " + ViewFormat::number(from.height) + "->" + ViewFormat::number(to.height));
        }
    }
};

} // namespace

TEST_F(ScrollViewTest, ObserversGetOldAndNewValuesInTheChangeDictionary)
{
    auto watcher = alloc<ChangeWatcher>();
    const auto options = NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld;
    m_scroll->addObserver(watcher, "contentOffset", options, nullptr);
    m_scroll->addObserver(watcher, "contentSize", options, nullptr);
    m_scroll->panGestureRecognizer()->addObserver(watcher, "state", options, nullptr);
    ASSERT_TRUE(m_ui.dragScrollView(m_scroll, CGPointMake(0, 40), held(2)));
    m_scroll->setContentSize(CGSizeMake(300, 2500));
    EXPECT_EQ(watcher->seen, (Journal {"state 0->1", "offset 0,0->0,20", "state 1->2", "offset 0,20->0,40", "state 2->3", "state 3->0",
                                 "size 2000->2500"}));
    m_scroll->removeObserver(watcher.get(), "contentOffset");
    m_scroll->removeObserver(watcher.get(), "contentSize");
    m_scroll->panGestureRecognizer()->removeObserver(watcher.get(), "state");
}
