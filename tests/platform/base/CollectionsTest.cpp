#include "platform/base/Base.h"

#include <gtest/gtest.h>

TEST(ArrayTest, DescriptionsMatchThePlatform)
{
    EXPECT_EQ(NSArray::array()->description()->utf8(), "(\n)");
    EXPECT_EQ(NSArray::of({NSNumber::from(1), "two words"_ns, "plain"_ns})->description()->utf8(),
              "(\n    1,\n    \"two words\",\n    plain\n)");
    auto nested = NSArray::of({NSDictionary::of({{"id"_ns, NSNumber::from(1)}}), NSArray::of({"x"_ns})});
    EXPECT_EQ(nested->description()->utf8(), "(\n        {\n        id = 1;\n    },\n        (\n        x\n    )\n)");
    EXPECT_EQ(NSArray::of({"正在加载"_ns})->description()->utf8(), "(\n    \"\\U6b63\\U5728\\U52a0\\U8f7d\"\n)");
    EXPECT_EQ(NSArray::of({""_ns, "a\"b"_ns, NSNull::null()})->description()->utf8(), "(\n    \"\",\n    \"a\\\"b\",\n    \"<null>\"\n)");
}

TEST(ArrayTest, IndexingMutationAndErrors)
{
    auto list = NSMutableArray::of({"a"_ns, "b"_ns});
    list->addObject("c"_ns);
    list->insertObjectAtIndex("z"_ns, 0);
    EXPECT_EQ(list->componentsJoinedByString(","_ns)->utf8(), "z,a,b,c");
    list->removeObjectAtIndex(1);
    list->setObjectAtIndexedSubscript("d"_ns, 3);
    EXPECT_EQ(list->componentsJoinedByString(","_ns)->utf8(), "z,b,c,d");
    EXPECT_EQ(list->indexOfObject("c"_ns), 2u);
    EXPECT_EQ(list->indexOfObject("q"_ns), static_cast<NSUInteger>(NSNotFound));
    EXPECT_THROW(list->objectAtIndex(4), dv::RaisedException);
    EXPECT_THROW(list->addObject(nullptr), dv::RaisedException);
    EXPECT_THROW(list->insertObjectAtIndex("x"_ns, 9), dv::RaisedException);
    EXPECT_THROW(NSArray::of({nullptr}), dv::RaisedException);
    list->removeObject("b"_ns);
    EXPECT_EQ(list->count(), 3u);
    auto sorted = NSArray::of({"b"_ns, "c"_ns, "a"_ns})->sortedArrayUsingSelectorCompare();
    EXPECT_EQ(sorted->componentsJoinedByString(""_ns)->utf8(), "abc");
    auto frozen = dv::copyAs<NSArray>(list);
    list->removeAllObjects();
    EXPECT_EQ(frozen->count(), 3u);
    EXPECT_FALSE(frozen->isKindOfClass(NSMutableArray::class_()));
}

TEST(ArrayTest, EqualityAndHashContract)
{
    auto a = NSArray::of({"x"_ns, NSNumber::from(1)});
    auto b = NSMutableArray::of({NSMutableString::fromUTF8("x"), NSNumber::from(1.0)});
    EXPECT_TRUE(a->isEqual(b));
    EXPECT_TRUE(b->isEqual(a));
    EXPECT_EQ(a->hash(), b->hash());
    EXPECT_FALSE(a->isEqual(NSArray::of({"x"_ns})));
    EXPECT_FALSE(a->isEqual(NSSet::of({"x"_ns, NSNumber::from(1)})));
}

TEST(ArrayTest, RemovingAnElementThatOwnsTheArrayIsSafe)
{
    // A list that holds an object whose associated value holds the list back.
    static const char key = 0;
    auto list = NSMutableArray::array();
    auto element = NSObject::new_();
    objc_setAssociatedObject(element, &key, list, OBJC_ASSOCIATION_RETAIN);
    list->addObject(element);
    Weak<NSMutableArray> weakList = list;
    element.reset();
    list.reset();
    ASSERT_FALSE(weakList.expired()); // a cycle: the element keeps the list
    weakList.lock()->removeObjectAtIndex(0); // breaks the cycle from inside
    EXPECT_TRUE(weakList.expired());
}

TEST(DictionaryTest, InsertionOrderAndSubscripts)
{
    auto dict = NSMutableDictionary::dictionary();
    for (int i = 20; i > 0; --i)
        dict->setObjectForKeyedSubscript(NSNumber::from(i), NSString::stringWithFormat("k%d", i));
    EXPECT_EQ(dict->count(), 20u);
    EXPECT_EQ(dv::str(dict->allKeys()->firstObject()), "k20"); // insertion order, past the indexing threshold
    EXPECT_EQ(dv::as<NSNumber>(dict->objectForKey("k7"))->intValue(), 7);
    EXPECT_EQ(dv::as<NSNumber>(dict->objectForKey("k7"_ns))->intValue(), 7);
    dict->setObjectForKeyedSubscript(nullptr, "k7"_ns);
    EXPECT_EQ(dict->objectForKey("k7"_ns), nullptr);
    dict->setObjectForKeyedSubscript(nullptr, "absent"_ns);
    EXPECT_EQ(dict->count(), 19u);
    EXPECT_EQ(dv::as<NSNumber>(dict->objectForKey("k6"_ns))->intValue(), 6); // the index survives removal
    dict->setObjectForKeyedSubscript("replaced"_ns, "k20"_ns);
    EXPECT_EQ(dv::str(dict->allKeys()->firstObject()), "k20"); // replacing keeps the position
    EXPECT_THROW(dict->setObjectForKey(nullptr, "k"_ns), dv::RaisedException);
    EXPECT_THROW(dict->removeObjectForKey(nullptr), dv::RaisedException);
}

