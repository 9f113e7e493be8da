// Base64 decoding, strict and lenient: decoded bytes must encode and decode back to themselves.
#include "platform/base/Base.h"
#include "platform/base/Base64.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto text = NSData::dataWithBytes(data, size);
    for (NSUInteger options : {NSUInteger(0), NSUInteger(NSDataBase64DecodingIgnoreUnknownCharacters)}) {
        auto decoded = NSData::dataWithBase64EncodedData(text, options);
        if (!decoded)
            continue;
        auto encoded = decoded->base64EncodedDataWithOptions(NSDataBase64Encoding76CharacterLineLength);
        auto again = NSData::dataWithBase64EncodedData(encoded, NSDataBase64DecodingIgnoreUnknownCharacters);
        if (!again || !again->isEqualToData(decoded))
            std::abort();
    }
    return 0;
}
