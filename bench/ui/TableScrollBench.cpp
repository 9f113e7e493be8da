// Scrolling a list must cost what the screen shows, not what the list holds: a table of 10,000
// rows and one of 100 (44 points each, a label per cell, in a 375 x 667 window) are scrolled one
// screen per turn of the main run loop, so every turn takes the cells that left back into the reuse
// pool, asks the data source for the rows that came in, lays them out and draws their labels.
// The 100-row table goes back to its top when it reaches its end. TableScrollRatio reports the
// median per-round ratio of the 10,000-row table to the 100-row one (target at most 1.2).
#include "bench/support/BenchSupport.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSIndexPath.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UITableView.h"
#include "platform/ui/UIWindow.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

class Rows : public NSObject, public UITableViewDataSource {
public:
    explicit Rows(NSInteger count) : m_count(count) { }
    NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger) override { return m_count; }
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(const Ref<UITableView>& table, const Ref<NSIndexPath>& indexPath) override
    {
        auto cell = table->dequeueReusableCellWithIdentifier("cellOne"_ns);
        if (!cell)
            cell = alloc<UITableViewCell>()->initWithStyle(UITableViewCellStyleDefault, "cellOne"_ns);
        cell->textLabel()->setText(NSString::stringWithFormat("第%ld行", long(indexPath->row())));
        return cell;
    }

private:
    NSInteger m_count;
};

struct List {
    Ref<UIWindow> window;
    Ref<UITableView> table;
    std::shared_ptr<Rows> rows;
};

void turn() { NSRunLoop::mainRunLoop()->runTurn(NSDefaultRunLoopMode, 0, 0); }

List makeList(NSInteger count)
{
    List list;
    list.window = alloc<UIWindow>()->initWithFrame(CGRectMake(0, 0, 375, 667));
    list.window->setHidden(false);
    list.rows = std::make_shared<Rows>(count);
    list.table = alloc<UITableView>()->initWithFrame(list.window->bounds(), UITableViewStylePlain);
    list.table->setDataSource(list.rows);
    list.window->addSubview(list.table);
    turn();
    return list;
}

List& longList()
{
    static List list = makeList(10000);
    return list;
}

List& shortList()
{
    static List list = makeList(100);
    return list;
}

// One screen further (back to the top past the end), then the turn that shows it.
void scrollOneScreen(List& list)
{
    const CGFloat screen = list.table->bounds().size.height;
    const CGFloat end = list.table->contentSize().height - screen;
    CGFloat y = list.table->contentOffset().y + screen;
    if (y > end)
        y = 0;
    list.table->setContentOffset(CGPointMake(0, y));
    turn();
}

void BM_ScrollTable100(benchmark::State& state)
{
    for (auto _ : state)
        scrollOneScreen(shortList());
}

void BM_ScrollTable10000(benchmark::State& state)
{
    for (auto _ : state)
        scrollOneScreen(longList());
}

void BM_TableScrollRatio(benchmark::State& state)
{
    std::vector<double> longTimes, shortTimes;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < 20; ++i)
            scrollOneScreen(shortList());
        shortTimes.push_back(dv::bench::secondsSince(t0));
        auto t1 = std::chrono::steady_clock::now();
        for (int i = 0; i < 20; ++i)
            scrollOneScreen(longList());
        longTimes.push_back(dv::bench::secondsSince(t1));
    }
    state.counters["ratio"] = dv::bench::medianRatio(longTimes, shortTimes);
    state.counters["cells"] = double(longList().table->visibleCells()->count());
}

} // namespace

BENCHMARK(BM_ScrollTable100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScrollTable10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TableScrollRatio)->Unit(benchmark::kMillisecond);
