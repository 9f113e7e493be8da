#include "platform/graphics/internal/TextEngine.h"

#include "platform/base/Mutex.h"
#include "platform/base/NSLog.h"
#include "platform/graphics/internal/CairoCanvas.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-font.h>
#include <pango/pangofc-fontmap.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <mutex>
#include <string_view>
#include <vector>
#include <sys/stat.h>

#ifndef DV_FONTCONFIG_FILE
#define DV_FONTCONFIG_FILE "fonts.conf"
#endif
#ifndef DV_PINNED_FONT_FILE
#define DV_PINNED_FONT_FILE "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
#endif
#ifndef DV_EMOJI_FONT_FILE
#define DV_EMOJI_FONT_FILE "/usr/share/fonts/truetype/noto/NotoColorEmoji.ttf"
#endif
#ifndef DV_LATIN_FONT_FILE
#define DV_LATIN_FONT_FILE "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
#endif
#ifndef DV_LATIN_BOLD_FONT_FILE
#define DV_LATIN_BOLD_FONT_FILE "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
#endif

namespace dv::internal::graphics {

namespace {

constexpr const char* kFamily = "WenQuanYi Micro Hei";

// The faces the engine draws with, each from the Debian package that installs it
// (scripts/setup-deps): the pinned face draws every character it has (fonts.conf asks for it
// alone), the colour emoji face and the Latin face what it lacks.
struct Face {
    const char* file;
    const char* package;
};
constexpr Face kFaces[] = {
    {DV_PINNED_FONT_FILE, "fonts-wqy-microhei"},
    {DV_EMOJI_FONT_FILE, "fonts-noto-color-emoji"},
    {DV_LATIN_FONT_FILE, "fonts-dejavu-core"},
    {DV_LATIN_BOLD_FONT_FILE, "fonts-dejavu-core"},
};

dv::Mutex s_mutex;

// A line of the pinned face, in pango units (the same in every context: metrics are not hinted).
struct LineBox {
    int height = 0;
    int baseline = 0; // from the line's top
};

struct Engine {
    PangoFontMap* fontMap = nullptr;
    PangoContext* context = nullptr;     // measuring
    PangoContext* drawContext = nullptr; // drawing: follows the target's transformation
    cairo_font_options_t* options = nullptr;
    FcCharSet* drawable = nullptr;       // the code points some face has
    std::map<std::pair<int, bool>, LineBox> lineBoxes; // by size in pango units and boldness

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
        if (drawable)
            FcCharSetDestroy(drawable);
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
        for (const Face& face : kFaces) {
            struct stat info;
            if (stat(face.file, &info) != 0 || !FcConfigAppFontAddFile(config, reinterpret_cast<const FcChar8*>(face.file)))
                NSLog("text: the font %s is missing; install the package %s (scripts/setup-deps)", face.file, face.package);
        }
        made.drawable = FcCharSetCreate();
        if (FcFontSet* fonts = FcConfigGetFonts(config, FcSetApplication))
            for (int i = 0; i < fonts->nfont; ++i) {
                FcCharSet* charset = nullptr;
                if (FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &charset) == FcResultMatch)
                    FcCharSetMerge(made.drawable, charset, nullptr);
            }
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

// Code points that take no glyph of a face: spaces, controls, joiners, selectors.
bool isInvisible(UChar32 c)
{
    switch (u_charType(c)) {
    case U_CONTROL_CHAR:
    case U_FORMAT_CHAR:
    case U_SPACE_SEPARATOR:
    case U_LINE_SEPARATOR:
    case U_PARAGRAPH_SEPARATOR: return true;
    default: return u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT);
    }
}

// Where a code point was replaced, the offsets (UTF-8 bytes) just after it in the text shown and in
// the text given, in order.
using Replacements = std::vector<std::pair<std::size_t, std::size_t>>;

// The text with every visible code point that no face has, and every byte that is not UTF-8,
// replaced by U+FFFD: a glyph like any other, where pango's own boxes of hex digits for a
// missing glyph are measured at one size and drawn at another.
std::string withUndrawableReplaced(const Engine& e, const std::string& text, Replacements* replaced = nullptr)
{
    std::string out;
    out.reserve(text.size());
    for (int32_t i = 0, n = int32_t(text.size()); i < n;) {
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(text.data(), i, n, c);
        if (c >= 0 && (isInvisible(c) || FcCharSetHasChar(e.drawable, FcChar32(c)))) {
            out.append(text, std::size_t(start), std::size_t(i - start));
            continue;
        }
        out += "\uFFFD";
        if (replaced)
            replaced->emplace_back(out.size(), std::size_t(i));
    }
    return out;
}

// The offset in the text given of a character boundary at `shown` in the text shown.
std::size_t givenOffset(const Replacements& replaced, std::size_t shown)
{
    auto after = std::upper_bound(replaced.begin(), replaced.end(), std::make_pair(shown, SIZE_MAX));
    if (after == replaced.begin())
        return shown;
    --after;
    return after->second + (shown - after->first);
}

PangoLayout* newLayout(PangoContext* context, const std::string& text, const FontRequest& font)
{
    PangoLayout* layout = pango_layout_new(context);
    PangoFontDescription* d = describe(font);
    pango_layout_set_font_description(layout, d);
    pango_font_description_free(d);
    pango_layout_set_text(layout, text.data(), int(text.size()));
    return layout;
}

// Every line is as tall as a line of the pinned face, with its baseline where that face puts
// it, whatever faces its characters come from: the emoji and Latin faces have other ascents and
// descents, and pango would make the lines holding them taller by a little.
LineBox lineBoxOf(Engine& e, const FontRequest& font)
{
    const std::pair<int, bool> key {int(std::lround(std::clamp(font.size, 0.0, 10000.0) * PANGO_SCALE)), font.bold};
    if (auto found = e.lineBoxes.find(key); found != e.lineBoxes.end())
        return found->second;
    if (e.lineBoxes.size() >= 256)
        e.lineBoxes.clear();
    PangoLayout* layout = newLayout(e.context, "X", font);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    const LineBox box {logical.height, pango_layout_get_baseline(layout)};
    g_object_unref(layout);
    return e.lineBoxes[key] = box;
}

// The top of line `index` (from 0) of a layout, in points.
double lineTop(const LineBox& box, long index) { return double(int64_t(index) * box.height) / PANGO_SCALE; }

// Lays the text out in the pinned face. What it lacks comes from the other faces: emoji from the
// emoji face as whole sequences (pango asks fontconfig for the family "emoji" for what it finds
// to be emoji, which fonts.conf maps to that face), other symbols from the Latin face.
PangoLayout* makeLayout(Engine& e, PangoContext* context, const std::string& text, const FontRequest& font, CGFloat wrapWidth,
    Replacements* replaced = nullptr)
{
    PangoLayout* layout = newLayout(context, withUndrawableReplaced(e, text, replaced), font);
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

// Takes whole clusters of glyphs out of a run, from its end (or its start), until `excess`
// (pango units) is made up or the run is empty; answers what is left of the excess. The
// clusters' text stays in the layout: they are only not drawn, and take no room.
int dropClusters(PangoGlyphItem* run, int excess, bool fromEnd)
{
    PangoGlyphString* glyphs = run->glyphs;
    const int count = glyphs->num_glyphs, step = fromEnd ? -1 : 1;
    for (int i = fromEnd ? count - 1 : 0; excess > 0 && i >= 0 && i < count;) {
        const int cluster = glyphs->log_clusters[i];
        for (; i >= 0 && i < count && glyphs->log_clusters[i] == cluster; i += step) {
            excess -= glyphs->glyphs[i].geometry.width;
            glyphs->glyphs[i].glyph = PANGO_GLYPH_EMPTY;
            glyphs->glyphs[i].geometry = {};
        }
    }
    return excess;
}

// Gives every ellipsis of the laid-out lines one look: the pinned face's "…" standing on the
// baseline as full stops do, right after the last character kept, with the face's own advance
// and side bearings, whatever text it replaces. Pango shapes an ellipsis from the text it cuts
// (after Latin text the face's "…", which this face draws at mid-height; after Chinese text and
// emoji three full stops, narrower) and stretches it over whatever room the line has left. Where
// the face's "…" is wider than what pango kept room for, the characters next to it that it
// would cover go too. The lines are taken out of the layout, which then measures and aligns them
// afresh from the glyphs as changed here.
void settleEllipses(PangoLayout* layout)
{
    PangoFont* pinned = nullptr;
    for (GSList* l = pango_layout_get_lines(layout); l; l = l->next) {
        auto* line = static_cast<PangoLayoutLine*>(l->data);
        std::vector<PangoGlyphItem*> runs;
        for (GSList* r = line ? line->runs : nullptr; r; r = r->next)
            if (r->data)
                runs.push_back(static_cast<PangoGlyphItem*>(r->data));
        const auto found = std::find_if(runs.begin(), runs.end(),
            [](PangoGlyphItem* run) { return (run->item->analysis.flags & PANGO_ANALYSIS_FLAG_IS_ELLIPSIS) && run->glyphs->num_glyphs > 0; });
        if (found == runs.end())
            continue;
        if (!pinned)
            pinned = pango_context_load_font(pango_layout_get_context(layout), pango_layout_get_font_description(layout));
        if (!pinned || !PANGO_IS_FC_FONT(pinned))
            break;
        auto* face = PANGO_FC_FONT(pinned);
        const PangoGlyph ellipsis = pango_fc_font_get_glyph(face, 0x2026);
        const PangoGlyph stop = pango_fc_font_get_glyph(face, '.');
        if (!ellipsis || !stop)
            break;
        PangoRectangle logical;
        pango_font_get_glyph_extents(pinned, ellipsis, nullptr, &logical);
        PangoGlyphItem* run = *found;
        if (run->item->analysis.font != pinned) {
            g_object_unref(run->item->analysis.font);
            run->item->analysis.font = PANGO_FONT(g_object_ref(pinned));
        }
        PangoGlyphString* glyphs = run->glyphs;
        PangoGlyphInfo& first = glyphs->glyphs[0];
        first.glyph = ellipsis;
        first.geometry.width = logical.width;
        first.geometry.x_offset = 0;
        first.geometry.y_offset = inkBottom(pinned, stop) - inkBottom(pinned, ellipsis);
        for (int i = 1; i < glyphs->num_glyphs; ++i) {
            glyphs->glyphs[i].glyph = PANGO_GLYPH_EMPTY;
            glyphs->glyphs[i].geometry = {};
        }
        int excess = -pango_layout_get_width(layout);
        for (PangoGlyphItem* other : runs)
            for (int i = 0; i < other->glyphs->num_glyphs; ++i)
                excess += other->glyphs->glyphs[i].geometry.width;
        for (auto before = found; excess > 0 && before != runs.begin();)
            excess = dropClusters(*--before, excess, true);
        for (auto after = found + 1; excess > 0 && after != runs.end(); ++after)
            excess = dropClusters(*after, excess, false);
    }
    if (pinned)
        g_object_unref(pinned);
}

} // namespace

const char* pinnedFamily() { return kFamily; }

FontMetrics fontMetrics(const FontRequest& font)
{
    dv::MutexLocker lock(s_mutex);
    const LineBox box = lineBoxOf(engine(), font);
    FontMetrics m;
    m.lineHeight = CGFloat(box.height) / PANGO_SCALE;
    m.ascender = CGFloat(box.baseline) / PANGO_SCALE;
    m.descender = m.lineHeight - m.ascender;
    return m;
}

CGSize measureText(const std::string& text, const FontRequest& font, CGFloat wrapWidth, CGFloat maxHeight, long maxLines)
{
    if (text.empty())
        return CGSizeZero;
    dv::MutexLocker lock(s_mutex);
    Engine& e = engine();
    const LineBox box = lineBoxOf(e, font);
    PangoLayout* layout = makeLayout(e, e.context, text, font, wrapWidth);
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    double width = 0;
    long lines = 0;
    do {
        if ((maxLines > 0 && lines == maxLines) || (lines > 0 && lineTop(box, lines + 1) > maxHeight))
            break;
        ++lines;
        PangoRectangle line;
        pango_layout_iter_get_line_extents(iter, nullptr, &line);
        width = std::max(width, double(line.x + line.width) / PANGO_SCALE);
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
    g_object_unref(layout);
    return CGSizeMake(width, lineTop(box, lines));
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
    const LineBox box = lineBoxOf(e, font);
    PangoLayout* layout = makeLayout(e, context, text, font, wrap ? rect.size.width : 0);
    const int truncateAt = options.truncateTail ? 3 : options.truncateAt;
    if (wrap || truncateAt) {
        pango_layout_set_alignment(layout, alignment == 1 ? PANGO_ALIGN_CENTER : alignment == 2 ? PANGO_ALIGN_RIGHT : PANGO_ALIGN_LEFT);
        pango_layout_set_justify(layout, alignment == 3);
    }
    if (truncateAt) {
        pango_layout_set_ellipsize(layout, truncateAt == 1 ? PANGO_ELLIPSIZE_START : truncateAt == 2 ? PANGO_ELLIPSIZE_MIDDLE : PANGO_ELLIPSIZE_END);
        if (!wrap)
            pango_layout_set_width(layout, int(std::clamp(rect.size.width, 0.0, 1e6) * PANGO_SCALE));
        if (wrap && options.maxLines > 0) {
            pango_layout_set_height(layout, -int(std::min(options.maxLines, 100000L)));
        } else if (wrap) {
            // The lines of the pinned face that fit, with half a line to spare for pango, whose
            // lines with emoji are a little taller than that face's.
            const double lines = std::floor(std::clamp(rect.size.height, 0.0, 1e6) * PANGO_SCALE / box.height);
            pango_layout_set_height(layout, int(std::min((lines + 0.5) * box.height, 1e9)));
        }
        settleEllipses(layout);
    }
    // The lines shown: those within the limit of lines (without truncation the others are simply
    // not shown) and, for centring, within the rectangle (the first line always counts).
    long lines = pango_layout_get_line_count(layout);
    if (options.maxLines > 0)
        lines = std::min(lines, options.maxLines);
    const double limitBottom = lineTop(box, lines);
    double shown = lineTop(box, 1);
    for (long line = 2; line <= lines && lineTop(box, line) <= rect.size.height + 0.01; ++line)
        shown = lineTop(box, line);
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
    // Without truncation the lines past the limit are laid out all the same and not drawn; the
    // clip keeps the ink of those shown within them. The rectangle itself keeps its height, so
    // that centring still places the lines shown.
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
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    for (long line = 0; line < lines; ++line) {
        PangoRectangle extents;
        pango_layout_iter_get_line_extents(iter, nullptr, &extents);
        cairo_move_to(cr, x + double(extents.x) / PANGO_SCALE, y + double(int64_t(line) * box.height + box.baseline) / PANGO_SCALE);
        pango_cairo_show_layout_line(cr, pango_layout_iter_get_line_readonly(iter));
        if (!pango_layout_iter_next_line(iter))
            break;
    }
    pango_layout_iter_free(iter);
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
    const LineBox box = lineBoxOf(e, font);
    Replacements replaced;
    PangoLayout* layout = makeLayout(e, e.context, text, font, wrapWidth, &replaced);
    if (wrapWidth > 0) {
        // As drawText sets a wrapped layout.
        pango_layout_set_alignment(layout, alignment == 1 ? PANGO_ALIGN_CENTER : alignment == 2 ? PANGO_ALIGN_RIGHT : PANGO_ALIGN_LEFT);
        pango_layout_set_justify(layout, alignment == 3);
    }
    const std::string_view shown = pango_layout_get_text(layout);
    auto isContinuation = [&](std::size_t at) { return at < shown.size() && (static_cast<unsigned char>(shown[at]) & 0xC0) == 0x80; };
    std::vector<CaretLine> lines;
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    do {
        PangoLayoutLine* line = pango_layout_iter_get_line_readonly(iter);
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(iter, nullptr, &logical);
        const std::size_t start = std::size_t(line->start_index), end = start + std::size_t(line->length);
        CaretLine out;
        out.start = givenOffset(replaced, start);
        out.end = givenOffset(replaced, end);
        // Lines stand as drawText draws them: each as tall as a line of the pinned face.
        out.top = CGFloat(lineTop(box, long(lines.size())));
        out.height = CGFloat(box.height) / PANGO_SCALE;
        // A character's leading edge, and the line's end as the trailing edge of its last
        // character (the leading edge of what follows may stand on the next line).
        for (std::size_t at = start;;) {
            int x = 0;
            if (at < end) {
                pango_layout_line_index_to_x(line, int(at), FALSE, &x);
            } else if (at > start) {
                std::size_t last = at - 1;
                while (last > start && isContinuation(last))
                    --last;
                pango_layout_line_index_to_x(line, int(last), TRUE, &x);
            }
            out.stops.emplace_back(givenOffset(replaced, at), CGFloat(logical.x + x) / PANGO_SCALE);
            if (at >= end)
                break;
            do
                ++at;
            while (at < end && isContinuation(at));
        }
        lines.push_back(std::move(out));
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
    g_object_unref(layout);
    return lines;
}

} // namespace dv::internal::graphics
