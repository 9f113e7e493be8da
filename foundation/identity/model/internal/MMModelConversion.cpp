#include "foundation/identity/model/internal/MMModelConversion.h"

#include "foundation/identity/model/MMModel.h"
#include "foundation/identity/model/internal/MMDateFormat.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSCharacterSet.h"
#include "platform/base/NSData.h"
#include "platform/base/NSAttributedString.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNull.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSDecimalNumber.h"
#include "platform/base/NSURL.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <unordered_map>

namespace dv::internal::model {

namespace {

enum class Word { Yes, No, Null };

const std::unordered_map<std::string_view, Word>& numberWords()
{
    static const std::unordered_map<std::string_view, Word> words {
        {"TRUE", Word::Yes}, {"True", Word::Yes}, {"true", Word::Yes}, {"YES", Word::Yes}, {"Yes", Word::Yes},
        {"yes", Word::Yes}, {"FALSE", Word::No}, {"False", Word::No}, {"false", Word::No}, {"NO", Word::No},
        {"No", Word::No}, {"no", Word::No}, {"NIL", Word::Null}, {"Nil", Word::Null}, {"nil", Word::Null},
        {"NULL", Word::Null}, {"Null", Word::Null}, {"null", Word::Null}, {"(NULL)", Word::Null},
        {"(Null)", Word::Null}, {"(null)", Word::Null}, {"<NULL>", Word::Null}, {"<Null>", Word::Null},
        {"<null>", Word::Null},
    };
    return words;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// atoll's reading (blanks, sign, digits, stop at anything else) with a defined overflow. Text
// past the signed 64-bit range gives a decimal number of its digits, which integer properties read
// through its text: a signed one is held at its maximum (as atoll holds it) while an unsigned one
// keeps a value up to its own maximum. An NSNumber of such a value would wrap into a signed
// property instead (a huge count turning negative).
Ref<NSNumber> integerFromText(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::size_t digitsStart = i;
    unsigned long long magnitude = 0;
    bool overflow = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (magnitude > (std::numeric_limits<unsigned long long>::max() - digit) / 10)
            overflow = true;
        else if (!overflow)
            magnitude = magnitude * 10 + digit;
    }
    constexpr unsigned long long signedLimit = static_cast<unsigned long long>(std::numeric_limits<long long>::max());
    if (negative) {
        if (overflow || magnitude > signedLimit + 1)
            return NSNumber::numberWithLongLong(std::numeric_limits<long long>::min());
        return NSNumber::numberWithLongLong(magnitude == signedLimit + 1 ? std::numeric_limits<long long>::min()
                                                                         : -static_cast<long long>(magnitude));
    }
    if (overflow || magnitude > signedLimit)
        return NSDecimalNumber::decimalNumberWithString(NSString::fromUTF8(std::string_view(text).substr(digitsStart, i - digitsStart)));
    return NSNumber::numberWithLongLong(static_cast<long long>(magnitude));
}

template <class V>
void setScalar(NSObject& model, const MMModelPropertyMeta& meta, V value)
{
    if (!meta.hasSetter)
        return;
    if (auto* typed = typedAccess<V>(*meta.property); typed && typed->set)
        typed->set(model, value);
    else
        meta.property->setter(model, box<V>(value));
}

template <class V>
V finiteOrZero(V value)
{
    return std::isfinite(value) ? value : V {};
}

// A model of `cls` (or of the class its hook picks) filled from a dictionary; its own filling
// result is not looked at.
id modelFromDictionary(Class cls, bool askForClass, const Ref<NSDictionary>& dictionary)
{
    if (askForClass && cls) {
        std::array<id, 1> args {dictionary};
        if (Class chosen = classFromHookAnswer(cls->performClassSelector(selModelCustomClassForDictionary(), args)))
            cls = chosen;
    }
    if (!cls)
        return nil;
    id model = cls->createInstance();
    if (model)
        (void)mm_modelSetWithDictionary(model, dictionary);
    return model;
}

// A container element for a generic class: kept when it already is one, built from a
// dictionary, else skipped (nil).
id elementForGenericClass(const id& element, const MMModelPropertyMeta& meta)
{
    if (element->isKindOfClass(meta.genericCls))
        return element;
    if (auto dictionary = dv::as<NSDictionary>(element))
        return modelFromDictionary(meta.genericCls, meta.hasCustomClassFromDictionary, dictionary);
    return nil;
}

Ref<NSString> stringForStringProperty(const id& value)
{
    if (auto string = dv::as<NSString>(value))
        return string;
    if (auto number = dv::as<NSNumber>(value))
        return number->stringValue();
    if (auto url = dv::as<NSURL>(value))
        return url->absoluteString();
    if (auto attributed = dv::as<NSAttributedString>(value))
        return attributed->string();
    return nil;
}

void setFoundationValue(NSObject& model, const id& value, const MMModelPropertyMeta& meta)
{
    using K = MMEncodingNSType;
    if (dynamic_cast<const NSNull*>(value.get())) {
        meta.set(model, nil);
        return;
    }
    switch (meta.nsType) {
    case K::NSString:
    case K::NSMutableString: {
        if (auto data = dv::as<NSData>(value)) {
            // Both kinds get a mutable string; nil when the bytes are not UTF-8.
            auto text = alloc<NSString>()->initWithData(data, NSUTF8StringEncoding);
            meta.set(model, text ? NSMutableString::stringWithString(text) : nil);
            return;
        }
        Ref<NSString> string = stringForStringProperty(value);
        if (!string)
            return;
        if (meta.nsType == K::NSMutableString)
            meta.set(model, NSMutableString::stringWithString(string));
        else if (meta.stringAccess && meta.stringAccess->set)
            meta.stringAccess->set(model, string);
        else
            meta.set(model, string);
        return;
    }
    case K::NSValue:
        if (dv::as<NSValue>(value))
            meta.set(model, value);
        return;
    case K::NSNumber:
        meta.set(model, MMNumberFromObject(value));
        return;
    case K::NSDecimalNumber:
        if (isDecimalNumber(value.get())) {
            meta.set(model, value);
        } else if (auto number = dv::as<NSNumber>(value)) {
            meta.set(model, NSDecimalNumber::decimalNumberWithNumber(number));
        } else if (auto string = dv::as<NSString>(value)) {
            auto decimal = NSDecimalNumber::decimalNumberWithString(string);
            meta.set(model, decimal && !decimal->isNotANumber() ? decimal : nil);
        }
        return;
    case K::NSData:
    case K::NSMutableData: {
        Ref<NSData> data = dv::as<NSData>(value);
        if (!data)
            if (auto string = dv::as<NSString>(value))
                data = string->dataUsingEncoding(NSUTF8StringEncoding);
        if (!data)
            return;
        meta.set(model, meta.nsType == K::NSMutableData ? NSMutableData::dataWithData(data) : data);
        return;
    }
    case K::NSDate:
        if (dv::as<NSDate>(value))
            meta.set(model, value);
        else if (auto string = dv::as<NSString>(value))
            meta.set(model, MMDateFromString(*string));
        return;
    case K::NSURL:
        if (dv::as<NSURL>(value)) {
            meta.set(model, value);
        } else if (auto string = dv::as<NSString>(value)) {
            auto trimmed = string->stringByTrimmingCharactersInSet(NSCharacterSet::whitespaceAndNewlineCharacterSet());
            meta.set(model, trimmed->length() == 0 ? nil : NSURL::URLWithString(trimmed));
        }
        return;
    case K::NSArray:
    case K::NSMutableArray: {
        Ref<NSArray> array = dv::as<NSArray>(value);
        if (!array)
            if (auto set = dv::as<NSSet>(value))
                array = set->allObjects();
        if (!array)
            return;
        if (meta.genericCls) {
            auto models = NSMutableArray::arrayWithCapacity(array->count());
            for (const id& element : *array)
                if (id converted = elementForGenericClass(element, meta))
                    models->addObject(converted);
            meta.set(model, models);
        } else {
            meta.set(model, meta.nsType == K::NSMutableArray ? NSMutableArray::arrayWithArray(array) : array);
        }
        return;
    }
    case K::NSDictionary:
    case K::NSMutableDictionary: {
        auto dictionary = dv::as<NSDictionary>(value);
        if (!dictionary)
            return;
        if (meta.genericCls) {
            auto models = NSMutableDictionary::dictionaryWithCapacity(dictionary->count());
            for (const auto& [key, element] : *dictionary) {
                auto inner = dv::as<NSDictionary>(element);
                if (!inner)
                    continue;
                if (id converted = modelFromDictionary(meta.genericCls, meta.hasCustomClassFromDictionary, inner))
                    models->setObjectForKey(converted, key);
            }
            meta.set(model, models);
        } else {
            meta.set(model, meta.nsType == K::NSMutableDictionary ? NSMutableDictionary::dictionaryWithDictionary(dictionary) : dictionary);
        }
        return;
    }
    case K::NSSet:
    case K::NSMutableSet: {
        Ref<NSSet> set = dv::as<NSSet>(value);
        if (!set)
            if (auto array = dv::as<NSArray>(value))
                set = NSMutableSet::setWithArray(array);
        if (meta.genericCls) {
            auto models = NSMutableSet::set();
            if (Ref<NSArray> elements = set ? set->allObjects() : nil)
                for (const id& element : *elements)
                    if (id converted = elementForGenericClass(element, meta))
                        models->addObject(converted);
            meta.set(model, models);
        } else if (!set) {
            meta.set(model, nil);
        } else {
            meta.set(model, meta.nsType == K::NSMutableSet ? std::static_pointer_cast<NSObject>(set->mutableCopy()) : std::static_pointer_cast<NSObject>(set));
        }
        return;
    }
    case K::Unknown: return;
    }
}

void setOtherValue(NSObject& model, const id& value, const MMModelPropertyMeta& meta)
{
    bool isNull = dynamic_cast<const NSNull*>(value.get()) != nullptr;
    switch (meta.typeCode()) {
    case MMEncodingTypeObject:
        if (isNull) {
            meta.set(model, nil);
        } else if (meta.cls && value->isKindOfClass(meta.cls)) {
            meta.set(model, value);
        } else if (auto dictionary = dv::as<NSDictionary>(value)) {
            id current = meta.get(model);
            if (current)
                (void)mm_modelSetWithDictionary(current, dictionary);
            else
                meta.set(model, modelFromDictionary(meta.cls, meta.hasCustomClassFromDictionary, dictionary));
        }
        return;
    case MMEncodingTypeClass:
        if (isNull) {
            setScalar<Class>(model, meta, Nil);
        } else if (auto name = dv::as<NSString>(value)) {
            if (Class cls = NSClassFromString(name))
                setScalar<Class>(model, meta, cls);
        } else if (Class cls = classOfClassObject(value.get())) {
            setScalar<Class>(model, meta, cls);
        }
        return;
    case MMEncodingTypeSEL:
        if (isNull) {
            setScalar<SEL>(model, meta, SEL());
        } else if (auto name = dv::as<NSString>(value)) {
            if (SEL selector = NSSelectorFromString(name))
                setScalar<SEL>(model, meta, selector);
        }
        return;
    case MMEncodingTypeBlock:
        if (isNull)
            meta.set(model, nil);
        else if (value->isKindOfClass(MMBlockBaseClass()))
            meta.set(model, value);
        return;
    case MMEncodingTypePointer:
    case MMEncodingTypeCString:
        if (isNull) {
            meta.set(model, nil);
        } else if (auto boxed = dv::as<NSValue>(value); boxed && !dv::as<NSNumber>(value) && std::string_view(boxed->objCType()) == "^v") {
            meta.set(model, value);
        }
        return;
    case MMEncodingTypeStruct:
    case MMEncodingTypeUnion:
    case MMEncodingTypeCArray:
        if (auto boxed = dv::as<NSValue>(value); boxed && meta.info->typeEncoding()
            && meta.info->typeEncoding()->utf8() == boxed->objCType()) {
            meta.set(model, value);
        }
        return;
    default: return;
    }
}

} // namespace

bool isDecimalNumber(const NSObject* value)
{
    return value && dynamic_cast<const NSDecimalNumber*>(value);
}

Ref<NSNumber> MMNumberFromObject(const id& value)
{
    if (!value)
        return nil;
    if (auto number = dv::as<NSNumber>(value))
        return number;
    auto string = dv::as<NSString>(value);
    if (!string)
        return nil;
    const std::string& text = string->utf8();
    const auto& words = numberWords();
    if (auto found = words.find(text); found != words.end()) {
        if (found->second == Word::Null)
            return nil;
        return NSNumber::numberWithBool(found->second == Word::Yes);
    }
    if (text.find('.') == std::string::npos)
        return integerFromText(text);
    double number = std::strtod(text.c_str(), nullptr);
    if (!std::isfinite(number))
        return nil;
    return NSNumber::numberWithDouble(number);
}

void MMModelSetNumber(NSObject& model, const Ref<NSNumber>& number, const MMModelPropertyMeta& meta)
{
    // A missing number reads as zero, as every number getter of nil does.
    NSNumber* n = number.get();
    switch (meta.typeCode()) {
    case MMEncodingTypeBool: setScalar<bool>(model, meta, n && n->boolValue()); break;
    case MMEncodingTypeInt8: setScalar<signed char>(model, meta, n ? n->charValue() : 0); break;
    case MMEncodingTypeUInt8: setScalar<unsigned char>(model, meta, n ? n->unsignedCharValue() : 0); break;
    case MMEncodingTypeInt16: setScalar<short>(model, meta, n ? n->shortValue() : 0); break;
    case MMEncodingTypeUInt16: setScalar<unsigned short>(model, meta, n ? n->unsignedShortValue() : 0); break;
    case MMEncodingTypeInt32: setScalar<int>(model, meta, n ? n->intValue() : 0); break;
    case MMEncodingTypeUInt32: setScalar<unsigned int>(model, meta, n ? n->unsignedIntValue() : 0); break;
    case MMEncodingTypeInt64:
        // A decimal number reads through its exact text, not through a double.
        setScalar<long long>(model, meta, !n ? 0 : isDecimalNumber(n) ? n->stringValue()->longLongValue() : n->longLongValue());
        break;
    case MMEncodingTypeUInt64:
        setScalar<unsigned long long>(model, meta, !n ? 0 : isDecimalNumber(n) ? n->stringValue()->unsignedLongLongValue() : n->unsignedLongLongValue());
        break;
    case MMEncodingTypeFloat: setScalar<float>(model, meta, n ? finiteOrZero(n->floatValue()) : 0.0f); break;
    case MMEncodingTypeDouble: setScalar<double>(model, meta, n ? finiteOrZero(n->doubleValue()) : 0.0); break;
    case MMEncodingTypeLongDouble:
        setScalar<long double>(model, meta, n ? static_cast<long double>(finiteOrZero(n->doubleValue())) : 0.0L);
        break;
    default: break;
    }
}

void MMModelSetPropertyFromValue(NSObject& model, const id& value, const MMModelPropertyMeta& meta)
{
    if (!meta.hasSetter)
        return;
    if (meta.isCNumber)
        MMModelSetNumber(model, MMNumberFromObject(value), meta);
    else if (meta.nsType != MMEncodingNSType::Unknown)
        setFoundationValue(model, value, meta);
    else if (value)
        setOtherValue(model, value, meta);
}

id MMValueAtKeyPath(const NSDictionary& dictionary, const std::vector<Ref<NSString>>& path)
{
    const NSDictionary* current = &dictionary;
    id value;
    for (std::size_t i = 0; i < path.size(); ++i) {
        value = current->objectForKey(path[i]->utf8());
        if (i + 1 < path.size()) {
            current = dynamic_cast<const NSDictionary*>(value.get());
            if (!current)
                return nil;
        }
    }
    return value;
}

Ref<NSDate> MMDateFromString(const NSString& text)
{
    if (auto seconds = parseModelDate(text.utf8()))
        return NSDate::dateWithTimeIntervalSince1970(*seconds);
    return nil;
}

Class MMBlockBaseClass()
{
    static const Class base = [] {
        Class cls = NSBlock::withFunction(std::function<void()>([] {}))->getClass();
        while (cls && class_getSuperclass(cls) && class_getSuperclass(cls) != NSObject::class_())
            cls = class_getSuperclass(cls);
        return cls;
    }();
    return base;
}

Ref<NSNumber> MMNumberFromProperty(const NSObject& model, const MMModelPropertyMeta& meta)
{
    if (!meta.hasGetter)
        return nil;
    MMEncodingType code = meta.typeCode();
    if (code == MMEncodingTypeLongDouble) {
        long double value = 0;
        if (auto* typed = typedAccess<long double>(*meta.property); typed && typed->get)
            value = typed->get(model);
        else if (auto number = dv::as<NSNumber>(meta.property->getter(model)))
            value = number->doubleValue();
        if (!std::isfinite(value))
            return nil;
        return NSNumber::numberWithDouble(static_cast<double>(value));
    }
    auto number = dv::as<NSNumber>(meta.property->getter(model));
    if (number && (code == MMEncodingTypeFloat || code == MMEncodingTypeDouble) && !std::isfinite(number->doubleValue()))
        return nil;
    return number;
}

} // namespace dv::internal::model
