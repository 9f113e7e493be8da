// The value conversions of the model mapping: one JSON value into one property, numbers from
// JSON values, dates from text, values at key paths, and numbers read from numeric properties.
#pragma once

#include "foundation/identity/model/internal/MMModelMeta.h"

#include <vector>

namespace dv::internal::model {

// A number from a JSON value: numbers themselves; strings by the number words ("true", "NO",
// "null", ...), as a decimal integer when they hold no "." (an out-of-range value saturates;
// past 2^63-1 the number is unsigned) or as a double otherwise (NaN and infinity give nil).
Ref<NSNumber> MMNumberFromObject(const id& value);
// Sets a numeric property from a number (nil sets zero).
void MMModelSetNumber(NSObject& model, const Ref<NSNumber>& number, const MMModelPropertyMeta& meta);
// Sets one property from one JSON value by the conversion rules of its type.
void MMModelSetPropertyFromValue(NSObject& model, const id& value, const MMModelPropertyMeta& meta);
// The value at a key path of nested dictionaries, or nil.
id MMValueAtKeyPath(const NSDictionary& dictionary, const std::vector<Ref<NSString>>& path);
// The date of a text in one of the reply forms, or nil.
Ref<NSDate> MMDateFromString(const NSString& text);
// The class every block is a kind of.
Class MMBlockBaseClass();
// The number of a numeric property's value; nil for NaN or infinite floating-point values.
Ref<NSNumber> MMNumberFromProperty(const NSObject& model, const MMModelPropertyMeta& meta);
// True for an NSDecimalNumber.
bool isDecimalNumber(const NSObject* value);

} // namespace dv::internal::model
