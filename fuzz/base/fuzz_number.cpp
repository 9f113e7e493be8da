// String-to-number conversions and decimal parsing on arbitrary bytes.
#include "platform/base/NSDecimalNumber.h"
#include "platform/base/NSString.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto s = NSString::fromUTF8(std::string_view(reinterpret_cast<const char*>(data), size));
    (void)s->intValue();
    (void)s->integerValue();
    (void)s->longLongValue();
    (void)s->unsignedLongLongValue();
    (void)s->doubleValue();
    (void)s->floatValue();
    (void)s->boolValue();

    auto d = NSDecimalNumber::decimalNumberWithString(s);
    auto text = d->stringValue();
    // The printed form parses back to the same value.
    auto again = NSDecimalNumber::decimalNumberWithString(text);
    if (!again->isEqual(d) || again->stringValue()->utf8() != text->utf8())
        std::abort();
    (void)d->doubleValue();
    (void)d->longLongValue();
    (void)d->decimalValue();
    (void)d->decimalNumberByAdding(again);
    (void)d->decimalNumberByMultiplyingBy(again);
    (void)d->decimalNumberByDividingBy(again);
    (void)d->decimalNumberBySubtracting(NSDecimalNumber::one());
    (void)d->compare(NSDecimalNumber::one());
    return 0;
}
