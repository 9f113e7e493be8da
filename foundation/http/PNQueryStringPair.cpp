#include "foundation/http/PNQueryStringPair.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSCharacterSet.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNull.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSString.h"

#include <algorithm>

DV_DEFINE_CLASS(PNQueryStringPair)

Ref<PNQueryStringPair> PNQueryStringPair::initWithField(const id& field, const id& value)
{
    NSObject::init();
    m_field = field;
    m_value = value;
    return self<PNQueryStringPair>();
}

namespace {

Ref<NSString> descriptionOf(const id& object)
{
    return object ? object->description() : "(null)"_ns;
}

Ref<NSCharacterSet> queryAllowedCharacters()
{
    static const Ref<NSCharacterSet> allowed = dv::keepingForever([] {
        auto set = dv::as<NSMutableCharacterSet>(NSCharacterSet::URLQueryAllowedCharacterSet()->mutableCopy());
        set->removeCharactersInString(":#[]@!$&'()*+,;="_ns);
        return dv::copyAs<NSCharacterSet>(set);
    });
    return allowed;
}

// Ascending by description, with the platform's literal comparison.
std::vector<id> sortedByDescription(std::vector<id> items)
{
    std::stable_sort(items.begin(), items.end(), [](const id& a, const id& b) {
        return descriptionOf(a)->compare(descriptionOf(b)) == NSOrderedAscending;
    });
    return items;
}

void appendPairs(const id& key, const id& value, const Ref<NSMutableArray>& pairs)
{
    if (auto dictionary = dv::as<NSDictionary>(value)) {
        for (const id& nestedKey : sortedByDescription(dictionary->allKeys()->items())) {
            id nestedValue = dictionary->objectForKey(nestedKey);
            if (!nestedValue)
                continue;
            id field = key ? id(NSString::stringWithFormat("%@[%@]", key, nestedKey)) : nestedKey;
            appendPairs(field, nestedValue, pairs);
        }
    } else if (auto array = dv::as<NSArray>(value)) {
        id field = NSString::stringWithFormat("%@[]", key);
        for (const id& element : *array)
            appendPairs(field, element, pairs);
    } else if (auto set = dv::as<NSSet>(value)) {
        for (const id& member : sortedByDescription(set->items()))
            appendPairs(key, member, pairs);
    } else {
        pairs->addObject(alloc<PNQueryStringPair>()->initWithField(key, value));
    }
}

} // namespace

Ref<NSString> PNPercentEscapeString(const Ref<NSString>& string)
{
    if (!string)
        return nil;
    // Escaped in batches of whole composed character sequences, so no batch ever splits a
    // surrogate pair or a combining sequence.
    constexpr NSUInteger batchSize = 50;
    const std::u16string units = string->utf16();
    const NSUInteger length = units.size();
    auto isHigh = [](char16_t c) { return c >= 0xD800 && c <= 0xDBFF; };
    auto isLow = [](char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; };
    auto isCombining = [](char16_t c) {
        return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) || (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x20D0 && c <= 0x20FF)
            || (c >= 0xFE20 && c <= 0xFE2F) || (c >= 0xFE00 && c <= 0xFE0F) || c == 0x200D;
    };
    auto escaped = NSMutableString::string();
    auto allowed = queryAllowedCharacters();
    NSUInteger index = 0;
    while (index < length) {
        NSUInteger end = std::min(length, index + batchSize);
        // Widen to the end of the sequence that the batch boundary would cut.
        while (end < length && (isLow(units[end]) || isCombining(units[end]) || (end > 0 && units[end - 1] == 0x200D)))
            ++end;
        if (end < length && end > index && isHigh(units[end - 1]))
            ++end;
        auto piece = NSString::stringWithCharacters(units.data() + index, end - index);
        escaped->appendString(piece->stringByAddingPercentEncodingWithAllowedCharacters(allowed));
        index = end;
    }
    return dv::copyAs<NSString>(escaped);
}

Ref<NSString> PNQueryStringPair::URLEncodedStringValue() const
{
    if (!m_value || m_value->isEqual(NSNull::null().get()))
        return PNPercentEscapeString(descriptionOf(m_field));
    return NSString::stringWithFormat("%@=%@", PNPercentEscapeString(descriptionOf(m_field)), PNPercentEscapeString(descriptionOf(m_value)));
}

Ref<NSArray> PNQueryPairsFromKeyValue(const id& key, const id& value)
{
    auto pairs = NSMutableArray::array();
    appendPairs(key, value, pairs);
    return pairs;
}

Ref<NSString> PNQueryStringFromParameters(const id& parameters)
{
    auto parts = NSMutableArray::array();
    auto pairs = PNQueryPairsFromKeyValue(nil, parameters);
    for (const id& pair : *pairs)
        parts->addObject(std::static_pointer_cast<PNQueryStringPair>(pair)->URLEncodedStringValue());
    return parts->componentsJoinedByString("&"_ns);
}
