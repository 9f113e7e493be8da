#include "RefreshTestSupport.h"

#include "platform/base/NSCalendar.h"
#include "platform/base/NSDate.h"

namespace dv::test {

Finger::Finger(testing::UIDriver& ui, const Ref<UIScrollView>& scrollView) : m_ui(ui), m_scrollView(scrollView)
{
    const auto start = m_ui.tapPoint(scrollView);
    EXPECT_TRUE(start.has_value());
    m_at = start.value_or(CGPointZero);
    m_touch = m_ui.touchDown(m_at);
    EXPECT_NE(m_touch, 0u);
}

void Finger::dragTo(CGFloat offsetY, int steps)
{
    const CGPoint move = fingerTranslationForOffsetChange(*m_scrollView, CGPointMake(0, offsetY - m_scrollView->contentOffset().y));
    const CGPoint from = m_at;
    for (int i = 1; i <= steps; ++i) {
        m_ui.advance(1.0 / 60);
        m_at = CGPointMake(from.x + move.x * i / steps, from.y + move.y * i / steps);
        m_ui.touchMove(m_touch, m_at);
    }
}

void Finger::lift()
{
    m_ui.advance(0.15);
    m_ui.touchUp(m_touch, m_at);
    m_ui.runUntilIdle();
}

void RefreshTest::SetUp()
{
    ToolkitTest::SetUp();
    installRefreshReloadDataHooks();
    NSUserDefaults::standardUserDefaults()->removeObjectForKey(NSString::fromUTF8(RFRefreshHeaderLastUpdatedTimeKey));
    NSTimeZone::setDefaultTimeZone(NSTimeZone::timeZoneWithName("Asia/Shanghai"_ns));
    m_scroll = alloc<UIScrollView>()->initWithFrame(CGRectMake(0, 0, 375, 600));
    m_scroll->setContentSize(CGSizeMake(375, 1200));
    m_window->addSubview(m_scroll);
    m_ui.runUntilIdle();
}

void RefreshTest::TearDown()
{
    m_scroll = nil;
    NSUserDefaults::standardUserDefaults()->removeObjectForKey(NSString::fromUTF8(RFRefreshHeaderLastUpdatedTimeKey));
    NSTimeZone::setDefaultTimeZone(nil);
    ToolkitTest::TearDown();
}

Ref<UITableView> RefreshTest::addTable(const Ref<Rows>& rows)
{
    auto table = alloc<UITableView>()->initWithFrame(CGRectMake(0, 0, 375, 600), UITableViewStylePlain);
    table->setDataSource(rows);
    m_scroll->removeFromSuperview();
    m_window->addSubview(table);
    m_ui.runUntilIdle();
    return table;
}

void RefreshTest::drag(CGFloat change) { ASSERT_TRUE(m_ui.dragScrollView(m_scroll, CGPointMake(0, change))); }

Ref<NSDate> RefreshTest::shanghaiDate(NSInteger year, NSInteger month, NSInteger day, NSInteger hour, NSInteger minute)
{
    auto calendar = NSCalendar::calendarWithIdentifier(NSCalendarIdentifierGregorian);
    calendar->setTimeZone(NSTimeZone::timeZoneWithName("Asia/Shanghai"_ns));
    return calendar->dateWithEra(1, year, month, day, hour, minute, 0, 0);
}

} // namespace dv::test
