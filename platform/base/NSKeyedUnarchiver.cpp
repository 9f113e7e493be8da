#include "platform/base/NSKeyedUnarchiver.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDate.h"
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

#include <optional>

DV_DEFINE_CLASS(NSKeyedUnarchiver)

namespace {

using dv::internal::base::PlistUID;

constexpr int kMaxDepth = 512;

Ref<NSString> escapedKey(const Ref<NSString>& key)
{
    if (key && key->hasPrefix(std::string_view("$")))
        return NSString::fromUTF8("$" + key->utf8());
    return key ? key : NSString::fromUTF8("");
}

Class builtInClass(const std::string& name)
{
    static const std::pair<const char*, Class (*)()> table[] = {
        {"NSString", &NSString::class_}, {"NSMutableString", &NSMutableString::class_},
        {"NSArray", &NSArray::class_}, {"NSMutableArray", &NSMutableArray::class_},
        {"NSDictionary", &NSDictionary::class_}, {"NSMutableDictionary", &NSMutableDictionary::class_},
        {"NSSet", &NSSet::class_}, {"NSMutableSet", &NSMutableSet::class_},
        {"NSData", &NSData::class_}, {"NSMutableData", &NSMutableData::class_},
        {"NSDate", &NSDate::class_}, {"NSNull", &NSNull::class_}, {"NSNumber", &NSNumber::class_},
    };
    for (const auto& [entry, cls] : table)
        if (name == entry)
            return cls();
    return Nil;
}

} // namespace

Ref<NSKeyedUnarchiver> NSKeyedUnarchiver::initForReadingFromData(const Ref<NSData>& data, Ref<NSError>* error)
{
    auto corrupt = [&](const std::string& message) -> Ref<NSKeyedUnarchiver> {
        dv::internal::base::setError(error, dv::internal::base::makeCocoaError(dv::internal::base::kCoderReadCorruptError, message));
        return nullptr;
    };
    if (!data || data->length() == 0)
        return corrupt("The archive is empty.");
    // Read without the UID check of the public property-list reader: archives carry UIDs.
    auto bytes = data->span();
    dv::internal::base::PlistReadResult plist;
    if (bytes.size() >= 8 && std::string_view(reinterpret_cast<const char*>(bytes.data()), 8) == "bplist00")
        plist = dv::internal::base::readBinaryPlist(bytes, NSPropertyListImmutable, kMaxDepth + 8);
    else
        plist = dv::internal::base::readXMLPlist(bytes, NSPropertyListImmutable, kMaxDepth + 8);
    if (!plist.object)
        return corrupt("The archive is not a property list: " + plist.error);
    auto archive = dv::as<NSDictionary>(plist.object);
    if (!archive)
        return corrupt("The archive is not a dictionary.");
    auto archiver = dv::as<NSString>(archive->objectForKey("$archiver"));
    auto top = dv::as<NSDictionary>(archive->objectForKey("$top"));
    auto objects = dv::as<NSArray>(archive->objectForKey("$objects"));
    auto version = dv::as<NSNumber>(archive->objectForKey("$version"));
    if (!archiver || !archiver->isEqualToString(std::string_view("NSKeyedArchiver")) || !top || !objects || !version)
        return corrupt("The data is not a keyed archive.");
    m_objects = objects;
    m_frames.push_back(top);
    return self<NSKeyedUnarchiver>();
}

id NSKeyedUnarchiver::unarchivedObjectOfClasses(const std::vector<Class>& classes, const Ref<NSData>& data, Ref<NSError>* error)
{
    auto unarchiver = alloc<NSKeyedUnarchiver>()->initForReadingFromData(data, error);
    if (!unarchiver)
        return nullptr;
    id object = unarchiver->decodeObjectOfClasses(classes, NSKeyedArchiveRootObjectKey);
    if (unarchiver->error()) {
        dv::internal::base::setError(error, unarchiver->error());
        return nullptr;
    }
    return object;
}

