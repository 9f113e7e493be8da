// The type word of the model mapping's class reflection: one 64-bit value per ivar or property
// type encoding, holding the type code (low byte), the method qualifiers (second byte) and, for
// declared properties, the attribute flags (third byte).
//
//   MMEncodingType t = MMTypeFromEncoding("r*");   // MMEncodingTypeCString | MMEncodingTypeQualifierConst
//   if ((t & MMEncodingTypeMask) == MMEncodingTypeObject) ...
#pragma once

#include <cstdint>

using MMEncodingType = std::uint64_t;

enum : MMEncodingType {
    MMEncodingTypeMask = 0xFF,
    MMEncodingTypeUnknown = 0,
    MMEncodingTypeVoid = 1,
    MMEncodingTypeBool = 2,
    MMEncodingTypeInt8 = 3,
    MMEncodingTypeUInt8 = 4,
    MMEncodingTypeInt16 = 5,
    MMEncodingTypeUInt16 = 6,
    MMEncodingTypeInt32 = 7,
    MMEncodingTypeUInt32 = 8,
    MMEncodingTypeInt64 = 9,
    MMEncodingTypeUInt64 = 10,
    MMEncodingTypeFloat = 11,
    MMEncodingTypeDouble = 12,
    MMEncodingTypeLongDouble = 13,
    MMEncodingTypeObject = 14,
    MMEncodingTypeClass = 15,
    MMEncodingTypeSEL = 16,
    MMEncodingTypeBlock = 17,
    MMEncodingTypePointer = 18,
    MMEncodingTypeStruct = 19,
    MMEncodingTypeUnion = 20,
    MMEncodingTypeCString = 21,
    MMEncodingTypeCArray = 22,

    MMEncodingTypeQualifierMask = 0xFF00,
    MMEncodingTypeQualifierConst = 1 << 8,
    MMEncodingTypeQualifierIn = 1 << 9,
    MMEncodingTypeQualifierInout = 1 << 10,
    MMEncodingTypeQualifierOut = 1 << 11,
    MMEncodingTypeQualifierBycopy = 1 << 12,
    MMEncodingTypeQualifierByref = 1 << 13,
    MMEncodingTypeQualifierOneway = 1 << 14,

    MMEncodingTypePropertyMask = 0xFF0000,
    MMEncodingTypePropertyReadonly = 1 << 16,
    MMEncodingTypePropertyCopy = 1 << 17,
    MMEncodingTypePropertyRetain = 1 << 18,
    MMEncodingTypePropertyNonatomic = 1 << 19,
    MMEncodingTypePropertyWeak = 1 << 20,
    MMEncodingTypePropertyCustomGetter = 1 << 21,
    MMEncodingTypePropertyCustomSetter = 1 << 22,
    MMEncodingTypePropertyDynamic = 1 << 23,
};

// The type word of a type encoding; null or empty gives 0. Pure, no allocation.
MMEncodingType MMTypeFromEncoding(const char* typeEncoding);
