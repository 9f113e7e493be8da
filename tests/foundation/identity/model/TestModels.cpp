#include "TestModels.h"

DV_DEFINE_CLASS_WITH(TMReplyRecord, b)
{
    b.property("title", &TMReplyRecord::m_title, "T@\"NSString\",C,N,V_title");
    b.property("status", &TMReplyRecord::m_status, "T@\"NSString\",C,N,V_status");
    b.property("areaId", &TMReplyRecord::m_areaId, "T@\"NSString\",C,N,V_areaId");
    b.property("account", &TMReplyRecord::m_account, "T@\"NSString\",C,N,V_account");
}

DV_DEFINE_CLASS_WITH(TMAuthor, b)
{
    b.property("name", &TMAuthor::m_name, "T@\"NSString\",C,N,V_name");
    b.property("age", &TMAuthor::m_age, "Tq,N,V_age");
}

DV_DEFINE_CLASS_WITH(TMEverything, b)
{
    using T = TMEverything;
    b.property("flag", &T::m_flag, "TB,N,V_flag");
    b.property("int8", &T::m_int8, "Tc,N,V_int8");
    b.property("uint8", &T::m_uint8, "TC,N,V_uint8");
    b.property("int16", &T::m_int16, "Ts,N,V_int16");
    b.property("uint16", &T::m_uint16, "TS,N,V_uint16");
    b.property("int32", &T::m_int32, "Ti,N,V_int32");
    b.property("uint32", &T::m_uint32, "TI,N,V_uint32");
    b.property("int64", &T::m_int64, "Tq,N,V_int64");
    b.property("uint64", &T::m_uint64, "TQ,N,V_uint64");
    b.property("float", &T::m_float, "Tf,N,V_float");
    b.property("double", &T::m_double, "Td,N,V_double");
    b.property("longDouble", &T::m_longDouble, "TD,N,V_longDouble");
    b.property("string", &T::m_string, "T@\"NSString\",C,N,V_string");
    b.property("mutableString", &T::m_mutableString, "T@\"NSMutableString\",&,N,V_mutableString");
    b.property("value", &T::m_value, "T@\"NSValue\",&,N,V_value");
    b.property("number", &T::m_number, "T@\"NSNumber\",&,N,V_number");
    b.property("decimal", &T::m_decimal, "T@\"NSDecimalNumber\",&,N,V_decimal");
    b.property("data", &T::m_data, "T@\"NSData\",C,N,V_data");
    b.property("mutableData", &T::m_mutableData, "T@\"NSMutableData\",&,N,V_mutableData");
    b.property("date", &T::m_date, "T@\"NSDate\",&,N,V_date");
    b.property("url", &T::m_url, "T@\"NSURL\",&,N,V_url");
    b.property("attributed", &T::m_attributed, "T@\"NSAttributedString\",C,N,V_attributed");
    b.property("array", &T::m_array, "T@\"NSArray\",&,N,V_array");
    b.property("mutableArray", &T::m_mutableArray, "T@\"NSMutableArray\",&,N,V_mutableArray");
    b.property("dictionary", &T::m_dictionary, "T@\"NSDictionary\",&,N,V_dictionary");
    b.property("mutableDictionary", &T::m_mutableDictionary, "T@\"NSMutableDictionary\",&,N,V_mutableDictionary");
    b.property("set", &T::m_set, "T@\"NSSet\",&,N,V_set");
    b.property("mutableSet", &T::m_mutableSet, "T@\"NSMutableSet\",&,N,V_mutableSet");
    b.property("authors", &T::m_authors, "T@\"NSArray\",&,N,V_authors");
    b.property("authorsByKey", &T::m_authorsByKey, "T@\"NSDictionary\",&,N,V_authorsByKey");
    b.property("authorSet", &T::m_authorSet, "T@\"NSSet\",&,N,V_authorSet");
    b.property("author", &T::m_author, "T@\"TMAuthor\",&,N,V_author");
    b.property("anything", &T::m_anything, "T@,&,N,V_anything");
    b.property("cls", &T::m_cls, "T#,&,N,V_cls");
    b.property("selector", &T::m_selector, "T:,N,V_selector");
    b.property("block", &T::m_block, "T@?,C,N,V_block");
    b.property("pointer", &T::m_pointer, "T^v,N,V_pointer");
    b.property("rect", &T::m_rect, "T{CGRect={CGPoint=dd}{CGSize=dd}},N,V_rect");
    b.property("point", &T::m_point, "T{CGPoint=dd},N,V_point");
    b.property("range", &T::m_range, "T{_NSRange=QQ},N,V_range");
    b.classMethodReturning("modelContainerPropertyGenericClass", [] {
        return NSDictionary::of({{"authors"_ns, dv::classObject(TMAuthor::class_())},
                                 {"authorsByKey"_ns, "TMAuthor"_ns},
                                 {"authorSet"_ns, dv::classObject(TMAuthor::class_())}});
    });
}