id NSKeyedUnarchiver::unarchivedObjectOfClass(Class cls, const Ref<NSData>& data, Ref<NSError>* error)
{
    return unarchivedObjectOfClasses({cls}, data, error);
}

id NSKeyedUnarchiver::unarchiveTopLevelObjectWithData(const Ref<NSData>& data, Ref<NSError>* error)
{
    auto unarchiver = alloc<NSKeyedUnarchiver>()->initForReadingFromData(data, error);
    if (!unarchiver)
        return nullptr;
    unarchiver->setRequiresSecureCoding(false);
    id object = unarchiver->decodeObjectForKey(NSKeyedArchiveRootObjectKey);
    if (unarchiver->error()) {
        dv::internal::base::setError(error, unarchiver->error());
        return nullptr;
    }
    return object;
}

id NSKeyedUnarchiver::unarchiveObjectWithData(const Ref<NSData>& data)
{
    return unarchiveTopLevelObjectWithData(data, nullptr);
}

id NSKeyedUnarchiver::fail(const std::string& message)
{
    failWithError(dv::internal::base::makeCocoaError(dv::internal::base::kCoderReadCorruptError, message));
    return nullptr;
}

id NSKeyedUnarchiver::entryForKey(const Ref<NSString>& key) const
{
    if (m_frames.empty() || m_finished)
        return nullptr;
    return m_frames.back()->objectForKey(escapedKey(key));
}

bool NSKeyedUnarchiver::containsValueForKey(const Ref<NSString>& key) const
{
    return entryForKey(key) != nullptr;
}

id NSKeyedUnarchiver::decodeObjectForKey(const Ref<NSString>& key)
{
    if (m_requiresSecureCoding && m_allowed.empty()) {
        return fail("This decoder requires secure coding: decode \"" + dv::str(key) + "\" with decodeObjectOfClass.");
    }
    return decode(key, m_allowed.empty() ? nullptr : m_allowed.back());
}

id NSKeyedUnarchiver::decodeObjectOfClasses(const std::vector<Class>& classes, const Ref<NSString>& key)
{
    id object = decode(key, &classes);
    if (object && !m_error) {
        bool ok = false;
        for (Class cls : classes)
            ok = ok || (cls && object->isKindOfClass(cls));
        if (!ok)
            return fail("Value for key \"" + dv::str(key) + "\" was of unexpected class \"" + object->getClass()->name() + "\".");
    }
    return m_error ? nullptr : object;
}

id NSKeyedUnarchiver::decode(const Ref<NSString>& key, const std::vector<Class>* classes)
{
    if (m_error)
        return nullptr;
    id reference = entryForKey(key);
    if (!reference)
        return nullptr;
    if (classes)
        m_allowed.push_back(classes);
    dv::ScopeExit popAllowed([this, classes] {
        if (classes)
            m_allowed.pop_back();
    });
    id object = objectFromReference(reference);
    return m_error ? nullptr : object;
}

bool NSKeyedUnarchiver::allowed(Class cls) const
{
    if (m_allowed.empty())
        return !m_requiresSecureCoding;
    for (Class allowedClass : *m_allowed.back())
        if (allowedClass && cls->isSubclassOfClass(allowedClass))
            return true;
    // Plain values (strings, numbers, data, dates, null) run no code of their own and may stand
    // inside any allowed collection; decodeObjectOfClasses still checks the object it returns.
    for (Class plain : {NSString::class_(), NSNumber::class_(), NSData::class_(), NSDate::class_(), NSNull::class_()})
        if (cls->isSubclassOfClass(plain))
            return true;
    return false;
}

id NSKeyedUnarchiver::objectFromReference(const id& reference)
{
    auto uid = dv::as<PlistUID>(reference);
    if (!uid)
        return fail("An object reference in the archive is not a reference.");
    return objectAt(uid->value());
}

