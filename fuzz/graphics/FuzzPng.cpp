#include "ImageSourceFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    dv::fuzz::exerciseImageSource(data, size, std::string_view("\x89PNG\r\n\x1a\n", 8));
    return 0;
}
