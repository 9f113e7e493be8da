#include "platform/testing/Pixels.h"

#include "platform/graphics/CGImage.h"
#include "platform/graphics/UIImage.h"

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

} // namespace dv::testing
