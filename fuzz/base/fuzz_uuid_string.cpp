// UUID strings from anywhere: a string is a UUID or nil, and a UUID's canonical string reads
// back as the same UUID.
#include "platform/base/NSString.h"
#include "platform/base/NSUUID.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto text = NSString::fromUTF8(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!text)
        return 0;
    auto uuid = alloc<NSUUID>()->initWithUUIDString(text);
    if (!uuid)
        return 0;
    auto canonical = uuid->UUIDString();
    if (!canonical || canonical->length() != 36 || !canonical->isEqualToString(canonical->uppercaseString()))
        std::abort();
    auto again = alloc<NSUUID>()->initWithUUIDString(canonical);
    std::uint8_t first[16], second[16];
    uuid->getUUIDBytes(first);
    if (!again)
        std::abort();
    again->getUUIDBytes(second);
    if (std::memcmp(first, second, 16) != 0 || !again->isEqual(uuid.get()) || again->hash() != uuid->hash())
        std::abort();
    // Case does not matter when reading.
    auto lower = alloc<NSUUID>()->initWithUUIDString(canonical->lowercaseString());
    if (!lower || !lower->isEqual(uuid.get()))
        std::abort();
    return 0;
}
