#include "tools/devserver/internal/Pictures.h"

#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/graphics/CGGradient.h"
#include "platform/graphics/NSStringDrawing.h"
#include "platform/graphics/RemoteImageLimit.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"
#include "tools/devserver/internal/QrCode.h"

#include <array>
#include <cstring>

namespace dv::internal::devserver {

namespace {

struct Rgb {
    double r, g, b;
};

// Twelve clearly different hues, so that neighbouring tiles never look alike.
constexpr std::array<Rgb, 12> kPalette = { {
    { 0.93, 0.33, 0.31 }, { 0.96, 0.60, 0.18 }, { 0.98, 0.78, 0.20 }, { 0.47, 0.75, 0.29 },
    { 0.16, 0.67, 0.53 }, { 0.12, 0.67, 0.84 }, { 0.26, 0.47, 0.87 }, { 0.51, 0.38, 0.85 },
    { 0.80, 0.32, 0.69 }, { 0.55, 0.43, 0.33 }, { 0.38, 0.49, 0.55 }, { 0.20, 0.29, 0.37 },
} };

const Rgb& colourFor(std::int64_t seed)
{
    auto index = static_cast<std::size_t>((seed % 12 + 12) % 12);
    return kPalette[index];
}

// The first UTF-8 character of a text.
std::string firstCharacter(const std::string& text)
{
    if (text.empty())
        return "?";
    auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return text.substr(0, std::min(length, text.size()));
}

void drawCentred(const std::string& text, CGRect area, const Ref<UIFont>& font, const Ref<UIColor>& colour)
{
    auto string = NSString::stringWithUTF8String(text.c_str());
    auto attributes = NSDictionary::of({ { NSFontAttributeName, font } });
    CGSize size = sizeWithAttributes(string, attributes);
    CGRect line = CGRectMake(area.origin.x, area.origin.y + (area.size.height - size.height) / 2, area.size.width, size.height + 2);
    dv::TextDrawingOptions options;
    options.alignment = NSTextAlignmentCenter;
    options.wrap = false;
    options.numberOfLines = 1;
    options.truncateTail = true;
    dv::drawText(string, line, font, colour, options);
}

Picture finish()
{
    Ref<UIImage> image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    Picture picture;
    picture.contentType = "image/png";
    if (auto png = UIImagePNGRepresentation(image))
        picture.bytes.assign(png->bytes(), png->bytes() + png->length());
    return picture;
}

} // namespace

std::optional<Picture> Pictures::cached(const std::string& key)
{
    dv::MutexLocker lock(m_cacheMutex);
    auto it = m_cache.find(key);
    if (it == m_cache.end())
        return std::nullopt;
    return it->second;
}

void Pictures::remember(const std::string& key, const Picture& picture)
{
    dv::MutexLocker lock(m_cacheMutex);
    // The set of pictures is small; a crude bound keeps a long-running server from growing.
    if (m_cache.size() >= 512)
        m_cache.clear();
    m_cache[key] = picture;
}

Picture Pictures::icon(const std::string& key, std::int64_t colourSeed, const std::string& name)
{
    std::string cacheKey = "icon/" + key + "/" + name;
    if (auto hit = cached(cacheKey))
        return *hit;
    Picture picture;
    {
        dv::MutexLocker lock(m_drawMutex);
        UIGraphicsBeginImageContextWithOptions(CGSizeMake(120, 120), false, 1);
        auto context = UIGraphicsGetCurrentContext();
        const Rgb& colour = colourFor(colourSeed);
        CGContextSetRGBFillColor(context, colour.r, colour.g, colour.b, 1);
        CGContextFillEllipseInRect(context, CGRectMake(4, 4, 112, 112));
        // A lighter ring inside the disc, so that two icons of one hue still differ by their letter.
        CGContextSetRGBStrokeColor(context, 1, 1, 1, 0.35);
        CGContextSetLineWidth(context, 4);
        CGContextStrokeEllipseInRect(context, CGRectMake(14, 14, 92, 92));
        drawCentred(firstCharacter(name), CGRectMake(0, 0, 120, 120), UIFont::boldSystemFontOfSize(52), UIColor::whiteColor());
        picture = finish();
    }
    remember(cacheKey, picture);
    return picture;
}

Picture Pictures::banner(std::int64_t adId, const std::string& name)
{
    std::string cacheKey = "banner/" + std::to_string(adId) + "/" + name;
    if (auto hit = cached(cacheKey))
        return *hit;
    Picture picture;
    {
        dv::MutexLocker lock(m_drawMutex);
        UIGraphicsBeginImageContextWithOptions(CGSizeMake(750, 300), true, 1);
        auto context = UIGraphicsGetCurrentContext();
        const Rgb& from = colourFor(adId * 5);
        const Rgb& to = colourFor(adId * 5 + 3);
        const CGFloat components[] = { from.r, from.g, from.b, 1, to.r, to.g, to.b, 1 };
        auto gradient = CGGradientCreateWithColorComponents(CGColorSpaceCreateDeviceRGB(), components, nullptr, 2);
        CGContextDrawLinearGradient(context, gradient, CGPointMake(0, 0), CGPointMake(750, 300),
            kCGGradientDrawsBeforeStartLocation | kCGGradientDrawsAfterEndLocation);
        CGContextSetRGBFillColor(context, 1, 1, 1, 0.18);
        CGContextFillEllipseInRect(context, CGRectMake(560, -60, 260, 260));
        CGContextFillEllipseInRect(context, CGRectMake(-80, 180, 220, 220));
        drawCentred(name, CGRectMake(40, 90, 670, 90), UIFont::boldSystemFontOfSize(48), UIColor::whiteColor());
        drawCentred("Dovrelta", CGRectMake(40, 200, 670, 40), UIFont::systemFontOfSize(24), UIColor::colorWithWhite(1, 0.85));
        picture = finish();
    }
    remember(cacheKey, picture);
    return picture;
}

std::optional<Picture> Pictures::qrCode(const std::string& text)
{
    std::string cacheKey = "qr/" + text;
    if (auto hit = cached(cacheKey))
        return *hit;
    auto matrix = encodeQr(text);
    if (!matrix)
        return std::nullopt;
    Picture picture;
    {
        dv::MutexLocker lock(m_drawMutex);
        const double side = (matrix->width + 2 * kQuietModules) * kModulePixels;
        UIGraphicsBeginImageContextWithOptions(CGSizeMake(side, side), true, 1);
        auto context = UIGraphicsGetCurrentContext();
        CGContextSetShouldAntialias(context, false);
        CGContextSetRGBFillColor(context, 1, 1, 1, 1);
        CGContextFillRect(context, CGRectMake(0, 0, side, side));
        CGContextSetRGBFillColor(context, 0, 0, 0, 1);
        for (int y = 0; y < matrix->width; ++y) {
            for (int x = 0; x < matrix->width; ++x) {
                if (matrix->isDark(x, y))
                    CGContextFillRect(context, CGRectMake((x + kQuietModules) * kModulePixels, (y + kQuietModules) * kModulePixels,
                        kModulePixels, kModulePixels));
            }
        }
        picture = finish();
    }
    remember(cacheKey, picture);
    return picture;
}

PictureCheck Pictures::check(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels)
{
    auto data = NSData::dataWithBytes(bytes.data(), bytes.size());
    auto extent = dv::imageExtent(data);
    if (!extent)
        return PictureCheck::Damaged;
    if (extent->decodedPixels() > maxPixels)
        return extent->width * extent->height > maxPixels ? PictureCheck::TooManyPixels : PictureCheck::TooManyAnimationPixels;
    if (!takeDecodeTurn())
        return PictureCheck::Busy;
    // A decode reads only its own bytes: no lock is held while it runs.
    struct Turn {
        Pictures& pictures;
        ~Turn() { pictures.giveBackDecodeTurn(); }
    } turn { *this };
    auto image = UIImage::imageWithData(data);
    return image && image->CGImage() ? PictureCheck::Decodes : PictureCheck::Damaged;
}

bool Pictures::takeDecodeTurn()
{
    dv::MutexLocker lock(m_decodeMutex);
    if (!m_decodeEnded.waitFor(lock, kDecodeWait, [this]() DV_REQUIRES(m_decodeMutex) { return m_decoding < kDecodesAtOnce; }))
        return false;
    ++m_decoding;
    return true;
}

void Pictures::giveBackDecodeTurn()
{
    {
        dv::MutexLocker lock(m_decodeMutex);
        --m_decoding;
    }
    m_decodeEnded.notifyOne();
}

std::string imageTypeOf(std::span<const std::uint8_t> bytes)
{
    auto startsWith = [&](std::initializer_list<std::uint8_t> magic, std::size_t offset = 0) {
        if (bytes.size() < offset + magic.size())
            return false;
        return std::equal(magic.begin(), magic.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    };
    if (startsWith({ 0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A }))
        return "png";
    if (startsWith({ 0xFF, 0xD8, 0xFF }))
        return "jpg";
    if (startsWith({ 'G', 'I', 'F', '8' }))
        return "gif";
    if (startsWith({ 'R', 'I', 'F', 'F' }) && startsWith({ 'W', 'E', 'B', 'P' }, 8))
        return "webp";
    return "";
}

std::string contentTypeOf(const std::string& imageType)
{
    if (imageType == "jpg")
        return "image/jpeg";
    if (imageType.empty())
        return "application/octet-stream";
    return "image/" + imageType;
}

} // namespace dv::internal::devserver
