// ClassBuilder: describes a class to the runtime from its source file (see DV_DEFINE_CLASS_WITH
// in Runtime.h). Members are declared with their type encodings so that reflection sees what the
// platform's runtime would show:
//
//   DV_DEFINE_CLASS_WITH(VQCityModel, b)
//   {
//       b.property("name", &VQCityModel::m_name, "T@\"NSString\",C,N,V_name");
//       b.classMethod("modelCustomPropertyMapper", "@16@0:8", [](auto) { return mapper(); });
//   }
#pragma once

#include "platform/base/Boxing.h"
#include "platform/base/Runtime.h"

#include <any>
#include <bit>
#include <type_traits>

// A block (a std::function) as an object, so that key-value coding and the model mapping can
// hold block-typed properties. Every block is a kind of NSBlock.
class NSBlock : public NSObject {
    DV_CLASS(NSBlock, NSObject)

    NSBlock() = default;
    template <class F>
    static Ref<NSBlock> withFunction(F function)
    {
        auto block = std::make_shared<NSBlock>();
        block->m_function = std::move(function);
        return block;
    }
    // The function when it is of type F, else null.
    template <class F>
    const F* function() const { return std::any_cast<F>(&m_function); }

private:
    std::any m_function;
};

namespace dv {

// A class as an object: the platform's classes are objects that go into collections and come back
// from methods (the model mapping's hooks answer them). Its class is the metaclass of the class it
// stands for, so class_isMetaClass(object->getClass()) tells a class object apart.
class ClassObject : public NSObject {
public:
    explicit ClassObject(Class cls) : m_cls(cls) { }
    Class getClass() const override { return m_cls->metaclass() ? m_cls->metaclass() : m_cls; }
    Class representedClass() const { return m_cls; }
    Ref<NSString> description() const override { return NSString::stringWithUTF8String(m_cls->name()); }
    bool isEqual(const NSObject* other) const override
    {
        auto* object = dynamic_cast<const ClassObject*>(other);
        return object && object->m_cls == m_cls;
    }
    NSUInteger hash() const override { return std::hash<const void*>()(m_cls); }

private:
    Class m_cls;
};

// The class object of `cls` (nil for Nil), and the class a class object stands for (Nil for
// anything else).
inline id classObject(Class cls)
{
    return cls ? std::static_pointer_cast<NSObject>(std::make_shared<ClassObject>(cls)) : nullptr;
}
inline Class classOfClassObject(const NSObject* object)
{
    auto* classObject = dynamic_cast<const ClassObject*>(object);
    return classObject ? classObject->representedClass() : Nil;
}

template <class V>
struct IsFunction : std::false_type { };
template <class R, class... A>
struct IsFunction<std::function<R(A...)>> : std::true_type { };

// Boxing as the registry uses it: blocks become NSBlock objects (an empty block is nil), copied
// object properties store a copy, as the platform's synthesized setter does.
template <class V>
id boxPropertyValue(const V& value)
{
    if constexpr (IsFunction<V>::value)
        return value ? std::static_pointer_cast<NSObject>(NSBlock::withFunction(value)) : nullptr;
    else
        return box<V>(value);
}

template <class V>
V unboxPropertyValue(const id& object)
{
    if constexpr (IsFunction<V>::value) {
        auto block = std::dynamic_pointer_cast<NSBlock>(object);
        const V* function = block ? block->template function<V>() : nullptr;
        return function ? *function : V {};
    } else {
        return unbox<V>(object);
    }
}

template <class V>
std::string propertyEncoding()
{
    if constexpr (IsFunction<V>::value)
        return "@?";
    else
        return encodingOf<V>();
}

template <class V>
V copiedPropertyValue(V value)
{
    if constexpr (IsRef<V>::value) {
        if (value && value->conformsToCopying()) {
            using E = typename IsRef<V>::Element;
            // A copy of a mutable object is immutable; keep the value when that no longer fits.
            if (auto copied = std::dynamic_pointer_cast<E>(value->copy()))
                return copied;
        }
    }
    return value;
}

// Typed access to one property of one class, for callers that know the value type (the model
// mapping's fast path). Reached through PropertyDescriptor::typedAccess when valueType matches.
template <class V>
struct TypedPropertyAccess {
    std::function<V(const NSObject&)> get;
    std::function<void(NSObject&, V)> set; // empty for a read-only property
};

template <class T>
class ClassBuilder {
public:
    using Describe = void (*)(ClassBuilder<T>&);

    static Class build(const char* name, Class superclass, Describe describe)
    {
        auto [cls, meta] = ClassRegistry::makeDescriptors(name, superclass);
        if constexpr (std::is_default_constructible_v<T> && !std::is_abstract_v<T>)
            cls->m_factory = [] { return std::static_pointer_cast<NSObject>(std::make_shared<T>()); };
        ClassBuilder builder(cls, meta);
        if (describe)
            describe(builder);
        return ClassRegistry::add(cls, meta);
    }

    // An instance variable of type V at member `member`.
    template <class V>
    ClassBuilder& ivar(const char* name, V T::*member)
    {
        m_cls->m_ivars.push_back({name, memberOffset(member), propertyEncoding<V>()});
        return *this;
    }

