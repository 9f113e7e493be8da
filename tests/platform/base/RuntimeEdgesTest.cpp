#include "platform/base/Base.h"
#include "platform/base/ClassBuilder.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

class DVTestNode : public NSObject {
    DV_CLASS(DVTestNode, NSObject)
    Ref<NSString> m_label;
    Ref<DVTestNode> m_next;
};

} // namespace

DV_DEFINE_CLASS_WITH(DVTestNode, b)
{
    b.property("label", &DVTestNode::m_label, "T@\"NSString\",C,N,V_label");
    b.property("next", &DVTestNode::m_next, "T@\"DVTestNode\",&,N,V_next");
}

TEST(RuntimeEdges, KeyPathsWalkThroughNestedObjects)
{
    auto head = alloc<DVTestNode>();
    head->m_next = alloc<DVTestNode>();
    head->m_next->m_label = "second"_ns;
    EXPECT_EQ(dv::str(head->valueForKeyPath("next.label"_ns)), "second");
    EXPECT_EQ(head->valueForKeyPath("next.next.label"_ns), nullptr); // a nil link ends the walk
    EXPECT_EQ(head->valueForKeyPath(nullptr), nullptr);
    // A copy property stores a copy: later edits of the caller's string do not reach it.
    auto text = NSMutableString::fromUTF8("draft");
    head->setValueForKey(text, "label"_ns);
    text->appendUTF8("!");
    EXPECT_EQ(dv::str(head->m_label), "draft");
}

TEST(RuntimeEdges, SelectorsAreInternedAcrossThreads)
{
    std::vector<SEL> seen(8);
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&seen, i] { seen[static_cast<std::size_t>(i)] = SEL("sharedSelector:"); });
    for (auto& t : threads)
        t.join();
    for (auto& sel : seen)
        EXPECT_EQ(sel, seen[0]);
    EXPECT_STREQ(seen[0].name(), "sharedSelector:");
    EXPECT_TRUE(SEL().isNull());
}

TEST(RuntimeEdges, ImmutableStringsAreSharedSafelyBetweenThreads)
{
    // The UTF-16 length is computed lazily; concurrent first reads must agree.
    auto text = NSString::fromUTF8(std::string(1000, 'a') + "中😀");
    std::vector<NSUInteger> lengths(8);
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&, i] { lengths[static_cast<std::size_t>(i)] = text->length(); });
    for (auto& t : threads)
        t.join();
    for (auto length : lengths)
        EXPECT_EQ(length, 1003u);
}

TEST(StringEdges, EditsNeverSplitACharacter)
{
    auto text = NSMutableString::fromUTF8("a😀b");
    // Deleting the first half of a surrogate pair takes the whole character.
    text->deleteCharactersInRange(NSMakeRange(1, 1));
    EXPECT_EQ(text->utf8(), "ab");
    auto backwards = NSMutableString::fromUTF8("x-x-x");
    EXPECT_EQ(backwards->replaceOccurrencesOfString("x"_ns, "yy"_ns, NSBackwardsSearch, NSMakeRange(0, 5)), 3u);
    EXPECT_EQ(backwards->utf8(), "yy-yy-yy");
    auto anchored = NSMutableString::fromUTF8("abab");
    EXPECT_EQ(anchored->replaceOccurrencesOfString("ab"_ns, "c"_ns, NSAnchoredSearch, NSMakeRange(0, 4)), 1u);
    EXPECT_EQ(anchored->utf8(), "cab");
    EXPECT_EQ(NSMutableString::fromUTF8("aaa")->replaceOccurrencesOfString(""_ns, "b"_ns, 0, NSMakeRange(0, 3)), 0u);
}

TEST(DescriptionEdges, MixedKeysKeepInsertionOrderAndValuesNest)
{
    // Keys that are not all strings are not sorted.
    auto mixed = NSDictionary::of({{"b"_ns, "1"_ns}, {NSNumber::from(2), "2"_ns}, {"a"_ns, "3"_ns}});
    EXPECT_EQ(mixed->description()->utf8(), "{\n    b = 1;\n    2 = 2;\n    a = 3;\n}");
    auto set = NSSet::of({NSArray::of({"x"_ns})});
    EXPECT_EQ(set->description()->utf8(), "{(\n        (\n        x\n    )\n)}");
    auto dates = NSArray::of({NSDate::dateWithTimeIntervalSince1970(0), NSData::fromString("ab")});
    EXPECT_EQ(dates->description()->utf8(), "(\n    \"1970-01-01 00:00:00 +0000\",\n    <6162>\n)");
}

TEST(CollectionEdges, ValueForKeyMapsOverArraysWithNullForNil)
{
    auto first = alloc<DVTestNode>();
    first->m_label = "one"_ns;
    auto second = alloc<DVTestNode>();
    auto labels = dv::as<NSArray>(NSArray::of({first, second})->valueForKey("label"_ns));
    ASSERT_TRUE(labels);
    ASSERT_EQ(labels->count(), 2u);
    EXPECT_EQ(dv::str(labels->objectAtIndex(0)), "one");
    EXPECT_EQ(labels->objectAtIndex(1), NSNull::null());
}

TEST(CollectionEdges, MutationDuringEnumerationSeesASnapshot)
{
    auto list = NSMutableArray::of({"a"_ns, "b"_ns, "c"_ns});
    std::string visited;
    list->enumerateObjectsUsingBlock([&](const id& item, NSUInteger, bool* stop) {
        visited += dv::str(item);
        list->removeAllObjects();
        *stop = visited.size() == 2;
    });
    EXPECT_EQ(visited, "ab");
    EXPECT_EQ(list->count(), 0u);

    auto dict = NSMutableDictionary::of({{"k"_ns, "v"_ns}});
    dict->enumerateKeysAndObjectsUsingBlock([&](const id& key, const id&, bool*) { dict->removeObjectForKey(key); });
    EXPECT_EQ(dict->count(), 0u);
    dict->addEntriesFromDictionary(dict); // adding a dictionary to itself is harmless
    EXPECT_EQ(dict->count(), 0u);
}
