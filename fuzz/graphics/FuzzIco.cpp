#include "ImageSourceFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    dv::fuzz::exerciseImageSource(data, size, std::string_view("\0\0\1\0", 4));
    return 0;
}
