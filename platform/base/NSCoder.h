// NSCoder: the keyed coding interface that classes adopting NSCoding write themselves into and
// read themselves back from. The keyed archiver and unarchiver are its two concrete kinds; a coder
// belongs to the thread that runs the archiving.
//
//   void Item::encodeWithCoder(NSCoder& coder) const { coder.encodeObject(m_title, "title"_ns); }
//   id Item::initWithCoder(NSCoder& coder) {
//       m_title = coder.decodeObjectOfClass<NSString>("title"_ns);
//       return self();
//   }
//
// Decoding failures (a value of the wrong class, a corrupt archive) do not raise: the coder keeps
// the first error (`error()`), and the decode calls answer nil or zero from then on.
#pragma once

#include "platform/base/NSObject.h"

#include <initializer_list>
#include <vector>

class NSCoder : public NSObject {
    DV_CLASS(NSCoder, NSObject)

    NSCoder() = default;

    virtual bool allowsKeyedCoding() const { return true; }
    virtual bool requiresSecureCoding() const { return false; }

    // Encoding. A nil object is recorded as nil (decodes as nil, and the key is present).
    virtual void encodeObject(const id& object, const Ref<NSString>& key);
    virtual void encodeBool(bool value, const Ref<NSString>& key);
    virtual void encodeInt(int value, const Ref<NSString>& key);
    virtual void encodeInt32(std::int32_t value, const Ref<NSString>& key);
    virtual void encodeInt64(std::int64_t value, const Ref<NSString>& key);
    virtual void encodeInteger(NSInteger value, const Ref<NSString>& key);
    virtual void encodeFloat(float value, const Ref<NSString>& key);
    virtual void encodeDouble(double value, const Ref<NSString>& key);
    virtual void encodeBytes(const void* bytes, NSUInteger length, const Ref<NSString>& key);

    // Decoding. Missing keys give nil or zero.
    virtual bool containsValueForKey(const Ref<NSString>& key) const;
    // Any class; refused (nil and an error) when the coder requires secure coding.
    virtual id decodeObjectForKey(const Ref<NSString>& key);
    // The object only when it (and, for collections, every element) is a kind of one of the
    // classes; otherwise nil and an error.
    virtual id decodeObjectOfClasses(const std::vector<Class>& classes, const Ref<NSString>& key);
    id decodeObjectOfClass(Class cls, const Ref<NSString>& key) { return decodeObjectOfClasses({cls}, key); }
    template <class T>
    Ref<T> decodeObjectOfClass(const Ref<NSString>& key)
    {
        return std::static_pointer_cast<T>(decodeObjectOfClasses({T::class_()}, key));
    }
    virtual bool decodeBoolForKey(const Ref<NSString>& key);
    virtual int decodeIntForKey(const Ref<NSString>& key);
    virtual std::int32_t decodeInt32ForKey(const Ref<NSString>& key);
    virtual std::int64_t decodeInt64ForKey(const Ref<NSString>& key);
    virtual NSInteger decodeIntegerForKey(const Ref<NSString>& key);
    virtual float decodeFloatForKey(const Ref<NSString>& key);
    virtual double decodeDoubleForKey(const Ref<NSString>& key);
    // The bytes stay owned by the coder; nil (and length 0) when absent.
    virtual const std::uint8_t* decodeBytesForKey(const Ref<NSString>& key, NSUInteger* length);

    // The first failure of this coder, if any.
    Ref<NSError> error() const { return m_error; }
    virtual void failWithError(const Ref<NSError>& error);

protected:
    Ref<NSError> m_error;
};

// The key under which the archiver's class methods store the root object.
extern const Ref<NSString> NSKeyedArchiveRootObjectKey;
