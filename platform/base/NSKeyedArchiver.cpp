#include "platform/base/NSKeyedArchiver.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDecimalNumber.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSNull.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSPropertyListSerialization.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSString.h"
#include "platform/base/Scope.h"
#include "platform/base/internal/FormatErrors.h"
#include "platform/base/internal/PropertyListFormats.h"

DV_DEFINE_CLASS(NSKeyedArchiver)

namespace {

using dv::internal::base::PlistUID;

constexpr int kMaxDepth = 512;

// Keys of the coder's user that start with "$" are written with one more "$", so that they can
// never be taken for the archive's own entries.
Ref<NSString> escapedKey(const Ref<NSString>& key)
{
    if (key && key->hasPrefix(std::string_view("$")))
        return NSString::fromUTF8("$" + key->utf8());
    return key ? key : NSString::fromUTF8("");
}

Ref<NSString> ns(const char* text) { return NSString::fromUTF8(text); }

} // namespace

Ref<NSKeyedArchiver> NSKeyedArchiver::initRequiringSecureCoding(bool requiresSecureCoding)
{
    m_requiresSecureCoding = requiresSecureCoding;
    m_objects.push_back(ns("$null"));
    m_top = NSMutableDictionary::dictionary();
    m_frames.push_back(m_top);
    return self<NSKeyedArchiver>();
}

Ref<NSData> NSKeyedArchiver::archivedDataWithRootObject(const id& root, bool requiringSecureCoding, Ref<NSError>* error)
{
    auto archiver = alloc<NSKeyedArchiver>()->initRequiringSecureCoding(requiringSecureCoding);
    archiver->encodeObject(root, NSKeyedArchiveRootObjectKey);
    auto data = archiver->encodedData();
    if (!data)
        dv::internal::base::setError(error, archiver->error());
    return data;
}

Ref<NSData> NSKeyedArchiver::archivedDataWithRootObject(const id& root)
{
    return archivedDataWithRootObject(root, false, nullptr);
}

void NSKeyedArchiver::setValue(const id& value, const Ref<NSString>& key)
{
    if (m_finished || m_frames.empty())
        return;
    m_frames.back()->setObjectForKey(value, escapedKey(key));
}

void NSKeyedArchiver::encodeObject(const id& object, const Ref<NSString>& key)
{
    if (m_finished)
        return;
    setValue(PlistUID::make(reference(object)), key);
}

void NSKeyedArchiver::encodeBool(bool value, const Ref<NSString>& key) { setValue(NSNumber::numberWithBool(value), key); }
void NSKeyedArchiver::encodeInt(int value, const Ref<NSString>& key) { setValue(NSNumber::numberWithLongLong(value), key); }
void NSKeyedArchiver::encodeInt32(std::int32_t value, const Ref<NSString>& key) { setValue(NSNumber::numberWithLongLong(value), key); }
void NSKeyedArchiver::encodeInt64(std::int64_t value, const Ref<NSString>& key) { setValue(NSNumber::numberWithLongLong(value), key); }
void NSKeyedArchiver::encodeInteger(NSInteger value, const Ref<NSString>& key) { setValue(NSNumber::numberWithLongLong(value), key); }
void NSKeyedArchiver::encodeFloat(float value, const Ref<NSString>& key) { setValue(NSNumber::numberWithFloat(value), key); }
void NSKeyedArchiver::encodeDouble(double value, const Ref<NSString>& key) { setValue(NSNumber::numberWithDouble(value), key); }

void NSKeyedArchiver::encodeBytes(const void* bytes, NSUInteger length, const Ref<NSString>& key)
{
    setValue(NSData::dataWithBytes(bytes, bytes ? length : 0), key);
}

std::uint64_t NSKeyedArchiver::reserve()
{
    m_objects.push_back(nullptr);
    return m_objects.size() - 1;
}

std::uint64_t NSKeyedArchiver::classReference(Class cls, const char* name)
{
    auto found = m_classes.find(name);
    if (found != m_classes.end())
        return found->second;
    std::vector<id> chain;
    chain.push_back(ns(name));
    for (Class c = cls ? cls->superclass() : Nil; c; c = c->superclass())
        chain.push_back(ns(c->name()));
    auto record = NSDictionary::of({
        {ns("$classname"), ns(name)},
        {ns("$classes"), NSArray::fromVector(std::move(chain))},
    });
    m_objects.push_back(record);
    std::uint64_t uid = m_objects.size() - 1;
    m_classes.emplace(name, uid);
    return uid;
}

