// NSValue: boxed geometry, ranges and pointers, compared and hashed by content.
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSValue.h"

#include "platform/base/NSCoder.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/internal/FormatErrors.h"

#include <cstdio>
#include <cstring>
#include <functional>

DV_DEFINE_CLASS(NSValue)

namespace {

std::string hexPointer(const void* pointer)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "<0x%llx>", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(pointer)));
    return buffer;
}

// -0 and 0 compare equal, so they must hash alike.
void mix(std::size_t& h, double value)
{
    value += 0.0;
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    h ^= std::hash<std::uint64_t>()(bits) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
}

void mix(std::size_t& h, std::uint64_t value) { h ^= std::hash<std::uint64_t>()(value) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); }

} // namespace

namespace {

// What the factories make: an NSValue (by class and behaviour) that holds its boxed value.
class BoxedValue final : public NSValue {
public:
    explicit BoxedValue(Storage value = {}) : m_value(std::move(value)) { }
    const Storage& storage() const override { return m_value; }
    id initWithCoder(NSCoder& coder) override;

    static Ref<NSValue> make(Storage value)
    {
        auto result = std::make_shared<BoxedValue>(std::move(value));
        result->init();
        return result;
    }

private:
    Storage m_value;
};

} // namespace

const NSValue::Storage& NSValue::storage() const
{
    static const Storage nothing;
    return nothing;
}

#define DV_VALUE_FACTORY(Name, Type) \
    Ref<NSValue> NSValue::Name(Type v) { return BoxedValue::make(v); }

DV_VALUE_FACTORY(valueWithCGPoint, CGPoint)
DV_VALUE_FACTORY(valueWithCGSize, CGSize)
DV_VALUE_FACTORY(valueWithCGRect, CGRect)
DV_VALUE_FACTORY(valueWithCGVector, CGVector)
DV_VALUE_FACTORY(valueWithUIEdgeInsets, UIEdgeInsets)
DV_VALUE_FACTORY(valueWithCGAffineTransform, CGAffineTransform)
DV_VALUE_FACTORY(valueWithRange, NSRange)
DV_VALUE_FACTORY(valueWithPointer, const void*)
#undef DV_VALUE_FACTORY

Ref<NSValue> NSValue::valueWithNonretainedObject(const id& object) { return BoxedValue::make(Weak<NSObject>(object)); }

namespace {
template <class V, class S>
V storedOrZero(const S& storage)
{
    if (auto p = std::get_if<V>(&storage))
        return *p;
    return V {};
}
} // namespace

CGPoint NSValue::CGPointValue() const { return storedOrZero<CGPoint>(storage()); }
CGSize NSValue::CGSizeValue() const { return storedOrZero<CGSize>(storage()); }
CGRect NSValue::CGRectValue() const { return storedOrZero<CGRect>(storage()); }
CGVector NSValue::CGVectorValue() const { return storedOrZero<CGVector>(storage()); }
UIEdgeInsets NSValue::UIEdgeInsetsValue() const { return storedOrZero<UIEdgeInsets>(storage()); }
CGAffineTransform NSValue::CGAffineTransformValue() const { return storedOrZero<CGAffineTransform>(storage()); }
NSRange NSValue::rangeValue() const { return storedOrZero<NSRange>(storage()); }
const void* NSValue::pointerValue() const { return storedOrZero<const void*>(storage()); }
id NSValue::nonretainedObjectValue() const
{
    if (auto p = std::get_if<Weak<NSObject>>(&storage()))
        return p->lock();
    return nil;
}

const char* NSValue::objCType() const
{
    switch (storage().index()) {
    case 1:
        return "{CGPoint=dd}";
    case 2:
        return "{CGSize=dd}";
    case 3:
        return "{CGRect={CGPoint=dd}{CGSize=dd}}";
    case 4:
        return "{CGVector=dd}";
    case 5:
        return "{UIEdgeInsets=dddd}";
    case 6:
        return "{CGAffineTransform=dddddd}";
    case 7:
        return "{_NSRange=QQ}";
    case 8:
        return "^v";
    case 9:
        return "@";
    default:
        return "v";
    }
}

