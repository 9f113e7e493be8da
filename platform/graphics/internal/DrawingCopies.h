// How the drawing backend reads an image's pixels. An image whose rows are already in one of the
// backend's layouts (premultiplied native-endian ARGB32, or the same with the alpha byte unused)
// is painted from its own storage. Any other is converted for the paint, and the converted copies
// are kept in one small cache shared by all images, bounded in bytes and dropping the least
// recently drawn first: an image drawn again soon is not converted again, yet no image keeps a
// second copy of its pixels for its whole life. Thread-safe.
#pragma once

#include "platform/graphics/CGImage.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace dv::internal::graphics {

struct DrawablePixels {
    std::shared_ptr<const void> owner; // keeps the rows alive while they are painted
    const std::uint8_t* rows = nullptr;
    std::size_t bytesPerRow = 0;
    bool opaque = false; // the fourth byte of each pixel is unused, not alpha
};

class DrawingCopies {
public:
    static DrawablePixels pixelsFor(const CGImage& image);
    // Called when an image that has a cached copy goes away.
    static void forget(const CGImage& image);

    // Bytes of converted copies held now, and the bound on them (48 MB by default).
    static std::size_t bytesHeld();
    static void setBudget(std::size_t bytes);
};

} // namespace dv::internal::graphics
