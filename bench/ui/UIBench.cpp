// The interface's passes and renderer against what they must not exceed, in the same run.
//
// Passes: a tree of 50 views and one of 5,000 (the same shape: every container lays out ten
// children in rows), where one leaf changes size and asks to be redrawn each turn of the main run
// loop. Both trees take turns among the same number of leaves (spread over the whole tree), so
// the views that change are the same in number and only the idle rest of the tree differs. A
// turn's cost must not grow with the tree: PassesRatio reports the median per-round ratio of
// 5,000 views to 50 views (target at most 1.5).
//
// Rendering: a 375 x 667 screen of 200 views (150 coloured rectangles, some rounded, and 50
// views that draw a text) rendered at scale 2, against the same rectangles and texts drawn
// straight into a cairo surface with pango. RenderRatio renders the screen as it stands (the
// texts were drawn by the display pass); RedrawRatio first has every text view drawn again, so it
// includes the display pass (targets at most 1.5).
#include "bench/support/BenchSupport.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/graphics/NSStringDrawing.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIWindow.h"
#include "platform/ui/ViewSnapshot.h"

#include <benchmark/benchmark.h>
#include <cairo.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

// Lays its subviews out in rows of five.
class RowsView : public UIView {
public:
    void layoutSubviews() override
    {
        const auto subviews = this->subviews();
        const CGFloat w = bounds().size.width / 5, h = 12;
        NSUInteger i = 0;
        for (auto& item : subviews->items()) {
            auto view = std::static_pointer_cast<UIView>(item);
            CGRect f = view->frame();
            view->setFrame(CGRectMake(w * CGFloat(i % 5), h * CGFloat(i / 5), f.size.width, f.size.height));
            ++i;
        }
    }
};

class LeafView : public UIView {
public:
    void drawRect(CGRect rect) override
    {
        UIColor::orangeColor()->setFill();
        UIRectFill(CGRectInset(rect, 1, 1));
    }
};

struct Tree {
    Ref<UIWindow> window;
    std::vector<Ref<UIView>> leaves;    // the ones that change in turn
    std::vector<Ref<UIView>> allLeaves; // every leaf of the last level
};

// `count` views, ten children per container, breadth first.
Tree makeTree(std::size_t count)
{
    Tree tree;
    tree.window = alloc<UIWindow>()->initWithFrame(CGRectMake(0, 0, 375, 667));
    tree.window->setHidden(false);
    std::vector<Ref<UIView>> level {tree.window};
    std::size_t made = 1;
    while (made < count) {
        std::vector<Ref<UIView>> next;
        for (auto& parent : level) {
            for (int i = 0; i < 10 && made < count; ++i, ++made) {
                Ref<UIView> child;
                if (made + 10 * (level.size() + next.size()) < count)
                    child = alloc<RowsView>();
                else
                    child = alloc<LeafView>();
                child->initWithFrame(CGRectMake(0, 0, 60, 10));
                parent->addSubview(child);
                next.push_back(child);
            }
        }
        level = std::move(next);
    }
    // The same number of changing leaves in every tree, spread evenly over it.
    tree.allLeaves = level;
    constexpr std::size_t kChanging = 32;
    for (std::size_t i = 0; i < kChanging && i < level.size(); ++i)
        tree.leaves.push_back(level[i * level.size() / kChanging]);
    return tree;
}

void turn() { NSRunLoop::mainRunLoop()->runTurn(NSDefaultRunLoopMode, 0, 0); }

// One leaf changes: a new size (its container lays out again) and a new drawing.
void changeOneLeaf(Tree& tree, std::size_t step, bool anyLeaf = false)
{
    const auto& leaves = anyLeaf ? tree.allLeaves : tree.leaves;
    auto& leaf = leaves[step % leaves.size()];
    CGRect f = leaf->frame();
    f.size.width = f.size.width == 60 ? 58 : 60;
    leaf->setFrame(f);
    leaf->setNeedsDisplay();
    turn();
}

Tree& smallTree()
{
    static Tree tree = [] {
        auto t = makeTree(50);
        turn();
        return t;
    }();
    return tree;
}

