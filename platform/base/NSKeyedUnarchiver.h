// NSKeyedUnarchiver: reads an object graph back from a keyed archive (binary or XML). Secure by
// default: objects come back only through decodeObjectOfClass(es), and a record naming a class
// that was not asked for is refused before any instance of it is made. Corrupt archives, unknown
// classes, cycles through built-in collections and graphs nested deeper than 512 give errors
// (NSCocoaErrorDomain 4864), never a crash. Belongs to the thread that uses it.
//
//   Ref<NSError> error;
//   auto item = NSKeyedUnarchiver::unarchivedObjectOfClass(Item::class_(), data, &error);
#pragma once

#include "platform/base/NSCoder.h"

#include <unordered_map>

class NSDictionary;
class NSArray;

class NSKeyedUnarchiver : public NSCoder {
    DV_CLASS(NSKeyedUnarchiver, NSCoder)

    NSKeyedUnarchiver() = default;
    // nil with *error set when the data is not a keyed archive.
    Ref<NSKeyedUnarchiver> initForReadingFromData(const Ref<NSData>& data, Ref<NSError>* error);

    static id unarchivedObjectOfClass(Class cls, const Ref<NSData>& data, Ref<NSError>* error);
    static id unarchivedObjectOfClasses(const std::vector<Class>& classes, const Ref<NSData>& data, Ref<NSError>* error);
    template <class T>
    static Ref<T> unarchivedObjectOfClass(const Ref<NSData>& data, Ref<NSError>* error)
    {
        return std::static_pointer_cast<T>(unarchivedObjectOfClass(T::class_(), data, error));
    }
    // Any class (not secure); nil on failure.
    static id unarchiveTopLevelObjectWithData(const Ref<NSData>& data, Ref<NSError>* error);
    static id unarchiveObjectWithData(const Ref<NSData>& data);

    bool requiresSecureCoding() const override { return m_requiresSecureCoding; }
    void setRequiresSecureCoding(bool value) { m_requiresSecureCoding = value; }
    void finishDecoding() { m_finished = true; }

    bool containsValueForKey(const Ref<NSString>& key) const override;
    id decodeObjectForKey(const Ref<NSString>& key) override;
    id decodeObjectOfClasses(const std::vector<Class>& classes, const Ref<NSString>& key) override;
    bool decodeBoolForKey(const Ref<NSString>& key) override;
    int decodeIntForKey(const Ref<NSString>& key) override;
    std::int32_t decodeInt32ForKey(const Ref<NSString>& key) override;
    std::int64_t decodeInt64ForKey(const Ref<NSString>& key) override;
    NSInteger decodeIntegerForKey(const Ref<NSString>& key) override;
    float decodeFloatForKey(const Ref<NSString>& key) override;
    double decodeDoubleForKey(const Ref<NSString>& key) override;
    const std::uint8_t* decodeBytesForKey(const Ref<NSString>& key, NSUInteger* length) override;

private:
    id entryForKey(const Ref<NSString>& key) const;
    Ref<NSNumber> numberForKey(const Ref<NSString>& key);
    id decode(const Ref<NSString>& key, const std::vector<Class>* classes);
    id objectAt(std::uint64_t uid);
    id objectFromReference(const id& reference);
    bool allowed(Class cls) const;
    id fail(const std::string& message);

    bool m_requiresSecureCoding = true;
    bool m_finished = false;
    Ref<NSArray> m_objects;
    std::vector<Ref<NSDictionary>> m_frames; // innermost record last; $top first
    std::vector<const std::vector<Class>*> m_allowed; // classes asked for, innermost last
    std::unordered_map<std::uint64_t, id> m_decoded;
    std::unordered_map<std::uint64_t, id> m_inProgress; // bare instances, for references back
    int m_depth = 0;
};
