#include "platform/base/Runtime.h"

#include "platform/base/Mutex.h"
#include "platform/base/NSString.h"

#include <unordered_map>
#include <unordered_set>

namespace {

struct SelectorTable {
    dv::SharedMutex lock;
    std::unordered_set<std::string> names DV_GUARDED_BY(lock);
};

SelectorTable& selectors()
{
    static auto* table = new SelectorTable; // lives for the process: selectors are never freed
    return *table;
}

struct ClassTable {
    dv::SharedMutex lock;
    std::unordered_map<std::string_view, std::pair<Class, Class>> byName DV_GUARDED_BY(lock);
    std::vector<Class> all DV_GUARDED_BY(lock);
};

ClassTable& classes()
{
    static auto* table = new ClassTable;
    return *table;
}

} // namespace

SEL::SEL(std::string_view name)
{
    auto& table = selectors();
    {
        dv::SharedMutexReadLocker reader(table.lock);
        if (auto it = table.names.find(std::string(name)); it != table.names.end()) {
            m_name = &*it;
            return;
        }
    }
    dv::SharedMutexLocker writer(table.lock);
    m_name = &*table.names.emplace(name).first; // node-based: the address is stable
}

SEL sel_registerName(const char* name) { return name ? SEL(name) : SEL(); }
const char* sel_getName(SEL sel) { return sel.name(); }
SEL NSSelectorFromString(const Ref<NSString>& name) { return name ? SEL(name->utf8()) : SEL(); }
Ref<NSString> NSStringFromSelector(SEL sel) { return sel ? NSString::stringWithUTF8String(sel.name()) : nullptr; }

namespace dv {

std::vector<std::pair<std::string, std::string>> PropertyDescriptor::attributeList() const
{
    // Attributes are separated by commas; a quoted class name in the type never holds one, but
    // a structure encoding may hold nested braces, so commas inside braces or quotes are kept.
    std::vector<std::pair<std::string, std::string>> list;
    std::string current;
    int depth = 0;
    bool quoted = false;
    auto flush = [&] {
        if (!current.empty())
            list.emplace_back(current.substr(0, 1), current.substr(1));
        current.clear();
    };
    for (char c : attributes) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == '{' || c == '(' || c == '['))
            ++depth;
        else if (!quoted && (c == '}' || c == ')' || c == ']') && depth > 0)
            --depth;
        if (c == ',' && depth == 0 && !quoted) {
            flush();
            continue;
        }
        current.push_back(c);
    }
    flush();
    return list;
}

const MethodDescriptor* ClassDescriptor::findMethod(SEL selector) const
{
    for (Class cls = this; cls; cls = cls->m_superclass)
        for (auto& method : cls->m_methods)
            if (method.selector == selector)
                return &method;
    return nullptr;
}

const PropertyDescriptor* ClassDescriptor::findOwnProperty(std::string_view name) const
{
    for (auto& property : m_properties)
        if (property.name == name)
            return &property;
    return nullptr;
}

const PropertyDescriptor* ClassDescriptor::findProperty(std::string_view name) const
{
    for (Class cls = this; cls; cls = cls->m_superclass)
        if (auto* property = cls->findOwnProperty(name))
            return property;
    return nullptr;
}

bool ClassDescriptor::isSubclassOfClass(Class other) const
{
    for (Class cls = this; cls; cls = cls->m_superclass)
        if (cls == other)
            return true;
    return false;
}

bool ClassDescriptor::instancesRespondToSelector(SEL selector) const
{
    if (findMethod(selector))
        return true;
    // Declared properties answer their accessors.
    std::string_view name = selector.name() ? selector.name() : "";
    for (Class cls = this; cls; cls = cls->m_superclass) {
        for (auto& property : cls->m_properties) {
            if (name == property.name && property.getter)
                return true;
            if (property.setter && name.size() == property.name.size() + 4 && name.starts_with("set") && name.ends_with(":")
                && name[3] == static_cast<char>(std::toupper(static_cast<unsigned char>(property.name[0])))
                && name.substr(4, property.name.size() - 1) == std::string_view(property.name).substr(1))
                return true;
        }
    }
    return false;
}

bool ClassDescriptor::respondsToSelector(SEL selector) const
{
    Class meta = m_isMeta ? this : m_metaclass;
    return meta && meta->findMethod(selector);
}

id ClassDescriptor::performClassSelector(SEL selector, std::span<const id> args) const
{
    Class meta = m_isMeta ? this : m_metaclass;
    auto* method = meta ? meta->findMethod(selector) : nullptr;
    return method && method->imp ? method->imp(nullptr, args) : nullptr;
}

id ClassDescriptor::createInstance() const
{
    Class cls = instanceClass();
    return cls->m_factory ? cls->m_factory() : nullptr;
}

std::pair<ClassDescriptor*, ClassDescriptor*> ClassRegistry::makeDescriptors(std::string name, Class superclass)
{
    auto* cls = new ClassDescriptor; // descriptors live for the process
    auto* meta = new ClassDescriptor;
    cls->m_name = name;
    cls->m_superclass = superclass;
    cls->m_metaclass = meta;
    meta->m_name = std::move(name);
    meta->m_isMeta = true;
    meta->m_instanceClass = cls;
    // As in the platform's runtime, the root metaclass's superclass is the root class itself.
    meta->m_superclass = superclass ? superclass->m_metaclass : cls;
    return {cls, meta};
}

Class ClassRegistry::add(ClassDescriptor* cls, ClassDescriptor* meta)
{
    auto& table = classes();
    dv::SharedMutexLocker writer(table.lock);
    auto [it, inserted] = table.byName.try_emplace(cls->m_name, cls, meta);
    if (!inserted)
        return it->second.first;
    table.all.push_back(cls);
    return cls;
}

Class ClassRegistry::lookup(std::string_view name)
{
    auto& table = classes();
    dv::SharedMutexReadLocker reader(table.lock);
    auto it = table.byName.find(name);
    return it == table.byName.end() ? Nil : it->second.first;
}

std::vector<Class> ClassRegistry::allClasses()
{
    auto& table = classes();
    dv::SharedMutexReadLocker reader(table.lock);
    return table.all;
}

} // namespace dv

Class NSClassFromString(const Ref<NSString>& name) { return name ? dv::ClassRegistry::lookup(name->utf8()) : Nil; }
Ref<NSString> NSStringFromClass(Class cls) { return cls ? NSString::stringWithUTF8String(cls->name()) : nullptr; }
Class objc_getClass(const char* name) { return name ? dv::ClassRegistry::lookup(name) : Nil; }

Class objc_getMetaClass(const char* name)
{
    Class cls = objc_getClass(name);
    return cls ? cls->metaclass() : Nil;
}

Class class_getSuperclass(Class cls) { return cls ? cls->superclass() : Nil; }
bool class_isMetaClass(Class cls) { return cls && cls->isMetaClass(); }
