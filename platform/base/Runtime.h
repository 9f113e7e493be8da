// The object runtime: interned selectors, class descriptors and the process-wide class registry.
//
// Every class registers one descriptor (name, superclass, metaclass, factory) with DV_CLASS in its
// header and DV_DEFINE_CLASS in its source. Classes that are reflected on (the model mapping,
// key-value coding) also describe their ivars, methods and properties with type encodings through
// a ClassBuilder (see ClassBuilder.h). Descriptors are built once, on first use or at load time,
// and never change afterwards, so any thread may read them without a lock.
#pragma once

#include "platform/base/Forward.h"

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// An interned selector name. Two selectors with the same name are the same selector; the null
// selector has no name.
class SEL {
public:
    constexpr SEL() = default;
    explicit SEL(std::string_view name);
    SEL(const char* name) : SEL(std::string_view(name)) { }

    const char* name() const { return m_name ? m_name->c_str() : nullptr; }
    bool isNull() const { return m_name == nullptr; }
    explicit operator bool() const { return m_name != nullptr; }
    bool operator==(const SEL& other) const { return m_name == other.m_name; }
    std::size_t hashValue() const { return std::hash<const void*>()(m_name); }

private:
    const std::string* m_name = nullptr;
};

template <>
struct std::hash<SEL> {
    std::size_t operator()(const SEL& s) const noexcept { return s.hashValue(); }
};

SEL sel_registerName(const char* name);
const char* sel_getName(SEL sel);
SEL NSSelectorFromString(const Ref<NSString>& name);
Ref<NSString> NSStringFromSelector(SEL sel);

namespace dv {

// A method as the runtime keeps it: arguments and result are boxed as objects (scalars as
// NSNumber, structures as NSValue, a void result as nil). Class methods receive a null self.
using IMP = std::function<id(NSObject* self, std::span<const id> args)>;

struct IvarDescriptor {
    std::string name;
    std::ptrdiff_t offset = 0;
    std::string typeEncoding;
};

struct MethodDescriptor {
    SEL selector;
    std::string typeEncoding; // return type then argument types, receiver and selector included
    IMP imp;
};

// A declared property: its attribute string in the runtime's form (`T@"NSString",C,N,V_title`)
// and boxed accessors for key-value coding. A read-only property has no setter.
struct PropertyDescriptor {
    std::string name;
    std::string attributes;
    std::function<id(const NSObject& object)> getter;
    std::function<void(NSObject& object, const id& value)> setter;
    // Typed access for the model mapping, keyed by the value's C++ type (see ClassBuilder.h).
    const void* typedAccess = nullptr;
    const std::type_info* valueType = nullptr;

    // The attribute list as (name, value) pairs in declaration order: `T` first, then the flags.
    std::vector<std::pair<std::string, std::string>> attributeList() const;
};

class ClassDescriptor {
public:
    const char* name() const { return m_name.c_str(); }
    Class superclass() const { return m_superclass; }
    Class metaclass() const { return m_isMeta ? Nil : m_metaclass; }
    bool isMetaClass() const { return m_isMeta; }
    // For a metaclass, the class it describes; for a class, itself.
    Class instanceClass() const { return m_isMeta ? m_instanceClass : this; }

    const std::vector<IvarDescriptor>& ivars() const { return m_ivars; }
    const std::vector<MethodDescriptor>& methods() const { return m_methods; }
    const std::vector<PropertyDescriptor>& properties() const { return m_properties; }

    // Members of this class or the nearest superclass that declares them.
    const MethodDescriptor* findMethod(SEL selector) const;
    const PropertyDescriptor* findProperty(std::string_view name) const;
    const PropertyDescriptor* findOwnProperty(std::string_view name) const;

    bool isSubclassOfClass(Class other) const;
    bool instancesRespondToSelector(SEL selector) const;
    bool respondsToSelector(SEL selector) const; // class methods
    // Calls a class method; nil when the class does not respond.
    id performClassSelector(SEL selector, std::span<const id> args = {}) const;

    // A new bare instance (the first phase of creation), or nil for a class that cannot be
    // made without arguments.
    id createInstance() const;
    bool canCreateInstances() const { return static_cast<bool>(m_factory); }

private:
    template <class T>
    friend class ClassBuilder;
    friend class ClassRegistry;

    std::string m_name;
    Class m_superclass = Nil;
    const ClassDescriptor* m_metaclass = nullptr;
    Class m_instanceClass = Nil;
    bool m_isMeta = false;
    std::function<id()> m_factory;
    std::vector<IvarDescriptor> m_ivars;
    std::vector<MethodDescriptor> m_methods;
    std::vector<PropertyDescriptor> m_properties;
};

class ClassRegistry {
public:
    // Makes a class and its metaclass known by name. The descriptor lives for the process.
    // Registering a second class under a taken name keeps the first and returns it.
    static Class add(ClassDescriptor* cls, ClassDescriptor* meta);
    static Class lookup(std::string_view name);
    static std::vector<Class> allClasses();
    // Fills a fresh descriptor pair; used by ClassBuilder.
    static std::pair<ClassDescriptor*, ClassDescriptor*> makeDescriptors(std::string name, Class superclass);
};

} // namespace dv

Class NSClassFromString(const Ref<NSString>& name);
Ref<NSString> NSStringFromClass(Class cls);
Class objc_getClass(const char* name);
Class objc_getMetaClass(const char* name);
Class class_getSuperclass(Class cls);
bool class_isMetaClass(Class cls);

// In a class body: declares the class's descriptor accessors. `super` names the superclass.
#define DV_CLASS(Name, Super)                                                   \
public:                                                                         \
    using super = Super;                                                        \
    using Super::isEqual;                                                       \
    static Class class_();                                                      \
    Class getClass() const override { return Name::class_(); }                  \
                                                                                \
private:                                                                        \
    friend class dv::ClassBuilder<Name>;                                        \
                                                                                \
public:

// In the class's source: defines the descriptor of a class that needs no reflection.
#define DV_DEFINE_CLASS(Name)                                                   \
    Class Name::class_()                                                        \
    {                                                                           \
        static const Class cls = dv::ClassBuilder<Name>::build(#Name, super::class_(), nullptr); \
        return cls;                                                             \
    }                                                                           \
    namespace {                                                                 \
    [[maybe_unused]] const Class dvRegistered##Name = Name::class_();           \
    }

// In the class's source: defines the descriptor with members, described in the block that follows:
//   DV_DEFINE_CLASS_WITH(VQCityModel, b) { b.property("name", &VQCityModel::m_name, "T@\"NSString\",C,N,V_name"); }
#define DV_DEFINE_CLASS_WITH(Name, builder)                                     \
    static void dvDescribe##Name(dv::ClassBuilder<Name>& builder);              \
    Class Name::class_()                                                        \
    {                                                                           \
        static const Class cls = dv::ClassBuilder<Name>::build(#Name, super::class_(), &dvDescribe##Name); \
        return cls;                                                             \
    }                                                                           \
    namespace {                                                                 \
    [[maybe_unused]] const Class dvRegistered##Name = Name::class_();           \
    }                                                                           \
    static void dvDescribe##Name([[maybe_unused]] dv::ClassBuilder<Name>& builder)

namespace dv {

template <class T>
class ClassBuilder;

} // namespace dv
