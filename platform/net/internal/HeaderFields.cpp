#include "platform/net/internal/HeaderFields.h"

#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"

#include <algorithm>
#include <cctype>

namespace dv::internal::net {

bool headerNamesEqual(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

std::optional<std::string> findHeader(const HeaderFields& fields, std::string_view name)
{
    for (auto& [n, v] : fields) {
        if (headerNamesEqual(n, name))
            return v;
    }
    return std::nullopt;
}

void setHeader(HeaderFields& fields, std::string_view name, std::string value)
{
    for (auto& [n, v] : fields) {
        if (headerNamesEqual(n, name)) {
            v = std::move(value);
            return;
        }
    }
    fields.emplace_back(std::string(name), std::move(value));
}

void removeHeader(HeaderFields& fields, std::string_view name)
{
    std::erase_if(fields, [&](auto& field) { return headerNamesEqual(field.first, name); });
}

bool sameHeaders(const HeaderFields& a, const HeaderFields& b)
{
    if (a.size() != b.size())
        return false;
    for (auto& [n, v] : a) {
        auto other = findHeader(b, n);
        if (!other || *other != v)
            return false;
    }
    return true;
}

Ref<NSDictionary> headerDictionary(const HeaderFields& fields)
{
    auto dict = NSMutableDictionary::dictionaryWithCapacity(fields.size());
    for (auto& [n, v] : fields)
        dict->setObjectForKey(NSString::fromUTF8(v), NSString::fromUTF8(n));
    return dict;
}

} // namespace dv::internal::net