Ref<NSString> NSValue::description() const
{
    std::string text;
    struct Describe {
        std::string& out;
        void operator()(std::monostate) { out = "<>"; }
        void operator()(CGPoint p) { out = "NSPoint: " + NSStringFromCGPointUTF8(p); }
        void operator()(CGSize s) { out = "NSSize: " + NSStringFromCGSizeUTF8(s); }
        void operator()(CGRect r) { out = "NSRect: " + NSStringFromCGRectUTF8(r); }
        void operator()(CGVector v) { out = "CGVector: " + NSStringFromCGPointUTF8({v.dx, v.dy}); }
        void operator()(UIEdgeInsets i) { out = "UIEdgeInsets: " + NSStringFromUIEdgeInsetsUTF8(i); }
        void operator()(CGAffineTransform t)
        {
            out = "CGAffineTransform: {" + NSStringFromUIEdgeInsetsUTF8({t.a, t.b, t.c, t.d}) + ", "
                + NSStringFromCGPointUTF8({t.tx, t.ty}) + "}";
        }
        void operator()(NSRange r) { out = "NSRange: {" + std::to_string(r.location) + ", " + std::to_string(r.length) + "}"; }
        void operator()(const void* p) { out = hexPointer(p); }
        void operator()(const Weak<NSObject>& w) { out = hexPointer(w.lock().get()); }
    };
    std::visit(Describe {text}, storage());
    return NSString::fromUTF8(text);
}

bool NSValue::isEqual(const NSObject* other) const
{
    if (other == this)
        return true;
    auto value = dynamic_cast<const NSValue*>(other);
    if (!value || dynamic_cast<const NSNumber*>(other))
        return false;
    const Storage& mine = storage();
    const Storage& theirs = value->storage();
    if (theirs.index() != mine.index())
        return false;
    if (auto w = std::get_if<Weak<NSObject>>(&mine))
        return w->lock() == std::get<Weak<NSObject>>(theirs).lock();
    return std::visit(
        [&](const auto& held) -> bool {
            using V = std::decay_t<decltype(held)>;
            if constexpr (std::is_same_v<V, Weak<NSObject>>)
                return false;
            else
                return held == std::get<V>(theirs);
        },
        mine);
}

NSUInteger NSValue::hash() const
{
    std::size_t h = storage().index();
    struct Hash {
        std::size_t& h;
        void operator()(std::monostate) { }
        void operator()(CGPoint p) { mix(h, p.x), mix(h, p.y); }
        void operator()(CGSize s) { mix(h, s.width), mix(h, s.height); }
        void operator()(CGRect r) { mix(h, r.origin.x), mix(h, r.origin.y), mix(h, r.size.width), mix(h, r.size.height); }
        void operator()(CGVector v) { mix(h, v.dx), mix(h, v.dy); }
        void operator()(UIEdgeInsets i) { mix(h, i.top), mix(h, i.left), mix(h, i.bottom), mix(h, i.right); }
        void operator()(CGAffineTransform t) { mix(h, t.a), mix(h, t.b), mix(h, t.c), mix(h, t.d), mix(h, t.tx), mix(h, t.ty); }
        void operator()(NSRange r) { mix(h, std::uint64_t(r.location)), mix(h, std::uint64_t(r.length)); }
        void operator()(const void* p) { mix(h, std::uint64_t(reinterpret_cast<std::uintptr_t>(p))); }
        void operator()(const Weak<NSObject>& w) { mix(h, std::uint64_t(reinterpret_cast<std::uintptr_t>(w.lock().get()))); }
    };
    std::visit(Hash {h}, storage());
    return h;
}

id NSValue::copyWithZone(NSZone*) const
{
    // Values are immutable: a copy is the value itself.
    return std::const_pointer_cast<NSObject>(shared_from_this());
}

bool NSValue::isEqualToValue(const Ref<NSValue>& other) const { return other && isEqual(other.get()); }

// Coding ----------------------------------------------------------------------------------------

namespace {

// The kinds of an archived value, under "NS.special".
enum Special : NSInteger {
    kSpecialPoint = 1,
    kSpecialSize = 2,
    kSpecialRect = 3,
    kSpecialRange = 4,
    kSpecialAffineTransform = 5,
    kSpecialEdgeInsets = 6,
    kSpecialVector = 7,
};

} // namespace

