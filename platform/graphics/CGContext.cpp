#include "platform/base/ClassBuilder.h"
#include "platform/graphics/CGContext.h"

#include "platform/graphics/internal/CairoCanvas.h"
#include "platform/graphics/internal/DrawingCopies.h"
#include "platform/graphics/internal/ImageLimits.h"
#include "platform/graphics/internal/PixelBuffer.h"
#include "platform/base/Check.h"

#include <cmath>
#include <cstring>
#include <optional>

using dv::internal::graphics::CairoCanvas;

DV_DEFINE_CLASS(CGContext)

namespace {

enum class Kind { Native, RGB32, Gray, AlphaOnly };

struct Layout32 {
    int r, g, b, a; // byte positions in a pixel; a is the alpha or skip byte
    bool premultiplied;
    bool skip;
};

std::optional<Layout32> layout32(CGBitmapInfo info)
{
    const auto alpha = CGImageAlphaInfo(info & kCGBitmapAlphaInfoMask);
    const auto order = info & kCGBitmapByteOrderMask;
    if (order != kCGBitmapByteOrderDefault && order != kCGBitmapByteOrder32Big && order != kCGBitmapByteOrder32Little)
        return std::nullopt;
    Layout32 l {};
    bool first = false;
    switch (alpha) {
    case kCGImageAlphaPremultipliedFirst:
        first = true, l.premultiplied = true;
        break;
    case kCGImageAlphaNoneSkipFirst:
        first = true, l.skip = true;
        break;
    case kCGImageAlphaPremultipliedLast:
        l.premultiplied = true;
        break;
    case kCGImageAlphaNoneSkipLast:
        l.skip = true;
        break;
    default:
        return std::nullopt;
    }
    if (first)
        l.a = 0, l.r = 1, l.g = 2, l.b = 3;
    else
        l.r = 0, l.g = 1, l.b = 2, l.a = 3;
    if (order == kCGBitmapByteOrder32Little)
        l.r = 3 - l.r, l.g = 3 - l.g, l.b = 3 - l.b, l.a = 3 - l.a;
    return l;
}

CGAffineTransform flipFor(std::size_t height) { return CGAffineTransformMake(1, 0, 0, -1, 0, CGFloat(height)); }

} // namespace

CGContext::CGContext() = default;

std::uint64_t CGContext::drawingMarks() const { return m_canvas ? m_canvas->marks() : 0; }

CairoCanvas& CGContext::canvas()
{
    DV_CHECK(!m_ended); // its pixels are an image's now
    return *m_canvas;
}

CGContext::~CGContext()
{
    if (m_canvas && !m_drawsIntoUserData && !m_ownedPixels)
        pushToUserBuffer();
}

Ref<CGContext> CGContext::initBitmap(void* data, std::size_t width, std::size_t height, std::size_t bitsPerComponent,
    std::size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo)
{
    if (width == 0 || height == 0 || bitsPerComponent != 8 || !dv::internal::graphics::pixelCountAllowed(width, height))
        return nil;
    if (bitmapInfo & kCGBitmapFloatComponents)
        return nil;
    const auto alpha = CGImageAlphaInfo(bitmapInfo & kCGBitmapAlphaInfoMask);
    const auto model = CGColorSpaceGetModel(space);
    CairoCanvas::Format format = CairoCanvas::Format::ARGB32;
    std::size_t bitsPerPixel = 32;
    if (alpha == kCGImageAlphaOnly) {
        format = CairoCanvas::Format::A8;
        bitsPerPixel = 8;
    } else if (model == kCGColorSpaceModelMonochrome) {
        if (alpha != kCGImageAlphaNone)
            return nil;
        format = CairoCanvas::Format::RGB24;
        bitsPerPixel = 8;
    } else if (model == kCGColorSpaceModelRGB) {
        auto l = layout32(bitmapInfo);
        if (!l)
            return nil;
        format = l->skip ? CairoCanvas::Format::RGB24 : CairoCanvas::Format::ARGB32;
    } else {
        return nil;
    }
    const std::size_t tight = width * bitsPerPixel / 8;
    if (bytesPerRow == 0)
        bytesPerRow = tight;
    if (bytesPerRow < tight)
        return nil;

    m_width = width;
    m_height = height;
    m_bitsPerComponent = bitsPerComponent;
    m_bitsPerPixel = bitsPerPixel;
    m_bytesPerRow = bytesPerRow;
    m_bitmapInfo = bitmapInfo;
    m_space = alpha == kCGImageAlphaOnly ? nil : space;
    if (data) {
        m_userData = static_cast<std::uint8_t*>(data);
    } else {
        // Not cleared here: the backend clears it as it is first drawn onto or read (or writes
        // every pixel once, for a painting of the whole bitmap), or the conversion below fills it.
        m_ownedPixels = dv::internal::graphics::PixelBuffer::uninitialised(bytesPerRow * height);
        if (!m_ownedPixels)
            return nil;
        m_userData = m_ownedPixels->data();
    }
    const auto order = bitmapInfo & kCGBitmapByteOrderMask;
    const bool nativeLayout = model == kCGColorSpaceModelRGB && order == kCGBitmapByteOrder32Little
        && (alpha == kCGImageAlphaPremultipliedFirst || alpha == kCGImageAlphaNoneSkipFirst) && bytesPerRow % 4 == 0
        && reinterpret_cast<std::uintptr_t>(m_userData) % 4 == 0;
    if (nativeLayout) {
        m_canvas = CairoCanvas::create(width, height, format, m_userData, bytesPerRow,
            data ? CairoCanvas::Start::AsGiven : CairoCanvas::Start::Unwritten);
        m_drawsIntoUserData = true;
    } else {
        m_canvas = CairoCanvas::create(width, height, format);
        if (m_canvas && data)
            pullFromUserBuffer();
    }
    if (!m_canvas)
        return nil;
    m_states.emplace_back();
    m_canvas->setMatrix(flipFor(height));
    return self<CGContext>();
}

