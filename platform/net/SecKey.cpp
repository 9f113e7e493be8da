#include "platform/net/SecKey.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSString.h"

#include <functional>
#include <string_view>

DV_DEFINE_CLASS(SecKey)

Ref<SecKey> SecKey::initWithDER(std::vector<std::uint8_t> der)
{
    m_der = std::move(der);
    return self<SecKey>();
}

Ref<NSString> SecKey::description() const
{
    return NSString::stringWithFormat("<SecKey %p: %lu bytes>", this, static_cast<unsigned long>(m_der.size()));
}

bool SecKey::isEqual(const NSObject* other) const
{
    auto* key = dynamic_cast<const SecKey*>(other);
    return key && key->m_der == m_der;
}

NSUInteger SecKey::hash() const
{
    return std::hash<std::string_view>()(std::string_view(reinterpret_cast<const char*>(m_der.data()), m_der.size()));
}

Ref<NSData> SecKeyCopyExternalRepresentation(const Ref<SecKey>& key, Ref<NSError>*)
{
    return key ? NSData::dataWithVector(key->der()) : nullptr;
}
