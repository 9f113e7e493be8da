// Memory for the pixels of images and bitmaps. A buffer comes zeroed; a large one is mapped
// straight from the kernel, so that its pages take memory only once they are written. A decoder
// can thus reserve the canvas that a header claims and let the memory follow the rows that the
// data actually fills. Shared between an image and its crops through shared_ptr; immutable once an
// image is made over it, except for rows that no image shows yet (see the image source).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace dv::internal {

class PixelBuffer {
public:
    // nullptr when the memory cannot be had.
    static std::shared_ptr<PixelBuffer> zeroed(std::size_t size);
    static std::shared_ptr<PixelBuffer> adopt(std::vector<std::uint8_t> bytes);

    PixelBuffer(const PixelBuffer&) = delete;
    PixelBuffer& operator=(const PixelBuffer&) = delete;
    ~PixelBuffer();

    std::uint8_t* data() { return m_data; }
    const std::uint8_t* data() const { return m_data; }
    std::size_t size() const { return m_size; }

private:
    enum class Kind { Vector, Heap, Mapped };
    PixelBuffer() = default;

    Kind m_kind = Kind::Vector;
    std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    std::vector<std::uint8_t> m_vector;
};

} // namespace dv::internal
