// The limit on remote pictures counts every frame the GIF decoder would decode: for each input,
// frames x screen from imageExtent is at least the decoder's frames (those it keeps and those past
// its memory limit) x screen, for the whole input and for each prefix, read by a fresh decoder and
// by one fed the same pieces as a download. The first byte chooses the pieces; the rest is a GIF,
// with a signature put in front when it has none.
#include "FrameCountFuzz.h"

#include "platform/graphics/internal/GifDecoder.h"

#include <cstring>

namespace {

std::uint64_t decodedPixels(const dv::internal::graphics::GifDecoder& decoder)
{
    const auto screen = decoder.header();
    return screen ? std::uint64_t(decoder.count() + decoder.framesOmitted()) * screen->width * screen->height : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    std::vector<std::uint8_t> file;
    if (size < 7 || (std::memcmp(data + 1, "GIF89a", 6) != 0 && std::memcmp(data + 1, "GIF87a", 6) != 0))
        file = {'G', 'I', 'F', '8', '9', 'a'};
    file.insert(file.end(), data + 1, data + size);
    dv::internal::graphics::GifDecoder following;
    dv::fuzz::compareFrameCounts(data[0], file,
        {
            [](std::span<const std::uint8_t> bytes) {
                dv::internal::graphics::GifDecoder decoder;
                decoder.update(bytes, true);
                return decodedPixels(decoder);
            },
            [&](std::span<const std::uint8_t> bytes, bool final) {
                dv::internal::graphics::GifDecoder fresh;
                fresh.update(bytes, final);
                following.update(bytes, final);
                return std::max(decodedPixels(fresh), decodedPixels(following));
            },
        });
    return 0;
}
