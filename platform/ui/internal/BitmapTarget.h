// A bitmap to draw into in UIKit's coordinates (origin top left, y down, in points) that becomes
// a UIImage without copying its pixels: the display pass draws views' contents through it and
// snapshots render trees into it. Transparent to begin with. One thread at a time.
#pragma once

#include "platform/base/Geometry.h"
#include "platform/graphics/CGContext.h"
#include "platform/ui/Forward.h"

#include <cstdint>

namespace dv::internal::uikit {

class BitmapTarget {
public:
    // `scale` 0 means the main screen's. No context (context() nil) for an empty size or one
    // past the platform's limit of 32,767 pixels a side.
    BitmapTarget(CGSize size, CGFloat scale);
    BitmapTarget(const BitmapTarget&) = delete;
    BitmapTarget& operator=(const BitmapTarget&) = delete;

    const CGContextRef& context() const { return m_context; }
    // Whether anything has been drawn into the context so far (any drawing call, even one that
    // left no pixel behind).
    bool drawnInto() const;
    // Whether nothing has been drawn yet: every pixel still fully transparent.
    bool isBlank() const;
    // Ends the drawing and hands the pixels over as an image of the scale; nil without a context.
    Ref<UIImage> finish();

private:
    CGContextRef m_context;
    std::size_t m_width = 0, m_height = 0;
    CGFloat m_scale = 1;
};

} // namespace dv::internal::uikit