TEST(DictionaryTest, KeysAreCopied)
{
    auto key = NSMutableString::fromUTF8("name");
    auto dict = NSMutableDictionary::dictionary();
    dict->setObjectForKey("value"_ns, key);
    key->appendUTF8("-changed");
    EXPECT_EQ(dv::str(dict->objectForKey("name")), "value");
    EXPECT_EQ(dict->objectForKey(key), nullptr);
    EXPECT_THROW(dict->setObjectForKey("v"_ns, NSObject::new_()), dv::RaisedException); // not copyable
}

TEST(DictionaryTest, DescriptionsSortStringKeysAndIndentNestedValues)
{
    EXPECT_EQ(NSDictionary::dictionary()->description()->utf8(), "{\n}");
    auto dict = NSDictionary::of({{"status"_ns, NSNumber::from(1)},
                                  {"msg"_ns, "成功"_ns},
                                  {"info"_ns, NSDictionary::of({{"list"_ns, NSArray::of({"a b"_ns})}})}});
    EXPECT_EQ(dict->description()->utf8(),
              "{\n    info =     {\n        list =         (\n            \"a b\"\n        );\n    };\n"
              "    msg = \"\\U6210\\U529f\";\n    status = 1;\n}");
}

TEST(DictionaryTest, DefaultEqualityAndHashContract)
{
    auto a = NSDictionary::of({{"a"_ns, NSNumber::from(1)}, {"b"_ns, "x"_ns}});
    auto b = NSMutableDictionary::of({{"b"_ns, "x"_ns}, {"a"_ns, NSNumber::from(1.0)}});
    EXPECT_TRUE(a->isEqual(b));
    EXPECT_EQ(a->hash(), b->hash());
    EXPECT_FALSE(a->isEqual(NSDictionary::of({{"a"_ns, NSNumber::from(1)}})));
    EXPECT_FALSE(a->isEqual(NSNull::null()));
    EXPECT_FALSE(a->isEqual(nullptr));
    EXPECT_TRUE(a->isEqualToDictionary(b));
}

TEST(DictionaryTest, ValueForKeyAndMutableCopies)
{
    auto dict = NSDictionary::of({{"count"_ns, "c"_ns}});
    EXPECT_EQ(dv::str(dict->valueForKey("count"_ns)), "c");
    auto copy = dv::as<NSMutableDictionary>(dict->mutableCopy());
    ASSERT_TRUE(copy);
    copy->setObjectForKeyedSubscript("d"_ns, "other"_ns);
    EXPECT_EQ(dict->count(), 1u);
    EXPECT_EQ(copy->count(), 2u);
    EXPECT_EQ(dict->copy(), dict);
}

TEST(SetTest, DistinctMembersAndDescriptions)
{
    auto set = NSMutableSet::set();
    set->addObject("a"_ns);
    set->addObject(NSMutableString::fromUTF8("a"));
    set->addObject(NSNumber::from(1));
    set->addObject(NSNumber::from(1.0));
    EXPECT_EQ(set->count(), 2u);
    EXPECT_TRUE(set->containsObject("a"_ns));
    EXPECT_EQ(NSSet::of({"x"_ns})->description()->utf8(), "{(\n    x\n)}");
    EXPECT_TRUE(NSSet::of({"a"_ns, "b"_ns})->isEqual(NSSet::of({"b"_ns, "a"_ns})));
    set->minusSet(NSSet::of({"a"_ns}));
    EXPECT_EQ(set->count(), 1u);

    auto ordered = NSMutableOrderedSet::orderedSet();
    ordered->addObject("b"_ns);
    ordered->addObject("a"_ns);
    ordered->addObject("b"_ns);
    ordered->insertObjectAtIndex("c"_ns, 0);
    EXPECT_EQ(ordered->array()->componentsJoinedByString(""_ns)->utf8(), "cba");
    EXPECT_EQ(ordered->indexOfObject("a"_ns), 2u);
    ordered->removeObjectAtIndex(0);
    EXPECT_EQ(ordered->indexOfObject("a"_ns), 1u);
    EXPECT_FALSE(NSOrderedSet::of({"a"_ns, "b"_ns})->isEqual(NSOrderedSet::of({"b"_ns, "a"_ns})));
}
