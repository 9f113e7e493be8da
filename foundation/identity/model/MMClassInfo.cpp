#include "foundation/identity/model/MMClassInfo.h"

#include "foundation/identity/model/MMClassIvarInfo.h"
#include "foundation/identity/model/MMClassMethodInfo.h"
#include "foundation/identity/model/MMClassPropertyInfo.h"
#include "foundation/identity/model/internal/ClassTable.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"

#include <cctype>
#include <cstring>

DV_DEFINE_CLASS(MMClassIvarInfo)
DV_DEFINE_CLASS(MMClassMethodInfo)
DV_DEFINE_CLASS(MMClassPropertyInfo)
DV_DEFINE_CLASS(MMClassInfo)

// MARK: - Members

Ref<MMClassIvarInfo> MMClassIvarInfo::initWithIvar(const dv::IvarDescriptor* ivar)
{
    if (!ivar)
        return nil;
    m_ivar = ivar;
    if (!ivar->name.empty())
        m_name = NSString::fromUTF8(ivar->name);
    m_offset = ivar->offset;
    if (!ivar->typeEncoding.empty()) {
        m_typeEncoding = NSString::fromUTF8(ivar->typeEncoding);
        m_type = MMTypeFromEncoding(ivar->typeEncoding.c_str());
    }
    return self<MMClassIvarInfo>();
}

namespace {

// The end of the single type that starts at `p` (qualifiers included, frame offset excluded).
const char* skipType(const char* p, const char* end)
{
    while (p < end && std::strchr("rnNoORV", *p))
        ++p;
    if (p >= end)
        return end;
    auto skipNested = [&](char open, char close) {
        int depth = 0;
        for (; p < end; ++p) {
            if (*p == open)
                ++depth;
            else if (*p == close && --depth == 0)
                return p + 1;
        }
        return end;
    };
    switch (*p) {
    case '{': return skipNested('{', '}');
    case '(': return skipNested('(', ')');
    case '[': return skipNested('[', ']');
    case '^': return skipType(p + 1, end);
    case 'b':
        ++p;
        while (p < end && std::isdigit(static_cast<unsigned char>(*p)))
            ++p;
        return p;
    case '@':
        ++p;
        if (p < end && *p == '"') {
            const char* close = static_cast<const char*>(std::memchr(p + 1, '"', static_cast<std::size_t>(end - p - 1)));
            return close ? close + 1 : end;
        }
        if (p < end && *p == '?') {
            ++p;
            if (p < end && *p == '<')
                return skipNested('<', '>');
        }
        return p;
    default: return p + 1;
    }
}

} // namespace

std::vector<std::string> dv::splitMethodTypeEncoding(std::string_view types)
{
    std::vector<std::string> result;
    const char* p = types.data();
    const char* end = p + types.size();
    while (p < end) {
        const char* typeEnd = skipType(p, end);
        if (typeEnd == p)
            break;
        result.emplace_back(p, typeEnd);
        p = typeEnd;
        while (p < end && (std::isdigit(static_cast<unsigned char>(*p)) || *p == '-' || *p == '+'))
            ++p;
    }
    return result;
}

Ref<MMClassMethodInfo> MMClassMethodInfo::initWithMethod(const dv::MethodDescriptor* method)
{
    if (!method)
        return nil;
    m_method = method;
    m_sel = method->selector;
    m_imp = &method->imp;
    if (const char* name = sel_getName(m_sel))
        m_name = NSString::stringWithUTF8String(name);
    m_typeEncoding = NSString::fromUTF8(method->typeEncoding);
    auto types = dv::splitMethodTypeEncoding(method->typeEncoding);
    if (!types.empty())
        m_returnTypeEncoding = NSString::fromUTF8(types.front());
    if (types.size() > 1) {
        auto arguments = NSMutableArray::arrayWithCapacity(types.size() - 1);
        for (std::size_t i = 1; i < types.size(); ++i)
            arguments->addObject(NSString::fromUTF8(types[i]));
        m_argumentTypeEncodings = arguments;
    }
    return self<MMClassMethodInfo>();
}

Ref<MMClassPropertyInfo> MMClassPropertyInfo::initWithProperty(const dv::PropertyDescriptor* property)
{
    if (!property)
        return nil;
    m_property = property;
    m_name = NSString::fromUTF8(property->name);

    MMEncodingType type = 0;
    for (const auto& [attribute, value] : property->attributeList()) {
        if (attribute.empty())
            continue;
        switch (attribute[0]) {
        case 'T': {
            m_typeEncoding = NSString::fromUTF8(value);
            type = MMTypeFromEncoding(value.c_str());
            if ((type & MMEncodingTypeMask) == MMEncodingTypeObject && value.size() >= 4) {
                std::string className = value.substr(2, value.size() - 3);
                m_cls = objc_getClass(className.c_str());
            }
            break;
        }
        case 'V': m_ivarName = NSString::fromUTF8(value); break;
        case 'R': type |= MMEncodingTypePropertyReadonly; break;
        case 'C': type |= MMEncodingTypePropertyCopy; break;
        case '&': type |= MMEncodingTypePropertyRetain; break;
        case 'N': type |= MMEncodingTypePropertyNonatomic; break;
        case 'D': type |= MMEncodingTypePropertyDynamic; break;
        case 'W': type |= MMEncodingTypePropertyWeak; break;
        case 'G':
            type |= MMEncodingTypePropertyCustomGetter;
            m_getter = NSString::fromUTF8(value);
            break;
        case 'S':
            type |= MMEncodingTypePropertyCustomSetter;
            m_setter = NSString::fromUTF8(value);
            break;
        default: break;
        }
    }
    m_type = type;

    const std::string& name = property->name;
    if (!name.empty()) {
        if (!m_getter)
            m_getter = m_name;
        if (!m_setter) {
            std::string setter = "set";
            setter += static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
            setter.append(name, 1);
            setter += ':';
            m_setter = NSString::fromUTF8(setter);
        }
    }
    return self<MMClassPropertyInfo>();
}

