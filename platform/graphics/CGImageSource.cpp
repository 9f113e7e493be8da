#include "platform/base/ClassBuilder.h"
#include "platform/graphics/CGImageSource.h"

#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/graphics/internal/BmpCodec.h"
#include "platform/graphics/internal/GifDecoder.h"
#include "platform/graphics/internal/ImageFormat.h"
#include "platform/graphics/internal/JpegCodec.h"
#include "platform/graphics/internal/JpegMarkers.h"
#include "platform/graphics/internal/PngCodec.h"
#include "platform/graphics/internal/WebpCodec.h"

using namespace dv::internal;

namespace {
// Made directly rather than through the string helpers, so that the constants are usable during
// static initialisation of other files.
Ref<NSString> constant(const char* text) { return std::make_shared<NSString>(text); }
}

const Ref<NSString> kCGImagePropertyPixelWidth = constant("PixelWidth");
const Ref<NSString> kCGImagePropertyPixelHeight = constant("PixelHeight");
const Ref<NSString> kCGImagePropertyOrientation = constant("Orientation");
const Ref<NSString> kCGImagePropertyDepth = constant("Depth");
const Ref<NSString> kCGImagePropertyHasAlpha = constant("HasAlpha");
const Ref<NSString> kCGImagePropertyColorModel = constant("ColorModel");
const Ref<NSString> kCGImagePropertyFileSize = constant("FileSize");
const Ref<NSString> kCGImagePropertyGIFDictionary = constant("{GIF}");
const Ref<NSString> kCGImagePropertyGIFDelayTime = constant("DelayTime");
const Ref<NSString> kCGImagePropertyGIFUnclampedDelayTime = constant("UnclampedDelayTime");
const Ref<NSString> kCGImagePropertyGIFLoopCount = constant("LoopCount");
const Ref<NSString> kCGImagePropertyWebPDictionary = constant("{WebP}");
const Ref<NSString> kCGImagePropertyWebPDelayTime = constant("DelayTime");
const Ref<NSString> kCGImagePropertyWebPUnclampedDelayTime = constant("UnclampedDelayTime");
const Ref<NSString> kCGImagePropertyWebPLoopCount = constant("LoopCount");

DV_DEFINE_CLASS(CGImageSource)

CGImageSource::CGImageSource() = default;
CGImageSource::~CGImageSource() = default;

namespace {

// Delays shorter than this are shown at 0.1 s, as browsers do.
constexpr double kMinimumDelay = 0.011;

Ref<NSData> snapshot(const Ref<NSData>& data)
{
    if (!data)
        return NSData::data();
    if (data->isMemberOfClass(NSData::class_()))
        return data;
    return NSData::dataWithBytes(data->bytes(), data->length());
}

} // namespace

Ref<CGImageSource> CGImageSource::initWithData(const Ref<NSData>& data, bool final)
{
    reset(data, final);
    return self<CGImageSource>();
}

void CGImageSource::reset(const Ref<NSData>& data, bool final)
{
    m_data = snapshot(data);
    m_final = final;
    m_prepared = false;
    m_gif.reset();
    m_webpFrames.clear();
    m_count = 0;
}

void CGImageSource::updateData(const Ref<NSData>& data, bool final)
{
    std::lock_guard lock(m_mutex);
    reset(data, final);
}

void CGImageSource::prepare()
{
    if (m_prepared)
        return;
    m_prepared = true;
    const auto bytes = m_data->span();
    const auto format = sniffImageFormat(bytes);
    m_format = int(format);
    m_count = 0;
    switch (format) {
    case ImageFormat::JPEG:
        m_count = jpegReadHeader(bytes) ? 1 : 0;
        break;
    case ImageFormat::PNG:
        m_count = pngReadHeader(bytes) ? 1 : 0;
        break;
    case ImageFormat::GIF:
        m_gif = GifDecoder::open(bytes);
        m_count = m_gif ? m_gif->frameCount() : 0;
        break;
    case ImageFormat::WebP:
        if (auto info = webpReadInfo(bytes)) {
            m_webpAnimated = info->animated;
            m_webpLoopCount = info->loopCount;
            m_count = info->frameCount;
        }
        break;
    case ImageFormat::BMP:
        m_count = bmpReadHeader(bytes) ? 1 : 0;
        break;
    case ImageFormat::ICO:
        m_count = icoReadHeader(bytes) ? 1 : 0;
        break;
    default:
        break;
    }
}

