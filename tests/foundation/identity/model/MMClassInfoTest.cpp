#include "TestModels.h"

#include "foundation/identity/model/MMClassInfo.h"
#include "foundation/identity/model/MMClassIvarInfo.h"
#include "foundation/identity/model/MMClassMethodInfo.h"
#include "foundation/identity/model/MMClassPropertyInfo.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

Ref<MMClassPropertyInfo> propertyInfo(Class cls, const char* name)
{
    auto info = MMClassInfo::classInfoWithClass(cls);
    if (!info || !info->propertyInfos())
        return nil;
    return dv::as<MMClassPropertyInfo>(info->propertyInfos()->objectForKey(name));
}

TEST(MMClassInfoTest, DecodesTypeEncodings)
{
    EXPECT_EQ(MMTypeFromEncoding(nullptr), 0u);
    EXPECT_EQ(MMTypeFromEncoding(""), 0u);
    EXPECT_EQ(MMTypeFromEncoding("rV"), 0x4100u);
    EXPECT_EQ(MMTypeFromEncoding("r*"), 0x115u);
    EXPECT_EQ(MMTypeFromEncoding("@?"), 17u);
    EXPECT_EQ(MMTypeFromEncoding("@?<v@?>"), 14u);
    EXPECT_EQ(MMTypeFromEncoding("^{CGPoint=dd}"), 18u);
    EXPECT_EQ(MMTypeFromEncoding("{CGSize=dd}"), 19u);
    EXPECT_EQ(MMTypeFromEncoding("l"), 7u);
    EXPECT_EQ(MMTypeFromEncoding("L"), 8u);
    EXPECT_EQ(MMTypeFromEncoding("x"), 0u);
    EXPECT_EQ(MMTypeFromEncoding("Q"), 10u);
    EXPECT_EQ(MMTypeFromEncoding("D"), 13u);
    EXPECT_EQ(MMTypeFromEncoding("(u=id)"), 20u);
    EXPECT_EQ(MMTypeFromEncoding("[4i]"), 22u);
    EXPECT_EQ(MMTypeFromEncoding("#"), 15u);
    EXPECT_EQ(MMTypeFromEncoding(":"), 16u);
    EXPECT_EQ(MMTypeFromEncoding("nNoOR@"), 0x3E00u | 14u);
}

TEST(MMClassInfoTest, DescribesCopiedStringProperty)
{
    auto title = propertyInfo(TMReplyRecord::class_(), "title");
    ASSERT_TRUE(title);
    EXPECT_EQ(title->type(), 0xA000Eu);
    EXPECT_EQ(dv::str(title->typeEncoding()), "@\"NSString\"");
    EXPECT_EQ(title->cls(), NSString::class_());
    EXPECT_EQ(dv::str(title->ivarName()), "_title");
    EXPECT_EQ(dv::str(title->getter()), "title");
    EXPECT_EQ(dv::str(title->setter()), "setTitle:");
}

TEST(MMClassInfoTest, ReadOnlyCustomGetterAndIdProperties)
{
    auto fixed = propertyInfo(TMReadOnly::class_(), "fixed");
    ASSERT_TRUE(fixed);
    EXPECT_TRUE(fixed->type() & MMEncodingTypePropertyReadonly);
    EXPECT_EQ(dv::str(fixed->setter()), "setFixed:");

    auto on = propertyInfo(TMReadOnly::class_(), "on");
    ASSERT_TRUE(on);
    EXPECT_EQ(dv::str(on->getter()), "isOn");
    EXPECT_EQ(dv::str(on->setter()), "setOn:");
    EXPECT_TRUE(on->type() & MMEncodingTypePropertyCustomGetter);

    auto anything = propertyInfo(TMEverything::class_(), "anything");
    ASSERT_TRUE(anything);
    EXPECT_EQ(anything->type() & MMEncodingTypeMask, MMEncodingTypeObject);
    EXPECT_EQ(anything->cls(), Nil);

    auto block = propertyInfo(TMEverything::class_(), "block");
    ASSERT_TRUE(block);
    EXPECT_EQ(block->type() & MMEncodingTypeMask, MMEncodingTypeBlock);
}

