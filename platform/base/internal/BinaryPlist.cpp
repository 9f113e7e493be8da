// The binary property-list form "bplist00": objects, then a table of their offsets, then a
// 32-byte trailer (offset and reference widths, object count, root index, table offset).
#include "platform/base/internal/PropertyListFormats.h"

#include "platform/base/NSData.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSPropertyListSerialization.h"
#include "platform/base/NSString.h"
#include "platform/base/internal/CollectionAccess.h"
#include "platform/base/internal/TextCoding.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <unordered_map>

namespace dv::internal::base {

namespace {

std::uint64_t readBigEndian(const std::uint8_t* p, std::size_t width)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value = value << 8 | p[i];
    return value;
}

class BinaryReader {
public:
    BinaryReader(std::span<const std::uint8_t> bytes, NSUInteger mutability, int maxDepth)
        : m_data(bytes.data())
        , m_size(bytes.size())
        , m_mutableContainers(mutability != NSPropertyListImmutable)
        , m_mutableLeaves(mutability == NSPropertyListMutableContainersAndLeaves)
        , m_maxDepth(maxDepth)
    {
    }

    PlistReadResult run()
    {
        PlistReadResult result;
        if (!readTrailer()) {
            result.error = m_error.empty() ? "Invalid binary property list trailer." : m_error;
            return result;
        }
        m_state.assign(m_objectCount, 0);
        m_cache.assign(m_objectCount, nullptr);
        m_budget = 1'000'000 + 16 * m_objectCount;
        result.object = readObject(m_topObject, 0);
        if (!result.object)
            result.error = m_error.empty() ? "Invalid binary property list." : m_error;
        return result;
    }

private:
    bool fail(const char* message)
    {
        if (m_error.empty())
            m_error = message;
        return false;
    }
    id failObject(const char* message)
    {
        fail(message);
        return nullptr;
    }

    bool readTrailer()
    {
        if (m_size < 8 + 32 || std::memcmp(m_data, "bplist00", 8) != 0)
            return false;
        const std::uint8_t* trailer = m_data + m_size - 32;
        m_offsetSize = trailer[6];
        m_refSize = trailer[7];
        m_objectCount = readBigEndian(trailer + 8, 8);
        m_topObject = readBigEndian(trailer + 16, 8);
        m_tableOffset = readBigEndian(trailer + 24, 8);
        std::uint64_t objectsEnd = m_size - 32;
        if (m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 || m_refSize > 8)
            return fail("Invalid integer widths in binary property list trailer.");
        if (m_objectCount == 0 || m_topObject >= m_objectCount)
            return fail("Invalid object count in binary property list trailer.");
        if (m_tableOffset < 9 || m_tableOffset > objectsEnd)
            return fail("Invalid offset table position in binary property list.");
        // The table must fit between its start and the trailer (no overflow: both sides small).
        if (m_objectCount > (objectsEnd - m_tableOffset) / m_offsetSize)
            return fail("Offset table overruns the binary property list.");
        if (m_refSize < 8 && (m_objectCount - 1) >> (8 * m_refSize) != 0)
            return fail("Object references too narrow for the object count.");
        return true;
    }

    bool offsetOf(std::uint64_t index, std::uint64_t& offset)
    {
        offset = readBigEndian(m_data + m_tableOffset + index * m_offsetSize, m_offsetSize);
        if (offset < 8 || offset >= m_tableOffset)
            return fail("Object offset out of range in binary property list.");
        return true;
    }

    // Bytes [offset, offset + length) must lie before the offset table.
    bool available(std::uint64_t offset, std::uint64_t length) const
    {
        return offset <= m_tableOffset && length <= m_tableOffset - offset;
    }