int TMHooked::s_willTransformCalls = 0;

DV_DEFINE_CLASS(TMEmpty)

DV_DEFINE_CLASS_WITH(TMReadOnly, b)
{
    b.property<Ref<NSString>>("fixed", "T@\"NSString\",R,N,V_fixed", [](const TMReadOnly& m) { return m.m_fixed; });
    b.property<Ref<NSString>>("ghost", "T@\"NSString\",D,N", {}, {});
    b.property("name", &TMReadOnly::m_name, "T@\"NSString\",C,N,V_name");
    b.property("on", &TMReadOnly::m_on, "TB,N,GisOn,V_on");
}

DV_DEFINE_CLASS_WITH(TMBase, b)
{
    b.property("name", &TMBase::m_name, "T@\"NSString\",C,N,V_name");
    b.property("count", &TMBase::m_count, "Tq,N,V_count");
}

DV_DEFINE_CLASS_WITH(TMDerived, b)
{
    b.property("count", &TMDerived::m_countText, "T@\"NSString\",C,N,V_countText");
    b.property("extra", &TMDerived::m_extra, "T@\"NSString\",C,N,V_extra");
}

DV_DEFINE_CLASS_WITH(TMMapped, b)
{
    using T = TMMapped;
    b.property("userName", &T::m_userName, "T@\"NSString\",C,N,V_userName");
    b.property("userId", &T::m_userId, "Tq,N,V_userId");
    b.property("identifier", &T::m_identifier, "T@\"NSString\",C,N,V_identifier");
    b.property("unmappedEmpty", &T::m_unmappedEmpty, "T@\"NSString\",C,N,V_unmappedEmpty");
    b.property("unmappedJunk", &T::m_unmappedJunk, "T@\"NSString\",C,N,V_unmappedJunk");
    b.property("title", &T::m_title, "T@\"NSString\",C,N,V_title");
    b.property("heading", &T::m_heading, "T@\"NSString\",C,N,V_heading");
    b.property("plain", &T::m_plain, "T@\"NSString\",C,N,V_plain");
    b.classMethodReturning("modelCustomPropertyMapper", [] {
        static const id mapper = NSDictionary::of({
            {"userName"_ns, "user.name"_ns},
            {"userId"_ns, "user.id"_ns},
            {"identifier"_ns, NSArray::of({"id"_ns, "ID"_ns, "book.id"_ns})},
            {"unmappedEmpty"_ns, ""_ns},
            {"unmappedJunk"_ns, NSArray::of({NSNumber::from(1), ""_ns})},
            {"title"_ns, "t"_ns},
            {"heading"_ns, "t"_ns},
            {"nonexistent"_ns, "x"_ns},
        });
        return mapper;
    });
}

