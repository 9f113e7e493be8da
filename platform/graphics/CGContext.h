// CGContext: a drawing destination with the platform's graphics state (transform, clip, line
// settings, fill and stroke colours, alpha), a current path, and bitmap storage rendered through
// the drawing backend. Bitmap contexts use the platform's coordinates: origin at the bottom left,
// y up; image contexts (UIGraphics.h) flip that so UIKit drawing sees y down. One thread at a time.
//
//   auto ctx = CGBitmapContextCreate(nullptr, 64, 64, 8, 64 * 4, CGColorSpaceCreateDeviceRGB(),
//                                    kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
//   CGContextSetRGBFillColor(ctx, 1, 0, 0, 1);
//   CGContextFillRect(ctx, CGRectMake(0, 0, 32, 32));
//   CGImageRef image = CGBitmapContextCreateImage(ctx);
//
// A caller-supplied buffer receives the drawing whenever CGBitmapContextGetData,
// CGBitmapContextCreateImage or CGContextFlush is called and when the context goes away.
#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/NSObject.h"
#include "platform/graphics/CGColor.h"
#include "platform/graphics/CGGradient.h"
#include "platform/graphics/CGImage.h"

#include <memory>
#include <vector>

enum CGLineCap : std::int32_t { kCGLineCapButt = 0, kCGLineCapRound = 1, kCGLineCapSquare = 2 };
enum CGLineJoin : std::int32_t { kCGLineJoinMiter = 0, kCGLineJoinRound = 1, kCGLineJoinBevel = 2 };
enum CGPathDrawingMode : std::int32_t { kCGPathFill = 0, kCGPathEOFill = 1, kCGPathStroke = 2, kCGPathFillStroke = 3, kCGPathEOFillStroke = 4 };
enum CGInterpolationQuality : std::int32_t {
    kCGInterpolationDefault = 0,
    kCGInterpolationNone = 1,
    kCGInterpolationLow = 2,
    kCGInterpolationMedium = 4,
    kCGInterpolationHigh = 3,
};
enum CGBlendMode : std::int32_t {
    kCGBlendModeNormal = 0,
    kCGBlendModeMultiply = 1,
    kCGBlendModeScreen = 2,
    kCGBlendModeOverlay = 3,
    kCGBlendModeDarken = 4,
    kCGBlendModeLighten = 5,
    kCGBlendModeClear = 16,
    kCGBlendModeCopy = 17,
    kCGBlendModeSourceIn = 18,
    kCGBlendModeSourceOut = 19,
    kCGBlendModeSourceAtop = 20,
    kCGBlendModeDestinationOver = 21,
    kCGBlendModeDestinationIn = 22,
    kCGBlendModeDestinationOut = 23,
    kCGBlendModeDestinationAtop = 24,
    kCGBlendModeXOR = 25,
};

namespace dv::internal::graphics {
class CairoCanvas;
class PixelBuffer;
}

class CGContext : public NSObject {
    DV_CLASS(CGContext, NSObject)

    CGContext();
    ~CGContext() override;

    // A bitmap context; see CGBitmapContextCreate.
    Ref<CGContext> initBitmap(void* data, std::size_t width, std::size_t height, std::size_t bitsPerComponent,
        std::size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo);

    struct GState {
        dv::RGBA fill {0, 0, 0, 1};
        dv::RGBA stroke {0, 0, 0, 1};
        CGFloat alpha = 1;
        CGInterpolationQuality interpolation = kCGInterpolationDefault;
        CGBlendMode blend = kCGBlendModeNormal;
    };

    // Stops the process once the context's pixels have been handed to an image (dv::takeBitmapContextImage).
    dv::internal::graphics::CairoCanvas& canvas();
    // How many drawing calls have reached the context's surface, whatever they covered.
    std::uint64_t drawingMarks() const;
    GState& state() { return m_states.back(); }
    void saveState();
    void restoreState();
    void beginTransparencyLayer();
    void endTransparencyLayer();

    std::size_t width() const { return m_width; }
    std::size_t height() const { return m_height; }
    std::size_t bitsPerComponent() const { return m_bitsPerComponent; }
    std::size_t bitsPerPixel() const { return m_bitsPerPixel; }
    std::size_t bytesPerRow() const { return m_bytesPerRow; }
    CGBitmapInfo bitmapInfo() const { return m_bitmapInfo; }
    const CGColorSpaceRef& colorSpace() const { return m_space; }