    // The count of a collection or string: the low nibble, or a following integer object.
    bool readCount(std::uint64_t& offset, std::uint8_t marker, std::uint64_t& count)
    {
        count = marker & 0x0F;
        if (count != 0x0F)
            return true;
        if (!available(offset, 1))
            return fail("Truncated count in binary property list.");
        std::uint8_t intMarker = m_data[offset];
        if ((intMarker & 0xF0) != 0x10 || (intMarker & 0x0F) > 3)
            return fail("Invalid count in binary property list.");
        std::size_t width = std::size_t(1) << (intMarker & 0x0F);
        if (!available(offset + 1, width))
            return fail("Truncated count in binary property list.");
        count = readBigEndian(m_data + offset + 1, width);
        offset += 1 + width;
        return true;
    }

    id readObject(std::uint64_t index, int depth)
    {
        if (index >= m_objectCount)
            return failObject("Object reference out of range in binary property list.");
        if (m_cache[index])
            return m_cache[index];
        if (m_state[index] == 1)
            return failObject("Cycle in binary property list.");
        if (depth > m_maxDepth)
            return failObject("Too many nested arrays or dictionaries in binary property list.");
        if (m_budget == 0)
            return failObject("Too many objects in binary property list.");
        --m_budget;

        std::uint64_t offset = 0;
        if (!offsetOf(index, offset))
            return nullptr;
        std::uint8_t marker = m_data[offset++];
        bool container = false;
        id object;
        switch (marker >> 4) {
        case 0x0:
            if (marker == 0x08 || marker == 0x09)
                object = NSNumber::numberWithBool(marker == 0x09);
            else
                return failObject("Unsupported object in binary property list.");
            break;
        case 0x1: {
            std::size_t width = std::size_t(1) << (marker & 0x0F);
            if ((marker & 0x0F) > 4 || !available(offset, width))
                return failObject("Invalid integer in binary property list.");
            if (width == 16) {
                std::uint64_t high = readBigEndian(m_data + offset, 8);
                std::uint64_t low = readBigEndian(m_data + offset + 8, 8);
                if (high == 0)
                    object = low > static_cast<std::uint64_t>(INT64_MAX) ? NSNumber::numberWithUnsignedLongLong(low)
                                                                         : NSNumber::numberWithLongLong(static_cast<long long>(low));
                else if (high == UINT64_MAX && (low >> 63))
                    object = NSNumber::numberWithLongLong(static_cast<long long>(low));
                else
                    return failObject("Integer too large in binary property list.");
            } else {
                std::uint64_t value = readBigEndian(m_data + offset, width);
                // 8-byte integers are signed; narrower ones are unsigned.
                object = NSNumber::numberWithLongLong(static_cast<long long>(value));
            }
            break;
        }
        case 0x2: {
            std::size_t width = std::size_t(1) << (marker & 0x0F);
            if ((width != 4 && width != 8) || !available(offset, width))
                return failObject("Invalid real in binary property list.");
            std::uint64_t bits = readBigEndian(m_data + offset, width);
            if (width == 4)
                object = NSNumber::numberWithFloat(std::bit_cast<float>(static_cast<std::uint32_t>(bits)));
            else
                object = NSNumber::numberWithDouble(std::bit_cast<double>(bits));
            break;
        }
        case 0x3: {
            if (marker != 0x33 || !available(offset, 8))
                return failObject("Invalid date in binary property list.");
            object = NSDate::dateWithTimeIntervalSinceReferenceDate(std::bit_cast<double>(readBigEndian(m_data + offset, 8)));
            break;
        }
        case 0x4: {
            std::uint64_t length = 0;
            if (!readCount(offset, marker, length))
                return nullptr;
            if (!available(offset, length))
                return failObject("Data runs past the end of the binary property list.");
            auto bytes = m_data + offset;
            if (m_mutableLeaves) {
                auto data = NSMutableData::data();
                data->appendBytes(bytes, length);
                object = data;
            } else {
                object = NSData::dataWithBytes(bytes, length);
            }
            break;
        }
        case 0x5:
        case 0x6:
        case 0x7: {
            std::uint64_t count = 0;
            if (!readCount(offset, marker, count))
                return nullptr;
            std::string text;
            if ((marker >> 4) == 0x6) {
                if (count > m_tableOffset / 2 || !available(offset, count * 2))
                    return failObject("String runs past the end of the binary property list.");
                auto utf8 = utf16ToUTF8(m_data + offset, count * 2, ByteOrder::Big);
                if (!utf8)
                    return failObject("Invalid UTF-16 string in binary property list.");
                text = std::move(*utf8);
            } else {
                if (!available(offset, count))
                    return failObject("String runs past the end of the binary property list.");
                text.assign(reinterpret_cast<const char*>(m_data + offset), count);
                bool ok = (marker >> 4) == 0x5 ? std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })
                                               : isValidUtf8(text);
                if (!ok)
                    return failObject("Invalid string in binary property list.");
            }
            if (m_mutableLeaves)
                object = NSMutableString::fromUTF8(text);
            else
                object = std::make_shared<NSString>(std::move(text));
            break;
        }
        case 0x8: {
            std::size_t width = (marker & 0x0F) + 1u;
            if (width > 8 || !available(offset, width))
                return failObject("Invalid UID in binary property list.");
            object = PlistUID::make(readBigEndian(m_data + offset, width));
            break;
        }
        case 0xA:
        case 0xD: {
            container = true;
            bool isDictionary = (marker >> 4) == 0xD;
            std::uint64_t count = 0;
            if (!readCount(offset, marker, count))
                return nullptr;
            std::uint64_t refs = isDictionary ? 2 : 1;
            if (count > m_tableOffset / (m_refSize * refs) || !available(offset, count * refs * m_refSize))
                return failObject("Collection runs past the end of the binary property list.");
            m_state[index] = 1;
            auto ref = [&](std::uint64_t i) { return readBigEndian(m_data + offset + i * m_refSize, m_refSize); };
            if (isDictionary) {
                std::vector<std::pair<id, id>> entries;
                entries.reserve(count);
                for (std::uint64_t i = 0; i < count; ++i) {
                    id key = readObject(ref(i), depth + 1);
                    if (!key)
                        return nullptr;
                    if (!dynamic_cast<const NSString*>(key.get()))
                        return failObject("Dictionary key is not a string in binary property list.");
                    id value = readObject(ref(count + i), depth + 1);
                    if (!value)
                        return nullptr;
                    entries.emplace_back(std::move(key), std::move(value));
                }
                object = makeDictionary(entries, m_mutableContainers);
            } else {
                std::vector<id> items;
                items.reserve(count);
                for (std::uint64_t i = 0; i < count; ++i) {
                    id item = readObject(ref(i), depth + 1);
                    if (!item)
                        return nullptr;
                    items.push_back(std::move(item));
                }
                object = makeArray(std::move(items), m_mutableContainers);
            }
            m_state[index] = 0;
            break;
        }
        default:
            return failObject("Unsupported object in binary property list.");
        }
        // Shared sub-objects are read once; mutable ones must stay distinct.
        bool shareable = container ? !m_mutableContainers : !(m_mutableLeaves && (dynamic_cast<NSString*>(object.get()) || dynamic_cast<NSData*>(object.get())));
        if (shareable)
            m_cache[index] = object;
        return object;
    }

    const std::uint8_t* m_data;
    std::size_t m_size;
    bool m_mutableContainers;
    bool m_mutableLeaves;
    int m_maxDepth;
    std::size_t m_offsetSize = 0;
    std::size_t m_refSize = 0;
    std::uint64_t m_objectCount = 0;
    std::uint64_t m_topObject = 0;
    std::uint64_t m_tableOffset = 0;
    std::vector<std::uint8_t> m_state;
    std::vector<id> m_cache;
    std::uint64_t m_budget = 0;
    std::string m_error;
};

