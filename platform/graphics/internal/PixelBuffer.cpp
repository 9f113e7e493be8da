#include "platform/graphics/internal/PixelBuffer.h"

#include <sys/mman.h>

#include <cstdlib>

namespace dv::internal::graphics {

namespace {
// Below this the allocator's own zeroed blocks are cheaper than a mapping of their own.
constexpr std::size_t kMapThreshold = 256 * 1024;
}

std::shared_ptr<PixelBuffer> PixelBuffer::zeroed(std::size_t size)
{
    std::shared_ptr<PixelBuffer> buffer(new PixelBuffer());
    buffer->m_size = size;
    if (size >= kMapThreshold) {
        // Anonymous pages read as zero and are only backed by memory once written.
        void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p == MAP_FAILED)
            return nullptr;
        buffer->m_kind = Kind::Mapped;
        buffer->m_data = static_cast<std::uint8_t*>(p);
        return buffer;
    }
    void* p = std::calloc(size ? size : 1, 1);
    if (!p)
        return nullptr;
    buffer->m_kind = Kind::Heap;
    buffer->m_data = static_cast<std::uint8_t*>(p);
    return buffer;
}

std::shared_ptr<PixelBuffer> PixelBuffer::uninitialised(std::size_t size)
{
    std::shared_ptr<PixelBuffer> buffer(new PixelBuffer());
    void* p = std::malloc(size ? size : 1);
    if (!p)
        return nullptr;
    buffer->m_kind = Kind::Heap;
    buffer->m_data = static_cast<std::uint8_t*>(p);
    buffer->m_size = size;
    return buffer;
}

std::shared_ptr<PixelBuffer> PixelBuffer::adopt(std::vector<std::uint8_t> bytes)
{
    std::shared_ptr<PixelBuffer> buffer(new PixelBuffer());
    buffer->m_vector = std::move(bytes);
    buffer->m_data = buffer->m_vector.data();
    buffer->m_size = buffer->m_vector.size();
    return buffer;
}

PixelBuffer::~PixelBuffer()
{
    if (m_kind == Kind::Mapped)
        ::munmap(m_data, m_size);
    else if (m_kind == Kind::Heap)
        std::free(m_data);
}

} // namespace dv::internal::graphics
