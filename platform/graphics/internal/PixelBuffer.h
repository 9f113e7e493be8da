// Memory for the pixels of images and bitmaps, shared between an image and its crops through
// shared_ptr. Either way it is made, memory is taken only as bytes are written: a decoder can
// reserve the canvas that a header claims and let the memory follow the rows that the data
// actually fills.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace dv::internal::graphics {

class PixelBuffer {
public:
    // Reads as zero until written; a large one is mapped from the kernel, whose untouched pages
    // take no memory. For canvases that show what was never drawn on them.
    static std::shared_ptr<PixelBuffer> zeroed(std::size_t size);
    // Bytes of no particular value, from the allocator (which reuses freed memory, so no page is
    // zeroed or faulted in anew). For rows that are written before anything shows them. Both
    // answer nullptr when the memory cannot be had.
    static std::shared_ptr<PixelBuffer> uninitialised(std::size_t size);
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

} // namespace dv::internal::graphics