void CGContext::saveState()
{
    m_states.push_back(m_states.back());
    m_canvas->save();
}

void CGContext::restoreState()
{
    if (m_states.size() <= 1)
        return; // unbalanced restore: the platform ignores it
    m_states.pop_back();
    m_canvas->restore();
}

void CGContext::beginTransparencyLayer()
{
    const CGFloat alpha = state().alpha;
    saveState();
    m_canvas->pushGroup();
    state().alpha = 1;
    m_layerAlphas.push_back(alpha);
}

void CGContext::endTransparencyLayer()
{
    if (m_layerAlphas.empty())
        return;
    const CGFloat alpha = m_layerAlphas.back();
    m_layerAlphas.pop_back();
    m_canvas->popGroup(alpha);
    restoreState();
}

CGAffineTransform CGContext::userToDevice() const
{
    return CGAffineTransformConcat(m_canvas->matrix(), flipFor(m_height));
}

void CGContext::setUserToDevice(const CGAffineTransform& transform)
{
    m_canvas->setMatrix(CGAffineTransformConcat(transform, flipFor(m_height)));
}

void* CGContext::data()
{
    if (!m_drawsIntoUserData)
        pushToUserBuffer();
    else
        m_canvas->flush();
    return m_userData;
}

CGImageRef CGContext::makeImage()
{
    data();
    std::vector<std::uint8_t> copy(m_userData, m_userData + m_bytesPerRow * m_height);
    return dv::makeImage(m_width, m_height, m_bitsPerComponent, m_bitsPerPixel, m_bytesPerRow, m_space, m_bitmapInfo, std::move(copy));
}

CGImageRef CGContext::takeImage()
{
    if (!m_ownedPixels)
        return makeImage();
    data();
    m_ended = true;
    return alloc<CGImage>()->initWithStorage(m_width, m_height, m_bitsPerComponent, m_bitsPerPixel, m_bytesPerRow, m_space, m_bitmapInfo,
        std::move(m_ownedPixels));
}

void CGContext::pushToUserBuffer()
{
    m_canvas->flush();
    const std::uint8_t* src = m_canvas->pixels();
    const std::size_t srcStride = m_canvas->stride();
    const auto alpha = CGImageAlphaInfo(m_bitmapInfo & kCGBitmapAlphaInfoMask);
    for (std::size_t y = 0; y < m_height; ++y) {
        const std::uint8_t* in = src + y * srcStride;
        std::uint8_t* out = m_userData + y * m_bytesPerRow;
        if (alpha == kCGImageAlphaOnly) {
            std::memcpy(out, in, m_width);
            continue;
        }
        const auto* px = reinterpret_cast<const std::uint32_t*>(in);
        if (m_bitsPerPixel == 8) {
            for (std::size_t x = 0; x < m_width; ++x) {
                const std::uint32_t p = px[x];
                const unsigned r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
                out[x] = std::uint8_t((r * 77 + g * 150 + b * 29 + 128) >> 8);
            }
            continue;
        }
        const auto l = *layout32(m_bitmapInfo);
        for (std::size_t x = 0; x < m_width; ++x) {
            const std::uint32_t p = px[x];
            std::uint8_t* o = out + x * 4;
            o[l.r] = std::uint8_t(p >> 16);
            o[l.g] = std::uint8_t(p >> 8);
            o[l.b] = std::uint8_t(p);
            o[l.a] = l.skip ? 0xFF : std::uint8_t(p >> 24);
        }
    }
}

