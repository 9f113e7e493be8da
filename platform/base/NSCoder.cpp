#include "platform/base/NSCoder.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSError.h"
#include "platform/base/NSString.h"

DV_DEFINE_CLASS(NSCoder)

const Ref<NSString> NSKeyedArchiveRootObjectKey = NSString::fromUTF8("root");

// The abstract coder stores nothing and finds nothing; the archiver and unarchiver override.
void NSCoder::encodeObject(const id&, const Ref<NSString>&) { }
void NSCoder::encodeBool(bool, const Ref<NSString>&) { }
void NSCoder::encodeInt(int, const Ref<NSString>&) { }
void NSCoder::encodeInt32(std::int32_t, const Ref<NSString>&) { }
void NSCoder::encodeInt64(std::int64_t, const Ref<NSString>&) { }
void NSCoder::encodeInteger(NSInteger, const Ref<NSString>&) { }
void NSCoder::encodeFloat(float, const Ref<NSString>&) { }
void NSCoder::encodeDouble(double, const Ref<NSString>&) { }
void NSCoder::encodeBytes(const void*, NSUInteger, const Ref<NSString>&) { }
bool NSCoder::containsValueForKey(const Ref<NSString>&) const { return false; }
id NSCoder::decodeObjectForKey(const Ref<NSString>&) { return nullptr; }
id NSCoder::decodeObjectOfClasses(const std::vector<Class>&, const Ref<NSString>&) { return nullptr; }
bool NSCoder::decodeBoolForKey(const Ref<NSString>&) { return false; }
int NSCoder::decodeIntForKey(const Ref<NSString>&) { return 0; }
std::int32_t NSCoder::decodeInt32ForKey(const Ref<NSString>&) { return 0; }
std::int64_t NSCoder::decodeInt64ForKey(const Ref<NSString>&) { return 0; }
NSInteger NSCoder::decodeIntegerForKey(const Ref<NSString>&) { return 0; }
float NSCoder::decodeFloatForKey(const Ref<NSString>&) { return 0; }
double NSCoder::decodeDoubleForKey(const Ref<NSString>&) { return 0; }

const std::uint8_t* NSCoder::decodeBytesForKey(const Ref<NSString>&, NSUInteger* length)
{
    if (length)
        *length = 0;
    return nullptr;
}

void NSCoder::failWithError(const Ref<NSError>& error)
{
    if (!m_error)
        m_error = error;
}