std::uint64_t NSKeyedArchiver::reference(const id& object)
{
    if (!object)
        return 0;
    auto found = m_uids.find(object.get());
    if (found != m_uids.end())
        return found->second;
    if (m_depth >= kMaxDepth) {
        failWithError(dv::internal::base::makeCocoaError(dv::internal::base::kCoderInvalidValueError, "Object graph nested too deeply to archive."));
        return 0;
    }
    NSObject* raw = object.get();
    Class cls = raw->getClass();

    // Plain leaves sit in the object table as they are; equal strings share one entry.
    if (auto string = dynamic_cast<NSString*>(raw); string && !dynamic_cast<NSMutableString*>(raw)) {
        auto [it, inserted] = m_strings.emplace(string->utf8(), m_objects.size());
        if (inserted)
            m_objects.push_back(object);
        m_uids.emplace(raw, it->second);
        m_retained.push_back(object);
        return it->second;
    }
    // A decimal number is a record of its own (below), so that it comes back as one.
    if ((dynamic_cast<NSNumber*>(raw) && !dynamic_cast<NSDecimalNumber*>(raw))
        || (dynamic_cast<NSData*>(raw) && !dynamic_cast<NSMutableData*>(raw))) {
        m_objects.push_back(object);
        m_uids.emplace(raw, m_objects.size() - 1);
        m_retained.push_back(object);
        return m_objects.size() - 1;
    }

    // Everything else is a record with a class. The number is taken first so that the record's
    // own references (cycles included) can point back at it.
    std::uint64_t uid = reserve();
    m_uids.emplace(raw, uid);
    m_retained.push_back(object);
    // The record's members are a level deeper, until this returns however encoding ends.
    dv::TemporaryChange depth(m_depth, m_depth + 1);
    auto record = NSMutableDictionary::dictionary();
    const char* className = cls->name();
    auto refs = [&](auto begin, auto end) {
        std::vector<id> out;
        for (auto it = begin; it != end; ++it)
            out.push_back(PlistUID::make(reference(*it)));
        return NSArray::fromVector(std::move(out));
    };
    if (auto string = dynamic_cast<NSMutableString*>(raw)) {
        record->setObjectForKey(NSString::fromUTF8(string->utf8()), ns("NS.string"));
        className = "NSMutableString";
        cls = NSMutableString::class_();
    } else if (auto data = dynamic_cast<NSMutableData*>(raw)) {
        record->setObjectForKey(NSData::dataWithData(std::static_pointer_cast<NSData>(object)), ns("NS.data"));
        (void)data;
        className = "NSMutableData";
        cls = NSMutableData::class_();
    } else if (auto date = dynamic_cast<NSDate*>(raw)) {
        record->setObjectForKey(NSNumber::numberWithDouble(date->timeIntervalSinceReferenceDate()), ns("NS.time"));
        className = "NSDate";
        cls = NSDate::class_();
    } else if (auto dictionary = dynamic_cast<NSDictionary*>(raw)) {
        std::vector<id> keys, values;
        for (const auto& [key, value] : *dictionary) {
            keys.push_back(PlistUID::make(reference(key)));
            values.push_back(PlistUID::make(reference(value)));
        }
        record->setObjectForKey(NSArray::fromVector(std::move(keys)), ns("NS.keys"));
        record->setObjectForKey(NSArray::fromVector(std::move(values)), ns("NS.objects"));
        bool isMutable = dynamic_cast<NSMutableDictionary*>(raw);
        className = isMutable ? "NSMutableDictionary" : "NSDictionary";
        cls = isMutable ? NSMutableDictionary::class_() : NSDictionary::class_();
    } else if (auto array = dynamic_cast<NSArray*>(raw)) {
        record->setObjectForKey(refs(array->begin(), array->end()), ns("NS.objects"));
        bool isMutable = dynamic_cast<NSMutableArray*>(raw);
        className = isMutable ? "NSMutableArray" : "NSArray";
        cls = isMutable ? NSMutableArray::class_() : NSArray::class_();
    } else if (auto set = dynamic_cast<NSSet*>(raw)) {
        record->setObjectForKey(refs(set->begin(), set->end()), ns("NS.objects"));
        bool isMutable = dynamic_cast<NSMutableSet*>(raw);
        className = isMutable ? "NSMutableSet" : "NSSet";
        cls = isMutable ? NSMutableSet::class_() : NSSet::class_();
    } else if (dynamic_cast<NSNull*>(raw)) {
        className = "NSNull";
    } else if (dynamic_cast<const NSCoding*>(raw)) {
        m_frames.push_back(record);
        dv::ScopeExit popFrame([this] { m_frames.pop_back(); });
        raw->encodeWithCoder(*this);
    } else {
        failWithError(dv::internal::base::makeCocoaError(dv::internal::base::kCoderInvalidValueError,
                                                         std::string("Objects of class ") + cls->name() + " cannot be archived: the class does not adopt NSCoding."));
    }
    record->setObjectForKey(PlistUID::make(classReference(cls, className)), ns("$class"));
    m_objects[uid] = record;
    return uid;
}

void NSKeyedArchiver::finishEncoding()
{
    if (m_finished)
        return;
    m_finished = true;
    if (m_error)
        return;
    auto archive = NSDictionary::of({
        {ns("$version"), NSNumber::numberWithLongLong(100000)},
        {ns("$archiver"), ns("NSKeyedArchiver")},
        {ns("$top"), m_top},
        {ns("$objects"), NSArray::fromVector(m_objects)},
    });
    auto result = m_outputFormat == NSPropertyListXMLFormat_v1_0 ? dv::internal::base::writeXMLPlist(archive.get(), kMaxDepth + 8)
                                                                 : dv::internal::base::writeBinaryPlist(archive.get(), kMaxDepth + 8);
    if (!result.error.empty()) {
        failWithError(dv::internal::base::makeCocoaError(dv::internal::base::kCoderInvalidValueError, result.error));
        return;
    }
    m_data = NSData::dataWithVector(std::move(result.bytes));
    m_objects.clear();
    m_retained.clear();
    m_uids.clear();
}

Ref<NSData> NSKeyedArchiver::encodedData()
{
    finishEncoding();
    return m_data;
}
