#include "platform/graphics/internal/TextEngine.h"

#include "platform/base/Mutex.h"
#include "platform/base/NSLog.h"
#include "platform/graphics/internal/CairoCanvas.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-font.h>
#include <pango/pangofc-fontmap.h>

#include <algorithm>
#include <mutex>
#include <sys/stat.h>

#ifndef DV_FONTCONFIG_FILE
#define DV_FONTCONFIG_FILE "fonts.conf"
#endif
#ifndef DV_PINNED_FONT_FILE
#define DV_PINNED_FONT_FILE "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
#endif

namespace dv::internal::graphics {

namespace {

constexpr const char* kFamily = "WenQuanYi Micro Hei";

dv::Mutex s_mutex;

struct Engine {
    PangoFontMap* fontMap = nullptr;
    PangoContext* context = nullptr;     // measuring
    PangoContext* drawContext = nullptr; // drawing: follows the target's transformation
    cairo_font_options_t* options = nullptr;

    // Torn down at exit so that leak checkers see a clean process. The font configuration library
    // itself is left as it is: other libraries of the process (the web engine's toolkit) hold its
    // caches until the very end, and finishing it under them aborts the process.
    ~Engine()
    {
        if (drawContext)
            g_object_unref(drawContext);
        if (context)
            g_object_unref(context);
        if (fontMap)
            g_object_unref(fontMap);
        if (options)
            cairo_font_options_destroy(options);
    }
};

void configure(PangoContext* context, const cairo_font_options_t* options)
{
    pango_cairo_context_set_resolution(context, 72); // one pixel per point at scale 1
    pango_cairo_context_set_font_options(context, options);
    pango_context_set_round_glyph_positions(context, FALSE);
}

// Made once and kept for the process; pango's objects are not thread-safe, so every use holds s_mutex.
Engine& engine() DV_REQUIRES(s_mutex)
{
    static Engine e;
    static std::once_flag once;
    std::call_once(once, [] {
        Engine& made = e;
        FcConfig* config = FcConfigCreate();
        if (!FcConfigParseAndLoad(config, reinterpret_cast<const FcChar8*>(DV_FONTCONFIG_FILE), FcTrue))
            NSLog("text: cannot read the font configuration %s", DV_FONTCONFIG_FILE);
        struct stat info;
        if (stat(DV_PINNED_FONT_FILE, &info) != 0 || !FcConfigAppFontAddFile(config, reinterpret_cast<const FcChar8*>(DV_PINNED_FONT_FILE)))
            NSLog("text: the pinned font %s is missing; install fonts-wqy-microhei", DV_PINNED_FONT_FILE);
        made.fontMap = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
        pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(made.fontMap), config);
        FcConfigDestroy(config); // the font map holds its own reference
        made.options = cairo_font_options_create();
        cairo_font_options_set_hint_style(made.options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(made.options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_antialias(made.options, CAIRO_ANTIALIAS_GRAY);
        made.context = pango_font_map_create_context(made.fontMap);
        configure(made.context, made.options);
        made.drawContext = pango_font_map_create_context(made.fontMap);
        configure(made.drawContext, made.options);
    });
    return e;
}

PangoFontDescription* describe(const FontRequest& font)
{
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, kFamily);
    pango_font_description_set_weight(d, font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    const double size = std::clamp(font.size, 0.0, 10000.0);
    pango_font_description_set_absolute_size(d, size * PANGO_SCALE);
    return d;
}

PangoLayout* makeLayout(PangoContext* context, const std::string& text, const FontRequest& font, CGFloat wrapWidth)
{
    PangoLayout* layout = pango_layout_new(context);
    PangoFontDescription* d = describe(font);
    pango_layout_set_font_description(layout, d);
    pango_font_description_free(d);
    pango_layout_set_text(layout, text.data(), int(text.size()));
    if (wrapWidth > 0) {
        pango_layout_set_width(layout, int(std::min(wrapWidth, 1e6) * PANGO_SCALE));
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    } else {
        pango_layout_set_width(layout, -1);
    }
    return layout;
}

// Where the ink of a glyph ends below (positive) or above (negative) the baseline, in pango units.
int inkBottom(PangoFont* font, PangoGlyph glyph)
{
    PangoRectangle ink;
    pango_font_get_glyph_extents(font, glyph, &ink, nullptr);
    return ink.y + ink.height;
}

// Gives every ellipsis of the laid-out lines one look: the face's "…" standing on the baseline as
// full stops do, whatever text it replaces. Pango shapes an ellipsis from the text it cuts: after
// Latin text the face's "…" (which this face draws at mid-height), after wide characters three
// full stops (the face has no midline ellipsis, pango's choice there). The run keeps the room
// pango measured for it, so nothing else on the line moves; the glyph is centred in that room.
void settleEllipses(PangoLayout* layout)
{
    for (GSList* l = pango_layout_get_lines(layout); l; l = l->next) {
        auto* line = static_cast<PangoLayoutLine*>(l->data);
        for (GSList* r = line ? line->runs : nullptr; r; r = r->next) {
            auto* run = static_cast<PangoGlyphItem*>(r->data);
            if (!run || !(run->item->analysis.flags & PANGO_ANALYSIS_FLAG_IS_ELLIPSIS) || !PANGO_IS_FC_FONT(run->item->analysis.font))
                continue;
            PangoFont* font = run->item->analysis.font;
            auto* face = PANGO_FC_FONT(font);
            const PangoGlyph ellipsis = pango_fc_font_get_glyph(face, 0x2026);
            const PangoGlyph stop = pango_fc_font_get_glyph(face, '.');
            PangoGlyphString* glyphs = run->glyphs;
            if (!ellipsis || !stop || glyphs->num_glyphs < 1)
                continue;
            int room = 0;
            for (int i = 0; i < glyphs->num_glyphs; ++i)
                room += glyphs->glyphs[i].geometry.width;
            PangoRectangle logical;
            pango_font_get_glyph_extents(font, ellipsis, nullptr, &logical);
            PangoGlyphInfo& first = glyphs->glyphs[0];
            first.glyph = ellipsis;
            first.geometry.width = room;
            first.geometry.x_offset = (room - logical.width) / 2;
            first.geometry.y_offset = inkBottom(font, stop) - inkBottom(font, ellipsis);
            for (int i = 1; i < glyphs->num_glyphs; ++i) {
                glyphs->glyphs[i].glyph = PANGO_GLYPH_EMPTY;
                glyphs->glyphs[i].geometry = {};
            }
        }
    }
}

} // namespace

const char* pinnedFamily() { return kFamily; }

FontMetrics fontMetrics(const FontRequest& font)
{
    dv::MutexLocker lock(s_mutex);
    Engine& e = engine();
    PangoLayout* layout = makeLayout(e.context, "X", font, 0);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    FontMetrics m;
    m.lineHeight = CGFloat(logical.height) / PANGO_SCALE;
    m.ascender = CGFloat(pango_layout_get_baseline(layout)) / PANGO_SCALE;
    m.descender = m.lineHeight - m.ascender;
    g_object_unref(layout);
    return m;
}

CGSize measureText(const std::string& text, const FontRequest& font, CGFloat wrapWidth, CGFloat maxHeight, long maxLines)
{
    if (text.empty())
        return CGSizeZero;
    dv::MutexLocker lock(s_mutex);
    Engine& e = engine();
    PangoLayout* layout = makeLayout(e.context, text, font, wrapWidth);
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    double width = 0, height = 0;
    bool first = true;
    long lines = 0;
    do {
        if (maxLines > 0 && lines == maxLines)
            break;
        ++lines;
        PangoRectangle line;
        pango_layout_iter_get_line_extents(iter, nullptr, &line);
        const double bottom = double(line.y + line.height) / PANGO_SCALE;
        if (!first && bottom > maxHeight)
            break;
        width = std::max(width, double(line.x + line.width) / PANGO_SCALE);
        height = bottom;
        first = false;
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
    g_object_unref(layout);
    return CGSizeMake(width, height);
}

void drawText(CairoCanvas& canvas, const std::string& text, const FontRequest& font, CGRect rect, const RGBA& color,
    const DrawOptions& options)
{
    const int alignment = options.alignment;
    const bool wrap = options.wrap;
    if (text.empty())
        return;
    dv::MutexLocker lock(s_mutex);
    Engine& e = engine();
    auto* cr = static_cast<cairo_t*>(canvas.native());
    // One drawing context for every call: updating it to the target is cheap when nothing changed.
    PangoContext* context = e.drawContext;
    pango_cairo_update_context(cr, context);
    PangoLayout* layout = makeLayout(context, text, font, wrap ? rect.size.width : 0);
    const int truncateAt = options.truncateTail ? 3 : options.truncateAt;
    if (wrap || truncateAt) {
        pango_layout_set_alignment(layout, alignment == 1 ? PANGO_ALIGN_CENTER : alignment == 2 ? PANGO_ALIGN_RIGHT : PANGO_ALIGN_LEFT);
        pango_layout_set_justify(layout, alignment == 3);
    }
    if (truncateAt) {
        pango_layout_set_ellipsize(layout, truncateAt == 1 ? PANGO_ELLIPSIZE_START : truncateAt == 2 ? PANGO_ELLIPSIZE_MIDDLE : PANGO_ELLIPSIZE_END);
        if (!wrap)
            pango_layout_set_width(layout, int(std::clamp(rect.size.width, 0.0, 1e6) * PANGO_SCALE));
        if (wrap && options.maxLines > 0)
            pango_layout_set_height(layout, -int(std::min(options.maxLines, 100000L)));
        else if (wrap)
            pango_layout_set_height(layout, int(std::clamp(rect.size.height, 0.0, 1e6) * PANGO_SCALE));
        settleEllipses(layout);
    }
    // The lines shown: those within the limit of lines (without truncation the others are simply
    // not shown) and, for centring, within the rectangle (the first line always counts).
    double limitBottom = 0, shown = 0;
    {
        PangoLayoutIter* iter = pango_layout_get_iter(layout);
        long line = 0;
        do {
            if (options.maxLines > 0 && line == options.maxLines)
                break;
            ++line;
            PangoRectangle extents;
            pango_layout_iter_get_line_extents(iter, nullptr, &extents);
            limitBottom = double(extents.y + extents.height) / PANGO_SCALE;
            if (line == 1 || limitBottom <= rect.size.height + 0.01)
                shown = limitBottom;
        } while (pango_layout_iter_next_line(iter));
        pango_layout_iter_free(iter);
    }
    double x = rect.origin.x;
    if (!wrap && !truncateAt && alignment != 0 && alignment != 3 && alignment != 4) {
        PangoRectangle logical;
        pango_layout_get_extents(layout, nullptr, &logical);
        const double w = double(logical.width) / PANGO_SCALE;
        x += alignment == 1 ? (rect.size.width - w) / 2 : rect.size.width - w;
    }
    double y = rect.origin.y;
    if (options.centreVertically && shown < rect.size.height)
        y += (rect.size.height - shown) / 2;
    // Without truncation the lines past the limit are laid out all the same: the clip leaves them
    // out. The rectangle itself keeps its height, so that centring still places the lines shown.
    CGRect clip = rect;
    if (!truncateAt && options.maxLines > 0) {
        const double top = std::max<double>(rect.origin.y, y);
        const double bottom = std::min<double>(CGRectGetMaxY(rect), y + limitBottom);
        clip = CGRectMake(rect.origin.x, top, rect.size.width, std::max(0.0, bottom - top));
    }
    cairo_path_t* path = cairo_copy_path(cr);
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, clip.origin.x, clip.origin.y, clip.size.width, clip.size.height);
    cairo_clip(cr);
    cairo_set_source_rgba(cr, color.r, color.g, color.b, color.a);
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, layout);
    cairo_restore(cr);
    cairo_new_path(cr);
    cairo_append_path(cr, path);
    cairo_path_destroy(path);
    g_object_unref(layout);
}

std::vector<CaretLine> caretLines(const std::string& text, const FontRequest& font, CGFloat wrapWidth, int alignment)
{
    dv::MutexLocker lock(s_mutex);
    Engine& e = engine();
    PangoLayout* layout = makeLayout(e.context, text, font, wrapWidth);
    if (wrapWidth > 0) {
        // As drawText sets a wrapped layout.
        pango_layout_set_alignment(layout, alignment == 1 ? PANGO_ALIGN_CENTER : alignment == 2 ? PANGO_ALIGN_RIGHT : PANGO_ALIGN_LEFT);
        pango_layout_set_justify(layout, alignment == 3);
    }
    auto isContinuation = [&](std::size_t at) { return at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80; };
    std::vector<CaretLine> lines;
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    do {
        PangoLayoutLine* line = pango_layout_iter_get_line_readonly(iter);
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(iter, nullptr, &logical);
        CaretLine out;
        out.start = std::size_t(line->start_index);
        out.end = out.start + std::size_t(line->length);
        out.top = CGFloat(logical.y) / PANGO_SCALE;
        out.height = CGFloat(logical.height) / PANGO_SCALE;
        // A character's leading edge, and the line's end as the trailing edge of its last
        // character (the leading edge of what follows may stand on the next line).
        for (std::size_t at = out.start;;) {
            int x = 0;
            if (at < out.end) {
                pango_layout_line_index_to_x(line, int(at), FALSE, &x);
            } else if (at > out.start) {
                std::size_t last = at - 1;
                while (last > out.start && isContinuation(last))
                    --last;
                pango_layout_line_index_to_x(line, int(last), TRUE, &x);
            }
            out.stops.emplace_back(at, CGFloat(logical.x + x) / PANGO_SCALE);
            if (at >= out.end)
                break;
            do
                ++at;
            while (at < out.end && isContinuation(at));
        }
        lines.push_back(std::move(out));
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
    g_object_unref(layout);
    return lines;
}

} // namespace dv::internal::graphics