void CGContext::pullFromUserBuffer()
{
    std::uint8_t* dst = m_canvas->pixels();
    const std::size_t dstStride = m_canvas->stride();
    const auto alpha = CGImageAlphaInfo(m_bitmapInfo & kCGBitmapAlphaInfoMask);
    for (std::size_t y = 0; y < m_height; ++y) {
        const std::uint8_t* in = m_userData + y * m_bytesPerRow;
        std::uint8_t* out = dst + y * dstStride;
        if (alpha == kCGImageAlphaOnly) {
            std::memcpy(out, in, m_width);
            continue;
        }
        auto* px = reinterpret_cast<std::uint32_t*>(out);
        if (m_bitsPerPixel == 8) {
            for (std::size_t x = 0; x < m_width; ++x)
                px[x] = 0xFF000000u | std::uint32_t(in[x]) * 0x010101u;
            continue;
        }
        const auto l = *layout32(m_bitmapInfo);
        for (std::size_t x = 0; x < m_width; ++x) {
            const std::uint8_t* i = in + x * 4;
            const std::uint32_t a = l.skip ? 0xFF : i[l.a];
            px[x] = a << 24 | std::uint32_t(i[l.r]) << 16 | std::uint32_t(i[l.g]) << 8 | i[l.b];
        }
    }
    m_canvas->markDirty();
}

CGContextRef CGBitmapContextCreate(void* data, std::size_t width, std::size_t height, std::size_t bitsPerComponent,
    std::size_t bytesPerRow, const CGColorSpaceRef& space, CGBitmapInfo bitmapInfo)
{
    return alloc<CGContext>()->initBitmap(data, width, height, bitsPerComponent, bytesPerRow, space, bitmapInfo);
}

void* CGBitmapContextGetData(const CGContextRef& c) { return c ? c->data() : nullptr; }
std::size_t CGBitmapContextGetWidth(const CGContextRef& c) { return c ? c->width() : 0; }
std::size_t CGBitmapContextGetHeight(const CGContextRef& c) { return c ? c->height() : 0; }
std::size_t CGBitmapContextGetBytesPerRow(const CGContextRef& c) { return c ? c->bytesPerRow() : 0; }
std::size_t CGBitmapContextGetBitsPerComponent(const CGContextRef& c) { return c ? c->bitsPerComponent() : 0; }
std::size_t CGBitmapContextGetBitsPerPixel(const CGContextRef& c) { return c ? c->bitsPerPixel() : 0; }
CGBitmapInfo CGBitmapContextGetBitmapInfo(const CGContextRef& c) { return c ? c->bitmapInfo() : 0; }
CGImageAlphaInfo CGBitmapContextGetAlphaInfo(const CGContextRef& c)
{
    return c ? CGImageAlphaInfo(c->bitmapInfo() & kCGBitmapAlphaInfoMask) : kCGImageAlphaNone;
}
CGColorSpaceRef CGBitmapContextGetColorSpace(const CGContextRef& c) { return c ? c->colorSpace() : nil; }
CGImageRef CGBitmapContextCreateImage(const CGContextRef& c) { return c ? c->makeImage() : nil; }
CGImageRef dv::takeBitmapContextImage(const CGContextRef& c) { return c ? c->takeImage() : nil; }

void CGContextFlush(const CGContextRef& c)
{
    if (c)
        c->data();
}

void CGContextSaveGState(const CGContextRef& c)
{
    if (c)
        c->saveState();
}

void CGContextRestoreGState(const CGContextRef& c)
{
    if (c)
        c->restoreState();
}

void CGContextBeginTransparencyLayer(const CGContextRef& c, const Ref<NSDictionary>&)
{
    if (c)
        c->beginTransparencyLayer();
}

void CGContextEndTransparencyLayer(const CGContextRef& c)
{
    if (c)
        c->endTransparencyLayer();
}

