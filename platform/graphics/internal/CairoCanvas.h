// The drawing backend: one cairo surface and its cairo context. Coordinates here are cairo's
// (device y down); CGContext turns the platform's conventions into these calls.
//
// A canvas over memory never written (Start::Unwritten) reads as transparent: the memory is
// cleared when the pixels are first asked for or drawn onto, unless that first drawing paints
// every pixel over nothing (a backdrop across the whole bitmap), which then writes them once.
#pragma once

#include "platform/base/Geometry.h"
#include "platform/graphics/CGColor.h"
#include "platform/graphics/CGGradient.h"
#include "platform/graphics/internal/ConcentricGradient.h"

#include <cstdint>
#include <memory>

typedef struct cairo_path cairo_path_t;

namespace dv::internal::graphics {

class CairoCanvas {
public:
    enum class Format { ARGB32, RGB24, A8 };
    // What the external memory holds: a picture to draw over, or nothing written yet.
    enum class Start { AsGiven, Unwritten };

    // Renders into `external` (rows `externalStride` apart) when given, else into storage of its own.
    static std::unique_ptr<CairoCanvas> create(std::size_t width, std::size_t height, Format format,
        std::uint8_t* external = nullptr, std::size_t externalStride = 0, Start start = Start::AsGiven);
    ~CairoCanvas();

    Format format() const { return m_format; }
    std::uint8_t* pixels();
    std::size_t stride() const;
    void flush();      // before reading pixels()
    void markDirty();  // after writing pixels()
    void* native() const; // cairo_t*, for the text backend
    // How many drawing calls reached the surface (fills, strokes, images, gradients, clears, text,
    // pixels written), whatever they covered: whether a drawing routine drew at all.
    std::uint64_t marks() const { return m_marks; }

    void save();
    void restore();
    // Draws into a fresh transparent layer until popGroup, which paints it with `alpha` through
    // the clip in effect at pushGroup.
    void pushGroup();
    void popGroup(CGFloat alpha);
    CGAffineTransform matrix() const;
    void setMatrix(const CGAffineTransform& m);
    void transform(const CGAffineTransform& m);

    void newPath();
    void moveTo(CGFloat x, CGFloat y);
    void lineTo(CGFloat x, CGFloat y);
    void curveTo(CGFloat x1, CGFloat y1, CGFloat x2, CGFloat y2, CGFloat x3, CGFloat y3);
    void arc(CGFloat cx, CGFloat cy, CGFloat radius, CGFloat start, CGFloat end, bool decreasing);
    void ellipse(CGRect rect);
    void rectangle(CGRect rect);
    void closePath();
    bool hasCurrentPoint() const;
    CGPoint currentPoint() const;
    bool pathIsEmpty() const;

    void setLineWidth(CGFloat width);
    void setLineCap(int cap);
    void setLineJoin(int join);
    void setMiterLimit(CGFloat limit);
    void setDash(const CGFloat* lengths, std::size_t count, CGFloat phase);
    void setAntialias(bool on);
    void setBlendMode(int mode);

    void fill(const RGBA& color, bool evenOdd, bool preserve);
    void stroke(const RGBA& color, bool preserve);
    void clip(bool evenOdd);
    void clipToRectKeepingPath(CGRect rect);
    CGRect clipExtents() const;
    void clearRect(CGRect rect);

    // Paints premultiplied native-endian ARGB32 rows (the alpha byte unused when `opaque`) whose
    // pixel grid maps to user space through `imageToUser`.
    void paintImage(const std::uint8_t* rows, std::size_t bytesPerRow, bool opaque, std::size_t width, std::size_t height,
        const CGAffineTransform& imageToUser, bool smooth, CGFloat alpha);
    void paintLinearGradient(const CGGradient& gradient, CGPoint start, CGPoint end, std::uint32_t options, CGFloat alpha);
    void paintRadialGradient(const CGGradient& gradient, CGPoint c0, CGFloat r0, CGPoint c1, CGFloat r1, std::uint32_t options,
        CGFloat alpha);

private:
    CairoCanvas() = default;
    // Before a drawing call: unwritten memory is cleared, and the call counted.
    void willDraw() const;
    void clearUnwritten() const;
    void clearPixels() const;
    // Paints `pattern` through the clip the caller saved, then restores the state and puts `path` back.
    void paintPattern(cairo_pattern_t* pattern, cairo_path_t* path, CGFloat alpha, Backdrop backdrop);

    struct Impl;
    std::unique_ptr<Impl> m_impl;
    Format m_format = Format::ARGB32;
    mutable std::uint64_t m_marks = 0;
    // What the pixels hold as far as this canvas knows: set by creation, Unknown once drawn onto.
    mutable Backdrop m_backdrop = Backdrop::Unknown;
};

} // namespace dv::internal::graphics
