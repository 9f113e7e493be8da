// NSData and NSMutableData: a byte buffer. Immutable data is shared freely between threads.
#pragma once

#include "platform/base/NSObject.h"

#include <span>
#include <string_view>
#include <vector>

class NSData : public NSObject, public NSCopying, public NSMutableCopying {
    DV_CLASS(NSData, NSObject)

    NSData() = default;
    explicit NSData(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) { }

    static Ref<NSData> data();
    static Ref<NSData> dataWithBytes(const void* bytes, NSUInteger length);
    static Ref<NSData> dataWithData(const Ref<NSData>& other);
    static Ref<NSData> dataWithVector(std::vector<std::uint8_t> bytes);
    static Ref<NSData> fromString(std::string_view bytes);
    // nil when the file cannot be read.
    static Ref<NSData> dataWithContentsOfFile(const Ref<NSString>& path);
    Ref<NSData> initWithBytes(const void* bytes, NSUInteger length);

    const std::uint8_t* bytes() const { return m_bytes.data(); }
    NSUInteger length() const { return m_bytes.size(); }
    std::span<const std::uint8_t> span() const { return m_bytes; }
    std::string_view view() const { return {reinterpret_cast<const char*>(m_bytes.data()), m_bytes.size()}; }
    const std::vector<std::uint8_t>& vector() const { return m_bytes; }

    void getBytes(void* buffer, NSUInteger length) const;
    void getBytes(void* buffer, NSRange range) const; // raises NSRangeException past the end
    Ref<NSData> subdataWithRange(NSRange range) const;
    NSRange rangeOfData(const Ref<NSData>& needle, NSRange searchRange) const;
    bool isEqualToData(const Ref<NSData>& other) const;
    // Writes atomically (temporary file, flush, rename) when asked; false on any failure.
    bool writeToFile(const Ref<NSString>& path, bool atomically) const;

    // Base64 (implemented with the other formats). Options: line length 64 (1) or 76 (2), with
    // CR (16) and/or LF (32) line ends; decoding ignores unknown characters with option 1 and
    // answers nil for malformed input otherwise.
    Ref<NSString> base64EncodedStringWithOptions(NSUInteger options) const;
    Ref<NSData> base64EncodedDataWithOptions(NSUInteger options) const;
    static Ref<NSData> dataWithBase64EncodedString(const Ref<NSString>& base64, NSUInteger options);
    static Ref<NSData> dataWithBase64EncodedData(const Ref<NSData>& base64, NSUInteger options);

    Ref<NSString> description() const override; // "<48656c6c 6f>"
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;
    id copyWithZone(NSZone* zone) const override;
    id mutableCopyWithZone(NSZone* zone) const override;

protected:
    std::vector<std::uint8_t> m_bytes;
};

class NSMutableData : public NSData {
    DV_CLASS(NSMutableData, NSData)

    NSMutableData() = default;
    static Ref<NSMutableData> data();
    static Ref<NSMutableData> dataWithCapacity(NSUInteger capacity);
    static Ref<NSMutableData> dataWithLength(NSUInteger length);
    static Ref<NSMutableData> dataWithData(const Ref<NSData>& other);

    std::uint8_t* mutableBytes() { return m_bytes.data(); }
    std::vector<std::uint8_t>& mutableVector() { return m_bytes; }
    void appendBytes(const void* bytes, NSUInteger length);
    void appendData(const Ref<NSData>& other);
    void setLength(NSUInteger length);
    void increaseLengthBy(NSUInteger extra);
    void replaceBytesInRange(NSRange range, const void* bytes, NSUInteger length);
    void resetBytesInRange(NSRange range);
    void setData(const Ref<NSData>& other);

    id copyWithZone(NSZone* zone) const override;
};