// Writing: the tree is flattened into numbered objects first (equal scalars and strings share
// one entry), so that the reference width is known before any collection is encoded.
class BinaryWriter {
public:
    explicit BinaryWriter(int maxDepth)
        : m_maxDepth(maxDepth)
    {
    }

    PlistWriteResult run(const NSObject* root)
    {
        PlistWriteResult result;
        if (!root) {
            result.error = "Property list is nil.";
            return result;
        }
        std::uint64_t top = 0;
        if (!flatten(root, 0, top)) {
            result.error = m_error;
            return result;
        }
        std::uint64_t count = m_nodes.size();
        std::size_t refSize = widthFor(count - 1);
        std::vector<std::uint8_t>& out = result.bytes;
        out.assign({'b', 'p', 'l', 'i', 's', 't', '0', '0'});
        std::vector<std::uint64_t> offsets;
        offsets.reserve(count);
        for (const Node& node : m_nodes) {
            offsets.push_back(out.size());
            out.insert(out.end(), node.head.begin(), node.head.end());
            for (std::uint64_t ref : node.refs)
                appendBigEndian(out, ref, refSize);
        }
        std::uint64_t tableOffset = out.size();
        std::size_t offsetSize = widthFor(tableOffset);
        for (std::uint64_t offset : offsets)
            appendBigEndian(out, offset, offsetSize);
        out.insert(out.end(), 6, 0);
        out.push_back(static_cast<std::uint8_t>(offsetSize));
        out.push_back(static_cast<std::uint8_t>(refSize));
        appendBigEndian(out, count, 8);
        appendBigEndian(out, top, 8);
        appendBigEndian(out, tableOffset, 8);
        return result;
    }

private:
    struct Node {
        std::string head;                // marker, counts and leaf payload
        std::vector<std::uint64_t> refs; // collections only
    };