id NSKeyedUnarchiver::objectAt(std::uint64_t index)
{
    if (m_error)
        return nullptr;
    if (index == 0)
        return nullptr;
    if (index >= m_objects->count())
        return fail("Object reference out of range in the archive.");
    if (auto found = m_decoded.find(index); found != m_decoded.end())
        return found->second;
    if (auto pending = m_inProgress.find(index); pending != m_inProgress.end()) {
        if (pending->second)
            return pending->second;
        return fail("The archive holds a cycle through a collection.");
    }
    if (m_depth >= kMaxDepth)
        return fail("The archive is nested too deeply.");

    id entry = m_objects->objectAtIndex(index);
    auto checkLeaf = [&](Class cls) -> bool {
        if (!allowed(cls)) {
            fail(std::string("Value of class \"") + cls->name() + "\" was not among the classes allowed.");
            return false;
        }
        return true;
    };
    if (dynamic_cast<NSString*>(entry.get())) {
        if (dv::str(entry) == "$null")
            return nullptr;
        return checkLeaf(NSString::class_()) ? entry : nullptr;
    }
    if (dynamic_cast<NSNumber*>(entry.get()))
        return checkLeaf(NSNumber::class_()) ? entry : nullptr;
    if (dynamic_cast<NSData*>(entry.get()))
        return checkLeaf(NSData::class_()) ? entry : nullptr;
    auto record = dv::as<NSDictionary>(entry);
    if (!record)
        return fail("Unexpected entry in the archive's object table.");
    auto classUID = dv::as<PlistUID>(record->objectForKey("$class"));
    if (!classUID || classUID->value() == 0 || classUID->value() >= m_objects->count())
        return fail("Object record without a class in the archive.");
    auto classRecord = dv::as<NSDictionary>(m_objects->objectAtIndex(classUID->value()));
    auto className = classRecord ? dv::as<NSString>(classRecord->objectForKey("$classname")) : nullptr;
    if (!className)
        return fail("Invalid class record in the archive.");
    std::string name = className->utf8();
    Class cls = builtInClass(name);
    bool builtIn = cls != Nil;
    if (!cls)
        cls = NSClassFromString(className);
    if (!cls)
        return fail("Cannot decode object of class \"" + name + "\": the class is unknown.");
    if (!allowed(cls))
        return fail("Value of class \"" + name + "\" was not among the classes allowed.");

    // The record's members are a level deeper, until this returns however decoding ends.
    dv::TemporaryChange depth(m_depth, m_depth + 1);
    id result;
    auto referencesIn = [&](const char* key) -> std::optional<std::vector<id>> {
        auto list = dv::as<NSArray>(record->objectForKey(key));
        if (!list) {
            fail(std::string("Missing \"") + key + "\" in an archived collection.");
            return std::nullopt;
        }
        std::vector<id> out;
        out.reserve(list->count());
        for (const id& reference : *list) {
            id item = objectFromReference(reference);
            if (m_error)
                return std::nullopt;
            if (!item) {
                fail("Nil element in an archived collection.");
                return std::nullopt;
            }
            out.push_back(std::move(item));
        }
        return out;
    };
    if (builtIn) {
        m_inProgress.emplace(index, nullptr);
        dv::ScopeExit done([this, index] { m_inProgress.erase(index); });
        if (name == "NSArray" || name == "NSMutableArray") {
            if (auto items = referencesIn("NS.objects")) {
                auto array = NSArray::fromVector(std::move(*items));
                result = name == "NSArray" ? array : NSMutableArray::arrayWithArray(array);
            }
        } else if (name == "NSSet" || name == "NSMutableSet") {
            if (auto items = referencesIn("NS.objects")) {
                auto array = NSArray::fromVector(std::move(*items));
                result = name == "NSSet" ? NSSet::setWithArray(array) : NSMutableSet::setWithArray(array);
            }
        } else if (name == "NSDictionary" || name == "NSMutableDictionary") {
            auto keys = referencesIn("NS.keys");
            auto values = keys ? referencesIn("NS.objects") : std::nullopt;
            if (keys && values) {
                if (keys->size() != values->size()) {
                    fail("Keys and values of an archived dictionary do not pair up.");
                } else {
                    auto dictionary = NSMutableDictionary::dictionary();
                    for (std::size_t i = 0; i < keys->size(); ++i)
                        dictionary->setObjectForKey((*values)[i], (*keys)[i]);
                    result = name == "NSDictionary" ? dv::copyAs<NSDictionary>(dictionary) : dictionary;
                }
            }
        } else if (name == "NSDate") {
            auto time = dv::as<NSNumber>(record->objectForKey("NS.time"));
            result = time ? NSDate::dateWithTimeIntervalSinceReferenceDate(time->doubleValue()) : fail("Archived date without time.");
        } else if (name == "NSMutableString" || name == "NSString") {
            auto text = dv::as<NSString>(record->objectForKey("NS.string"));
            result = !text ? fail("Archived string without text.")
                           : name == "NSString" ? id(text) : id(NSMutableString::stringWithString(text));
        } else if (name == "NSMutableData" || name == "NSData") {
            auto bytes = dv::as<NSData>(record->objectForKey("NS.data"));
            result = !bytes ? fail("Archived data without bytes.") : name == "NSData" ? id(bytes) : id(NSMutableData::dataWithData(bytes));
        } else if (name == "NSNull") {
            result = NSNull::null();
        } else {
            result = fail("Cannot decode an object of class \"" + name + "\" from a record.");
        }
    } else {
        id instance = cls->createInstance();
        if (!instance || !dynamic_cast<NSCoding*>(instance.get())) {
            result = fail("Cannot decode object of class \"" + name + "\": it does not adopt NSCoding.");
        } else {
            m_inProgress.emplace(index, instance);
            m_frames.push_back(record);
            dv::ScopeExit done([this, index] {
                m_frames.pop_back();
                m_inProgress.erase(index);
            });
            // The class decodes its own members with the classes it names itself.
            dv::TemporaryChange ownClasses(m_allowed, {});
            result = instance->initWithCoder(*this);
        }
    }
    if (m_error)
        return nullptr;
    m_decoded.emplace(index, result);
    return result;
}

