// Model classes shared by the model mapping tests.
#pragma once

#include "foundation/identity/model/MMModel.h"
#include "platform/base/Base.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSDecimalNumber.h"
#include "platform/base/NSURL.h"

// A reply record: only copied string properties named as their JSON keys.
class TMReplyRecord : public NSObject {
    DV_CLASS(TMReplyRecord, NSObject)
    Ref<NSString> m_title;
    Ref<NSString> m_status;
    Ref<NSString> m_areaId;
    Ref<NSString> m_account;
};

class TMAuthor : public NSObject {
    DV_CLASS(TMAuthor, NSObject)
    Ref<NSString> m_name;
    NSInteger m_age = 0;
};

// One property per kind of the conversion table.
class TMEverything : public NSObject {
    DV_CLASS(TMEverything, NSObject)
    bool m_flag = false;
    signed char m_int8 = 0;
    unsigned char m_uint8 = 0;
    short m_int16 = 0;
    unsigned short m_uint16 = 0;
    int m_int32 = 0;
    unsigned int m_uint32 = 0;
    long long m_int64 = 0;
    unsigned long long m_uint64 = 0;
    float m_float = 0;
    double m_double = 0;
    long double m_longDouble = 0;
    Ref<NSString> m_string;
    Ref<NSMutableString> m_mutableString;
    Ref<NSValue> m_value;
    Ref<NSNumber> m_number;
    Ref<NSDecimalNumber> m_decimal;
    Ref<NSData> m_data;
    Ref<NSMutableData> m_mutableData;
    Ref<NSDate> m_date;
    Ref<NSURL> m_url;
    Ref<NSAttributedString> m_attributed;
    Ref<NSArray> m_array;
    Ref<NSMutableArray> m_mutableArray;
    Ref<NSDictionary> m_dictionary;
    Ref<NSMutableDictionary> m_mutableDictionary;
    Ref<NSSet> m_set;
    Ref<NSMutableSet> m_mutableSet;
    Ref<NSArray> m_authors;          // generic TMAuthor
    Ref<NSDictionary> m_authorsByKey; // generic TMAuthor
    Ref<NSSet> m_authorSet;          // generic TMAuthor
    Ref<TMAuthor> m_author;
    id m_anything;
    Class m_cls = Nil;
    SEL m_selector;
    std::function<int(int)> m_block;
    const void* m_pointer = nullptr;
    CGRect m_rect {};
    CGPoint m_point {};
    NSRange m_range {};
};

// No properties of its own.
class TMEmpty : public NSObject {
    DV_CLASS(TMEmpty, NSObject)
};

// A read-only property, and a property whose accessors nothing implements.
class TMReadOnly : public NSObject {
    DV_CLASS(TMReadOnly, NSObject)
    Ref<NSString> m_fixed = "fixed"_ns;
    Ref<NSString> m_name;
    bool m_on = false;
};

class TMBase : public NSObject {
    DV_CLASS(TMBase, NSObject)
    Ref<NSString> m_name;
    NSInteger m_count = 0;
};

// Redeclares `count` as a string.
class TMDerived : public TMBase {
    DV_CLASS(TMDerived, TMBase)
    Ref<NSString> m_countText;
    Ref<NSString> m_extra;
};

// Custom keys: key paths, several keys, empty and unusable mappings, two properties on one key.
class TMMapped : public NSObject {
    DV_CLASS(TMMapped, NSObject)
    Ref<NSString> m_userName;
    NSInteger m_userId = 0;
    Ref<NSString> m_identifier;
    Ref<NSString> m_unmappedEmpty;
    Ref<NSString> m_unmappedJunk;
    Ref<NSString> m_title;
    Ref<NSString> m_heading;
    Ref<NSString> m_plain;
};

// Lists and hooks: a blacklist, transforms in both directions, a class chosen per dictionary.
class TMHooked : public NSObject {
    DV_CLASS(TMHooked, NSObject)
    Ref<NSString> m_name;
    Ref<NSString> m_secret;
    Ref<NSString> m_derived;
    bool m_refuse = false;
    static int s_willTransformCalls;
};

class TMHookedSpecial : public TMHooked {
    DV_CLASS(TMHookedSpecial, TMHooked)
    Ref<NSString> m_special;
};

class TMWhitelisted : public NSObject {
    DV_CLASS(TMWhitelisted, NSObject)
    Ref<NSString> m_kept;
    Ref<NSString> m_dropped;
};

// Uses the model operations for its own hash and equality.
class TMHashed : public NSObject {
    DV_CLASS(TMHashed, NSObject)
    Ref<NSString> m_name;
    int m_count = 0;
    Ref<NSArray> m_items;
    NSUInteger hash() const override { return mm_modelHash(this); }
    bool isEqual(const NSObject* other) const override { return mm_modelIsEqual(this, other); }
};

class TMHashedChild : public TMHashed {
    DV_CLASS(TMHashedChild, TMHashed)
};

// A region record, used only by the concurrency test so that its metadata is built there.
class TMCity : public NSObject {
    DV_CLASS(TMCity, NSObject)
    Ref<NSString> m_id;
    Ref<NSString> m_name;
    Ref<NSString> m_parentid;
};

// A model that holds models of its own class.
class TMTreeNode : public NSObject {
    DV_CLASS(TMTreeNode, NSObject)
    Ref<NSString> m_name;
    Ref<TMTreeNode> m_parent;
    Ref<NSArray> m_children;
};

// One property mapped to "user", another to "user.name".
class TMConflict : public NSObject {
    DV_CLASS(TMConflict, NSObject)
    Ref<NSString> m_user;
    Ref<NSString> m_userName;
};