DV_DEFINE_CLASS_WITH(TMHooked, b)
{
    b.property("name", &TMHooked::m_name, "T@\"NSString\",C,N,V_name");
    b.property("secret", &TMHooked::m_secret, "T@\"NSString\",C,N,V_secret");
    b.property("derived", &TMHooked::m_derived, "T@\"NSString\",C,N,V_derived");
    b.classMethodReturning("modelPropertyBlacklist", [] { return NSArray::of({"secret"_ns}); });
    b.classMethod("modelCustomClassForDictionary:", "#24@0:8@16", [](std::span<const id> args) -> id {
        auto dictionary = dv::as<NSDictionary>(args[0]);
        if (dictionary && dictionary->objectForKey("special"))
            return dv::classObject(TMHookedSpecial::class_());
        return nil;
    });
    b.method("modelCustomWillTransformFromDictionary:", "@24@0:8@16", [](TMHooked&, std::span<const id> args) -> id {
        ++TMHooked::s_willTransformCalls;
        auto dictionary = dv::as<NSDictionary>(args[0]);
        if (dictionary && dictionary->objectForKey("reject"))
            return nil;
        return dictionary;
    });
    b.method("modelCustomTransformFromDictionary:", "B24@0:8@16", [](TMHooked& self, std::span<const id> args) -> id {
        auto dictionary = dv::as<NSDictionary>(args[0]);
        if (dictionary && dictionary->objectForKey("invalid"))
            return NSNumber::numberWithBool(false);
        self.m_derived = NSString::stringWithFormat("<%@>", self.m_name);
        return NSNumber::numberWithBool(true);
    });
    b.method("modelCustomTransformToDictionary:", "B24@0:8@16", [](TMHooked& self, std::span<const id> args) -> id {
        auto dictionary = dv::as<NSMutableDictionary>(args[0]);
        if (self.m_refuse || !dictionary)
            return NSNumber::numberWithBool(false);
        dictionary->setObjectForKey("yes"_ns, "written"_ns);
        return NSNumber::numberWithBool(true);
    });
}

DV_DEFINE_CLASS_WITH(TMHookedSpecial, b)
{
    b.property("special", &TMHookedSpecial::m_special, "T@\"NSString\",C,N,V_special");
}

DV_DEFINE_CLASS_WITH(TMWhitelisted, b)
{
    b.property("kept", &TMWhitelisted::m_kept, "T@\"NSString\",C,N,V_kept");
    b.property("dropped", &TMWhitelisted::m_dropped, "T@\"NSString\",C,N,V_dropped");
    b.classMethodReturning("modelPropertyWhitelist", [] { return NSArray::of({"kept"_ns}); });
}

DV_DEFINE_CLASS_WITH(TMHashed, b)
{
    b.property("name", &TMHashed::m_name, "T@\"NSString\",C,N,V_name");
    b.property("count", &TMHashed::m_count, "Ti,N,V_count");
    b.property("items", &TMHashed::m_items, "T@\"NSArray\",&,N,V_items");
}

DV_DEFINE_CLASS(TMHashedChild)

DV_DEFINE_CLASS_WITH(TMCity, b)
{
    b.property("id", &TMCity::m_id, "T@\"NSString\",C,N,V_id");
    b.property("name", &TMCity::m_name, "T@\"NSString\",C,N,V_name");
    b.property("parentid", &TMCity::m_parentid, "T@\"NSString\",C,N,V_parentid");
}

DV_DEFINE_CLASS_WITH(TMTreeNode, b)
{
    b.property("name", &TMTreeNode::m_name, "T@\"NSString\",C,N,V_name");
    b.property("parent", &TMTreeNode::m_parent, "T@\"TMTreeNode\",&,N,V_parent");
    b.property("children", &TMTreeNode::m_children, "T@\"NSArray\",&,N,V_children");
    b.classMethodReturning("modelContainerPropertyGenericClass", [] { return NSDictionary::of({{"children"_ns, "TMTreeNode"_ns}}); });
}

DV_DEFINE_CLASS_WITH(TMConflict, b)
{
    b.property("user", &TMConflict::m_user, "T@\"NSString\",C,N,V_user");
    b.property("userName", &TMConflict::m_userName, "T@\"NSString\",C,N,V_userName");
    b.classMethodReturning("modelCustomPropertyMapper", [] { return NSDictionary::of({{"userName"_ns, "user.name"_ns}}); });
}
