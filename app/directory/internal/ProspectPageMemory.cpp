#include "app/directory/internal/ProspectPageMemory.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/system/NSUserDefaults.h"

#include <charconv>
#include <optional>
#include <string>

namespace dv::internal::directory {

namespace {

// A page as written: decimal digits only, within range.
std::optional<NSInteger> pageOfText(const Ref<NSString>& text)
{
    if (!text)
        return std::nullopt;
    const std::string digits = dv::str(text);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    NSInteger page = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), page);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return page;
}

// The parts of an entry split on "-"; nil for an entry that is not a text.
Ref<NSArray> partsOf(const id& entry)
{
    auto text = dv::as<NSString>(entry);
    auto parts = text ? text->componentsSeparatedByString("-"_ns) : nil;
    return parts && parts->count() > 0 ? parts : nil;
}

bool sameText(const id& part, const Ref<NSString>& text)
{
    auto partText = dv::as<NSString>(part);
    return text && partText && partText->isEqualToString(text);
}

} // namespace

NSInteger ProspectPageMemory::rememberedPage() const
{
    auto entries = dv::as<NSArray>(NSUserDefaults::standardUserDefaults()->objectForKey(defaultsKey));
    if (!entries)
        return 0;
    const NSUInteger partsNeeded = prefix ? 3 : 2;
    NSInteger page = 0;
    for (const id& entry : *entries) {
        auto parts = partsOf(entry);
        if (!parts || parts->count() < partsNeeded || !sameText(parts->objectAtIndex(0), listKey))
            continue;
        if (prefix && !sameText(parts->objectAtIndex(1), prefix))
            continue;
        if (auto remembered = pageOfText(dv::as<NSString>(parts->lastObject())))
            page = *remembered; // the last matching entry wins
    }
    return page;
}

void ProspectPageMemory::remember(NSInteger page) const
{
    auto defaults = NSUserDefaults::standardUserDefaults();
    auto entries = NSMutableArray::array();
    if (auto stored = dv::as<NSArray>(defaults->objectForKey(defaultsKey))) {
        for (const id& entry : *stored) {
            auto parts = partsOf(entry);
            if (!parts || !sameText(parts->objectAtIndex(0), listKey))
                entries->addObject(entry);
        }
    }
    auto entry = prefix ? NSString::stringWithFormat("%@-%@-%ld", listKey, prefix, static_cast<long>(page))
                        : NSString::stringWithFormat("%@-%ld", listKey, static_cast<long>(page));
    entries->addObject(entry);
    defaults->setObjectForKey(entries, defaultsKey);
}

} // namespace dv::internal::directory
