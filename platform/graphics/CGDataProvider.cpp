#include "platform/graphics/CGDataProvider.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSData.h"
#include "platform/graphics/internal/ImageFormat.h"
#include "platform/graphics/internal/JpegCodec.h"
#include "platform/graphics/internal/PngCodec.h"

DV_DEFINE_CLASS(CGDataProvider)

Ref<CGDataProvider> CGDataProvider::initWithData(const Ref<NSData>& data)
{
    if (!data)
        return nil;
    m_data = data->isMemberOfClass(NSData::class_()) ? data : NSData::dataWithBytes(data->bytes(), data->length());
    return self<CGDataProvider>();
}

CGDataProviderRef CGDataProviderCreateWithCFData(const Ref<NSData>& data) { return alloc<CGDataProvider>()->initWithData(data); }

Ref<NSData> CGDataProviderCopyData(const CGDataProviderRef& provider) { return provider ? provider->data() : nil; }

CGImageRef CGImageCreateWithPNGDataProvider(const CGDataProviderRef& source, const CGFloat*, bool, CGColorRenderingIntent)
{
    if (!source || dv::internal::graphics::sniffImageFormat(source->data()->span()) != dv::internal::graphics::ImageFormat::PNG)
        return nil;
    return dv::internal::graphics::pngDecode(source->data()->span());
}

CGImageRef CGImageCreateWithJPEGDataProvider(const CGDataProviderRef& source, const CGFloat*, bool, CGColorRenderingIntent)
{
    if (!source || dv::internal::graphics::sniffImageFormat(source->data()->span()) != dv::internal::graphics::ImageFormat::JPEG)
        return nil;
    return dv::internal::graphics::jpegDecode(source->data()->span());
}