    // Brings the caller-visible buffer up to date and answers it.
    void* data();
    CGImageRef makeImage();
    // An image over the context's own pixels, without a copy; the context ends. A copy for a
    // context over the caller's buffer, which goes on.
    CGImageRef takeImage();

    // The transform from user space to the platform's device space (y up).
    CGAffineTransform userToDevice() const;
    // Sets the backend's transform from a platform device transform.
    void setUserToDevice(const CGAffineTransform& transform);

private:
    void pushToUserBuffer();
    void pullFromUserBuffer();

    std::unique_ptr<dv::internal::graphics::CairoCanvas> m_canvas;
    std::vector<GState> m_states;
    std::vector<CGFloat> m_layerAlphas; // the alpha each open transparency layer is painted with
    std::size_t m_width = 0, m_height = 0, m_bitsPerComponent = 8, m_bitsPerPixel = 32, m_bytesPerRow = 0;
    CGBitmapInfo m_bitmapInfo = 0;
    CGColorSpaceRef m_space;
    std::uint8_t* m_userData = nullptr; // where the caller reads pixels
    // Backs m_userData when the caller gave none; written only as the drawing needs.
    std::shared_ptr<dv::internal::graphics::PixelBuffer> m_ownedPixels;
    bool m_drawsIntoUserData = false; // the backend renders straight into m_userData
    bool m_ended = false;             // its own pixels belong to an image now
};

using CGContextRef = Ref<CGContext>;

// Bitmap contexts of 8 bits per component: RGB with alpha premultiplied first or last, or a skip
// byte first or last (32 bits per pixel, default or 32-bit little byte order); grey without alpha
// (8 bits); alpha only (8 bits, any or no colour space). Other layouts, including straight alpha,
// answer nil as on the platform. bytesPerRow 0 chooses the tightest row. nil data: the context
// owns zeroed storage.
CGContextRef CGBitmapContextCreate(void* data, std::size_t width, std::size_t height, std::size_t bitsPerComponent,
    std::size_t bytesPerRow, const CGColorSpaceRef& space, CGBitmapInfo bitmapInfo);
void* CGBitmapContextGetData(const CGContextRef& c);
namespace dv {
// An image of what was drawn into a context made with nil data, over the context's own pixels
// without a copy (the display pass hands each view's drawing over this way). The context ends:
// any drawing into it afterwards stops the process. For a context over the caller's buffer, the
// copy CGBitmapContextCreateImage makes. nil for nil.
CGImageRef takeBitmapContextImage(const CGContextRef& c);
} // namespace dv
std::size_t CGBitmapContextGetWidth(const CGContextRef& c);
std::size_t CGBitmapContextGetHeight(const CGContextRef& c);
std::size_t CGBitmapContextGetBytesPerRow(const CGContextRef& c);
std::size_t CGBitmapContextGetBitsPerComponent(const CGContextRef& c);
std::size_t CGBitmapContextGetBitsPerPixel(const CGContextRef& c);
CGBitmapInfo CGBitmapContextGetBitmapInfo(const CGContextRef& c);
CGImageAlphaInfo CGBitmapContextGetAlphaInfo(const CGContextRef& c);
CGColorSpaceRef CGBitmapContextGetColorSpace(const CGContextRef& c);
// A copy of the pixels drawn so far, in the context's layout.
CGImageRef CGBitmapContextCreateImage(const CGContextRef& c);

// Every function below does nothing (or answers zero) for a nil context.
void CGContextFlush(const CGContextRef& c);
void CGContextSaveGState(const CGContextRef& c);
void CGContextRestoreGState(const CGContextRef& c);

// Drawing until the matching end goes into a transparent layer (graphics state saved, alpha 1),
// which the end composites as one image with the alpha and clip that were in effect at the
// begin: group opacity. `auxiliaryInfo` is accepted and not read. An end without a begin is
// ignored.
void CGContextBeginTransparencyLayer(const CGContextRef& c, const Ref<NSDictionary>& auxiliaryInfo);
void CGContextEndTransparencyLayer(const CGContextRef& c);

void CGContextTranslateCTM(const CGContextRef& c, CGFloat tx, CGFloat ty);
void CGContextScaleCTM(const CGContextRef& c, CGFloat sx, CGFloat sy);
void CGContextRotateCTM(const CGContextRef& c, CGFloat angle);
void CGContextConcatCTM(const CGContextRef& c, CGAffineTransform transform);
CGAffineTransform CGContextGetCTM(const CGContextRef& c);