void CGContextTranslateCTM(const CGContextRef& c, CGFloat tx, CGFloat ty)
{
    if (c)
        c->canvas().transform(CGAffineTransformMakeTranslation(tx, ty));
}

void CGContextScaleCTM(const CGContextRef& c, CGFloat sx, CGFloat sy)
{
    if (c)
        c->canvas().transform(CGAffineTransformMakeScale(sx, sy));
}

void CGContextRotateCTM(const CGContextRef& c, CGFloat angle)
{
    if (c)
        c->canvas().transform(CGAffineTransformMakeRotation(angle));
}

void CGContextConcatCTM(const CGContextRef& c, CGAffineTransform transform)
{
    if (c)
        c->canvas().transform(transform);
}

CGAffineTransform CGContextGetCTM(const CGContextRef& c) { return c ? c->userToDevice() : CGAffineTransformIdentity; }

void CGContextSetLineWidth(const CGContextRef& c, CGFloat width)
{
    if (c)
        c->canvas().setLineWidth(width);
}

void CGContextSetLineCap(const CGContextRef& c, CGLineCap cap)
{
    if (c)
        c->canvas().setLineCap(cap);
}

void CGContextSetLineJoin(const CGContextRef& c, CGLineJoin join)
{
    if (c)
        c->canvas().setLineJoin(join);
}

void CGContextSetMiterLimit(const CGContextRef& c, CGFloat limit)
{
    if (c)
        c->canvas().setMiterLimit(limit);
}

void CGContextSetLineDash(const CGContextRef& c, CGFloat phase, const CGFloat* lengths, std::size_t count)
{
    if (c)
        c->canvas().setDash(lengths, count, phase);
}

void CGContextSetAlpha(const CGContextRef& c, CGFloat alpha)
{
    if (c)
        c->state().alpha = std::clamp(alpha, 0.0, 1.0);
}

void CGContextSetShouldAntialias(const CGContextRef& c, bool antialias)
{
    if (c)
        c->canvas().setAntialias(antialias);
}

void CGContextSetInterpolationQuality(const CGContextRef& c, CGInterpolationQuality quality)
{
    if (c)
        c->state().interpolation = quality;
}

void CGContextSetBlendMode(const CGContextRef& c, CGBlendMode mode)
{
    if (c) {
        c->state().blend = mode;
        c->canvas().setBlendMode(mode);
    }
}

void CGContextSetRGBFillColor(const CGContextRef& c, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha)
{
    if (c)
        c->state().fill = dv::rgbaOf(CGColorCreateGenericRGB(red, green, blue, alpha));
}

void CGContextSetRGBStrokeColor(const CGContextRef& c, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha)
{
    if (c)
        c->state().stroke = dv::rgbaOf(CGColorCreateGenericRGB(red, green, blue, alpha));
}

void CGContextSetGrayFillColor(const CGContextRef& c, CGFloat gray, CGFloat alpha)
{
    if (c)
        c->state().fill = dv::rgbaOf(CGColorCreateGenericGray(gray, alpha));
}

void CGContextSetGrayStrokeColor(const CGContextRef& c, CGFloat gray, CGFloat alpha)
{
    if (c)
        c->state().stroke = dv::rgbaOf(CGColorCreateGenericGray(gray, alpha));
}

void CGContextSetFillColorWithColor(const CGContextRef& c, const CGColorRef& color)
{
    if (c && color)
        c->state().fill = dv::rgbaOf(color);
}

void CGContextSetStrokeColorWithColor(const CGContextRef& c, const CGColorRef& color)
{
    if (c && color)
        c->state().stroke = dv::rgbaOf(color);
}

void CGContextBeginPath(const CGContextRef& c)
{
    if (c)
        c->canvas().newPath();
}

void CGContextMoveToPoint(const CGContextRef& c, CGFloat x, CGFloat y)
{
    if (c)
        c->canvas().moveTo(x, y);
}

void CGContextAddLineToPoint(const CGContextRef& c, CGFloat x, CGFloat y)
{
    if (c)
        c->canvas().lineTo(x, y);
}

void CGContextAddCurveToPoint(const CGContextRef& c, CGFloat cp1x, CGFloat cp1y, CGFloat cp2x, CGFloat cp2y, CGFloat x, CGFloat y)
{
    if (c)
        c->canvas().curveTo(cp1x, cp1y, cp2x, cp2y, x, y);
}

