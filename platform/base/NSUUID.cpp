#include "platform/base/NSUUID.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/base/internal/Hex.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>
#include <random>

DV_DEFINE_CLASS(NSUUID)

namespace {

void fillRandom(std::uint8_t* bytes, std::size_t count)
{
    std::size_t filled = 0;
    while (filled < count) {
        ssize_t got = ::getrandom(bytes + filled, count - filled, 0);
        if (got > 0) {
            filled += static_cast<std::size_t>(got);
        } else if (got < 0 && errno != EINTR) {
            // No kernel source (very old kernels, seccomp): fall back to the library's device.
            std::random_device device;
            for (; filled < count; ++filled)
                bytes[filled] = static_cast<std::uint8_t>(device());
        }
    }
}


} // namespace

Ref<NSUUID> NSUUID::init()
{
    NSObject::init();
    fillRandom(m_bytes.data(), m_bytes.size());
    m_bytes[6] = static_cast<std::uint8_t>((m_bytes[6] & 0x0F) | 0x40); // version 4
    m_bytes[8] = static_cast<std::uint8_t>((m_bytes[8] & 0x3F) | 0x80); // RFC 4122 variant
    return self<NSUUID>();
}

Ref<NSUUID> NSUUID::initWithUUIDString(const Ref<NSString>& string)
{
    NSObject::init();
    if (!string)
        return nil;
    const std::string& text = string->utf8();
    if (text.size() != 36)
        return nil;
    std::size_t byte = 0;
    for (std::size_t i = 0; i < 36;) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-')
                return nil;
            ++i;
            continue;
        }
        int high = dv::internal::base::hexDigitValue(text[i]), low = dv::internal::base::hexDigitValue(text[i + 1]);
        if (high < 0 || low < 0)
            return nil;
        m_bytes[byte++] = static_cast<std::uint8_t>(high * 16 + low);
        i += 2;
    }
    return self<NSUUID>();
}

Ref<NSUUID> NSUUID::initWithUUIDBytes(const std::uint8_t bytes[16])
{
    NSObject::init();
    if (bytes)
        std::memcpy(m_bytes.data(), bytes, 16);
    return self<NSUUID>();
}

Ref<NSUUID> NSUUID::UUID() { return alloc<NSUUID>()->init(); }

Ref<NSString> NSUUID::UUIDString() const
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char text[36];
    std::size_t out = 0;
    for (std::size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text[out++] = '-';
        text[out++] = kDigits[m_bytes[i] >> 4];
        text[out++] = kDigits[m_bytes[i] & 15];
    }
    return NSString::fromUTF8(std::string_view(text, sizeof text));
}

void NSUUID::getUUIDBytes(std::uint8_t bytes[16]) const
{
    if (bytes)
        std::memcpy(bytes, m_bytes.data(), 16);
}

NSComparisonResult NSUUID::compare(const Ref<NSUUID>& other) const
{
    if (!other)
        return NSOrderedDescending;
    int c = std::memcmp(m_bytes.data(), other->m_bytes.data(), 16);
    return c < 0 ? NSOrderedAscending : c > 0 ? NSOrderedDescending : NSOrderedSame;
}

Ref<NSString> NSUUID::description() const
{
    return NSString::stringWithFormat("<__NSConcreteUUID %p> %@", static_cast<const void*>(this), UUIDString());
}

bool NSUUID::isEqual(const NSObject* other) const
{
    auto uuid = dynamic_cast<const NSUUID*>(other);
    return uuid && uuid->m_bytes == m_bytes;
}

NSUInteger NSUUID::hash() const
{
    std::uint64_t a, b;
    std::memcpy(&a, m_bytes.data(), 8);
    std::memcpy(&b, m_bytes.data() + 8, 8);
    return a ^ (b * 0x9e3779b97f4a7c15ULL);
}

id NSUUID::copyWithZone(NSZone*) const { return std::const_pointer_cast<NSObject>(shared_from_this()); }