void CGContextSetLineWidth(const CGContextRef& c, CGFloat width);
void CGContextSetLineCap(const CGContextRef& c, CGLineCap cap);
void CGContextSetLineJoin(const CGContextRef& c, CGLineJoin join);
void CGContextSetMiterLimit(const CGContextRef& c, CGFloat limit);
void CGContextSetLineDash(const CGContextRef& c, CGFloat phase, const CGFloat* lengths, std::size_t count);
void CGContextSetAlpha(const CGContextRef& c, CGFloat alpha);
void CGContextSetShouldAntialias(const CGContextRef& c, bool antialias);
void CGContextSetInterpolationQuality(const CGContextRef& c, CGInterpolationQuality quality);
void CGContextSetBlendMode(const CGContextRef& c, CGBlendMode mode);

void CGContextSetRGBFillColor(const CGContextRef& c, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
void CGContextSetRGBStrokeColor(const CGContextRef& c, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
void CGContextSetGrayFillColor(const CGContextRef& c, CGFloat gray, CGFloat alpha);
void CGContextSetGrayStrokeColor(const CGContextRef& c, CGFloat gray, CGFloat alpha);
void CGContextSetFillColorWithColor(const CGContextRef& c, const CGColorRef& color);
void CGContextSetStrokeColorWithColor(const CGContextRef& c, const CGColorRef& color);

void CGContextBeginPath(const CGContextRef& c);
void CGContextMoveToPoint(const CGContextRef& c, CGFloat x, CGFloat y);
void CGContextAddLineToPoint(const CGContextRef& c, CGFloat x, CGFloat y);
void CGContextAddCurveToPoint(const CGContextRef& c, CGFloat cp1x, CGFloat cp1y, CGFloat cp2x, CGFloat cp2y, CGFloat x, CGFloat y);
void CGContextAddQuadCurveToPoint(const CGContextRef& c, CGFloat cpx, CGFloat cpy, CGFloat x, CGFloat y);
// Angles in radians from the x axis towards the y axis; clockwise 0 runs with increasing angle.
void CGContextAddArc(const CGContextRef& c, CGFloat x, CGFloat y, CGFloat radius, CGFloat startAngle, CGFloat endAngle, int clockwise);
void CGContextAddArcToPoint(const CGContextRef& c, CGFloat x1, CGFloat y1, CGFloat x2, CGFloat y2, CGFloat radius);
void CGContextAddRect(const CGContextRef& c, CGRect rect);
void CGContextAddEllipseInRect(const CGContextRef& c, CGRect rect);
void CGContextClosePath(const CGContextRef& c);
bool CGContextIsPathEmpty(const CGContextRef& c);
CGPoint CGContextGetPathCurrentPoint(const CGContextRef& c);

void CGContextFillPath(const CGContextRef& c);
void CGContextEOFillPath(const CGContextRef& c);
void CGContextStrokePath(const CGContextRef& c);
void CGContextDrawPath(const CGContextRef& c, CGPathDrawingMode mode);
void CGContextFillRect(const CGContextRef& c, CGRect rect);
void CGContextStrokeRect(const CGContextRef& c, CGRect rect);
void CGContextStrokeRectWithWidth(const CGContextRef& c, CGRect rect, CGFloat width);
void CGContextClearRect(const CGContextRef& c, CGRect rect);
void CGContextFillEllipseInRect(const CGContextRef& c, CGRect rect);
void CGContextStrokeEllipseInRect(const CGContextRef& c, CGRect rect);
void CGContextStrokeLineSegments(const CGContextRef& c, const CGPoint* points, std::size_t count);

void CGContextClip(const CGContextRef& c);
void CGContextEOClip(const CGContextRef& c);
void CGContextClipToRect(const CGContextRef& c, CGRect rect);
CGRect CGContextGetClipBoundingBox(const CGContextRef& c);

// Draws the image scaled into `rect`; its top row lies at the rectangle's maximum y, so it
// appears upright in a bitmap context.
void CGContextDrawImage(const CGContextRef& c, CGRect rect, const CGImageRef& image);
void CGContextDrawLinearGradient(const CGContextRef& c, const CGGradientRef& gradient, CGPoint startPoint, CGPoint endPoint,
    CGGradientDrawingOptions options);
void CGContextDrawRadialGradient(const CGContextRef& c, const CGGradientRef& gradient, CGPoint startCenter, CGFloat startRadius,
    CGPoint endCenter, CGFloat endRadius, CGGradientDrawingOptions options);