void NSValue::encodeWithCoder(NSCoder& coder) const
{
    struct Encode {
        NSCoder& coder;
        void special(NSInteger kind, const char* key, std::string text)
        {
            coder.encodeInteger(kind, "NS.special"_ns);
            coder.encodeObject(NSString::fromUTF8(text), NSString::fromUTF8(key));
        }
        void operator()(CGPoint p) { special(kSpecialPoint, "NS.pointval", NSStringFromCGPointUTF8(p)); }
        void operator()(CGSize s) { special(kSpecialSize, "NS.sizeval", NSStringFromCGSizeUTF8(s)); }
        void operator()(CGRect r) { special(kSpecialRect, "NS.rectval", NSStringFromCGRectUTF8(r)); }
        void operator()(CGVector v) { special(kSpecialVector, "NS.vectorval", NSStringFromCGPointUTF8({v.dx, v.dy})); }
        void operator()(UIEdgeInsets i) { special(kSpecialEdgeInsets, "NS.edgeval", NSStringFromUIEdgeInsetsUTF8(i)); }
        void operator()(CGAffineTransform t) { special(kSpecialAffineTransform, "NS.atval", NSStringFromCGAffineTransformUTF8(t)); }
        void operator()(NSRange r)
        {
            coder.encodeInteger(kSpecialRange, "NS.special"_ns);
            coder.encodeInt64(static_cast<std::int64_t>(r.location), "NS.rangeval.location"_ns);
            coder.encodeInt64(static_cast<std::int64_t>(r.length), "NS.rangeval.length"_ns);
        }
        void refuse(const char* what)
        {
            coder.failWithError(dv::internal::base::makeCocoaError(dv::internal::base::kCoderInvalidValueError,
                                                                   std::string("A value holding ") + what + " cannot be archived."));
        }
        void operator()(std::monostate) { refuse("nothing"); }
        void operator()(const void*) { refuse("a pointer"); }
        void operator()(const Weak<NSObject>&) { refuse("an unretained object"); }
    };
    std::visit(Encode {coder}, storage());
}

id NSValue::initWithCoder(NSCoder& coder)
{
    // A bare value (the unarchiver's first phase) answers one that holds what was archived.
    auto boxed = std::make_shared<BoxedValue>();
    return boxed->initWithCoder(coder);
}

id BoxedValue::initWithCoder(NSCoder& coder)
{
    init();
    auto text = [&](const char* key) { return coder.decodeObjectOfClass<NSString>(NSString::fromUTF8(key)); };
    auto fail = [&](const std::string& message) -> id {
        if (!coder.error())
            coder.failWithError(dv::internal::base::makeCocoaError(dv::internal::base::kCoderReadCorruptError, message));
        return nil;
    };
    NSInteger kind = coder.decodeIntegerForKey("NS.special"_ns);
    Ref<NSString> string;
    switch (kind) {
    case kSpecialPoint:
        if (!(string = text("NS.pointval")))
            return fail("Archived point without its value.");
        m_value = CGPointFromString(string);
        break;
    case kSpecialSize:
        if (!(string = text("NS.sizeval")))
            return fail("Archived size without its value.");
        m_value = CGSizeFromString(string);
        break;
    case kSpecialRect:
        if (!(string = text("NS.rectval")))
            return fail("Archived rectangle without its value.");
        m_value = CGRectFromString(string);
        break;
    case kSpecialVector: {
        if (!(string = text("NS.vectorval")))
            return fail("Archived vector without its value.");
        CGPoint p = CGPointFromString(string);
        m_value = CGVector {p.x, p.y};
        break;
    }
    case kSpecialEdgeInsets:
        if (!(string = text("NS.edgeval")))
            return fail("Archived edge insets without their value.");
        m_value = UIEdgeInsetsFromString(string);
        break;
    case kSpecialAffineTransform:
        if (!(string = text("NS.atval")))
            return fail("Archived transform without its value.");
        m_value = CGAffineTransformFromString(string);
        break;
    case kSpecialRange:
        m_value = NSRange {static_cast<NSUInteger>(coder.decodeInt64ForKey("NS.rangeval.location"_ns)),
                           static_cast<NSUInteger>(coder.decodeInt64ForKey("NS.rangeval.length"_ns))};
        break;
    default:
        return fail("Archived value of an unknown kind " + std::to_string(kind) + ".");
    }
    return coder.error() ? nil : self<NSValue>();
}
