// NSKeyedArchiver: writes an object graph into a keyed archive, a property list laid out as the
// platform's archives are ($archiver, $version, $top, $objects with class records), binary by
// default. Strings, numbers, data, dates, arrays, dictionaries, sets and NSNull are built in;
// other objects must adopt NSCoding. Each object is written once and referenced by number, so
// shared objects and cycles survive the trip. Belongs to the thread that uses it.
//
//   Ref<NSError> error;
//   Ref<NSData> data = NSKeyedArchiver::archivedDataWithRootObject(item, true, &error);
#pragma once

#include "platform/base/NSCoder.h"

#include <string>
#include <unordered_map>

class NSMutableDictionary;

class NSKeyedArchiver : public NSCoder {
    DV_CLASS(NSKeyedArchiver, NSCoder)

    NSKeyedArchiver() = default;
    Ref<NSKeyedArchiver> initRequiringSecureCoding(bool requiresSecureCoding);
    Ref<NSKeyedArchiver> init() { return initRequiringSecureCoding(false); }

    // nil with *error set when an object in the graph cannot be archived.
    static Ref<NSData> archivedDataWithRootObject(const id& root, bool requiringSecureCoding, Ref<NSError>* error);
    static Ref<NSData> archivedDataWithRootObject(const id& root);

    bool requiresSecureCoding() const override { return m_requiresSecureCoding; }
    // NSPropertyListBinaryFormat_v1_0 (the default) or NSPropertyListXMLFormat_v1_0.
    NSUInteger outputFormat() const { return m_outputFormat; }
    void setOutputFormat(NSUInteger format) { m_outputFormat = format; }

    void encodeObject(const id& object, const Ref<NSString>& key) override;
    void encodeBool(bool value, const Ref<NSString>& key) override;
    void encodeInt(int value, const Ref<NSString>& key) override;
    void encodeInt32(std::int32_t value, const Ref<NSString>& key) override;
    void encodeInt64(std::int64_t value, const Ref<NSString>& key) override;
    void encodeInteger(NSInteger value, const Ref<NSString>& key) override;
    void encodeFloat(float value, const Ref<NSString>& key) override;
    void encodeDouble(double value, const Ref<NSString>& key) override;
    void encodeBytes(const void* bytes, NSUInteger length, const Ref<NSString>& key) override;

    // Ends the archive; later encode calls are ignored. encodedData() finishes by itself.
    void finishEncoding();
    // The archive, or nil when encoding failed (see error()).
    Ref<NSData> encodedData();

private:
    void setValue(const id& value, const Ref<NSString>& key);
    std::uint64_t reference(const id& object);
    std::uint64_t classReference(Class cls, const char* name);
    std::uint64_t reserve();

    bool m_requiresSecureCoding = false;
    bool m_finished = false;
    NSUInteger m_outputFormat = 200;
    int m_depth = 0;
    std::vector<id> m_objects;   // the $objects table
    std::vector<id> m_retained;  // keeps archived objects alive so their addresses stay unique
    std::unordered_map<const NSObject*, std::uint64_t> m_uids;
    std::unordered_map<std::string, std::uint64_t> m_strings;
    std::unordered_map<std::string, std::uint64_t> m_classes;
    std::vector<Ref<NSMutableDictionary>> m_frames; // the record being written, innermost last
    Ref<NSMutableDictionary> m_top;
    Ref<NSData> m_data;
};
