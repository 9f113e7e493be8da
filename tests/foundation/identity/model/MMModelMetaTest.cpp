#include "TestModels.h"

#include "foundation/identity/model/internal/MMModelMeta.h"

#include <gtest/gtest.h>

#include <thread>

using dv::internal::model::MMEncodingNSType;
using dv::internal::model::MMModelMeta;
using dv::internal::model::MMModelPropertyMeta;

namespace {

const MMModelPropertyMeta* find(const MMModelMeta* meta, std::string_view name)
{
    for (auto* property : meta->allPropertyMetas)
        if (property->name->utf8() == name)
            return property;
    return nullptr;
}

std::vector<std::string> chainNames(const MMModelMeta* meta, std::string_view key)
{
    std::vector<std::string> names;
    for (auto* property = meta->propertyForKey(key); property; property = property->next)
        names.push_back(property->name->utf8());
    return names;
}

TEST(MMModelMetaTest, ReplyRecordMapsEveryPropertyByName)
{
    const MMModelMeta* meta = MMModelMeta::metaWithClass(TMReplyRecord::class_());
    ASSERT_TRUE(meta);
    EXPECT_EQ(meta->keyMappedCount, 4u);
    EXPECT_TRUE(meta->keyPathPropertyMetas.empty());
    EXPECT_TRUE(meta->multiKeysPropertyMetas.empty());
    EXPECT_EQ(meta->mapper.size(), 4u);
    for (const char* key : {"title", "status", "areaId", "account"}) {
        auto* property = meta->propertyForKey(key);
        ASSERT_TRUE(property) << key;
        EXPECT_EQ(dv::str(property->mappedToKey), key);
        EXPECT_FALSE(property->next);
        EXPECT_EQ(property->nsType, MMEncodingNSType::NSString);
        EXPECT_TRUE(property->stringAccess);
    }
    EXPECT_EQ(MMModelMeta::metaWithClass(TMReplyRecord::class_()), meta);
}

TEST(MMModelMetaTest, ClassWithoutOwnPropertiesHasNoMappedKeys)
{
    const MMModelMeta* meta = MMModelMeta::metaWithClass(TMEmpty::class_());
    ASSERT_TRUE(meta);
    EXPECT_EQ(meta->keyMappedCount, 0u);
    EXPECT_TRUE(meta->allPropertyMetas.empty());
    EXPECT_FALSE(MMModelMeta::metaWithClass(Nil));
}

TEST(MMModelMetaTest, ReadOnlyKeptDeclaredOnlyDropped)
{
    const MMModelMeta* meta = MMModelMeta::metaWithClass(TMReadOnly::class_());
    ASSERT_TRUE(meta);
    auto* fixed = find(meta, "fixed");
    ASSERT_TRUE(fixed);
    EXPECT_TRUE(fixed->hasGetter);
    EXPECT_FALSE(fixed->hasSetter);
    EXPECT_FALSE(fixed->isKVCCompatible);
    EXPECT_FALSE(find(meta, "ghost"));
}

TEST(MMModelMetaTest, SubclassDeclarationWins)
{
    const MMModelMeta* meta = MMModelMeta::metaWithClass(TMDerived::class_());
    ASSERT_TRUE(meta);
    EXPECT_EQ(meta->keyMappedCount, 3u); // count (the subclass's), extra, name
    auto* count = find(meta, "count");
    ASSERT_TRUE(count);
    EXPECT_EQ(count->nsType, MMEncodingNSType::NSString);
    EXPECT_FALSE(count->isCNumber);
    EXPECT_TRUE(find(meta, "name"));
}

TEST(MMModelMetaTest, CustomMapperKeyPathsAndSeveralKeys)
{
    const MMModelMeta* meta = MMModelMeta::metaWithClass(TMMapped::class_());
    ASSERT_TRUE(meta);
    EXPECT_EQ(meta->keyMappedCount, 8u);

    auto* userName = find(meta, "userName");
    ASSERT_TRUE(userName);
    ASSERT_EQ(userName->mappedToKeyPath.size(), 2u);
    EXPECT_EQ(dv::str(userName->mappedToKeyPath[0]), "user");
    EXPECT_EQ(dv::str(userName->mappedToKeyPath[1]), "name");
    EXPECT_EQ(meta->keyPathPropertyMetas.size(), 2u);
    EXPECT_EQ(meta->propertyForKey("user.name"), userName); // also found under the dotted key

    auto* identifier = find(meta, "identifier");
    ASSERT_TRUE(identifier);
    EXPECT_EQ(dv::str(identifier->mappedToKey), "id");
    EXPECT_TRUE(identifier->mappedToKeyPath.empty());
    ASSERT_TRUE(identifier->mappedToKeyArray);
    ASSERT_EQ(identifier->mappedToKeyArray->count(), 3u);
    EXPECT_EQ(dv::str(identifier->mappedToKeyArray->objectAtIndex(0)), "id");
    EXPECT_EQ(dv::str(identifier->mappedToKeyArray->objectAtIndex(1)), "ID");
    auto components = dv::as<NSArray>(identifier->mappedToKeyArray->objectAtIndex(2));
    ASSERT_TRUE(components);
    EXPECT_TRUE(components->isEqual(NSArray::of({"book"_ns, "id"_ns}).get()));
    ASSERT_EQ(meta->multiKeysPropertyMetas.size(), 1u);
    EXPECT_FALSE(meta->propertyForKey("id")); // chained under the array, not under "id"

    for (const char* name : {"unmappedEmpty", "unmappedJunk"}) {
        auto* property = find(meta, name);
        ASSERT_TRUE(property) << name;
        EXPECT_FALSE(property->mappedToKey) << name;
        EXPECT_FALSE(meta->propertyForKey(name)) << name;
    }

    auto sharing = chainNames(meta, "t");
    ASSERT_EQ(sharing.size(), 2u);
    EXPECT_NE(sharing[0], sharing[1]);
    EXPECT_EQ(chainNames(meta, "plain"), std::vector<std::string> {"plain"});
    EXPECT_FALSE(meta->propertyForKey("title"));
}

TEST(MMModelMetaTest, GenericClassesFromClassObjectsAndNames)
{
    const MMModelMeta* meta = MMModelMeta::metaWithClass(TMEverything::class_());
    ASSERT_TRUE(meta);
    EXPECT_EQ(find(meta, "authors")->genericCls, TMAuthor::class_());
    EXPECT_EQ(find(meta, "authorsByKey")->genericCls, TMAuthor::class_());
    EXPECT_EQ(find(meta, "array")->genericCls, Nil);
}

TEST(MMModelMetaTest, KindsAndStructFlags)
{
    const MMModelMeta* meta = MMModelMeta::metaWithClass(TMEverything::class_());
    ASSERT_TRUE(meta);
    EXPECT_EQ(find(meta, "mutableString")->nsType, MMEncodingNSType::NSMutableString);
    EXPECT_EQ(find(meta, "url")->nsType, MMEncodingNSType::NSURL);
    EXPECT_EQ(find(meta, "number")->nsType, MMEncodingNSType::NSNumber);
    EXPECT_EQ(find(meta, "value")->nsType, MMEncodingNSType::NSValue);
    EXPECT_EQ(find(meta, "mutableSet")->nsType, MMEncodingNSType::NSMutableSet);
    EXPECT_EQ(find(meta, "author")->nsType, MMEncodingNSType::Unknown);

    auto* rect = find(meta, "rect");
    EXPECT_TRUE(rect->isStructAvailableForKeyedArchiver);
    EXPECT_TRUE(rect->isKVCCompatible);
    EXPECT_FALSE(find(meta, "range")->isStructAvailableForKeyedArchiver);
    EXPECT_FALSE(find(meta, "longDouble")->isKVCCompatible);
    EXPECT_FALSE(find(meta, "selector")->isKVCCompatible);
    EXPECT_FALSE(find(meta, "pointer")->isKVCCompatible);
    EXPECT_TRUE(find(meta, "int8")->isCNumber);
    EXPECT_TRUE(find(meta, "longDouble")->isCNumber);
    EXPECT_TRUE(find(meta, "block")->isKVCCompatible);
}

TEST(MMModelMetaTest, BlacklistWhitelistAndHookFlags)
{
    const MMModelMeta* hooked = MMModelMeta::metaWithClass(TMHooked::class_());
    ASSERT_TRUE(hooked);
    EXPECT_FALSE(find(hooked, "secret"));
    EXPECT_TRUE(find(hooked, "name"));
    EXPECT_TRUE(hooked->hasCustomClassFromDictionary);
    EXPECT_TRUE(hooked->hasCustomTransformFromDictionary);
    EXPECT_TRUE(hooked->hasCustomTransformToDictionary);

    const MMModelMeta* listed = MMModelMeta::metaWithClass(TMWhitelisted::class_());
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->keyMappedCount, 1u);
    EXPECT_TRUE(find(listed, "kept"));
}

TEST(MMModelMetaTest, RacingFirstLookupsShareOneRecord)
{
    constexpr int kThreads = 8;
    std::vector<const MMModelMeta*> seen(kThreads, nullptr);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] { seen[static_cast<std::size_t>(i)] = MMModelMeta::metaWithClass(TMHashedChild::class_()); });
    for (auto& thread : threads)
        thread.join();
    for (auto* meta : seen)
        EXPECT_EQ(meta, seen[0]);
    ASSERT_TRUE(seen[0]);
    EXPECT_EQ(seen[0]->keyMappedCount, 3u);
}

} // namespace
