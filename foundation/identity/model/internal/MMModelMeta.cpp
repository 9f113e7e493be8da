#include "foundation/identity/model/internal/MMModelMeta.h"

#include "foundation/identity/model/internal/ClassTable.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDecimalNumber.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSURL.h"

#include <array>
#include <cstring>
#include <mutex>
#include <set>

namespace dv::internal::model {

// The hooks' selectors, interned once.
#define DV_HOOK_SELECTOR(function, name)   \
    SEL function()                         \
    {                                      \
        static const SEL selector(name);   \
        return selector;                   \
    }
DV_HOOK_SELECTOR(selModelCustomPropertyMapper, "modelCustomPropertyMapper")
DV_HOOK_SELECTOR(selModelContainerPropertyGenericClass, "modelContainerPropertyGenericClass")
DV_HOOK_SELECTOR(selModelCustomClassForDictionary, "modelCustomClassForDictionary:")
DV_HOOK_SELECTOR(selModelPropertyBlacklist, "modelPropertyBlacklist")
DV_HOOK_SELECTOR(selModelPropertyWhitelist, "modelPropertyWhitelist")
DV_HOOK_SELECTOR(selModelCustomWillTransformFromDictionary, "modelCustomWillTransformFromDictionary:")
DV_HOOK_SELECTOR(selModelCustomTransformFromDictionary, "modelCustomTransformFromDictionary:")
DV_HOOK_SELECTOR(selModelCustomTransformToDictionary, "modelCustomTransformToDictionary:")
#undef DV_HOOK_SELECTOR

Class classFromHookAnswer(const id& answer)
{
    if (!answer)
        return Nil;
    if (Class cls = classOfClassObject(answer.get()))
        return cls;
    if (auto name = dv::as<NSString>(answer))
        return NSClassFromString(name);
    return Nil;
}

MMEncodingNSType MMNSTypeOfClass(Class cls)
{
    if (!cls)
        return MMEncodingNSType::Unknown;
    struct Kind {
        Class cls;
        MMEncodingNSType type;
    };
    static const std::array<Kind, 15> kinds {{
        {NSMutableString::class_(), MMEncodingNSType::NSMutableString},
        {NSString::class_(), MMEncodingNSType::NSString},
        {NSDecimalNumber::class_(), MMEncodingNSType::NSDecimalNumber},
        {NSNumber::class_(), MMEncodingNSType::NSNumber},
        {NSValue::class_(), MMEncodingNSType::NSValue},
        {NSMutableData::class_(), MMEncodingNSType::NSMutableData},
        {NSData::class_(), MMEncodingNSType::NSData},
        {NSDate::class_(), MMEncodingNSType::NSDate},
        {NSURL::class_(), MMEncodingNSType::NSURL},
        {NSMutableArray::class_(), MMEncodingNSType::NSMutableArray},
        {NSArray::class_(), MMEncodingNSType::NSArray},
        {NSMutableDictionary::class_(), MMEncodingNSType::NSMutableDictionary},
        {NSDictionary::class_(), MMEncodingNSType::NSDictionary},
        {NSMutableSet::class_(), MMEncodingNSType::NSMutableSet},
        {NSSet::class_(), MMEncodingNSType::NSSet},
    }};
    for (const Kind& kind : kinds)
        if (cls->isSubclassOfClass(kind.cls))
            return kind.type;
    return MMEncodingNSType::Unknown;
}

namespace {

bool isArchivableStructEncoding(const std::string& encoding)
{
    static const std::set<std::string, std::less<>> encodings {
        "{CGSize=ff}",
        "{CGPoint=ff}",
        "{CGRect={CGPoint=ff}{CGSize=ff}}",
        "{CGAffineTransform=ffffff}",
        "{UIEdgeInsets=ffff}",
        "{UIOffset=ff}",
        "{CGSize=dd}",
        "{CGPoint=dd}",
        "{CGRect={CGPoint=dd}{CGSize=dd}}",
        "{CGAffineTransform=dddddd}",
        "{UIEdgeInsets=dddd}",
        "{UIOffset=dd}",
    };
    return encodings.contains(encoding);
}

// Types that key-value coding can box: the numbers up to double, objects, classes, blocks,
// structures and unions.
constexpr std::uint32_t kKVCCompatibleTypes = 0x1adffc;

std::vector<Ref<NSString>> splitKeyPath(const Ref<NSString>& key)
{
    std::vector<Ref<NSString>> components;
    const std::string& text = key->utf8();
    if (text.find('.') == std::string::npos)
        return components;
    std::size_t start = 0;
    while (true) {
        std::size_t dot = text.find('.', start);
        components.push_back(NSString::fromUTF8(std::string_view(text).substr(start, dot == std::string::npos ? std::string::npos : dot - start)));
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }
    return components;
}

Ref<NSArray> arrayOf(const std::vector<Ref<NSString>>& components)
{
    auto array = NSMutableArray::arrayWithCapacity(components.size());
    for (const auto& component : components)
        array->addObject(component);
    return array;
}

std::unique_ptr<MMModelPropertyMeta> makePropertyMeta(const PropertyDescriptor* property, const Ref<MMClassPropertyInfo>& info, Class generic)
{
    auto meta = std::make_unique<MMModelPropertyMeta>();
    meta->name = info->name();
    meta->type = info->type();
    meta->info = info;
    meta->genericCls = generic;
    meta->property = property;

    MMEncodingType code = meta->typeCode();
    if (code == MMEncodingTypeObject)
        meta->nsType = MMNSTypeOfClass(info->cls());
    else
        meta->isCNumber = code >= MMEncodingTypeBool && code <= MMEncodingTypeLongDouble;
    if (code == MMEncodingTypeStruct && info->typeEncoding() && isArchivableStructEncoding(info->typeEncoding()->utf8()))
        meta->isStructAvailableForKeyedArchiver = true;
    meta->cls = info->cls();

    if (generic)
        meta->hasCustomClassFromDictionary = generic->respondsToSelector(selModelCustomClassForDictionary());
    else if (meta->cls && meta->nsType == MMEncodingNSType::Unknown)
        meta->hasCustomClassFromDictionary = meta->cls->respondsToSelector(selModelCustomClassForDictionary());

    // The descriptor's accessors work on every instance of the model class and its subclasses.
    meta->hasGetter = info->getter() && static_cast<bool>(property->getter);
    meta->hasSetter = info->setter() && static_cast<bool>(property->setter);
    if (meta->hasGetter && meta->hasSetter && code <= 20 && (kKVCCompatibleTypes >> code & 1))
        meta->isKVCCompatible = true;
    meta->stringAccess = typedAccess<Ref<NSString>>(*property);
    return meta;
}

std::set<std::string> namesFromHook(Class cls, SEL selector)
{
    std::set<std::string> names;
    if (!cls->respondsToSelector(selector))
        return names;
    if (auto list = dv::as<NSArray>(cls->performClassSelector(selector))) {
        for (const id& item : *list)
            if (auto name = dv::as<NSString>(item))
                names.insert(name->utf8());
    }
    return names;
}

} // namespace

struct MMModelMetaBuilder {
    static std::unique_ptr<MMModelMeta> build(Class cls)
    {
        Ref<MMClassInfo> classInfo = MMClassInfo::classInfoWithClass(cls);
        if (!classInfo)
            return nullptr;
        auto meta = std::make_unique<MMModelMeta>();
        meta->cls = cls;
        meta->classInfo = classInfo;

        std::set<std::string> blacklist = namesFromHook(cls, selModelPropertyBlacklist());
        bool hasWhitelist = cls->respondsToSelector(selModelPropertyWhitelist())
            && dv::as<NSArray>(cls->performClassSelector(selModelPropertyWhitelist()));
        std::set<std::string> whitelist = namesFromHook(cls, selModelPropertyWhitelist());

        std::unordered_map<std::string, Class> generics;
        if (cls->respondsToSelector(selModelContainerPropertyGenericClass())) {
            if (auto mapping = dv::as<NSDictionary>(cls->performClassSelector(selModelContainerPropertyGenericClass()))) {
                for (const auto& [key, value] : *mapping) {
                    auto name = dv::as<NSString>(key);
                    if (!name)
                        continue;
                    if (Class generic = classFromHookAnswer(value))
                        generics[name->utf8()] = generic;
                }
            }
        }

        // Collect from the class up to (not including) the root class; the first declaration of
        // a name met, the subclass's, wins.
        std::vector<MMModelPropertyMeta*> collected;
        std::unordered_map<std::string, MMModelPropertyMeta*> byName;
        for (Ref<MMClassInfo> current = classInfo; current && current->superCls(); current = current->superClassInfo()) {
            Ref<NSDictionary> infos = current->propertyInfos();
            if (!infos)
                continue;
            for (const auto& [key, value] : *infos) {
                auto info = std::static_pointer_cast<MMClassPropertyInfo>(value);
                if (!info->name())
                    continue;
                const std::string& name = info->name()->utf8();
                if (blacklist.contains(name) || (hasWhitelist && !whitelist.contains(name)))
                    continue;
                if (byName.contains(name))
                    continue;
                auto found = generics.find(name);
                auto property = makePropertyMeta(info->property(), info, found == generics.end() ? Nil : found->second);
                if (!property->name || (!property->hasGetter && !property->hasSetter))
                    continue;
                byName[name] = property.get();
                collected.push_back(property.get());
                meta->m_storage.push_back(std::move(property));
            }
        }
        for (MMModelPropertyMeta* property : collected)
            meta->allPropertyMetas.push_back(property);

        // Chains under each mapper key, in the order the keys were first used.
        std::vector<std::pair<id, MMModelPropertyMeta*>> mapper;
        auto chain = [&](const id& key, MMModelPropertyMeta* property) {
            for (auto& entry : mapper) {
                if (entry.first == key || (dv::as<NSString>(key) && dv::equal(entry.first, key))) {
                    property->next = entry.second;
                    entry.second = property;
                    return;
                }
            }
            mapper.emplace_back(key, property);
        };

        std::unordered_map<std::string, MMModelPropertyMeta*> unmapped = byName;
        if (cls->respondsToSelector(selModelCustomPropertyMapper())) {
            if (auto custom = dv::as<NSDictionary>(cls->performClassSelector(selModelCustomPropertyMapper()))) {
                for (const auto& [key, value] : *custom) {
                    auto name = dv::as<NSString>(key);
                    if (!name)
                        continue;
                    auto found = byName.find(name->utf8());
                    if (found == byName.end())
                        continue;
                    MMModelPropertyMeta* property = found->second;
                    unmapped.erase(name->utf8());

                    if (auto mappedKey = dv::as<NSString>(value)) {
                        if (mappedKey->utf8().empty())
                            continue;
                        property->mappedToKey = mappedKey;
                        property->mappedToKeyPath = splitKeyPath(mappedKey);
                        if (property->mappedToKeyPath.size() >= 2)
                            meta->keyPathPropertyMetas.push_back(property);
                        else
                            property->mappedToKeyPath.clear();
                        chain(mappedKey, property);
                    } else if (auto keys = dv::as<NSArray>(value)) {
                        auto keyArray = NSMutableArray::array();
                        for (const id& item : *keys) {
                            auto oneKey = dv::as<NSString>(item);
                            if (!oneKey || oneKey->utf8().empty())
                                continue;
                            auto path = splitKeyPath(oneKey);
                            if (path.size() >= 2)
                                keyArray->addObject(arrayOf(path));
                            else
                                keyArray->addObject(oneKey);
                            if (!property->mappedToKey) {
                                property->mappedToKey = oneKey;
                                if (path.size() >= 2)
                                    property->mappedToKeyPath = std::move(path);
                            }
                        }
                        if (!property->mappedToKey)
                            continue;
                        property->mappedToKeyArray = keyArray;
                        meta->multiKeysPropertyMetas.push_back(property);
                        chain(value, property);
                    }
                }
            }
        }
        // The rest map to their own names, in declaration order.
        for (MMModelPropertyMeta* property : collected) {
            if (!unmapped.contains(property->name->utf8()))
                continue;
            property->mappedToKey = property->name;
            chain(property->name, property);
        }

        for (auto& [key, head] : mapper) {
            meta->mapper.push_back({key, head});
            if (auto name = dv::as<NSString>(key))
                meta->m_byKey.emplace(name->utf8(), head);
        }
        meta->keyMappedCount = meta->allPropertyMetas.size();
        meta->nsType = MMNSTypeOfClass(cls);
        meta->hasCustomWillTransformFromDictionary = cls->instancesRespondToSelector(selModelCustomWillTransformFromDictionary());
        meta->hasCustomTransformFromDictionary = cls->instancesRespondToSelector(selModelCustomTransformFromDictionary());
        meta->hasCustomTransformToDictionary = cls->instancesRespondToSelector(selModelCustomTransformToDictionary());
        meta->hasCustomClassFromDictionary = cls->respondsToSelector(selModelCustomClassForDictionary());
        return meta;
    }
};

const MMModelMeta* MMModelMeta::metaWithClass(Class cls)
{
    if (!cls)
        return nullptr;
    static auto* cache = new ClassTable<MMModelMeta>();
    if (const MMModelMeta* meta = cache->find(cls))
        return meta;
    // Built outside the table's lock (hooks may convert other classes); the first record stored
    // stays, and a record built in a race is dropped before anyone saw it.
    return dv::keepingForever([&]() -> const MMModelMeta* {
        std::unique_ptr<MMModelMeta> built = MMModelMetaBuilder::build(cls);
        if (!built)
            return nullptr;
        MMModelMeta* winner = cache->insertIfAbsent(cls, built.get());
        if (winner == built.get())
            built.release(); // owned by the table for the life of the process
        return winner;
    });
}

} // namespace dv::internal::model