TEST(MMClassInfoTest, ClassRecordsChainAndCache)
{
    auto root = MMClassInfo::classInfoWithClass(NSObject::class_());
    ASSERT_TRUE(root);
    EXPECT_FALSE(root->superClassInfo());

    auto derived = MMClassInfo::classInfoWithClass(TMDerived::class_());
    ASSERT_TRUE(derived);
    EXPECT_EQ(derived->superCls(), TMBase::class_());
    ASSERT_TRUE(derived->superClassInfo());
    EXPECT_EQ(derived->superClassInfo().get(), MMClassInfo::classInfoWithClass(TMBase::class_()).get());
    EXPECT_EQ(derived->metaCls(), objc_getMetaClass("TMDerived"));
    EXPECT_EQ(dv::str(derived->name()), "TMDerived");
    // Only the class's own members.
    EXPECT_EQ(derived->propertyInfos()->count(), 2u);
    EXPECT_TRUE(derived->ivarInfos()->objectForKey("_extra"));

    EXPECT_EQ(MMClassInfo::classInfoWithClass(TMDerived::class_()).get(), derived.get());
    EXPECT_EQ(MMClassInfo::classInfoWithClassName("TMDerived"_ns).get(), derived.get());
    EXPECT_FALSE(MMClassInfo::classInfoWithClassName("NoSuchClassAnywhere"_ns));
    EXPECT_FALSE(MMClassInfo::classInfoWithClass(Nil));

    auto meta = MMClassInfo::classInfoWithClass(objc_getMetaClass("TMDerived"));
    ASSERT_TRUE(meta);
    EXPECT_TRUE(meta->isMeta());
    EXPECT_EQ(meta->metaCls(), Nil);
    EXPECT_NE(meta.get(), derived.get());
}

TEST(MMClassInfoTest, ClassWithoutMembersHasNilDictionaries)
{
    auto info = MMClassInfo::classInfoWithClass(TMEmpty::class_());
    ASSERT_TRUE(info);
    EXPECT_FALSE(info->propertyInfos());
    EXPECT_FALSE(info->ivarInfos());
    EXPECT_FALSE(info->methodInfos());
}

TEST(MMClassInfoTest, MethodRecordsSplitTheirTypes)
{
    auto meta = MMClassInfo::classInfoWithClass(objc_getMetaClass("TMHooked"));
    ASSERT_TRUE(meta && meta->methodInfos());
    auto method = dv::as<MMClassMethodInfo>(meta->methodInfos()->objectForKey("modelCustomClassForDictionary:"));
    ASSERT_TRUE(method);
    EXPECT_EQ(method->sel(), SEL("modelCustomClassForDictionary:"));
    EXPECT_EQ(dv::str(method->returnTypeEncoding()), "#");
    ASSERT_TRUE(method->argumentTypeEncodings());
    ASSERT_EQ(method->argumentTypeEncodings()->count(), 3u);
    EXPECT_EQ(dv::str(method->argumentTypeEncodings()->objectAtIndex(2)), "@");

    auto types = dv::splitMethodTypeEncoding("v40@0:8{CGRect={CGPoint=dd}{CGSize=dd}}16^{CGPoint=dd}48@\"NSString\"56@?<v@?>64");
    ASSERT_EQ(types.size(), 7u);
    EXPECT_EQ(types[3], "{CGRect={CGPoint=dd}{CGSize=dd}}");
    EXPECT_EQ(types[4], "^{CGPoint=dd}");
    EXPECT_EQ(types[5], "@\"NSString\"");
    EXPECT_EQ(types[6], "@?<v@?>");
}

TEST(MMClassInfoTest, RefreshReplacesMemberDictionaries)
{
    auto info = MMClassInfo::classInfoWithClass(TMAuthor::class_());
    ASSERT_TRUE(info);
    Ref<NSDictionary> before = info->propertyInfos();
    info->setNeedUpdate();
    EXPECT_TRUE(info->needUpdate());
    auto again = MMClassInfo::classInfoWithClass(TMAuthor::class_());
    EXPECT_EQ(again.get(), info.get());
    EXPECT_FALSE(info->needUpdate());
    EXPECT_NE(info->propertyInfos().get(), before.get());
    EXPECT_EQ(info->propertyInfos()->count(), before->count());
}

// Threads racing for the first description of a class all get the one record that was stored
// first, and it stays valid.
TEST(MMClassInfoTest, RacingFirstLookupsAgreeOnOneRecord)
{
    constexpr int kThreads = 8;
    std::vector<MMClassInfo*> seen(kThreads, nullptr);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] { seen[static_cast<std::size_t>(i)] = MMClassInfo::classInfoWithClass(TMWhitelisted::class_()).get(); });
    for (auto& thread : threads)
        thread.join();
    for (MMClassInfo* info : seen)
        EXPECT_EQ(info, seen[0]);
    EXPECT_EQ(MMClassInfo::classInfoWithClass(TMWhitelisted::class_()).get(), seen[0]);
    EXPECT_EQ(dv::str(seen[0]->name()), "TMWhitelisted");
}

} // namespace