void CGContextAddQuadCurveToPoint(const CGContextRef& c, CGFloat cpx, CGFloat cpy, CGFloat x, CGFloat y)
{
    if (!c)
        return;
    auto& canvas = c->canvas();
    const CGPoint p0 = canvas.hasCurrentPoint() ? canvas.currentPoint() : CGPointMake(cpx, cpy);
    canvas.curveTo(p0.x + 2.0 / 3.0 * (cpx - p0.x), p0.y + 2.0 / 3.0 * (cpy - p0.y), x + 2.0 / 3.0 * (cpx - x),
        y + 2.0 / 3.0 * (cpy - y), x, y);
}

void CGContextAddArc(const CGContextRef& c, CGFloat x, CGFloat y, CGFloat radius, CGFloat startAngle, CGFloat endAngle, int clockwise)
{
    if (c)
        c->canvas().arc(x, y, radius, startAngle, endAngle, clockwise != 0);
}

void CGContextAddArcToPoint(const CGContextRef& c, CGFloat x1, CGFloat y1, CGFloat x2, CGFloat y2, CGFloat radius)
{
    if (!c)
        return;
    auto& canvas = c->canvas();
    if (!canvas.hasCurrentPoint())
        canvas.moveTo(x1, y1);
    const CGPoint p0 = canvas.currentPoint();
    const double ax = p0.x - x1, ay = p0.y - y1, bx = x2 - x1, by = y2 - y1;
    const double la = std::hypot(ax, ay), lb = std::hypot(bx, by);
    const double cross = ax * by - ay * bx;
    if (la == 0 || lb == 0 || radius <= 0 || std::fabs(cross) < 1e-12 * la * lb) {
        canvas.lineTo(x1, y1); // degenerate corner: the platform draws a straight line to it
        return;
    }
    const double ux = ax / la, uy = ay / la, vx = bx / lb, vy = by / lb;
    const double cosTheta = std::clamp(ux * vx + uy * vy, -1.0, 1.0);
    const double theta = std::acos(cosTheta);
    const double tangent = radius / std::tan(theta / 2);
    const double t1x = x1 + ux * tangent, t1y = y1 + uy * tangent;
    const double t2x = x1 + vx * tangent, t2y = y1 + vy * tangent;
    double bisX = ux + vx, bisY = uy + vy;
    const double bisLen = std::hypot(bisX, bisY);
    bisX /= bisLen;
    bisY /= bisLen;
    const double centreDistance = radius / std::sin(theta / 2);
    const double cx = x1 + bisX * centreDistance, cy = y1 + bisY * centreDistance;
    canvas.lineTo(t1x, t1y);
    const double a0 = std::atan2(t1y - cy, t1x - cx);
    const double a1 = std::atan2(t2y - cy, t2x - cx);
    canvas.arc(cx, cy, radius, a0, a1, cross > 0);
}

void CGContextAddRect(const CGContextRef& c, CGRect rect)
{
    if (c)
        c->canvas().rectangle(rect);
}

void CGContextAddEllipseInRect(const CGContextRef& c, CGRect rect)
{
    if (c)
        c->canvas().ellipse(rect);
}

void CGContextClosePath(const CGContextRef& c)
{
    if (c)
        c->canvas().closePath();
}

bool CGContextIsPathEmpty(const CGContextRef& c) { return !c || c->canvas().pathIsEmpty(); }

CGPoint CGContextGetPathCurrentPoint(const CGContextRef& c)
{
    return c && c->canvas().hasCurrentPoint() ? c->canvas().currentPoint() : CGPointZero;
}

namespace {

dv::RGBA withAlpha(dv::RGBA c, CGFloat alpha)
{
    c.a *= alpha;
    return c;
}

} // namespace

void CGContextDrawPath(const CGContextRef& c, CGPathDrawingMode mode)
{
    if (!c)
        return;
    auto& canvas = c->canvas();
    const auto& s = c->state();
    switch (mode) {
    case kCGPathFill:
    case kCGPathEOFill:
        canvas.fill(withAlpha(s.fill, s.alpha), mode == kCGPathEOFill, false);
        break;
    case kCGPathStroke:
        canvas.stroke(withAlpha(s.stroke, s.alpha), false);
        break;
    case kCGPathFillStroke:
    case kCGPathEOFillStroke:
        canvas.fill(withAlpha(s.fill, s.alpha), mode == kCGPathEOFillStroke, true);
        canvas.stroke(withAlpha(s.stroke, s.alpha), false);
        break;
    }
}

