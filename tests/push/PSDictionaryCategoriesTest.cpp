#include "platform/base/Base.h"
#include "push/PSDictionaryCategories.h"

#include <gtest/gtest.h>

class PSDictionaryCategories : public ::testing::Test {
protected:
    void SetUp() override { PSInstallDictionaryCategories(); }
};

TEST_F(PSDictionaryCategories, DictionariesDifferingOnlyInItimeAreEqualAndHashAlike)
{
    auto a = NSDictionary::of({{"event"_ns, "open"_ns}, {"itime"_ns, NSNumber::from(1)}});
    auto b = NSDictionary::of({{"event"_ns, "open"_ns}, {"itime"_ns, NSNumber::from(2)}});
    auto c = NSDictionary::of({{"event"_ns, "open"_ns}});
    EXPECT_TRUE(a->isEqual(b));
    EXPECT_TRUE(a->isEqual(c));
    EXPECT_TRUE(c->isEqual(a));
    EXPECT_EQ(a->hash(), b->hash());
    EXPECT_EQ(a->hash(), c->hash());

    auto d = NSDictionary::of({{"event"_ns, "close"_ns}, {"itime"_ns, NSNumber::from(1)}});
    EXPECT_FALSE(a->isEqual(d));
    auto e = NSDictionary::of({{"event"_ns, "open"_ns}, {"extra"_ns, "x"_ns}});
    EXPECT_FALSE(c->isEqual(e));
    EXPECT_FALSE(e->isEqual(c));
}

TEST_F(PSDictionaryCategories, NothingButADictionaryIsEqual)
{
    auto empty = NSDictionary::dictionary();
    // The null removal of the JSON serialiser asks exactly this.
    EXPECT_FALSE(empty->isEqual(NSNull::null()));
    EXPECT_FALSE(empty->isEqual(NSArray::array()));
    EXPECT_FALSE(empty->isEqual(nullptr));
    EXPECT_TRUE(empty->isEqual(NSMutableDictionary::dictionary()));
}

TEST_F(PSDictionaryCategories, SetsAndNestedCollectionsUseTheRule)
{
    auto a = NSDictionary::of({{"k"_ns, "v"_ns}, {"itime"_ns, "1"_ns}});
    auto b = NSDictionary::of({{"k"_ns, "v"_ns}, {"itime"_ns, "2"_ns}});
    auto set = NSMutableSet::set();
    set->addObject(a);
    set->addObject(b);
    EXPECT_EQ(set->count(), 1u);
    EXPECT_TRUE(NSArray::of({a})->isEqual(NSArray::of({b})));
    EXPECT_EQ(NSArray::of({a})->indexOfObject(b), 0u);
}

TEST_F(PSDictionaryCategories, NilSubscriptRemovesAndAbsentReadsNil)
{
    auto report = NSMutableDictionary::dictionary();
    report->setObjectForKeyedSubscript("token"_ns, "device"_ns);
    report->setObjectForKeyedSubscript(nullptr, "device"_ns);
    report->setObjectForKeyedSubscript(nullptr, "never-there"_ns);
    EXPECT_EQ(report->count(), 0u);
    EXPECT_EQ(report->objectForKeyedSubscript("device"_ns), nullptr);
}
