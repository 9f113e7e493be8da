// How large a picture from elsewhere (a download, a file a cache kept of one) may be decoded: no
// more pixels than 4096 x 4096, 64 MB as drawn, all frames of a GIF animation together. The
// libraries that show such pictures ask before they decode, and refuse a larger one with an error
// of their own: a screen shows far fewer pixels, and one picture must not take the memory of the
// application. The answers come from the data's header (and a GIF's frame records) read by
// themselves: no decoder runs and no pixel is decoded, however well the data compresses. Any
// thread; the data must not change during the call.
//
//   if (dv::exceedsRemoteImageLimit(data)) return failure("too many pixels");
#pragma once

#include "platform/base/NSData.h"

#include <cstdint>
#include <optional>

namespace dv {

constexpr std::uint64_t kRemoteImageMaximumPixels = 4096ull * 4096ull;

struct ImageExtent {
    std::uint64_t width = 0, height = 0; // of the first image, in pixels
    std::uint64_t frames = 1;            // a GIF's frames whose records have arrived; 1 otherwise
    int exifOrientation = 0;             // recorded in a JPEG's header, 1...8; 0 when none
    // What decoding makes: the first image (the only one decoded, but for a GIF's every frame).
    std::uint64_t decodedPixels() const { return width * height * frames; }
};

// nullopt until the header has arrived, and for data that is no picture.
std::optional<ImageExtent> imageExtent(const Ref<NSData>& data);
bool exceedsRemoteImageLimit(const Ref<NSData>& data);

} // namespace dv
