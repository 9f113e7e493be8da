#include "platform/testing/Pixels.h"

#include "platform/graphics/CGImage.h"
#include "platform/graphics/UIImage.h"

#include <algorithm>
#include <cstdlib>

namespace dv::testing {

Pixels::Pixels(const Ref<UIImage>& image)
{
    if (!image || !image->CGImage())
        return;
    m_pixels = imagePixelsRGBA8(image->CGImage());
    m_width = CGImageGetWidth(image->CGImage());
    m_height = CGImageGetHeight(image->CGImage());
    m_scale = image->scale();
}

Pixel Pixels::at(CGFloat xPoints, CGFloat yPoints) const
{
    if (xPoints < 0 || yPoints < 0)
        return {-1, -1, -1, -1};
    const auto x = std::size_t(xPoints * m_scale), y = std::size_t(yPoints * m_scale);
    if (x >= m_width || y >= m_height)
        return {-1, -1, -1, -1};
    const std::size_t i = (y * m_width + x) * 4;
    return {m_pixels[i], m_pixels[i + 1], m_pixels[i + 2], m_pixels[i + 3]};
}

CGSize Pixels::sizeInPoints() const { return CGSizeMake(CGFloat(m_width) / m_scale, CGFloat(m_height) / m_scale); }

namespace {

// Calls `visit` with each pixel of `area` (points), one pixel apart, and the pixel's corner in points.
template <class Visit>
void forEachPixel(const Pixels& pixels, CGFloat scale, CGRect area, Visit visit)
{
    const CGFloat step = 1 / scale;
    for (CGFloat y = area.origin.y; y < CGRectGetMaxY(area) - 1e-9; y += step)
        for (CGFloat x = area.origin.x; x < CGRectGetMaxX(area) - 1e-9; x += step)
            visit(pixels.at(x, y), x, y);
}

} // namespace

CGRect Pixels::box(CGRect area, const std::function<bool(const Pixel&)>& matches) const
{
    CGFloat minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    const CGFloat step = 1 / m_scale;
    forEachPixel(*this, m_scale, area, [&](const Pixel& p, CGFloat x, CGFloat y) {
        if (p[0] < 0 || !matches(p))
            return;
        minX = std::min(minX, x);
        minY = std::min(minY, y);
        maxX = std::max(maxX, x + step);
        maxY = std::max(maxY, y + step);
    });
    return maxX < minX ? CGRectNull : CGRectMake(minX, minY, maxX - minX, maxY - minY);
}

std::size_t Pixels::count(CGRect area, const std::function<bool(const Pixel&)>& matches) const
{
    std::size_t n = 0;
    forEachPixel(*this, m_scale, area, [&](const Pixel& p, CGFloat, CGFloat) {
        if (p[0] >= 0 && matches(p))
            ++n;
    });
    return n;
}

bool isInk(const Pixel& p, int limit) { return p[3] > 0 && p[0] >= 0 && p[0] < limit && p[1] < limit && p[2] < limit; }

bool near(const Pixel& a, const Pixel& b, int tolerance)
{
    for (int i = 0; i < 4; ++i)
        if (std::abs(a[i] - b[i]) > tolerance)
            return false;
    return true;
}

std::string show(const Pixel& p)
{
    return "(" + std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]) + "," + std::to_string(p[3]) + ")";
}

bool anyPixelIn(const Pixels& pixels, CGRect rect, const std::function<bool(const Pixel&)>& test)
{
    for (CGFloat y = rect.origin.y; y < CGRectGetMaxY(rect); y += 0.5)
        for (CGFloat x = rect.origin.x; x < CGRectGetMaxX(rect); x += 0.5)
            if (test(pixels.at(x, y)))
                return true;
    return false;
}

} // namespace dv::testing
