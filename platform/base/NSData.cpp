#include "platform/base/NSData.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSException.h"
#include "platform/base/NSString.h"
#include "platform/base/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

DV_DEFINE_CLASS(NSData)
DV_DEFINE_CLASS(NSMutableData)

namespace {

[[noreturn]] void raiseRange(const char* method, NSRange range, NSUInteger length)
{
    NSException::raise(NSRangeException, std::string("-[NSData ") + method + "]: range {" + std::to_string(range.location) + ", "
                                             + std::to_string(range.length) + "} exceeds data length " + std::to_string(length));
}

bool fits(NSRange range, NSUInteger length) { return range.location <= length && range.length <= length - range.location; }

} // namespace

Ref<NSData> NSData::data() { return alloc<NSData>(); }

Ref<NSData> NSData::dataWithBytes(const void* bytes, NSUInteger length) { return alloc<NSData>()->initWithBytes(bytes, length); }

Ref<NSData> NSData::dataWithData(const Ref<NSData>& other)
{
    return other ? std::make_shared<NSData>(other->m_bytes) : data();
}

Ref<NSData> NSData::dataWithVector(std::vector<std::uint8_t> bytes) { return std::make_shared<NSData>(std::move(bytes)); }

Ref<NSData> NSData::fromString(std::string_view bytes)
{
    return std::make_shared<NSData>(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

Ref<NSData> NSData::dataWithContentsOfFile(const Ref<NSString>& path)
{
    if (!path)
        return nullptr;
    // Read with plain calls: a folder (or any read error) is a missing file, where a stream
    // would throw from the middle of its read.
    const int fd = ::open(path->UTF8String(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    // Read straight into the buffer; a file that grows meanwhile (or one of unknown size) makes
    // it grow.
    std::vector<std::uint8_t> bytes(S_ISREG(st.st_mode) && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 64 * 1024);
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size())
            bytes.resize(bytes.size() * 2);
        const ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return nullptr;
        }
        used += static_cast<std::size_t>(n);
    }
    bytes.resize(used);
    ::close(fd);
    return dataWithVector(std::move(bytes));
}

Ref<NSData> NSData::initWithBytes(const void* bytes, NSUInteger length)
{
    if (bytes && length)
        m_bytes.assign(static_cast<const std::uint8_t*>(bytes), static_cast<const std::uint8_t*>(bytes) + length);
    return self<NSData>();
}

void NSData::getBytes(void* buffer, NSUInteger length) const
{
    if (buffer)
        std::memcpy(buffer, m_bytes.data(), std::min<NSUInteger>(length, m_bytes.size()));
}

void NSData::getBytes(void* buffer, NSRange range) const
{
    if (!fits(range, m_bytes.size()))
        raiseRange("getBytes:range:", range, m_bytes.size());
    if (buffer && range.length)
        std::memcpy(buffer, m_bytes.data() + range.location, range.length);
}

Ref<NSData> NSData::subdataWithRange(NSRange range) const
{
    if (!fits(range, m_bytes.size()))
        raiseRange("subdataWithRange:", range, m_bytes.size());
    return dataWithVector(std::vector<std::uint8_t>(m_bytes.begin() + static_cast<std::ptrdiff_t>(range.location),
                                                    m_bytes.begin() + static_cast<std::ptrdiff_t>(range.location + range.length)));
}

NSRange NSData::rangeOfData(const Ref<NSData>& needle, NSRange searchRange) const
{
    if (!needle)
        NSException::raise(NSInvalidArgumentException, "-[NSData rangeOfData:options:range:]: nil data");
    if (!fits(searchRange, m_bytes.size()))
        raiseRange("rangeOfData:options:range:", searchRange, m_bytes.size());
    const NSRange notFound {static_cast<NSUInteger>(NSNotFound), 0};
    if (needle->length() == 0)
        return notFound;
    auto first = m_bytes.begin() + static_cast<std::ptrdiff_t>(searchRange.location);
    auto last = first + static_cast<std::ptrdiff_t>(searchRange.length);
    auto it = std::search(first, last, needle->m_bytes.begin(), needle->m_bytes.end());
    if (it == last)
        return notFound;
    return NSMakeRange(static_cast<NSUInteger>(it - m_bytes.begin()), needle->length());
}

bool NSData::isEqualToData(const Ref<NSData>& other) const { return other && other->m_bytes == m_bytes; }

bool NSData::writeToFile(const Ref<NSString>& path, bool atomically) const
{
    if (!path)
        return false;
    if (atomically)
        return dv::writeFileAtomically(path->utf8(), view());
    std::ofstream out(path->utf8(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(m_bytes.data()), static_cast<std::streamsize>(m_bytes.size()));
    out.flush();
    return static_cast<bool>(out);
}

Ref<NSString> NSData::description() const
{
    static const char* hex = "0123456789abcdef";
    std::string out = "<";
    out.reserve(m_bytes.size() * 2 + m_bytes.size() / 4 + 2);
    for (std::size_t i = 0; i < m_bytes.size(); ++i) {
        if (i && i % 4 == 0)
            out.push_back(' ');
        out.push_back(hex[m_bytes[i] >> 4]);
        out.push_back(hex[m_bytes[i] & 15]);
    }
    out.push_back('>');
    return NSString::fromUTF8(out);
}

bool NSData::isEqual(const NSObject* other) const
{
    if (other == this)
        return true;
    auto* data = dynamic_cast<const NSData*>(other);
    return data && data->m_bytes == m_bytes;
}

NSUInteger NSData::hash() const
{
    // Like the platform, only the first bytes take part, so hashing large data stays cheap.
    std::string_view head = view().substr(0, 80);
    return std::hash<std::string_view>()(head) ^ m_bytes.size();
}

id NSData::copyWithZone(NSZone*) const { return std::const_pointer_cast<NSData>(self<NSData>()); }

id NSData::mutableCopyWithZone(NSZone*) const
{
    auto copy = alloc<NSMutableData>();
    copy->m_bytes = m_bytes;
    return copy;
}

Ref<NSMutableData> NSMutableData::data() { return alloc<NSMutableData>(); }

Ref<NSMutableData> NSMutableData::dataWithCapacity(NSUInteger capacity)
{
    auto d = alloc<NSMutableData>();
    d->m_bytes.reserve(std::min<NSUInteger>(capacity, 64u << 20));
    return d;
}

Ref<NSMutableData> NSMutableData::dataWithLength(NSUInteger length)
{
    auto d = alloc<NSMutableData>();
    d->m_bytes.resize(length);
    return d;
}

Ref<NSMutableData> NSMutableData::dataWithData(const Ref<NSData>& other)
{
    auto d = alloc<NSMutableData>();
    if (other)
        d->m_bytes = other->vector();
    return d;
}

void NSMutableData::appendBytes(const void* bytes, NSUInteger length)
{
    if (bytes && length)
        m_bytes.insert(m_bytes.end(), static_cast<const std::uint8_t*>(bytes), static_cast<const std::uint8_t*>(bytes) + length);
}

void NSMutableData::appendData(const Ref<NSData>& other)
{
    if (other)
        appendBytes(other->bytes(), other->length());
}

void NSMutableData::setLength(NSUInteger length) { m_bytes.resize(length); }
void NSMutableData::increaseLengthBy(NSUInteger extra) { m_bytes.resize(m_bytes.size() + extra); }

void NSMutableData::replaceBytesInRange(NSRange range, const void* bytes, NSUInteger length)
{
    if (!fits(range, m_bytes.size()))
        raiseRange("replaceBytesInRange:withBytes:length:", range, m_bytes.size());
    std::vector<std::uint8_t> replacement;
    if (bytes && length)
        replacement.assign(static_cast<const std::uint8_t*>(bytes), static_cast<const std::uint8_t*>(bytes) + length);
    else
        replacement.assign(length, 0);
    auto first = m_bytes.begin() + static_cast<std::ptrdiff_t>(range.location);
    first = m_bytes.erase(first, first + static_cast<std::ptrdiff_t>(range.length));
    m_bytes.insert(first, replacement.begin(), replacement.end());
}

void NSMutableData::resetBytesInRange(NSRange range)
{
    if (range.location + range.length > m_bytes.size())
        m_bytes.resize(range.location + range.length);
    std::fill_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(range.location), range.length, 0);
}

void NSMutableData::setData(const Ref<NSData>& other) { m_bytes = other ? other->vector() : std::vector<std::uint8_t>(); }

id NSMutableData::copyWithZone(NSZone*) const { return NSData::dataWithVector(m_bytes); }