Tree& largeTree()
{
    static Tree tree = [] {
        auto t = makeTree(5000);
        turn();
        return t;
    }();
    return tree;
}

void BM_Passes50(benchmark::State& state)
{
    std::size_t step = 0;
    for (auto _ : state)
        changeOneLeaf(smallTree(), step++);
}

void BM_Passes5000(benchmark::State& state)
{
    std::size_t step = 0;
    for (auto _ : state)
        changeOneLeaf(largeTree(), step++);
}

template <class A, class B>
void ratioInRounds(benchmark::State& state, int perRound, A numerator, B denominator)
{
    std::vector<double> a, b;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < perRound; ++i)
            denominator();
        const double tb = dv::bench::secondsSince(t0);
        auto t1 = std::chrono::steady_clock::now();
        for (int i = 0; i < perRound; ++i)
            numerator();
        const double ta = dv::bench::secondsSince(t1);
        b.push_back(tb);
        a.push_back(ta);
    }
    state.counters["ratio"] = dv::bench::medianRatio(a, b);
}

void BM_PassesRatio(benchmark::State& state)
{
    std::size_t smallStep = 0, largeStep = 0;
    ratioInRounds(state, 200, [&] { changeOneLeaf(largeTree(), largeStep++); }, [&] { changeOneLeaf(smallTree(), smallStep++); });
}

// For comparison: the changing leaf walks through all ~3,900 leaves of the large tree, so each
// turn touches views that are no longer in the processor's caches.
void BM_PassesRatioEveryLeaf(benchmark::State& state)
{
    std::size_t smallStep = 0, largeStep = 0;
    ratioInRounds(state, 200, [&] { changeOneLeaf(largeTree(), largeStep++, true); }, [&] { changeOneLeaf(smallTree(), smallStep++, true); });
}

// The screen of 200 views.

struct Box {
    CGRect frame;
    double r, g, b;
    CGFloat radius;
};

struct Caption {
    CGRect frame;
    std::string text;
};

struct Screen {
    std::vector<Box> boxes;
    std::vector<Caption> captions;
};

const Screen& screenContent()
{
    static const Screen screen = [] {
        Screen s;
        for (int i = 0; i < 150; ++i) {
            const CGFloat x = CGFloat((i * 37) % 335), y = CGFloat((i * 53) % 627);
            s.boxes.push_back({CGRectMake(x, y, 40 + (i % 5) * 8, 30 + (i % 3) * 6), (i % 7) / 7.0, (i % 5) / 5.0, (i % 3) / 3.0,
                i % 4 == 0 ? CGFloat(6) : CGFloat(0)});
        }
        const char* words[] = {"正在加载", "网络连接失败 获取数据异常", "Group 12", "刚刚", "去查看", "收到一条推送消息"};
        for (int i = 0; i < 50; ++i)
            s.captions.push_back({CGRectMake(CGFloat((i * 29) % 200), CGFloat((i * 13) % 640), 170, 20), words[i % 6]});
        return s;
    }();
    return screen;
}

class CaptionView : public UIView {
public:
    std::string caption;
    void drawRect(CGRect rect) override
    {
        dv::drawText(NSString::fromUTF8(caption), rect, UIFont::systemFontOfSize(15), UIColor::blackColor(), NSTextAlignmentLeft, false);
    }
};

struct ScreenOfViews {
    Ref<UIWindow> window;
    std::vector<Ref<UIView>> captions;
};

ScreenOfViews& screenOfViews()
{
    static ScreenOfViews s = [] {
        ScreenOfViews made;
        made.window = alloc<UIWindow>()->initWithFrame(CGRectMake(0, 0, 375, 667));
        made.window->setHidden(false);
        made.window->setBackgroundColor(UIColor::whiteColor());
        for (auto& box : screenContent().boxes) {
            auto view = alloc<UIView>()->initWithFrame(box.frame);
            view->setBackgroundColor(UIColor::colorWithRed(box.r, box.g, box.b, 1));
            view->layer()->setCornerRadius(box.radius);
            made.window->addSubview(view);
        }
        for (auto& caption : screenContent().captions) {
            auto view = alloc<CaptionView>();
            view->initWithFrame(caption.frame);
            view->caption = caption.text;
            made.window->addSubview(view);
            made.captions.push_back(view);
        }
        turn();
        return made;
    }();
    return s;
}

