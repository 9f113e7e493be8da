#include "platform/graphics/internal/DrawingCopies.h"

#include "platform/base/Mutex.h"
#include "platform/graphics/internal/PixelLayout.h"

#include <list>
#include <unordered_map>
#include <vector>

namespace dv::internal::graphics {

namespace {

using Copy = std::shared_ptr<const std::vector<std::uint32_t>>;

struct Entry {
    const CGImage* image;
    Copy pixels;
    std::size_t bytes;
};

struct Cache {
    dv::Mutex mutex;
    std::list<Entry> recent DV_GUARDED_BY(mutex); // most recently drawn first
    std::unordered_map<const CGImage*, std::list<Entry>::iterator> index DV_GUARDED_BY(mutex);
    std::size_t bytes DV_GUARDED_BY(mutex) = 0;
    std::size_t budget DV_GUARDED_BY(mutex) = 48u << 20;

    void trim() DV_REQUIRES(mutex)
    {
        while (bytes > budget && !recent.empty()) {
            bytes -= recent.back().bytes;
            index.erase(recent.back().image);
            recent.pop_back();
        }
    }
};

Cache& cache()
{
    static Cache* c = new Cache(); // never destroyed: images may outlive static destruction
    return *c;
}

bool drawsDirectly(const CGImage& image, bool& opaque)
{
    if (image.bitsPerComponent() != 8 || image.bitsPerPixel() != 32
        || CGColorSpaceGetModel(image.colorSpace()) != kCGColorSpaceModelRGB
        || (image.bitmapInfo() & kCGBitmapByteOrderMask) != kCGBitmapByteOrder32Little
        || (image.bitmapInfo() & kCGBitmapFloatComponents) || image.bytesPerRow() % 4 != 0
        || reinterpret_cast<std::uintptr_t>(image.bytes()) % 4 != 0)
        return false;
    if (image.alphaInfo() == kCGImageAlphaPremultipliedFirst) {
        opaque = false;
        return true;
    }
    if (image.alphaInfo() == kCGImageAlphaNoneSkipFirst) {
        opaque = true;
        return true;
    }
    return false;
}

} // namespace

DrawablePixels DrawingCopies::pixelsFor(const CGImage& image)
{
    bool opaque = false;
    if (drawsDirectly(image, opaque))
        return {image.storage(), image.bytes(), image.bytesPerRow(), opaque};

    Cache& c = cache();
    {
        dv::MutexLocker lock(c.mutex);
        if (auto it = c.index.find(&image); it != c.index.end()) {
            c.recent.splice(c.recent.begin(), c.recent, it->second);
            const Copy& pixels = it->second->pixels;
            return {pixels, reinterpret_cast<const std::uint8_t*>(pixels->data()), image.width() * 4, false};
        }
    }
    auto layout = pixelLayoutFor(image.bitsPerComponent(), image.bitsPerPixel(), CGColorSpaceGetModel(image.colorSpace()),
        image.bitmapInfo());
    auto converted = std::make_shared<std::vector<std::uint32_t>>(image.width() * image.height());
    convertToPremultipliedARGB32(image, *layout, reinterpret_cast<std::uint8_t*>(converted->data()), image.width() * 4);
    Copy pixels = std::move(converted);
    const std::size_t bytes = pixels->size() * 4;
    {
        dv::MutexLocker lock(c.mutex);
        if (bytes <= c.budget && !c.index.count(&image)) {
            c.recent.push_front({&image, pixels, bytes});
            c.index.emplace(&image, c.recent.begin());
            c.bytes += bytes;
            image.m_hasDrawingCopy.store(true, std::memory_order_relaxed);
            c.trim();
        }
    }
    return {pixels, reinterpret_cast<const std::uint8_t*>(pixels->data()), image.width() * 4, false};
}

void DrawingCopies::forget(const CGImage& image)
{
    Cache& c = cache();
    dv::MutexLocker lock(c.mutex);
    auto it = c.index.find(&image);
    if (it == c.index.end())
        return;
    c.bytes -= it->second->bytes;
    c.recent.erase(it->second);
    c.index.erase(it);
}

std::size_t DrawingCopies::bytesHeld()
{
    Cache& c = cache();
    dv::MutexLocker lock(c.mutex);
    return c.bytes;
}

void DrawingCopies::setBudget(std::size_t bytes)
{
    Cache& c = cache();
    dv::MutexLocker lock(c.mutex);
    c.budget = bytes;
    c.trim();
}

} // namespace dv::internal::graphics
