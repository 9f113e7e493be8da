// JSON reader: any bytes, every option combination; what parses must write and read back equal.
#include "platform/base/Base.h"
#include "platform/base/NSJSONSerialization.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    NSJSONReadingOptions options = data[0] & 7;
    Ref<NSError> error;
    id object = NSJSONSerialization::JSONObjectWithBytes(data + 1, size - 1, options, &error);
    if (!object) {
        if (!error)
            std::abort();
        return 0;
    }
    auto text = NSJSONSerialization::dataWithJSONObject(object, NSJSONWritingFragmentsAllowed, &error);
    if (!text)
        std::abort();
    id again = NSJSONSerialization::JSONObjectWithData(text, NSJSONReadingFragmentsAllowed, &error);
    if (!again)
        std::abort();
    return 0;
}