void renderViews()
{
    auto image = dv::snapshotView(screenOfViews().window, 2);
    benchmark::DoNotOptimize(image.get());
}

void redrawAndRenderViews()
{
    for (auto& view : screenOfViews().captions)
        view->setNeedsDisplay();
    renderViews(); // runs the display pass first
}

// The baseline's own font map. It is made after the text engine of platform/graphics and so goes
// away before it: that engine shuts fontconfig down at exit, which must find no font map alive.
struct DirectFonts {
    PangoFontMap* map = nullptr;
    DirectFonts()
    {
        (void)dv::measureText("x"_ns, UIFont::systemFontOfSize(15), 0, 0);
        map = pango_cairo_font_map_new();
    }
    ~DirectFonts() { g_object_unref(map); }
};

PangoFontMap* directFontMap()
{
    static DirectFonts fonts;
    return fonts.map;
}

void roundedRect(cairo_t* cr, CGRect r, CGFloat radius)
{
    if (radius <= 0) {
        cairo_rectangle(cr, r.origin.x, r.origin.y, r.size.width, r.size.height);
        return;
    }
    const double x0 = r.origin.x, y0 = r.origin.y, x1 = x0 + r.size.width, y1 = y0 + r.size.height;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x1 - radius, y0 + radius, radius, -M_PI / 2, 0);
    cairo_arc(cr, x1 - radius, y1 - radius, radius, 0, M_PI / 2);
    cairo_arc(cr, x0 + radius, y1 - radius, radius, M_PI / 2, M_PI);
    cairo_arc(cr, x0 + radius, y0 + radius, radius, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

void renderDirect()
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 750, 1334);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, 2, 2);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    for (auto& box : screenContent().boxes) {
        cairo_set_source_rgb(cr, box.r, box.g, box.b);
        roundedRect(cr, box.frame, box.radius);
        cairo_fill(cr);
    }
    PangoContext* context = pango_font_map_create_context(directFontMap());
    pango_cairo_update_context(cr, context);
    PangoLayout* layout = pango_layout_new(context);
    PangoFontDescription* font = pango_font_description_from_string("WenQuanYi Micro Hei");
    pango_font_description_set_absolute_size(font, 15 * PANGO_SCALE);
    pango_layout_set_font_description(layout, font);
    cairo_set_source_rgb(cr, 0, 0, 0);
    for (auto& caption : screenContent().captions) {
        cairo_save(cr);
        cairo_rectangle(cr, caption.frame.origin.x, caption.frame.origin.y, caption.frame.size.width, caption.frame.size.height);
        cairo_clip(cr);
        cairo_move_to(cr, caption.frame.origin.x, caption.frame.origin.y);
        pango_layout_set_text(layout, caption.text.c_str(), -1);
        pango_cairo_show_layout(cr, layout);
        cairo_restore(cr);
    }
    pango_font_description_free(font);
    g_object_unref(layout);
    g_object_unref(context);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
    cairo_surface_destroy(surface);
}

void BM_RenderViews(benchmark::State& state)
{
    for (auto _ : state)
        renderViews();
}

void BM_RenderDirect(benchmark::State& state)
{
    for (auto _ : state)
        renderDirect();
}

// The display pass alone: every text view draws again.
void BM_DisplayOnly(benchmark::State& state)
{
    for (auto _ : state) {
        for (auto& view : screenOfViews().captions)
            view->setNeedsDisplay();
        turn();
    }
}

void BM_RenderRatio(benchmark::State& state) { ratioInRounds(state, 5, renderViews, renderDirect); }

void BM_RedrawRatio(benchmark::State& state) { ratioInRounds(state, 5, redrawAndRenderViews, renderDirect); }

void BM_RedrawViews(benchmark::State& state)
{
    for (auto _ : state)
        redrawAndRenderViews();
}

} // namespace

BENCHMARK(BM_Passes50)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Passes5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PassesRatio)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PassesRatioEveryLeaf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderViews)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderRatio)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DisplayOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RedrawViews)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RedrawRatio)->Unit(benchmark::kMillisecond);

