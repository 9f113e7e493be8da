#include "platform/graphics/internal/CairoCanvas.h"

#include "platform/graphics/internal/ConcentricGradient.h"

#include <cairo.h>

#include <cmath>
#include <cstring>

namespace dv::internal::graphics {

struct CairoCanvas::Impl {
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    ~Impl()
    {
        if (cr)
            cairo_destroy(cr);
        if (surface)
            cairo_surface_destroy(surface);
    }
};

namespace {

cairo_matrix_t toCairo(const CGAffineTransform& t)
{
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    return m;
}

void addStops(cairo_pattern_t* pattern, const CGGradient& gradient)
{
    for (const auto& stop : gradient.stops())
        cairo_pattern_add_color_stop_rgba(pattern, std::clamp(stop.location, 0.0, 1.0), stop.color.r, stop.color.g, stop.color.b,
            stop.color.a);
}

constexpr double kFar = 1e7;

// cairo keeps coordinates in 24.8 fixed point: anything past a few million overflows. The
// platform's "infinite" rectangle and other huge values are brought back inside that range, far
// beyond any bitmap; a NaN turns the operation into nothing.
constexpr double kLimit = 4e6;

double bounded(double v) { return std::clamp(v, -kLimit, kLimit); }

bool finite(std::initializer_list<double> values)
{
    for (double v : values)
        if (std::isnan(v))
            return false;
    return true;
}

} // namespace

std::unique_ptr<CairoCanvas> CairoCanvas::create(std::size_t width, std::size_t height, Format format, std::uint8_t* external,
    std::size_t externalStride, Start start)
{
    if (width == 0 || height == 0 || width > 32767 || height > 32767)
        return nullptr;
    const cairo_format_t f = format == Format::A8 ? CAIRO_FORMAT_A8 : format == Format::RGB24 ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32;
    std::unique_ptr<CairoCanvas> canvas(new CairoCanvas());
    canvas->m_format = format;
    canvas->m_impl = std::make_unique<Impl>();
    if (external) {
        canvas->m_impl->surface = cairo_image_surface_create_for_data(external, f, int(width), int(height), int(externalStride));
        canvas->m_backdrop = start == Start::Unwritten ? Backdrop::Unwritten : Backdrop::Unknown;
    } else {
        // cairo clears the storage it makes.
        canvas->m_impl->surface = cairo_image_surface_create(f, int(width), int(height));
        canvas->m_backdrop = Backdrop::Blank;
    }
    if (cairo_surface_status(canvas->m_impl->surface) != CAIRO_STATUS_SUCCESS)
        return nullptr;
    canvas->m_impl->cr = cairo_create(canvas->m_impl->surface);
    if (cairo_status(canvas->m_impl->cr) != CAIRO_STATUS_SUCCESS)
        return nullptr;
    cairo_set_fill_rule(canvas->m_impl->cr, CAIRO_FILL_RULE_WINDING);
    return canvas;
}

CairoCanvas::~CairoCanvas() = default;

std::uint8_t* CairoCanvas::pixels()
{
    clearUnwritten();
    return cairo_image_surface_get_data(m_impl->surface);
}
std::size_t CairoCanvas::stride() const { return std::size_t(cairo_image_surface_get_stride(m_impl->surface)); }
void CairoCanvas::flush()
{
    clearUnwritten();
    cairo_surface_flush(m_impl->surface);
}
void CairoCanvas::markDirty()
{
    ++m_marks;
    m_backdrop = Backdrop::Unknown;
    cairo_surface_mark_dirty(m_impl->surface);
}
void* CairoCanvas::native() const
{
    willDraw(); // the text backend draws through it
    return m_impl->cr;
}

void CairoCanvas::willDraw() const
{
    clearUnwritten();
    ++m_marks;
    m_backdrop = Backdrop::Unknown;
}

void CairoCanvas::clearUnwritten() const
{
    if (m_backdrop == Backdrop::Unwritten)
        clearPixels();
}

void CairoCanvas::clearPixels() const
{
    cairo_surface_t* surface = m_impl->surface;
    cairo_surface_flush(surface);
    std::memset(cairo_image_surface_get_data(surface), 0,
        std::size_t(cairo_image_surface_get_stride(surface)) * std::size_t(cairo_image_surface_get_height(surface)));
    cairo_surface_mark_dirty(surface);
    m_backdrop = Backdrop::Blank;
}

void CairoCanvas::save() { cairo_save(m_impl->cr); }
void CairoCanvas::restore() { cairo_restore(m_impl->cr); }
void CairoCanvas::pushGroup() { cairo_push_group(m_impl->cr); }

void CairoCanvas::popGroup(CGFloat alpha)
{
    willDraw();
    cairo_t* cr = m_impl->cr;
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, alpha);
    cairo_set_source_rgba(cr, 0, 0, 0, 1);
}

