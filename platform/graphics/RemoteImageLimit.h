// How large a picture from elsewhere (a download, a file a cache kept of one) may be decoded: no
// more pixels than 4096 x 4096, 64 MB as drawn, all frames of an animation (GIF or WebP) together.
// The libraries that show such pictures ask before they decode, and refuse a larger one with an
// error of their own: a screen shows far fewer pixels, and one picture must not take the memory of
// the application. The answers come from the data's header (and a GIF's frame records, a WebP's
// frame chunks) read by themselves: no decoder runs and no pixel is decoded, however well the
// data compresses. Any thread; the data must not change during the call.
//
//   if (dv::exceedsRemoteImageLimit(data)) return failure("too many pixels");
#pragma once

#include "platform/base/NSData.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace dv::internal::graphics {
class ImageStream;
class WebpFrameCounter;
}

namespace dv {

constexpr std::uint64_t kRemoteImageMaximumPixels = 4096ull * 4096ull;

struct ImageExtent {
    std::uint64_t width = 0, height = 0; // of the first image, in pixels
    // An animation's frames that have arrived (a GIF's frame records, a WebP's frame chunks); 1
    // for a still picture.
    std::uint64_t frames = 1;
    int exifOrientation = 0; // recorded in a JPEG's header, 1...8; 0 when none
    // What decoding makes: the first image, or every frame of an animation, each as large as the
    // first image (an animation's frames are composed on its whole canvas).
    std::uint64_t decodedPixels() const { return width * height * frames; }
};

// nullopt until the header has arrived, and for data that is no picture.
std::optional<ImageExtent> imageExtent(const Ref<NSData>& data);
bool exceedsRemoteImageLimit(const Ref<NSData>& data);

// The extent of data that arrives in pieces, so that a download can stop as soon as what has come
// is past the limit. Each update is handed everything received so far and reads only what it has
// not read before: the header until it is in, then a GIF's frame records or a WebP's chunk headers
// one by one, so following a whole download costs about one imageExtent of it. One per download;
// not thread-safe.
//
//   auto extent = reader.update(received);
//   if (extent && extent->decodedPixels() > dv::kRemoteImageMaximumPixels) stop();
class ImageExtentReader {
public:
    ImageExtentReader();
    ~ImageExtentReader();
    ImageExtentReader(const ImageExtentReader&) = delete;
    ImageExtentReader& operator=(const ImageExtentReader&) = delete;

    // What `data` shows, as imageExtent would answer for it.
    std::optional<ImageExtent> update(const Ref<NSData>& data);

private:
    std::unique_ptr<internal::graphics::ImageStream> m_gifFrames; // a GIF's records, read as they come
    std::unique_ptr<internal::graphics::WebpFrameCounter> m_webpFrames;
    std::optional<ImageExtent> m_extent;
};

} // namespace dv