bool CGImageSource::complete() const
{
    if (!m_final)
        return false;
    if (ImageFormat(m_format) == ImageFormat::JPEG) {
        auto markers = readJpegMarkers(m_data->span());
        return markers && markers->endsWithEOI;
    }
    return true;
}

Ref<NSString> CGImageSource::type()
{
    std::lock_guard lock(m_mutex);
    prepare();
    const char* uti = uniformTypeIdentifier(ImageFormat(m_format));
    return uti ? NSString::fromUTF8(uti) : nil;
}

CGImageSourceStatus CGImageSource::status()
{
    std::lock_guard lock(m_mutex);
    prepare();
    if (ImageFormat(m_format) == ImageFormat::Unknown)
        return m_data->length() < 12 && !m_final ? kCGImageStatusReadingHeader : kCGImageStatusUnknownType;
    if (m_count == 0)
        return m_final ? kCGImageStatusInvalidData : kCGImageStatusReadingHeader;
    return complete() ? kCGImageStatusComplete : kCGImageStatusIncomplete;
}

std::size_t CGImageSource::count()
{
    std::lock_guard lock(m_mutex);
    prepare();
    return m_count;
}

Ref<NSDictionary> CGImageSource::properties()
{
    std::lock_guard lock(m_mutex);
    prepare();
    auto dict = NSMutableDictionary::dictionary();
    dict->setObjectForKey(NSNumber::numberWithUnsignedLongLong(m_data->length()), kCGImagePropertyFileSize);
    if (m_gif && m_gif->loopCount()) {
        dict->setObjectForKey(NSDictionary::dictionaryWithObjectForKey(NSNumber::numberWithInt(*m_gif->loopCount()),
                                  kCGImagePropertyGIFLoopCount),
            kCGImagePropertyGIFDictionary);
    }
    if (ImageFormat(m_format) == ImageFormat::WebP && m_webpAnimated) {
        dict->setObjectForKey(NSDictionary::dictionaryWithObjectForKey(NSNumber::numberWithInt(m_webpLoopCount),
                                  kCGImagePropertyWebPLoopCount),
            kCGImagePropertyWebPDictionary);
    }
    return dict;
}

Ref<NSDictionary> CGImageSource::propertiesAtIndex(std::size_t index)
{
    std::lock_guard lock(m_mutex);
    prepare();
    if (index >= m_count)
        return nil;
    const auto bytes = m_data->span();
    std::optional<ImageHeader> header;
    auto dict = NSMutableDictionary::dictionary();
    switch (ImageFormat(m_format)) {
    case ImageFormat::JPEG:
        header = jpegReadHeader(bytes);
        break;
    case ImageFormat::PNG:
        header = pngReadHeader(bytes);
        break;
    case ImageFormat::GIF: {
        header = ImageHeader();
        header->width = m_gif->width();
        header->height = m_gif->height();
        header->hasAlpha = true;
        const double delay = m_gif->frame(index).delayCentiseconds / 100.0;
        auto gif = NSMutableDictionary::dictionary();
        gif->setObjectForKey(NSNumber::numberWithDouble(delay < kMinimumDelay ? 0.1 : delay), kCGImagePropertyGIFDelayTime);
        gif->setObjectForKey(NSNumber::numberWithDouble(delay), kCGImagePropertyGIFUnclampedDelayTime);
        if (m_gif->loopCount())
            gif->setObjectForKey(NSNumber::numberWithInt(*m_gif->loopCount()), kCGImagePropertyGIFLoopCount);
        dict->setObjectForKey(gif, kCGImagePropertyGIFDictionary);
        break;
    }
    case ImageFormat::WebP:
        if (auto info = webpReadInfo(bytes)) {
            header = info->header;
            if (info->animated && index < info->durationsMilliseconds.size()) {
                const double delay = info->durationsMilliseconds[index] / 1000.0;
                auto webp = NSMutableDictionary::dictionary();
                webp->setObjectForKey(NSNumber::numberWithDouble(delay < kMinimumDelay ? 0.1 : delay), kCGImagePropertyWebPDelayTime);
                webp->setObjectForKey(NSNumber::numberWithDouble(delay), kCGImagePropertyWebPUnclampedDelayTime);
                dict->setObjectForKey(webp, kCGImagePropertyWebPDictionary);
            }
        }
        break;
    case ImageFormat::BMP:
        header = bmpReadHeader(bytes);
        break;
    case ImageFormat::ICO:
        header = icoReadHeader(bytes);
        break;
    default:
        break;
    }
    if (!header)
        return nil;
    dict->setObjectForKey(NSNumber::numberWithUnsignedInt(header->width), kCGImagePropertyPixelWidth);
    dict->setObjectForKey(NSNumber::numberWithUnsignedInt(header->height), kCGImagePropertyPixelHeight);
    dict->setObjectForKey(NSNumber::numberWithInt(header->depth), kCGImagePropertyDepth);
    dict->setObjectForKey(NSNumber::numberWithBool(header->hasAlpha), kCGImagePropertyHasAlpha);
    dict->setObjectForKey(NSString::fromUTF8(header->grey ? "Gray" : "RGB"), kCGImagePropertyColorModel);
    if (header->exifOrientation)
        dict->setObjectForKey(NSNumber::numberWithInt(header->exifOrientation), kCGImagePropertyOrientation);
    return dict;
}

