#include "ImageSourceFuzz.h"

// A RIFF container whose size field matches the input: the decoder refuses any other size before
// looking further. An input that is a whole WebP file already is taken as it is.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0) {
        dv::fuzz::exerciseBytes(std::vector<std::uint8_t>(data, data + size));
        return 0;
    }
    const std::uint32_t riffSize = std::uint32_t(size + 4);
    std::vector<std::uint8_t> bytes = {'R', 'I', 'F', 'F', std::uint8_t(riffSize), std::uint8_t(riffSize >> 8),
        std::uint8_t(riffSize >> 16), std::uint8_t(riffSize >> 24), 'W', 'E', 'B', 'P'};
    bytes.insert(bytes.end(), data, data + size);
    dv::fuzz::exerciseBytes(bytes);
    return 0;
}
