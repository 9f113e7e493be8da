// CGDataProvider: bytes handed to the bitmap decoders (CGImageCreateWithPNGDataProvider,
// CGImageCreateWithJPEGDataProvider). Holds its data; immutable.
#pragma once

#include "platform/base/NSObject.h"
#include "platform/graphics/CGImage.h"

enum CGColorRenderingIntent : std::int32_t {
    kCGRenderingIntentDefault = 0,
    kCGRenderingIntentAbsoluteColorimetric = 1,
    kCGRenderingIntentRelativeColorimetric = 2,
    kCGRenderingIntentPerceptual = 3,
    kCGRenderingIntentSaturation = 4,
};

class CGDataProvider : public NSObject {
    DV_CLASS(CGDataProvider, NSObject)

    CGDataProvider() = default;
    Ref<CGDataProvider> initWithData(const Ref<NSData>& data);
    const Ref<NSData>& data() const { return m_data; }

private:
    Ref<NSData> m_data;
};

using CGDataProviderRef = Ref<CGDataProvider>;

// nil for nil data. The data is copied unless it is immutable.
CGDataProviderRef CGDataProviderCreateWithCFData(const Ref<NSData>& data);
Ref<NSData> CGDataProviderCopyData(const CGDataProviderRef& provider);
// The bitmap of PNG or JPEG bytes; nil when the bytes are not of that format or do not decode.
// `decode`, `shouldInterpolate` and `intent` are accepted and ignored. JPEG colour (CMYK, YCCK) is
// converted to RGB, so the result's colour space is RGB or grey.
CGImageRef CGImageCreateWithPNGDataProvider(const CGDataProviderRef& source, const CGFloat* decode, bool shouldInterpolate,
    CGColorRenderingIntent intent);
CGImageRef CGImageCreateWithJPEGDataProvider(const CGDataProviderRef& source, const CGFloat* decode, bool shouldInterpolate,
    CGColorRenderingIntent intent);
