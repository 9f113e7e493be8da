#include "ImageSourceFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    dv::fuzz::exerciseImageSource(data, size, std::string_view("\xFF\xD8\xFF", 3));
    return 0;
}