CGAffineTransform CairoCanvas::matrix() const
{
    cairo_matrix_t m;
    cairo_get_matrix(m_impl->cr, &m);
    return {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
}

void CairoCanvas::setMatrix(const CGAffineTransform& t)
{
    cairo_matrix_t m = toCairo(t);
    if (cairo_matrix_invert(&m) != CAIRO_STATUS_SUCCESS)
        return; // a singular transform would put the context in an error state for good
    m = toCairo(t);
    cairo_set_matrix(m_impl->cr, &m);
}

void CairoCanvas::transform(const CGAffineTransform& t)
{
    cairo_matrix_t m = toCairo(t);
    if (cairo_matrix_invert(&m) != CAIRO_STATUS_SUCCESS)
        return;
    m = toCairo(t);
    cairo_transform(m_impl->cr, &m);
}

void CairoCanvas::newPath() { cairo_new_path(m_impl->cr); }
void CairoCanvas::moveTo(CGFloat x, CGFloat y)
{
    if (finite({x, y}))
        cairo_move_to(m_impl->cr, bounded(x), bounded(y));
}

void CairoCanvas::lineTo(CGFloat x, CGFloat y)
{
    if (!finite({x, y}))
        return;
    x = bounded(x), y = bounded(y);
    if (!cairo_has_current_point(m_impl->cr))
        cairo_move_to(m_impl->cr, x, y);
    else
        cairo_line_to(m_impl->cr, x, y);
}

void CairoCanvas::curveTo(CGFloat x1, CGFloat y1, CGFloat x2, CGFloat y2, CGFloat x3, CGFloat y3)
{
    if (!finite({x1, y1, x2, y2, x3, y3}))
        return;
    x1 = bounded(x1), y1 = bounded(y1), x2 = bounded(x2), y2 = bounded(y2), x3 = bounded(x3), y3 = bounded(y3);
    if (!cairo_has_current_point(m_impl->cr))
        cairo_move_to(m_impl->cr, x1, y1);
    cairo_curve_to(m_impl->cr, x1, y1, x2, y2, x3, y3);
}

void CairoCanvas::arc(CGFloat cx, CGFloat cy, CGFloat radius, CGFloat start, CGFloat end, bool decreasing)
{
    if (!(radius >= 0) || !std::isfinite(start) || !std::isfinite(end) || !finite({cx, cy}))
        return;
    cx = bounded(cx), cy = bounded(cy), radius = std::min(radius, kLimit);
    if (decreasing)
        cairo_arc_negative(m_impl->cr, cx, cy, radius, start, end);
    else
        cairo_arc(m_impl->cr, cx, cy, radius, start, end);
}

void CairoCanvas::ellipse(CGRect r)
{
    r = CGRectStandardize(r);
    if (r.size.width <= 0 || r.size.height <= 0)
        return;
    cairo_t* cr = m_impl->cr;
    cairo_new_sub_path(cr);
    cairo_save(cr);
    cairo_translate(cr, CGRectGetMidX(r), CGRectGetMidY(r));
    cairo_scale(cr, r.size.width / 2, r.size.height / 2);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
    cairo_close_path(cr);
}

void CairoCanvas::rectangle(CGRect r)
{
    r = CGRectStandardize(r);
    if (!finite({r.origin.x, r.origin.y, r.size.width, r.size.height}))
        return;
    const double x0 = bounded(r.origin.x), y0 = bounded(r.origin.y);
    const double x1 = bounded(r.origin.x + r.size.width), y1 = bounded(r.origin.y + r.size.height);
    cairo_rectangle(m_impl->cr, x0, y0, x1 - x0, y1 - y0);
}
void CairoCanvas::closePath() { cairo_close_path(m_impl->cr); }
bool CairoCanvas::hasCurrentPoint() const { return cairo_has_current_point(m_impl->cr); }

CGPoint CairoCanvas::currentPoint() const
{
    double x = 0, y = 0;
    cairo_get_current_point(m_impl->cr, &x, &y);
    return {x, y};
}

bool CairoCanvas::pathIsEmpty() const
{
    cairo_path_t* path = cairo_copy_path(m_impl->cr);
    const bool empty = path->num_data == 0;
    cairo_path_destroy(path);
    return empty;
}

void CairoCanvas::setLineWidth(CGFloat width) { cairo_set_line_width(m_impl->cr, std::max(0.0, width)); }
void CairoCanvas::setLineCap(int cap)
{
    cairo_set_line_cap(m_impl->cr, cap == 1 ? CAIRO_LINE_CAP_ROUND : cap == 2 ? CAIRO_LINE_CAP_SQUARE : CAIRO_LINE_CAP_BUTT);
}
void CairoCanvas::setLineJoin(int join)
{
    cairo_set_line_join(m_impl->cr, join == 1 ? CAIRO_LINE_JOIN_ROUND : join == 2 ? CAIRO_LINE_JOIN_BEVEL : CAIRO_LINE_JOIN_MITER);
}
void CairoCanvas::setMiterLimit(CGFloat limit) { cairo_set_miter_limit(m_impl->cr, std::max(1.0, limit)); }

void CairoCanvas::setDash(const CGFloat* lengths, std::size_t count, CGFloat phase)
{
    if (!lengths || count == 0) {
        cairo_set_dash(m_impl->cr, nullptr, 0, 0);
        return;
    }
    std::vector<double> dashes(lengths, lengths + count);
    for (double d : dashes)
        if (!(d >= 0))
            return;
    cairo_set_dash(m_impl->cr, dashes.data(), int(dashes.size()), phase);
    if (cairo_status(m_impl->cr) != CAIRO_STATUS_SUCCESS)
        cairo_set_dash(m_impl->cr, nullptr, 0, 0);
}

void CairoCanvas::setAntialias(bool on) { cairo_set_antialias(m_impl->cr, on ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE); }

void CairoCanvas::setBlendMode(int mode)
{
    cairo_operator_t op = CAIRO_OPERATOR_OVER;
    switch (mode) {
    case 1: op = CAIRO_OPERATOR_MULTIPLY; break;
    case 2: op = CAIRO_OPERATOR_SCREEN; break;
    case 3: op = CAIRO_OPERATOR_OVERLAY; break;
    case 4: op = CAIRO_OPERATOR_DARKEN; break;
    case 5: op = CAIRO_OPERATOR_LIGHTEN; break;
    case 16: op = CAIRO_OPERATOR_CLEAR; break;
    case 17: op = CAIRO_OPERATOR_SOURCE; break;
    case 18: op = CAIRO_OPERATOR_IN; break;
    case 19: op = CAIRO_OPERATOR_OUT; break;
    case 20: op = CAIRO_OPERATOR_ATOP; break;
    case 21: op = CAIRO_OPERATOR_DEST_OVER; break;
    case 22: op = CAIRO_OPERATOR_DEST_IN; break;
    case 23: op = CAIRO_OPERATOR_DEST_OUT; break;
    case 24: op = CAIRO_OPERATOR_DEST_ATOP; break;
    case 25: op = CAIRO_OPERATOR_XOR; break;
    default: break;
    }
    cairo_set_operator(m_impl->cr, op);
}

void CairoCanvas::fill(const RGBA& c, bool evenOdd, bool preserve)
{
    willDraw();
    cairo_t* cr = m_impl->cr;
    cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
    cairo_set_fill_rule(cr, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    if (preserve)
        cairo_fill_preserve(cr);
    else
        cairo_fill(cr);
}

void CairoCanvas::stroke(const RGBA& c, bool preserve)
{
    willDraw();
    cairo_t* cr = m_impl->cr;
    cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
    if (preserve)
        cairo_stroke_preserve(cr);
    else
        cairo_stroke(cr);
}

void CairoCanvas::clip(bool evenOdd)
{
    cairo_set_fill_rule(m_impl->cr, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    cairo_clip(m_impl->cr);
}

void CairoCanvas::clipToRectKeepingPath(CGRect r)
{
    cairo_t* cr = m_impl->cr;
    cairo_path_t* path = cairo_copy_path(cr);
    cairo_new_path(cr);
    rectangle(r);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_clip(cr);
    cairo_append_path(cr, path);
    cairo_path_destroy(path);
}

CGRect CairoCanvas::clipExtents() const
{
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_clip_extents(m_impl->cr, &x1, &y1, &x2, &y2);
    return CGRectMake(x1, y1, x2 - x1, y2 - y1);
}

void CairoCanvas::clearRect(CGRect r)
{
    willDraw();
    cairo_t* cr = m_impl->cr;
    cairo_save(cr);
    cairo_new_path(cr);
    rectangle(r);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_fill(cr);
    cairo_restore(cr);
}

void CairoCanvas::paintImage(const std::uint8_t* rows, std::size_t bytesPerRow, bool opaque, std::size_t width, std::size_t height,
    const CGAffineTransform& imageToUser, bool smooth, CGFloat alpha)
{
    willDraw();
    cairo_t* cr = m_impl->cr;
    cairo_matrix_t m = toCairo(imageToUser);
    if (cairo_matrix_invert(&m) != CAIRO_STATUS_SUCCESS)
        return;
    // cairo only reads from a source surface, so handing it the image's const pixels is safe.
    cairo_surface_t* source = cairo_image_surface_create_for_data(const_cast<unsigned char*>(rows),
        opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, int(width), int(height), int(bytesPerRow));
    if (cairo_surface_status(source) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(source);
        return;
    }
    cairo_path_t* path = cairo_copy_path(cr);
    cairo_save(cr);
    m = toCairo(imageToUser);
    cairo_transform(cr, &m);
    cairo_new_path(cr);
    cairo_rectangle(cr, 0, 0, double(width), double(height));
    cairo_clip(cr);
    cairo_set_source_surface(cr, source, 0, 0);
    cairo_pattern_t* pattern = cairo_get_source(cr);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(pattern, smooth ? CAIRO_FILTER_GOOD : CAIRO_FILTER_NEAREST);
    cairo_paint_with_alpha(cr, alpha);
    cairo_restore(cr);
    cairo_new_path(cr);
    cairo_append_path(cr, path);
    cairo_path_destroy(path);
    cairo_surface_destroy(source);
}

// Paints `pattern` within the clip set since the caller's `cairo_save`, then restores the state,
// puts back `path` (the path before painting) and lets go of both. Unwritten pixels are cleared
// first unless the gradient writes every one of them.
void CairoCanvas::paintPattern(cairo_pattern_t* pattern, cairo_path_t* path, CGFloat alpha, Backdrop backdrop)
{
    cairo_t* cr = m_impl->cr;
    bool painted = paintConcentricGradient(cr, pattern, alpha, backdrop);
    if (!painted && backdrop == Backdrop::Unwritten) {
        clearPixels();
        painted = paintConcentricGradient(cr, pattern, alpha, Backdrop::Blank);
    }
    m_backdrop = Backdrop::Unknown;
    if (!painted) {
        cairo_set_source(cr, pattern);
        cairo_paint_with_alpha(cr, alpha);
    }
    cairo_restore(cr);
    cairo_new_path(cr);
    cairo_append_path(cr, path);
    cairo_path_destroy(path);
    cairo_pattern_destroy(pattern);
}

void CairoCanvas::paintLinearGradient(const CGGradient& gradient, CGPoint s, CGPoint e, std::uint32_t options, CGFloat alpha)
{
    willDraw();
    cairo_t* cr = m_impl->cr;
    const bool before = options & kCGGradientDrawsBeforeStartLocation;
    const bool after = options & kCGGradientDrawsAfterEndLocation;
    cairo_pattern_t* pattern = cairo_pattern_create_linear(s.x, s.y, e.x, e.y);
    addStops(pattern, gradient);
    cairo_pattern_set_extend(pattern, before || after ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_NONE);
    cairo_path_t* path = cairo_copy_path(cr);
    cairo_save(cr);
    if (before != after) {
        // One-sided extension: clip away the half plane beyond the side that is not extended.
        const double length = std::hypot(e.x - s.x, e.y - s.y);
        cairo_save(cr);
        cairo_translate(cr, s.x, s.y);
        cairo_rotate(cr, std::atan2(e.y - s.y, e.x - s.x));
        cairo_new_path(cr);
        if (after)
            cairo_rectangle(cr, 0, -kFar, 2 * kFar, 2 * kFar);
        else
            cairo_rectangle(cr, length - 2 * kFar, -kFar, 2 * kFar, 2 * kFar);
        cairo_restore(cr);
        cairo_clip(cr);
    }
    paintPattern(pattern, path, alpha, Backdrop::Unknown);
}

void CairoCanvas::paintRadialGradient(const CGGradient& gradient, CGPoint c0, CGFloat r0, CGPoint c1, CGFloat r1, std::uint32_t options,
    CGFloat alpha)
{
    // What the pixels hold goes to the painting, which may write them all over nothing.
    const Backdrop backdrop = m_backdrop;
    ++m_marks;
    cairo_t* cr = m_impl->cr;
    const bool before = options & kCGGradientDrawsBeforeStartLocation;
    const bool after = options & kCGGradientDrawsAfterEndLocation;
    cairo_pattern_t* pattern = cairo_pattern_create_radial(c0.x, c0.y, std::max(0.0, r0), c1.x, c1.y, std::max(0.0, r1));
    addStops(pattern, gradient);
    cairo_pattern_set_extend(pattern, before || after ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_NONE);
    cairo_path_t* path = cairo_copy_path(cr);
    cairo_save(cr);
    if (before != after) {
        // One-sided extension: leave out the inside of the start circle (when only the far side is
        // extended) or the outside of the end circle (when only the near side is).
        cairo_new_path(cr);
        if (after) {
            cairo_rectangle(cr, -kFar, -kFar, 2 * kFar, 2 * kFar);
            if (r0 > 0) {
                cairo_new_sub_path(cr);
                cairo_arc(cr, c0.x, c0.y, r0, 0, 2 * M_PI);
            }
            cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
        } else {
            cairo_arc(cr, c1.x, c1.y, std::max(0.0, r1), 0, 2 * M_PI);
        }
        cairo_clip(cr);
    }
    paintPattern(pattern, path, alpha, backdrop);
}

} // namespace dv::internal::graphics
