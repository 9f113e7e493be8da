// Shared set-up of the refresh controls' tests: a 375 x 600 scroll view with 1200 points of
// content at the top of the key window, the reload hooks installed, no refresh time stored, the
// default time zone Asia/Shanghai; a finger that drags the content to given offsets and holds
// it there; components that note their states and their refresh callbacks; a list of rows.
#pragma once

#include "ToolkitTestSupport.h"

#include "platform/base/NSTimeZone.h"
#include "platform/system/NSUserDefaults.h"
#include "platform/base/NSIndexPath.h"
#include "ui/toolkit/refresh/RFRefreshComponent.h"
#include "ui/toolkit/refresh/RFRefreshFooter.h"
#include "ui/toolkit/refresh/UIScrollViewRFRefresh.h"
#include "ui/toolkit/refresh/UIViewRFExtension.h"

#include <vector>

namespace dv::test {

// A component class that notes each change of its state, after its own reaction.
template <class Base>
class Journaling : public Base {
public:
    std::vector<NSInteger> states;
    void setState(RefreshState state) override
    {
        const bool changes = state != this->state();
        Base::setState(state);
        if (changes)
            states.push_back(state);
    }
};

// A plain list of `sections[i]` rows in section i, each row saying "第<row>行" (rows 44 high).
class Rows : public NSObject, public UITableViewDataSource {
public:
    std::vector<NSInteger> sections {0};
    std::optional<NSInteger> numberOfSectionsInTableView(const Ref<UITableView>&) override { return NSInteger(sections.size()); }
    NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger section) override { return sections[std::size_t(section)]; }
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>& indexPath) override
    {
        auto cell = alloc<UITableViewCell>()->initWithStyle(UITableViewCellStyleDefault, "row"_ns);
        cell->textLabel()->setText(NSString::stringWithFormat("第%ld行", long(indexPath->row())));
        return cell;
    }
};

// A finger on a scroll view, as a person drags: down where the view shows its middle, then moved
// a frame at a time until the content offset is where the test wants it, held there, lifted.
class Finger {
public:
    Finger(testing::UIDriver& ui, const Ref<UIScrollView>& scrollView);
    // Moves until the offset's y is `offsetY` (the rubber band past the edges counted).
    void dragTo(CGFloat offsetY, int steps = 5);
    // Still for 0.15 s (no speed), then up; the loop runs what the lift started.
    void lift();

private:
    testing::UIDriver& m_ui;
    Ref<UIScrollView> m_scrollView;
    TouchID m_touch = 0;
    CGPoint m_at {};
};

class RefreshTest : public ToolkitTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new header of class H with a block that counts the refresh callbacks in m_refreshes,
    // installed on `scrollView` (m_scroll by default); the loop runs so that it is laid out.
    template <class H>
    Ref<H> installHeader(Ref<UIScrollView> scrollView = nil)
    {
        auto header = alloc<H>();
        header->init();
        header->setRefreshingBlock([this] { ++m_refreshes; });
        setRf_header(scrollView ? scrollView : m_scroll, header);
        m_ui.runUntilIdle();
        return header;
    }
    // The same for a footer of class F.
    template <class F>
    Ref<F> installFooter(Ref<UIScrollView> scrollView = nil)
    {
        auto footer = alloc<F>();
        footer->init();
        footer->setRefreshingBlock([this] { ++m_refreshes; });
        setRf_footer(scrollView ? scrollView : m_scroll, footer);
        m_ui.runUntilIdle();
        return footer;
    }
    // A 375 x 600 table of `rows` in the window, in place of m_scroll.
    Ref<UITableView> addTable(const Ref<Rows>& rows);
    // A real drag of the content by `change` (negative pulls down), let go still, then the clock
    // runs until the view rests.
    void drag(CGFloat change);
    // A date on the wall clock of Asia/Shanghai.
    static Ref<NSDate> shanghaiDate(NSInteger year, NSInteger month, NSInteger day, NSInteger hour, NSInteger minute);

    Ref<UIScrollView> m_scroll;
    int m_refreshes = 0;
};

} // namespace dv::test
