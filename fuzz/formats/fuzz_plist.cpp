// Property-list reader (binary, XML, text) and the keyed unarchiver over the same bytes.
#include "platform/base/Base.h"
#include "platform/base/NSKeyedUnarchiver.h"
#include "platform/base/NSPropertyListSerialization.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto bytes = NSData::dataWithBytes(data, size);
    Ref<NSError> error;
    NSPropertyListFormat format = 0;
    id plist = NSPropertyListSerialization::propertyListWithData(bytes, size % 3, &format, &error);
    if (plist) {
        // What was read must write in binary and come back equal (NaN reals aside).
        auto binary = NSPropertyListSerialization::dataWithPropertyList(plist, NSPropertyListBinaryFormat_v1_0, 0, &error);
        if (!binary)
            std::abort();
        if (!NSPropertyListSerialization::propertyListWithData(binary, 0, nullptr, &error))
            std::abort();
    } else if (!error) {
        std::abort();
    }
    (void)NSKeyedUnarchiver::unarchiveTopLevelObjectWithData(bytes, &error);
    return 0;
}
