// Text in every encoding the platform reads: the first byte picks the encoding, the rest is the
// text. Bytes decode to a string or nil; a decoded string that encodes again decodes to itself.
#include "FuzzEncodings.h"

#include "platform/base/NSData.h"
#include "platform/base/NSString.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    NSStringEncoding encoding = dv::fuzz::textEncodings()[data[0] % dv::fuzz::textEncodings().size()];
    auto bytes = NSData::dataWithBytes(data + 1, size - 1);
    auto text = alloc<NSString>()->initWithData(bytes, encoding);
    if (!text)
        return 0;
    (void)text->UTF8String();
    (void)text->canBeConvertedToEncoding(encoding);
    (void)text->dataUsingEncoding(encoding, true);
    auto encoded = text->dataUsingEncoding(encoding);
    if (!encoded)
        return 0;
    auto decoded = alloc<NSString>()->initWithData(encoded, encoding);
    if (!decoded)
        std::abort();
    // A leading U+FEFF written out reads back as a byte-order mark, which is dropped.
    std::string_view original = text->utf8();
    std::string_view again = decoded->utf8();
    if (again != original && !(original.starts_with("\xEF\xBB\xBF") && again == original.substr(3)))
        std::abort();
    return 0;
}