// MARK: - Class

namespace {

dv::internal::model::ClassTable<MMClassInfo>& classInfoCache()
{
    // Lives for the process: records handed out must outlive every reader.
    static auto* cache = new dv::internal::model::ClassTable<MMClassInfo>();
    return *cache;
}

dv::Mutex& classInfoOwnersMutex()
{
    static auto* mutex = new dv::Mutex();
    return *mutex;
}

std::vector<Ref<MMClassInfo>>& classInfoOwners() DV_REQUIRES(classInfoOwnersMutex())
{
    static auto* owners = new std::vector<Ref<MMClassInfo>>();
    return *owners;
}

template <class Info, class Member, class Make>
Ref<NSDictionary> describeMembers(const std::vector<Member>& members, Make make)
{
    if (members.empty())
        return nil;
    auto infos = NSMutableDictionary::dictionaryWithCapacity(members.size());
    for (const Member& member : members) {
        Ref<Info> info = make(&member);
        if (info && info->name())
            infos->setObjectForKey(info, info->name()); // a later member of the same name replaces
    }
    return infos;
}

} // namespace

Ref<MMClassInfo> MMClassInfo::initWithClass(Class cls)
{
    if (!cls)
        return nil;
    m_cls = cls;
    m_superCls = class_getSuperclass(cls);
    m_isMeta = class_isMetaClass(cls);
    if (!m_isMeta)
        m_metaCls = objc_getMetaClass(cls->name());
    m_name = NSStringFromClass(cls);
    update();
    m_superClassInfo = classInfoWithClass(m_superCls);
    return self<MMClassInfo>();
}

void MMClassInfo::update()
{
    auto methods = describeMembers<MMClassMethodInfo>(m_cls->methods(), [](const dv::MethodDescriptor* m) {
        return alloc<MMClassMethodInfo>()->initWithMethod(m);
    });
    auto properties = describeMembers<MMClassPropertyInfo>(m_cls->properties(), [](const dv::PropertyDescriptor* p) {
        return alloc<MMClassPropertyInfo>()->initWithProperty(p);
    });
    auto ivars = describeMembers<MMClassIvarInfo>(m_cls->ivars(), [](const dv::IvarDescriptor* i) {
        return alloc<MMClassIvarInfo>()->initWithIvar(i);
    });
    dv::MutexLocker lock(m_membersMutex);
    m_methodInfos = methods;
    m_propertyInfos = properties;
    m_ivarInfos = ivars;
    m_needUpdate.store(false, std::memory_order_release);
}

void MMClassInfo::setNeedUpdate()
{
    m_needUpdate.store(true, std::memory_order_release);
}

Ref<NSDictionary> MMClassInfo::ivarInfos() const
{
    dv::MutexLocker lock(m_membersMutex);
    return m_ivarInfos;
}

Ref<NSDictionary> MMClassInfo::methodInfos() const
{
    dv::MutexLocker lock(m_membersMutex);
    return m_methodInfos;
}

Ref<NSDictionary> MMClassInfo::propertyInfos() const
{
    dv::MutexLocker lock(m_membersMutex);
    return m_propertyInfos;
}

Ref<MMClassInfo> MMClassInfo::classInfoWithClass(Class cls)
{
    if (!cls)
        return nil;
    auto& cache = classInfoCache();
    if (MMClassInfo* info = cache.find(cls)) {
        if (info->needUpdate())
            info->update();
        return info->self<MMClassInfo>();
    }
    // Built outside any lock (it describes the superclasses through this cache). When two
    // threads build the same class, the first record stored stays and the other is dropped. The
    // records are kept for the process.
    MMClassInfo* winner = dv::keepingForever([&]() -> MMClassInfo* {
        Ref<MMClassInfo> built = alloc<MMClassInfo>()->initWithClass(cls);
        if (!built)
            return nullptr;
        MMClassInfo* stored = cache.insertIfAbsent(cls, built.get());
        if (stored == built.get()) {
            dv::MutexLocker lock(classInfoOwnersMutex());
            classInfoOwners().push_back(built);
        }
        return stored;
    });
    return winner ? winner->self<MMClassInfo>() : nil;
}

Ref<MMClassInfo> MMClassInfo::classInfoWithClassName(const Ref<NSString>& className)
{
    return classInfoWithClass(NSClassFromString(className));
}
