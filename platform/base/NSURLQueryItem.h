// NSURLQueryItem: one name=value pair of a URL query, decoded. A nil value means the pair had no
// "=" ("?flag"); an empty value means "?flag=".
#pragma once

#include "platform/base/NSObject.h"

class NSURLQueryItem : public NSObject, public NSCopying {
    DV_CLASS(NSURLQueryItem, NSObject)

    NSURLQueryItem() = default;
    Ref<NSURLQueryItem> initWithName(const Ref<NSString>& name, const Ref<NSString>& value);
    static Ref<NSURLQueryItem> queryItemWithName(const Ref<NSString>& name, const Ref<NSString>& value);

    Ref<NSString> name() const { return m_name; }
    Ref<NSString> value() const { return m_value; }

    Ref<NSString> description() const override;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;
    id copyWithZone(NSZone* zone) const override;

private:
    Ref<NSString> m_name;
    Ref<NSString> m_value;
};
