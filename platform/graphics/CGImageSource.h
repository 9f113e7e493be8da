// CGImageSource: reads images out of encoded bytes, all at once or incrementally as a download
// arrives. Answers the type, the image count and each image's properties (pixel size,
// orientation, GIF delays) without decoding pixels, and decodes an image on request.
//
// An incremental source keeps its decoder between updates, so each byte is decoded once and
// asking for the image after every update stays cheap. For a PNG, WebP or single-scan JPEG whose
// bytes have not all arrived the image is partial: the rows received so far, as an image only as
// high as they are; a progressive JPEG gives its latest full-size refinement. The status says
// truthfully how far the data went: incomplete while more is expected, unexpected end when the
// data stopped short, invalid data when it is damaged or cannot fill what its header claims (such
// an image is refused, with a count of 0). Memory follows the data: no canvas is filled before
// the rows that fill it arrive. A source may be used from several threads; calls are serialised.
//
// The status of complete data whose image has not been asked for is found by decoding it with a
// stream that drops the pixels, so that asking costs no image's memory. A single-scan JPEG's
// status decodes only its entropy-coded data, and the image decodes it again, with the pixels. A
// progressive or multi-scan JPEG keeps the coefficients of the whole image while its scans are
// decoded, whoever asks (2 bytes per sample of each component as sampled: 3 bytes per pixel for
// YCbCr 4:2:0, 6 for 4:4:4, 8 for CMYK); that stream becomes the source's own, so that its status
// decodes each scan once and the image asked for next is one output pass. The source then holds
// the coefficients until the image has been made, or the source goes.
//
//   auto source = CGImageSourceCreateWithData(data, nil);
//   auto props = CGImageSourceCopyPropertiesAtIndex(source, 0, nil);
//   auto width = dv::as<NSNumber>(props->objectForKey(kCGImagePropertyPixelWidth));
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"
#include "platform/graphics/CGImage.h"

#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace dv::internal::graphics {
class ImageStream;
enum class StreamState;
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
// In the source's properties, only when some were: the number of frames of an animation left out
// because all of them would need more memory than one animation may take. Not a platform key.
extern const Ref<NSString> kCGImagePropertyFramesOmitted; // NSNumber

class CGImageSource : public NSObject {
    DV_CLASS(CGImageSource, NSObject)

    CGImageSource();
    ~CGImageSource() override;
    // Nothing is decoded yet: the stream reads the data when an answer needs it.
    Ref<CGImageSource> initWithData(const Ref<NSData>& data, bool final);

    void updateData(const Ref<NSData>& data, bool final);
    Ref<NSString> type();
    CGImageSourceStatus status();
    std::size_t count();
    Ref<NSDictionary> properties();
    Ref<NSDictionary> propertiesAtIndex(std::size_t index);
    CGImageRef imageAtIndex(std::size_t index);

private:
    void reset() DV_REQUIRES(m_mutex);
    bool continuesReceived(std::span<const std::uint8_t> bytes) const DV_REQUIRES(m_mutex);
    Ref<NSData> keep(const Ref<NSData>& data, std::span<const std::uint8_t> bytes) DV_REQUIRES(m_mutex);
    // The stream is given the bytes when an answer needs them: all of them for the status and
    // the images, enough for the header for the count and the properties.
    void feedAll() DV_REQUIRES(m_mutex);
    void feedHeader() DV_REQUIRES(m_mutex);
    std::size_t countLocked() DV_REQUIRES(m_mutex);

    dv::Mutex m_mutex;
    std::unique_ptr<dv::internal::graphics::ImageStream> m_stream DV_GUARDED_BY(m_mutex);
    int m_format DV_GUARDED_BY(m_mutex) = 0;
    bool m_final DV_GUARDED_BY(m_mutex) = false;
    // What has been received, remembered by its length and its first and last bytes. The bytes
    // are kept until the stream has had them (for immutable data, by reference; data that may
    // change is given to the stream at once instead), and for good by a stream that reads them
    // again.
    std::size_t m_length DV_GUARDED_BY(m_mutex) = 0;
    std::vector<std::uint8_t> m_head DV_GUARDED_BY(m_mutex);
    std::vector<std::uint8_t> m_tail DV_GUARDED_BY(m_mutex);
    Ref<NSData> m_input DV_GUARDED_BY(m_mutex);       // not yet all given to the stream, or kept for it
    Ref<NSMutableData> m_copy DV_GUARDED_BY(m_mutex); // the kept bytes when the caller's data may change under us
    std::size_t m_fed DV_GUARDED_BY(m_mutex) = 0;     // bytes the stream has had
    bool m_fedFinal DV_GUARDED_BY(m_mutex) = false;
    const std::uint8_t* m_fedBytes DV_GUARDED_BY(m_mutex) = nullptr;
    bool m_imageAsked DV_GUARDED_BY(m_mutex) = false; // the stream decodes pixels: its own state is the answer
    std::optional<dv::internal::graphics::StreamState> m_verdict DV_GUARDED_BY(m_mutex); // of complete data whose pixels were not kept
};

using CGImageSourceRef = Ref<CGImageSource>;

// nil for nil data. Mutable data is copied. Options are accepted and ignored. Reading the count or
// the properties decodes no more than the header's bytes; the status and the images decode all.
CGImageSourceRef CGImageSourceCreateWithData(const Ref<NSData>& data, const Ref<NSDictionary>& options);
CGImageSourceRef CGImageSourceCreateIncremental(const Ref<NSDictionary>& options);
// `data` is everything received so far; `final` says no more will come. Data that does not
// continue what was received before starts the source over. Mutable data (a download's buffer)
// is decoded at once, so that the source need not copy it.
void CGImageSourceUpdateData(const CGImageSourceRef& source, const Ref<NSData>& data, bool final);
// The uniform type ("public.jpeg", "public.png", "com.compuserve.gif", "org.webmproject.webp",
// "public.tiff", "com.microsoft.bmp", "com.microsoft.ico"), nil when unrecognised.
Ref<NSString> CGImageSourceGetType(const CGImageSourceRef& source);
CGImageSourceStatus CGImageSourceGetStatus(const CGImageSourceRef& source);
// Images that can be decoded: frames fully received for a GIF animation (a WebP animation's once
// its file is whole), 1 for a still image whose header has arrived (an icon answers its largest
// entry); 0 for unrecognised bytes, for refused images and for TIFF, which is recognised only.
std::size_t CGImageSourceGetCount(const CGImageSourceRef& source);
Ref<NSDictionary> CGImageSourceCopyProperties(const CGImageSourceRef& source, const Ref<NSDictionary>& options);
Ref<NSDictionary> CGImageSourceCopyPropertiesAtIndex(const CGImageSourceRef& source, std::size_t index,
    const Ref<NSDictionary>& options);
CGImageRef CGImageSourceCreateImageAtIndex(const CGImageSourceRef& source, std::size_t index, const Ref<NSDictionary>& options);