void CGContextFillPath(const CGContextRef& c) { CGContextDrawPath(c, kCGPathFill); }
void CGContextEOFillPath(const CGContextRef& c) { CGContextDrawPath(c, kCGPathEOFill); }
void CGContextStrokePath(const CGContextRef& c) { CGContextDrawPath(c, kCGPathStroke); }

void CGContextFillRect(const CGContextRef& c, CGRect rect)
{
    if (!c)
        return;
    c->canvas().newPath();
    c->canvas().rectangle(rect);
    CGContextDrawPath(c, kCGPathFill);
}

void CGContextStrokeRect(const CGContextRef& c, CGRect rect)
{
    if (!c)
        return;
    c->canvas().newPath();
    c->canvas().rectangle(rect);
    CGContextDrawPath(c, kCGPathStroke);
}

void CGContextStrokeRectWithWidth(const CGContextRef& c, CGRect rect, CGFloat width)
{
    if (!c)
        return;
    c->canvas().save();
    c->canvas().setLineWidth(width);
    CGContextStrokeRect(c, rect);
    c->canvas().restore();
}

void CGContextClearRect(const CGContextRef& c, CGRect rect)
{
    if (c)
        c->canvas().clearRect(rect);
}

void CGContextFillEllipseInRect(const CGContextRef& c, CGRect rect)
{
    if (!c)
        return;
    c->canvas().newPath();
    c->canvas().ellipse(rect);
    CGContextDrawPath(c, kCGPathFill);
}

void CGContextStrokeEllipseInRect(const CGContextRef& c, CGRect rect)
{
    if (!c)
        return;
    c->canvas().newPath();
    c->canvas().ellipse(rect);
    CGContextDrawPath(c, kCGPathStroke);
}

void CGContextStrokeLineSegments(const CGContextRef& c, const CGPoint* points, std::size_t count)
{
    if (!c || !points)
        return;
    c->canvas().newPath();
    for (std::size_t i = 0; i + 1 < count; i += 2) {
        c->canvas().moveTo(points[i].x, points[i].y);
        c->canvas().lineTo(points[i + 1].x, points[i + 1].y);
    }
    CGContextDrawPath(c, kCGPathStroke);
}

void CGContextClip(const CGContextRef& c)
{
    if (c)
        c->canvas().clip(false);
}

void CGContextEOClip(const CGContextRef& c)
{
    if (c)
        c->canvas().clip(true);
}

void CGContextClipToRect(const CGContextRef& c, CGRect rect)
{
    if (c)
        c->canvas().clipToRectKeepingPath(rect);
}

CGRect CGContextGetClipBoundingBox(const CGContextRef& c) { return c ? c->canvas().clipExtents() : CGRectNull; }

void CGContextDrawImage(const CGContextRef& c, CGRect rect, const CGImageRef& image)
{
    if (!c || !image)
        return;
    rect = CGRectStandardize(rect);
    if (rect.size.width <= 0 || rect.size.height <= 0)
        return;
    const CGFloat w = CGFloat(image->width()), h = CGFloat(image->height());
    const CGAffineTransform imageToUser
        = CGAffineTransformMake(rect.size.width / w, 0, 0, -rect.size.height / h, rect.origin.x, rect.origin.y + rect.size.height);
    const auto& s = c->state();
    const auto pixels = dv::internal::graphics::DrawingCopies::pixelsFor(*image);
    c->canvas().paintImage(pixels.rows, pixels.bytesPerRow, pixels.opaque, image->width(), image->height(), imageToUser,
        s.interpolation != kCGInterpolationNone, s.alpha);
}

void CGContextDrawLinearGradient(const CGContextRef& c, const CGGradientRef& gradient, CGPoint startPoint, CGPoint endPoint,
    CGGradientDrawingOptions options)
{
    if (c && gradient)
        c->canvas().paintLinearGradient(*gradient, startPoint, endPoint, options, c->state().alpha);
}

void CGContextDrawRadialGradient(const CGContextRef& c, const CGGradientRef& gradient, CGPoint startCenter, CGFloat startRadius,
    CGPoint endCenter, CGFloat endRadius, CGGradientDrawingOptions options)
{
    if (c && gradient)
        c->canvas().paintRadialGradient(*gradient, startCenter, startRadius, endCenter, endRadius, options, c->state().alpha);
}