    static std::size_t widthFor(std::uint64_t value)
    {
        if (value <= 0xFF)
            return 1;
        if (value <= 0xFFFF)
            return 2;
        if (value <= 0xFFFFFFFFULL)
            return 4;
        return 8;
    }

    template <class Out>
    static void appendBigEndian(Out& out, std::uint64_t value, std::size_t width)
    {
        for (std::size_t i = width; i-- > 0;)
            out.push_back(static_cast<typename Out::value_type>((value >> (8 * i)) & 0xFF));
    }

    static void appendInteger(std::string& out, std::uint64_t value, bool negative)
    {
        if (negative || value > 0xFFFFFFFFULL) {
            if (!negative && value > static_cast<std::uint64_t>(INT64_MAX)) {
                out.push_back(0x14);
                appendBigEndian(out, 0, 8);
                appendBigEndian(out, value, 8);
                return;
            }
            out.push_back(0x13);
            appendBigEndian(out, value, 8);
            return;
        }
        std::size_t width = widthFor(value);
        out.push_back(static_cast<char>(0x10 | std::countr_zero(width)));
        appendBigEndian(out, value, width);
    }

    static void appendHeader(std::string& out, std::uint8_t kind, std::uint64_t count)
    {
        if (count < 15) {
            out.push_back(static_cast<char>(kind << 4 | count));
        } else {
            out.push_back(static_cast<char>(kind << 4 | 0x0F));
            appendInteger(out, count, false);
        }
    }

    bool fail(std::string message)
    {
        if (m_error.empty())
            m_error = std::move(message);
        return false;
    }

    std::uint64_t addLeaf(std::string head)
    {
        auto [it, inserted] = m_leaves.emplace(std::move(head), m_nodes.size());
        if (inserted)
            m_nodes.push_back({it->first, {}});
        return it->second;
    }

