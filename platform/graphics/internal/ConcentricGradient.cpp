#include "platform/graphics/internal/ConcentricGradient.h"

#include "platform/base/Mutex.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace dv::internal::graphics {

namespace {

// Below this many pixels the rasteriser's own gradient costs too little to matter.
constexpr double kMinimumArea = 256 * 256;
// Entries of the colour strip: a step of t of 1/1024 moves a colour by far less than one level.
constexpr int kStripLength = 1024;

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

// What decides every pixel of a gradient painted over nothing: the device rectangle, where the
// centre and the circles fall in it, and the colours of the strip with its two ends.
struct PaintedKey {
    int left = 0, top = 0, width = 0, height = 0;
    double xx = 0, yy = 0, x0 = 0, y0 = 0, cx = 0, cy = 0, r0 = 0, r1 = 0;
    std::vector<std::uint32_t> colours;
    bool operator==(const PaintedKey&) const = default;
};

// The last gradient painted over nothing, kept so that the same one painted again (a loading
// overlay's backdrop, each time the overlay shows) is copied rather than worked out again: the
// rows that have no twin above them, as painted. One at a time, for a few megabytes at most.
struct PaintedGradient {
    dv::Mutex mutex;
    PaintedKey key DV_GUARDED_BY(mutex);
    std::vector<std::uint32_t> rows DV_GUARDED_BY(mutex); // key.width pixels each
};

PaintedGradient& lastPainted()
{
    static PaintedGradient* painted = new PaintedGradient; // never destroyed: drawing may go on at exit
    return *painted;
}

// The pattern's colours at t = (i + 0.5) / kStripLength, premultiplied, as the rasteriser
// interpolates them; empty when it cannot be drawn.
std::vector<std::uint32_t> colourStrip(cairo_pattern_t* radial)
{
    int count = 0;
    if (cairo_pattern_get_color_stop_count(radial, &count) != CAIRO_STATUS_SUCCESS || count == 0)
        return {};
    cairo_pattern_t* linear = cairo_pattern_create_linear(0, 0, kStripLength, 0);
    for (int i = 0; i < count; ++i) {
        double offset = 0, r = 0, g = 0, b = 0, a = 0;
        cairo_pattern_get_color_stop_rgba(radial, i, &offset, &r, &g, &b, &a);
        cairo_pattern_add_color_stop_rgba(linear, offset, r, g, b, a);
    }
    cairo_pattern_set_extend(linear, CAIRO_EXTEND_PAD);
    Surface strip(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kStripLength, 1));
    cairo_t* cr = cairo_create(strip.get());
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source(cr, linear);
    cairo_paint(cr);
    const bool drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_pattern_destroy(linear);
    if (!drawn)
        return {};
    cairo_surface_flush(strip.get());
    const auto* pixels = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(strip.get()));
    return std::vector<std::uint32_t>(pixels, pixels + kStripLength);
}

// A premultiplied colour painted with `alpha`, as painting over nothing would leave it.
std::uint32_t faded(std::uint32_t colour, double alpha)
{
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const double channel = double((colour >> shift) & 0xff) * alpha;
        out |= std::uint32_t(std::lround(channel)) << shift;
    }
    return out;
}

// Whether painting over the device rectangle is the same as writing into it: the operator draws
// over what is there, the clip is that rectangle alone, and every pixel of it is still untouched
// (transparent, zero in every byte; looked at unless the backdrop says so).
bool drawsOntoNothing(cairo_t* cr, cairo_surface_t* target, int left, int top, int right, int bottom, Backdrop backdrop)
{
    if (cairo_get_operator(cr) != CAIRO_OPERATOR_OVER || cairo_image_surface_get_format(target) != CAIRO_FORMAT_ARGB32)
        return false;
    cairo_rectangle_list_t* clip = cairo_copy_clip_rectangle_list(cr);
    bool whole = clip->status == CAIRO_STATUS_SUCCESS && clip->num_rectangles == 1;
    if (whole) {
        double x1 = clip->rectangles[0].x, y1 = clip->rectangles[0].y;
        double x2 = x1 + clip->rectangles[0].width, y2 = y1 + clip->rectangles[0].height;
        cairo_user_to_device(cr, &x1, &y1);
        cairo_user_to_device(cr, &x2, &y2);
        // The clip may reach past the target; what counts is the part inside it.
        auto same = [](double edge, int pixel, bool low, int limit) {
            const double inside = low ? std::max(edge, 0.0) : std::min(edge, double(limit));
            return std::abs(inside - pixel) < 1e-6;
        };
        const int w = cairo_image_surface_get_width(target), h = cairo_image_surface_get_height(target);
        whole = same(std::min(x1, x2), left, true, w) && same(std::max(x1, x2), right, false, w)
            && same(std::min(y1, y2), top, true, h) && same(std::max(y1, y2), bottom, false, h);
    }
    cairo_rectangle_list_destroy(clip);
    if (!whole)
        return false;
    if (backdrop != Backdrop::Unknown)
        return true;
    cairo_surface_flush(target);
    const int stride = cairo_image_surface_get_stride(target);
    const std::uint8_t* data = cairo_image_surface_get_data(target);
    // Each row is compared with a row of zeros: the library's comparison reads many bytes at a
    // time, where a byte-by-byte search cost as much as painting the gradient itself.
    const std::size_t rowBytes = std::size_t(right - left) * 4;
    const std::vector<std::uint8_t> zeros(rowBytes, 0);
    for (int y = top; y < bottom; ++y) {
        const std::uint8_t* row = data + std::size_t(y) * std::size_t(stride) + std::size_t(left) * 4;
        if (std::memcmp(row, zeros.data(), rowBytes) != 0)
            return false;
    }
    return true;
}

} // namespace

