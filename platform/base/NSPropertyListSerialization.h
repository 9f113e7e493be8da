// NSPropertyListSerialization: property lists (dictionaries with string keys, arrays, strings,
// data, dates, numbers, booleans) to and from bytes. Reading detects the binary form
// ("bplist00"), XML and the old text form; writing produces XML (with the standard prolog) or
// binary. Stateless; any thread may call it.
//
//   NSPropertyListFormat format = 0;
//   id plist = NSPropertyListSerialization::propertyListWithData(data, NSPropertyListImmutable, &format, &error);
//   Ref<NSData> out = NSPropertyListSerialization::dataWithPropertyList(plist, NSPropertyListBinaryFormat_v1_0, 0, &error);
//
// Readers are total and bounded: malformed input, offsets out of range, cycles and nesting deeper
// than kMaxDepth give NSCocoaErrorDomain 3840. Writing a value that a property list cannot hold
// (NSNull, another class, a non-string key) gives 3852.
#pragma once

#include "platform/base/NSObject.h"

using NSPropertyListFormat = NSUInteger;
enum : NSPropertyListFormat {
    NSPropertyListOpenStepFormat = 1,
    NSPropertyListXMLFormat_v1_0 = 100,
    NSPropertyListBinaryFormat_v1_0 = 200,
};

using NSPropertyListReadOptions = NSUInteger;
using NSPropertyListMutabilityOptions = NSUInteger;
enum : NSPropertyListMutabilityOptions {
    NSPropertyListImmutable = 0,
    NSPropertyListMutableContainers = 1,
    NSPropertyListMutableContainersAndLeaves = 2,
};
using NSPropertyListWriteOptions = NSUInteger;

enum : NSInteger {
    NSPropertyListReadCorruptError = 3840,
    NSPropertyListReadUnknownVersionError = 3841,
    NSPropertyListReadStreamError = 3842,
    NSPropertyListWriteStreamError = 3851,
    NSPropertyListWriteInvalidError = 3852,
};

class NSPropertyListSerialization : public NSObject {
    DV_CLASS(NSPropertyListSerialization, NSObject)

    static constexpr int kMaxDepth = 512;

    // `format` (may be null) receives the form that was read.
    static id propertyListWithData(const Ref<NSData>& data, NSPropertyListReadOptions options,
                                   NSPropertyListFormat* format, Ref<NSError>* error);
    // XML or binary; the text form cannot be written (error 3852, as the platform answers).
    static Ref<NSData> dataWithPropertyList(const id& plist, NSPropertyListFormat format,
                                            NSPropertyListWriteOptions options, Ref<NSError>* error);
    static bool propertyListIsValidForFormat(const id& plist, NSPropertyListFormat format);
};