Ref<NSNumber> NSKeyedUnarchiver::numberForKey(const Ref<NSString>& key)
{
    if (m_error)
        return nullptr;
    return dv::as<NSNumber>(entryForKey(key));
}

bool NSKeyedUnarchiver::decodeBoolForKey(const Ref<NSString>& key)
{
    auto number = numberForKey(key);
    return number && number->boolValue();
}

int NSKeyedUnarchiver::decodeIntForKey(const Ref<NSString>& key)
{
    auto number = numberForKey(key);
    return number ? number->intValue() : 0;
}

std::int32_t NSKeyedUnarchiver::decodeInt32ForKey(const Ref<NSString>& key)
{
    auto number = numberForKey(key);
    return number ? number->intValue() : 0;
}

std::int64_t NSKeyedUnarchiver::decodeInt64ForKey(const Ref<NSString>& key)
{
    auto number = numberForKey(key);
    return number ? number->longLongValue() : 0;
}

NSInteger NSKeyedUnarchiver::decodeIntegerForKey(const Ref<NSString>& key)
{
    auto number = numberForKey(key);
    return number ? number->longLongValue() : 0;
}

float NSKeyedUnarchiver::decodeFloatForKey(const Ref<NSString>& key)
{
    auto number = numberForKey(key);
    return number ? number->floatValue() : 0;
}

double NSKeyedUnarchiver::decodeDoubleForKey(const Ref<NSString>& key)
{
    auto number = numberForKey(key);
    return number ? number->doubleValue() : 0;
}

const std::uint8_t* NSKeyedUnarchiver::decodeBytesForKey(const Ref<NSString>& key, NSUInteger* length)
{
    auto data = m_error ? nullptr : dv::as<NSData>(entryForKey(key));
    if (length)
        *length = data ? data->length() : 0;
    return data ? data->bytes() : nullptr;
}
