#include "ImageSourceFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    dv::fuzz::exerciseImageSource(data, size, std::string_view("GIF89a", 6));
    return 0;
}
