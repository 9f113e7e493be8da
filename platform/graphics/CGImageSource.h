// CGImageSource: reads images out of encoded bytes, all at once or incrementally as a download
// arrives. Answers the type, the image count and each image's properties (pixel size,
// orientation, GIF delays) without decoding pixels, and decodes an image on request. For a JPEG or
// PNG whose bytes have not all arrived it answers a partial image: full size, the rows received so
// far at the top, the rest transparent. A source may be used from several threads; calls are
// serialised.
//
//   auto source = CGImageSourceCreateWithData(data, nil);
//   auto props = CGImageSourceCopyPropertiesAtIndex(source, 0, nil);
//   auto width = dv::as<NSNumber>(props->objectForKey(kCGImagePropertyPixelWidth));
#pragma once

#include "platform/base/NSObject.h"
#include "platform/graphics/CGImage.h"

#include <memory>
#include <mutex>

namespace dv::internal {
class GifDecoder;
struct WebpFrame;
}

enum CGImageSourceStatus : std::int32_t {
    kCGImageStatusUnexpectedEOF = -5,
    kCGImageStatusInvalidData = -4,
    kCGImageStatusUnknownType = -3,
    kCGImageStatusReadingHeader = -2,
    kCGImageStatusIncomplete = -1,
    kCGImageStatusComplete = 0,
};

// Property keys and the dictionaries they appear in.
extern const Ref<NSString> kCGImagePropertyPixelWidth;  // NSNumber
extern const Ref<NSString> kCGImagePropertyPixelHeight; // NSNumber
extern const Ref<NSString> kCGImagePropertyOrientation; // NSNumber, EXIF 1...8; only when recorded
extern const Ref<NSString> kCGImagePropertyDepth;       // NSNumber, bits per sample
extern const Ref<NSString> kCGImagePropertyHasAlpha;    // NSNumber (boolean)
extern const Ref<NSString> kCGImagePropertyColorModel;  // "RGB" or "Gray"
extern const Ref<NSString> kCGImagePropertyFileSize;    // NSNumber, in the source's properties
extern const Ref<NSString> kCGImagePropertyGIFDictionary;  // "{GIF}"
extern const Ref<NSString> kCGImagePropertyGIFDelayTime;   // seconds; below 0.011 given as 0.1
extern const Ref<NSString> kCGImagePropertyGIFUnclampedDelayTime; // seconds as recorded
extern const Ref<NSString> kCGImagePropertyGIFLoopCount;   // 0 = forever; when recorded
extern const Ref<NSString> kCGImagePropertyWebPDictionary; // "{WebP}"
extern const Ref<NSString> kCGImagePropertyWebPDelayTime;
extern const Ref<NSString> kCGImagePropertyWebPUnclampedDelayTime;
extern const Ref<NSString> kCGImagePropertyWebPLoopCount;

class CGImageSource : public NSObject {
    DV_CLASS(CGImageSource, NSObject)

    CGImageSource();
    ~CGImageSource() override;
    // The bytes are copied unless they are immutable data.
    Ref<CGImageSource> initWithData(const Ref<NSData>& data, bool final);

    void updateData(const Ref<NSData>& data, bool final);
    Ref<NSString> type();
    CGImageSourceStatus status();
    std::size_t count();
    Ref<NSDictionary> properties();
    Ref<NSDictionary> propertiesAtIndex(std::size_t index);
    CGImageRef imageAtIndex(std::size_t index);

private:
    void reset(const Ref<NSData>& data, bool final);
    void prepare(); // reads the structure once per data update; caller holds the lock
    bool complete() const;

    std::mutex m_mutex;
    Ref<NSData> m_data;
    bool m_final = false;
    bool m_prepared = false;
    int m_format = 0;
    std::size_t m_count = 0;
    std::unique_ptr<dv::internal::GifDecoder> m_gif;
    std::vector<dv::internal::WebpFrame> m_webpFrames;
    bool m_webpAnimated = false;
    int m_webpLoopCount = 0;
};

using CGImageSourceRef = Ref<CGImageSource>;

// nil for nil data. Options are accepted and ignored (decoding is never deferred past the call).
CGImageSourceRef CGImageSourceCreateWithData(const Ref<NSData>& data, const Ref<NSDictionary>& options);
CGImageSourceRef CGImageSourceCreateIncremental(const Ref<NSDictionary>& options);
// `data` is everything received so far; `final` says no more will come.
void CGImageSourceUpdateData(const CGImageSourceRef& source, const Ref<NSData>& data, bool final);
// The uniform type ("public.jpeg", "public.png", "com.compuserve.gif", "org.webmproject.webp",
// "public.tiff", "com.microsoft.bmp", "com.microsoft.ico"), nil when unrecognised.
Ref<NSString> CGImageSourceGetType(const CGImageSourceRef& source);
CGImageSourceStatus CGImageSourceGetStatus(const CGImageSourceRef& source);
// Images that can be decoded: frames fully received for GIF and WebP animations, 1 for a still
// image whose header has arrived (an icon answers its largest entry); 0 for unrecognised bytes and
// for TIFF, which is recognised only.
std::size_t CGImageSourceGetCount(const CGImageSourceRef& source);
Ref<NSDictionary> CGImageSourceCopyProperties(const CGImageSourceRef& source, const Ref<NSDictionary>& options);
Ref<NSDictionary> CGImageSourceCopyPropertiesAtIndex(const CGImageSourceRef& source, std::size_t index,
    const Ref<NSDictionary>& options);
CGImageRef CGImageSourceCreateImageAtIndex(const CGImageSourceRef& source, std::size_t index, const Ref<NSDictionary>& options);
