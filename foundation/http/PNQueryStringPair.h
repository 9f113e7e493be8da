// PNQueryStringPair: one flattened request parameter (a possibly bracketed field and a leaf
// value), and the form encoding built from such pairs:
//
//   PNQueryStringFromParameters(NSDictionary::of({{"user"_ns, NSDictionary::of({{"name"_ns, "n"_ns}})}}))
//   // "user%5Bname%5D=n"
#pragma once

#include "platform/base/NSObject.h"

class PNQueryStringPair : public NSObject {
    DV_CLASS(PNQueryStringPair, NSObject)

    PNQueryStringPair() = default;
    Ref<PNQueryStringPair> initWithField(const id& field, const id& value);

    // "field=value", both percent-escaped; the bare field when the value is nil or null.
    Ref<NSString> URLEncodedStringValue() const;

    id field() const { return m_field; }
    void setField(const id& field) { m_field = field; }
    id value() const { return m_value; }
    void setValue(const id& value) { m_value = value; }

private:
    id m_field;
    id m_value;
};

// Escapes everything but ASCII letters, digits and "-._~/?" as UTF-8 percent-escapes.
Ref<NSString> PNPercentEscapeString(const Ref<NSString>& string);
// Flattens parameters: dictionary keys and set members sorted by description, "key[sub]" for
// nested dictionaries, "key[]" for array elements, set members under the key itself.
Ref<NSArray> PNQueryPairsFromKeyValue(const id& key, const id& value);
// The pairs of the parameters, encoded and joined with "&".
Ref<NSString> PNQueryStringFromParameters(const id& parameters);
