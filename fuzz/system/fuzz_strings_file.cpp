// The strings-table reader on arbitrary bytes: never a crash, and every entry it gives is text.
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/system/NSBundle.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto table = dv::parseStringsFile(NSData::dataWithBytes(data, size));
    if (!table)
        return 0;
    for (const auto& [key, value] : *table)
        if (!dv::as<NSString>(key) || !dv::as<NSString>(value))
            std::abort();
    return 0;
}
