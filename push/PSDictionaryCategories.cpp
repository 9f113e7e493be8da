#include "push/PSDictionaryCategories.h"

#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"

#include <mutex>

namespace {

// The report timestamp that two otherwise identical reports may differ in.
constexpr std::string_view s_ignoredKey = "itime";

bool isIgnoredKey(const id& key)
{
    auto* string = dynamic_cast<const NSString*>(key.get());
    return string && string->utf8() == s_ignoredKey;
}

} // namespace

bool ps_reportEqual(const NSDictionary& dictionary, const NSObject* other)
{
    auto* that = dynamic_cast<const NSDictionary*>(other);
    if (!that)
        return false;
    if (that == &dictionary)
        return true;
    // Same as comparing copies with "itime" removed, without making the copies.
    NSUInteger ownCount = 0;
    for (auto& [key, value] : dictionary) {
        if (isIgnoredKey(key))
            continue;
        ++ownCount;
        if (!dv::equal(value, that->objectForKey(key)))
            return false;
    }
    NSUInteger otherCount = 0;
    for (auto& entry : *that)
        otherCount += isIgnoredKey(entry.first) ? 0 : 1;
    return ownCount == otherCount;
}

NSUInteger ps_reportHash(const NSDictionary& dictionary)
{
    NSUInteger count = dictionary.count();
    return dictionary.objectForKey(s_ignoredKey) ? count - 1 : count;
}

void PSInstallDictionaryCategories()
{
    static std::once_flag once;
    std::call_once(once, [] { dv::setDictionaryBehaviour({ps_reportEqual, ps_reportHash}); });
}