    // A property backed by a member: boxed and typed accessors, its ivar (named by the `V`
    // attribute), and getter/setter methods under their selectors. Read-only when the attributes
    // carry `R`.
    template <class V>
    ClassBuilder& property(const char* name, V T::*member, std::string attributes)
    {
        auto getter = [member](const NSObject& object) -> V { return static_cast<const T&>(object).*member; };
        std::function<void(NSObject&, V)> setter;
        if (!hasAttribute(attributes, 'R')) {
            if (hasAttribute(attributes, 'C'))
                setter = [member](NSObject& object, V value) { static_cast<T&>(object).*member = copiedPropertyValue<V>(std::move(value)); };
            else
                setter = [member](NSObject& object, V value) { static_cast<T&>(object).*member = std::move(value); };
        }
        addProperty<V>(name, std::move(attributes), getter, setter);
        // The ivar takes the property's own type encoding: computing it again would ask for the
        // descriptor of a class that is still being built when a model holds its own class.
        const std::string& declared = m_cls->m_properties.back().attributes;
        if (auto ivarName = attributeValue(declared, 'V'); !ivarName.empty())
            m_cls->m_ivars.push_back({ivarName, memberOffset(member), attributeValue(declared, 'T')});
        return *this;
    }

    // A property with accessor functions (computed, or stored elsewhere). An empty setter makes
    // it read-only for key-value coding; with both empty the property is declared only (as a
    // dynamic property that nothing implements).
    template <class V>
    ClassBuilder& property(const char* name, std::string attributes, std::function<V(const T&)> get,
                           std::function<void(T&, V)> set = {})
    {
        std::function<void(NSObject&, V)> setter;
        if (set)
            setter = [set](NSObject& object, V value) { set(static_cast<T&>(object), std::move(value)); };
        std::function<V(const NSObject&)> getter;
        if (get)
            getter = [get](const NSObject& object) { return get(static_cast<const T&>(object)); };
        addProperty<V>(name, std::move(attributes), getter, setter);
        return *this;
    }

    // An instance method under `selector` with its type encoding; `imp` receives the receiver as T.
    ClassBuilder& method(const char* selector, const char* types, std::function<id(T& self, std::span<const id> args)> imp)
    {
        m_cls->m_methods.push_back({SEL(selector), types, [imp](NSObject* self, std::span<const id> args) -> id {
                                        return self ? imp(static_cast<T&>(*self), args) : nullptr;
                                    }});
        return *this;
    }

    // A class method under `selector`.
    ClassBuilder& classMethod(const char* selector, const char* types, std::function<id(std::span<const id> args)> imp)
    {
        m_meta->m_methods.push_back({SEL(selector), types, [imp](NSObject*, std::span<const id> args) { return imp(args); }});
        return *this;
    }

    // A class method that answers a constant object (the model mapping's customisation hooks).
    ClassBuilder& classMethodReturning(const char* selector, std::function<id()> value)
    {
        return classMethod(selector, "@16@0:8", [value](std::span<const id>) { return value(); });
    }

private:
    ClassBuilder(ClassDescriptor* cls, ClassDescriptor* meta) : m_cls(cls), m_meta(meta) { }

    template <class V>
    static std::ptrdiff_t memberOffset(V T::*member)
    {
        // Under the Itanium C++ ABI a data-member pointer is the member's byte offset.
        return std::bit_cast<std::ptrdiff_t>(member);
    }

    static bool hasAttribute(const std::string& attributes, char flag)
    {
        for (std::size_t i = 0; i < attributes.size();) {
            std::size_t comma = attributes.find(',', i);
            if (comma == std::string::npos)
                comma = attributes.size();
            if (comma - i == 1 && attributes[i] == flag)
                return true;
            i = comma + 1;
        }
        return false;
    }

    static std::string attributeValue(const std::string& attributes, char name)
    {
        PropertyDescriptor probe;
        probe.attributes = attributes;
        for (auto& [key, value] : probe.attributeList())
            if (!key.empty() && key[0] == name)
                return value;
        return {};
    }

    template <class V>
    void addProperty(const char* name, std::string attributes, std::function<V(const NSObject&)> get,
                     std::function<void(NSObject&, V)> set)
    {
        if (!attributes.starts_with('T'))
            attributes = "T" + propertyEncoding<V>() + (attributes.empty() ? "" : "," + attributes);
        PropertyDescriptor property;
        property.name = name;
        property.attributes = std::move(attributes);
        if (get)
            property.getter = [get](const NSObject& object) { return boxPropertyValue<V>(get(object)); };
        if (set)
            property.setter = [set](NSObject& object, const id& value) { set(object, unboxPropertyValue<V>(value)); };
        auto* typed = new TypedPropertyAccess<V> {get, set}; // lives with the descriptor, for the process
        property.typedAccess = typed;
        property.valueType = &typeid(V);
        m_cls->m_properties.push_back(std::move(property));
    }

    ClassDescriptor* m_cls;
    ClassDescriptor* m_meta;
};

// The typed accessors of a property when its value type is V, else null.
template <class V>
const TypedPropertyAccess<V>* typedAccess(const PropertyDescriptor& property)
{
    if (!property.valueType || *property.valueType != typeid(V))
        return nullptr;
    return static_cast<const TypedPropertyAccess<V>*>(property.typedAccess);
}

} // namespace dv

inline Class NSBlock::class_()
{
    static const Class cls = dv::ClassBuilder<NSBlock>::build("NSBlock", NSObject::class_(), nullptr);
    return cls;
}
