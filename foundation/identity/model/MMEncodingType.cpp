#include "foundation/identity/model/MMEncodingType.h"

#include <cstring>

MMEncodingType MMTypeFromEncoding(const char* type)
{
    if (!type || !*type)
        return 0;

    MMEncodingType qualifiers = 0;
    for (bool more = true; more && *type;) {
        switch (*type) {
        case 'r': qualifiers |= MMEncodingTypeQualifierConst; ++type; break;
        case 'n': qualifiers |= MMEncodingTypeQualifierIn; ++type; break;
        case 'N': qualifiers |= MMEncodingTypeQualifierInout; ++type; break;
        case 'o': qualifiers |= MMEncodingTypeQualifierOut; ++type; break;
        case 'O': qualifiers |= MMEncodingTypeQualifierBycopy; ++type; break;
        case 'R': qualifiers |= MMEncodingTypeQualifierByref; ++type; break;
        case 'V': qualifiers |= MMEncodingTypeQualifierOneway; ++type; break;
        default: more = false; break;
        }
    }
    if (!*type)
        return qualifiers;

    switch (*type) {
    case 'v': return MMEncodingTypeVoid | qualifiers;
    case 'B': return MMEncodingTypeBool | qualifiers;
    case 'c': return MMEncodingTypeInt8 | qualifiers;
    case 'C': return MMEncodingTypeUInt8 | qualifiers;
    case 's': return MMEncodingTypeInt16 | qualifiers;
    case 'S': return MMEncodingTypeUInt16 | qualifiers;
    case 'i': return MMEncodingTypeInt32 | qualifiers;
    case 'I': return MMEncodingTypeUInt32 | qualifiers;
    case 'l': return MMEncodingTypeInt32 | qualifiers;
    case 'L': return MMEncodingTypeUInt32 | qualifiers;
    case 'q': return MMEncodingTypeInt64 | qualifiers;
    case 'Q': return MMEncodingTypeUInt64 | qualifiers;
    case 'f': return MMEncodingTypeFloat | qualifiers;
    case 'd': return MMEncodingTypeDouble | qualifiers;
    case 'D': return MMEncodingTypeLongDouble | qualifiers;
    case '#': return MMEncodingTypeClass | qualifiers;
    case ':': return MMEncodingTypeSEL | qualifiers;
    case '*': return MMEncodingTypeCString | qualifiers;
    case '^': return MMEncodingTypePointer | qualifiers;
    case '[': return MMEncodingTypeCArray | qualifiers;
    case '(': return MMEncodingTypeUnion | qualifiers;
    case '{': return MMEncodingTypeStruct | qualifiers;
    case '@':
        if (std::strcmp(type, "@?") == 0)
            return MMEncodingTypeBlock | qualifiers;
        return MMEncodingTypeObject | qualifiers;
    default: return qualifiers;
    }
}
