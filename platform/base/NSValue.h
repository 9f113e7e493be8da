// NSValue: a boxed C value (a geometry structure, a range, a pointer) with its type encoding.
// NSNumber derives from it for the scalar kinds. Geometry and ranges archive by kind
// ("NS.special") and value; a pointer or an unretained object cannot be archived and fails the
// archive.
#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/NSObject.h"

#include <variant>

class NSValue : public NSObject, public NSCopying, public NSCoding {
    DV_CLASS(NSValue, NSObject)

    NSValue() = default;

    static Ref<NSValue> valueWithCGPoint(CGPoint p);
    static Ref<NSValue> valueWithCGSize(CGSize s);
    static Ref<NSValue> valueWithCGRect(CGRect r);
    static Ref<NSValue> valueWithCGVector(CGVector v);
    static Ref<NSValue> valueWithUIEdgeInsets(UIEdgeInsets i);
    static Ref<NSValue> valueWithCGAffineTransform(CGAffineTransform t);
    static Ref<NSValue> valueWithRange(NSRange r);
    static Ref<NSValue> valueWithPointer(const void* pointer);
    static Ref<NSValue> valueWithNonretainedObject(const id& object);

    // Accessors answer zero values when the boxed value is of another type.
    CGPoint CGPointValue() const;
    CGSize CGSizeValue() const;
    CGRect CGRectValue() const;
    CGVector CGVectorValue() const;
    UIEdgeInsets UIEdgeInsetsValue() const;
    CGAffineTransform CGAffineTransformValue() const;
    NSRange rangeValue() const;
    const void* pointerValue() const;
    id nonretainedObjectValue() const;

    // The type encoding of the boxed value: "{CGPoint=dd}", "{CGRect={CGPoint=dd}{CGSize=dd}}",
    // "{_NSRange=QQ}", "^v", ...
    virtual const char* objCType() const;

    Ref<NSString> description() const override;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;
    id copyWithZone(NSZone* zone) const override;
    bool isEqualToValue(const Ref<NSValue>& other) const;

    static bool supportsSecureCoding() { return true; }
    void encodeWithCoder(NSCoder& coder) const override;
    id initWithCoder(NSCoder& coder) override;

protected:
    using Storage = std::variant<std::monostate, CGPoint, CGSize, CGRect, CGVector, UIEdgeInsets, CGAffineTransform,
                                 NSRange, const void*, Weak<NSObject>>;
    // The boxed value. Values made by the factories keep it in a subclass of their own, so that
    // NSNumber, which keeps its scalar itself, does not carry room for a transform; a bare
    // NSValue holds nothing.
    virtual const Storage& storage() const;
};