CGImageRef CGImageSource::imageAtIndex(std::size_t index)
{
    std::lock_guard lock(m_mutex);
    prepare();
    if (index >= m_count)
        return nil;
    const auto bytes = m_data->span();
    switch (ImageFormat(m_format)) {
    case ImageFormat::JPEG: {
        if (complete())
            return jpegDecode(bytes);
        auto header = jpegReadHeader(bytes);
        // A progressive JPEG refines the whole picture scan by scan, so what has arrived decodes
        // as a complete, blurrier image; a baseline one gives its finished rows.
        if (header && header->progressive)
            return jpegDecode(bytes);
        return jpegDecodePartial(bytes);
    }
    case ImageFormat::PNG:
        if (auto image = pngDecode(bytes))
            return image;
        return pngDecodePartial(bytes);
    case ImageFormat::GIF:
        return m_gif->frameImage(index);
    case ImageFormat::WebP:
        if (!m_webpAnimated)
            return webpDecode(bytes);
        if (m_webpFrames.empty())
            m_webpFrames = webpDecodeAnimation(bytes);
        return index < m_webpFrames.size() ? m_webpFrames[index].image : nil;
    case ImageFormat::BMP:
        return bmpDecode(bytes);
    case ImageFormat::ICO:
        return icoDecode(bytes);
    default:
        return nil;
    }
}

CGImageSourceRef CGImageSourceCreateWithData(const Ref<NSData>& data, const Ref<NSDictionary>&)
{
    if (!data)
        return nil;
    return alloc<CGImageSource>()->initWithData(data, true);
}

CGImageSourceRef CGImageSourceCreateIncremental(const Ref<NSDictionary>&)
{
    return alloc<CGImageSource>()->initWithData(nil, false);
}

void CGImageSourceUpdateData(const CGImageSourceRef& source, const Ref<NSData>& data, bool final)
{
    if (source)
        source->updateData(data, final);
}

Ref<NSString> CGImageSourceGetType(const CGImageSourceRef& source) { return source ? source->type() : nil; }
CGImageSourceStatus CGImageSourceGetStatus(const CGImageSourceRef& source)
{
    return source ? source->status() : kCGImageStatusInvalidData;
}
std::size_t CGImageSourceGetCount(const CGImageSourceRef& source) { return source ? source->count() : 0; }
Ref<NSDictionary> CGImageSourceCopyProperties(const CGImageSourceRef& source, const Ref<NSDictionary>&)
{
    return source ? source->properties() : nil;
}
Ref<NSDictionary> CGImageSourceCopyPropertiesAtIndex(const CGImageSourceRef& source, std::size_t index, const Ref<NSDictionary>&)
{
    return source ? source->propertiesAtIndex(index) : nil;
}
CGImageRef CGImageSourceCreateImageAtIndex(const CGImageSourceRef& source, std::size_t index, const Ref<NSDictionary>&)
{
    return source ? source->imageAtIndex(index) : nil;
}
