#include "ImageSourceFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    dv::fuzz::exerciseImageSource(data, size, std::string_view("RIFF\0\0\0\0WEBP", 12));
    return 0;
}