    bool flatten(const NSObject* object, int depth, std::uint64_t& index)
    {
        if (depth > m_maxDepth)
            return fail("Too many nested arrays or dictionaries in property list.");
        std::string head;
        if (auto string = dynamic_cast<const NSString*>(object)) {
            const std::string& text = string->utf8();
            bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
            if (ascii) {
                appendHeader(head, 0x5, text.size());
                head += text;
            } else {
                std::u16string units = utf8ToUtf16(text);
                appendHeader(head, 0x6, units.size());
                for (char16_t unit : units)
                    appendBigEndian(head, unit, 2);
            }
        } else if (auto number = dynamic_cast<const NSNumber*>(object)) {
            if (number->isBoolean()) {
                head.push_back(number->boolValue() ? 0x09 : 0x08);
            } else if (number->kind() == NSNumber::Kind::Float) {
                head.push_back(0x22);
                appendBigEndian(head, std::bit_cast<std::uint32_t>(number->floatValue()), 4);
            } else if (number->kind() == NSNumber::Kind::Double) {
                head.push_back(0x23);
                appendBigEndian(head, std::bit_cast<std::uint64_t>(number->doubleValue()), 8);
            } else if (number->isUnsigned()) {
                appendInteger(head, number->unsignedLongLongValue(), false);
            } else {
                long long value = number->longLongValue();
                appendInteger(head, static_cast<std::uint64_t>(value), value < 0);
            }
        } else if (auto date = dynamic_cast<const NSDate*>(object)) {
            head.push_back(0x33);
            appendBigEndian(head, std::bit_cast<std::uint64_t>(date->timeIntervalSinceReferenceDate()), 8);
        } else if (auto data = dynamic_cast<const NSData*>(object)) {
            appendHeader(head, 0x4, data->length());
            head.append(data->view());
        } else if (auto uid = dynamic_cast<const PlistUID*>(object)) {
            std::size_t width = widthFor(uid->value());
            head.push_back(static_cast<char>(0x80 | (width - 1)));
            appendBigEndian(head, uid->value(), width);
        } else if (auto array = dynamic_cast<const NSArray*>(object)) {
            Node node;
            appendHeader(node.head, 0xA, array->count());
            index = m_nodes.size();
            m_nodes.push_back({});
            for (const id& item : *array) {
                std::uint64_t child = 0;
                if (!flatten(item.get(), depth + 1, child))
                    return false;
                node.refs.push_back(child);
            }
            m_nodes[index] = std::move(node);
            return true;
        } else if (auto dictionary = dynamic_cast<const NSDictionary*>(object)) {
            Node node;
            appendHeader(node.head, 0xD, dictionary->count());
            index = m_nodes.size();
            m_nodes.push_back({});
            std::vector<std::uint64_t> values;
            for (const auto& [key, value] : *dictionary) {
                if (!dynamic_cast<const NSString*>(key.get()))
                    return fail("Dictionary key is not a string.");
                std::uint64_t child = 0;
                if (!flatten(key.get(), depth + 1, child))
                    return false;
                node.refs.push_back(child);
                if (!flatten(value.get(), depth + 1, child))
                    return false;
                values.push_back(child);
            }
            node.refs.insert(node.refs.end(), values.begin(), values.end());
            m_nodes[index] = std::move(node);
            return true;
        } else {
            return fail(object ? "Property list invalid for format: " + std::string(object->getClass()->name()) + " objects cannot be written."
                               : std::string("Property list contains nil."));
        }
        index = addLeaf(std::move(head));
        return true;
    }

    int m_maxDepth;
    std::vector<Node> m_nodes;
    std::unordered_map<std::string, std::uint64_t> m_leaves;
    std::string m_error;
};

} // namespace

PlistReadResult readBinaryPlist(std::span<const std::uint8_t> bytes, NSUInteger mutability, int maxDepth)
{
    return BinaryReader(bytes, mutability, maxDepth).run();
}

PlistWriteResult writeBinaryPlist(const NSObject* root, int maxDepth)
{
    return BinaryWriter(maxDepth).run(root);
}

} // namespace dv::internal::base