bool paintConcentricGradient(cairo_t* cr, cairo_pattern_t* pattern, double alpha, Backdrop backdrop)
{
    if (cairo_pattern_get_type(pattern) != CAIRO_PATTERN_TYPE_RADIAL)
        return false;
    double cx0 = 0, cy0 = 0, r0 = 0, cx1 = 0, cy1 = 0, r1 = 0;
    cairo_pattern_get_radial_circles(pattern, &cx0, &cy0, &r0, &cx1, &cy1, &r1);
    const cairo_extend_t extend = cairo_pattern_get_extend(pattern);
    cairo_matrix_t patternMatrix;
    cairo_pattern_get_matrix(pattern, &patternMatrix);
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    const bool identityPattern = patternMatrix.xx == 1 && patternMatrix.yy == 1 && patternMatrix.xy == 0 && patternMatrix.yx == 0
        && patternMatrix.x0 == 0 && patternMatrix.y0 == 0;
    if (cx0 != cx1 || cy0 != cy1 || !(r1 > r0) || r0 < 0 || !identityPattern || (extend != CAIRO_EXTEND_PAD && extend != CAIRO_EXTEND_NONE)
        || m.xy != 0 || m.yx != 0 || m.xx == 0 || m.yy == 0 || cairo_get_group_target(cr) != cairo_get_target(cr))
        return false;
    cairo_surface_t* target = cairo_get_target(cr);
    if (cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE)
        return false;

    // The device pixels the clip leaves, within the target.
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    cairo_user_to_device(cr, &x1, &y1);
    cairo_user_to_device(cr, &x2, &y2);
    const int left = std::max(0, int(std::floor(std::min(x1, x2))));
    const int top = std::max(0, int(std::floor(std::min(y1, y2))));
    const int right = std::min(cairo_image_surface_get_width(target), int(std::ceil(std::max(x1, x2))));
    const int bottom = std::min(cairo_image_surface_get_height(target), int(std::ceil(std::max(y1, y2))));
    if (right <= left || bottom <= top || double(right - left) * double(bottom - top) < kMinimumArea)
        return false;
    // Unwritten pixels are written here only if every one of them is.
    const bool ontoNothing = drawsOntoNothing(cr, target, left, top, right, bottom, backdrop);
    if (backdrop == Backdrop::Unwritten
        && (!ontoNothing || left != 0 || top != 0 || right != cairo_image_surface_get_width(target)
            || bottom != cairo_image_surface_get_height(target)))
        return false;
    auto strip = colourStrip(pattern);
    if (strip.empty())
        return false;
    const int width = right - left, height = bottom - top;

    // Where the gradient is painted over pixels not yet drawn, with nothing but the rectangle
    // clipped, the colours go straight into the target (what painting over nothing gives);
    // otherwise into a picture of their own that is then painted as the gradient would be.
    Surface image;
    std::uint8_t* data = nullptr;
    int stride = 0;
    if (ontoNothing) {
        cairo_surface_flush(target);
        stride = cairo_image_surface_get_stride(target);
        data = cairo_image_surface_get_data(target) + std::size_t(top) * std::size_t(stride) + std::size_t(left) * 4;
        if (alpha < 1)
            for (auto& colour : strip)
                colour = faded(colour, alpha);
    } else {
        image.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
        if (cairo_surface_status(image.get()) != CAIRO_STATUS_SUCCESS)
            return false;
        cairo_surface_flush(image.get());
        data = cairo_image_surface_get_data(image.get());
        stride = cairo_image_surface_get_stride(image.get());
    }

    // Pixel centres back in the gradient's space: u = (x + 0.5 - x0) / xx, and the same for v.
    std::vector<float> du2(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x) {
        const double u = (left + x + 0.5 - m.x0) / m.xx - cx0;
        du2[std::size_t(x)] = float(u * u);
    }
    // The strip with the colour before its start and the one past its end on either side, so
    // that a position clamped to [-1, kStripLength] and moved up by one is always an index.
    const bool pad = extend == CAIRO_EXTEND_PAD;
    std::vector<std::uint32_t> colours(kStripLength + 2);
    colours.front() = pad ? strip.front() : 0;
    colours.back() = pad ? strip.back() : 0;
    std::copy(strip.begin(), strip.end(), colours.begin() + 1);
    const float start = float(r0), toStrip = float(kStripLength / (r1 - r0));
    // The colours of pixels [from, to) of a row whose distance from the centre, squared, is dv2;
    // positions first, in a loop the compiler can run several pixels at a time, then colours.
    std::vector<std::int32_t> indices(static_cast<std::size_t>(width));
    auto paintSpan = [&](std::uint32_t* row, float dv2, int from, int to) {
        const float* across = du2.data();
        std::int32_t* index = indices.data();
        for (int x = from; x < to; ++x) {
            const float position = (std::sqrt(across[x] + dv2) - start) * toStrip;
            const float clamped = position < -1.0f ? -1.0f : position > float(kStripLength) ? float(kStripLength) : position;
            index[x] = std::int32_t(clamped + 1.0f);
        }
        const std::uint32_t* colour = colours.data();
        for (int x = from; x < to; ++x)
            row[x] = colour[index[x]];
    };
    // The picture is symmetric about the centre: where the centre falls on a pixel's edge or
    // middle, a row (or a pixel) has a twin already made on the other side, and is copied.
    auto mirrorOf = [](double centre, int index, int origin) -> int {
        const double twin = 2 * centre - (origin + index + 0.5) - 0.5 - origin;
        const double whole = std::round(twin);
        return std::abs(twin - whole) < 1e-6 ? int(whole) : -1;
    };
    const double centreX = cx0 * m.xx + m.x0, centreY = cy0 * m.yy + m.y0;
    // Column x has its twin at firstTwin - x: the columns up to the middle of [0, firstTwin] are
    // painted, the rest up to firstTwin copied, and those past it (no twin) painted again.
    const int firstTwin = mirrorOf(centreX, 0, left);
    const int mirrorFrom = firstTwin >= 0 ? std::min(width, firstTwin / 2 + 1) : width;
    const int mirrorTo = firstTwin >= 0 ? std::min(width, firstTwin + 1) : width;
    const std::size_t rowBytes = std::size_t(width) * 4;
    // Each row: a copy of its twin above, or made by `make(row, y)`.
    auto eachRow = [&](auto make) {
        for (int y = 0; y < height; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(data + std::size_t(y) * std::size_t(stride));
            if (const int twin = mirrorOf(centreY, y, top); twin >= 0 && twin < y)
                std::memcpy(row, data + std::size_t(twin) * std::size_t(stride), rowBytes);
            else
                make(row, y);
        }
    };
    // Painted over nothing, the pixels are the colours themselves: the same gradient as last time
    // is copied from the rows it painted then.
    std::optional<PaintedKey> key;
    auto& last = lastPainted();
    if (!image) {
        key = PaintedKey { left, top, width, height, m.xx, m.yy, m.x0, m.y0, cx0, cy0, r0, r1, colours };
        dv::MutexLocker lock(last.mutex);
        if (last.key == *key) {
            const std::uint32_t* from = last.rows.data();
            eachRow([&](std::uint32_t* row, int) {
                std::memcpy(row, from, rowBytes);
                from += width;
            });
            cairo_surface_mark_dirty_rectangle(target, left, top, width, height);
            return true;
        }
    }
    std::vector<std::uint32_t> painted;
    eachRow([&](std::uint32_t* row, int y) {
        const double v = (top + y + 0.5 - m.y0) / m.yy - cy0;
        const float dv2 = float(v * v);
        paintSpan(row, dv2, 0, mirrorFrom);
        for (int x = mirrorFrom; x < mirrorTo; ++x)
            row[x] = row[firstTwin - x];
        paintSpan(row, dv2, mirrorTo, width);
        if (key)
            painted.insert(painted.end(), row, row + width);
    });
    if (!image) {
        dv::MutexLocker lock(last.mutex);
        last.key = std::move(*key);
        last.rows = std::move(painted);
        cairo_surface_mark_dirty_rectangle(target, left, top, width, height);
        return true;
    }
    cairo_surface_mark_dirty(image.get());
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_set_source_surface(cr, image.get(), left, top);
    cairo_paint_with_alpha(cr, alpha);
    cairo_restore(cr);
    return true;
}

} // namespace dv::internal::graphics
