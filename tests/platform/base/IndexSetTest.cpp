#include "platform/base/NSIndexPath.h"
#include "platform/base/NSError.h"
#include "platform/base/NSIndexSet.h"
#include "platform/base/NSKeyedArchiver.h"
#include "platform/base/NSKeyedUnarchiver.h"
#include "platform/base/NSString.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<NSRange> rangesOf(const Ref<NSIndexSet>& set)
{
    std::vector<NSRange> out;
    set->enumerateRangesUsingBlock([&](NSRange r, bool*) { out.push_back(r); });
    return out;
}

} // namespace

TEST(IndexPath, SectionsRowsAndOrder)
{
    auto path = NSIndexPath::indexPathForRow(3, 1);
    EXPECT_EQ(path->section(), 1);
    EXPECT_EQ(path->row(), 3);
    EXPECT_EQ(path->length(), 2u);
    EXPECT_EQ(path->indexAtPosition(5), static_cast<NSUInteger>(NSNotFound));
    EXPECT_TRUE(path->isEqual(NSIndexPath::indexPathForItem(3, 1)));
    EXPECT_EQ(path->hash(), NSIndexPath::indexPathForItem(3, 1)->hash());
    EXPECT_FALSE(path->isEqual(NSIndexPath::indexPathForRow(1, 3)));

    auto deeper = path->indexPathByAddingIndex(7);
    EXPECT_EQ(deeper->length(), 3u);
    EXPECT_EQ(deeper->indexAtPosition(2), 7u);
    EXPECT_EQ(path->compare(deeper), NSOrderedAscending);
    EXPECT_EQ(deeper->compare(path), NSOrderedDescending);
    EXPECT_EQ(NSIndexPath::indexPathForRow(9, 0)->compare(NSIndexPath::indexPathForRow(0, 1)), NSOrderedAscending);
    EXPECT_TRUE(deeper->indexPathByRemovingLastIndex()->isEqual(path));
    EXPECT_EQ(NSIndexPath::indexPathWithIndex(4)->length(), 1u);

    std::string text = dv::str(NSIndexPath::indexPathForRow(1, 0)->description());
    EXPECT_EQ(text.rfind("<NSIndexPath: 0x", 0), 0u) << text;
    EXPECT_NE(text.find("> {length = 2, path = 0 - 1}"), std::string::npos) << text;
}

TEST(IndexSet, RangesStaySortedAndMerged)
{
    auto set = NSMutableIndexSet::indexSet();
    EXPECT_EQ(set->firstIndex(), static_cast<NSUInteger>(NSNotFound));
    EXPECT_EQ(set->lastIndex(), static_cast<NSUInteger>(NSNotFound));
    set->addIndex(5);
    set->addIndex(3);
    set->addIndexesInRange(NSMakeRange(10, 3));
    set->addIndex(4); // bridges 3 and 5
    EXPECT_EQ(rangesOf(set), (std::vector<NSRange> {{3, 3}, {10, 3}}));
    set->addIndexesInRange(NSMakeRange(6, 4)); // touches both runs
    EXPECT_EQ(rangesOf(set), (std::vector<NSRange> {{3, 10}}));
    EXPECT_EQ(set->count(), 10u);
    set->removeIndex(7);
    set->removeIndexesInRange(NSMakeRange(11, 100));
    EXPECT_EQ(rangesOf(set), (std::vector<NSRange> {{3, 4}, {8, 3}}));
    EXPECT_EQ(set->firstIndex(), 3u);
    EXPECT_EQ(set->lastIndex(), 10u);
    EXPECT_EQ(set->countOfIndexesInRange(NSMakeRange(5, 5)), 4u);

    std::vector<NSUInteger> indexes;
    set->enumerateIndexesUsingBlock([&](NSUInteger i, bool* stop) {
        indexes.push_back(i);
        *stop = i == 8;
    });
    EXPECT_EQ(indexes, (std::vector<NSUInteger> {3, 4, 5, 6, 8}));
}

TEST(IndexSet, NeighbourQueries)
{
    auto set = NSMutableIndexSet::indexSetWithIndexesInRange(NSMakeRange(2, 3)); // 2 3 4
    set->addIndex(9);
    EXPECT_TRUE(set->containsIndex(4));
    EXPECT_FALSE(set->containsIndex(5));
    EXPECT_TRUE(set->containsIndexesInRange(NSMakeRange(2, 3)));
    EXPECT_FALSE(set->containsIndexesInRange(NSMakeRange(2, 4)));
    EXPECT_FALSE(set->containsIndexesInRange(NSMakeRange(2, 0)));
    EXPECT_TRUE(set->intersectsIndexesInRange(NSMakeRange(5, 5)));
    EXPECT_EQ(set->indexGreaterThanIndex(4), 9u);
    EXPECT_EQ(set->indexGreaterThanIndex(2), 3u);
    EXPECT_EQ(set->indexGreaterThanIndex(9), static_cast<NSUInteger>(NSNotFound));
    EXPECT_EQ(set->indexLessThanIndex(9), 4u);
    EXPECT_EQ(set->indexLessThanIndex(2), static_cast<NSUInteger>(NSNotFound));
    EXPECT_EQ(set->indexLessThanOrEqualToIndex(100), 9u);
    EXPECT_EQ(set->indexGreaterThanOrEqualToIndex(0), 2u);
    EXPECT_EQ(set->indexGreaterThanIndex(NSUIntegerMax), static_cast<NSUInteger>(NSNotFound));
    EXPECT_EQ(set->indexLessThanIndex(0), static_cast<NSUInteger>(NSNotFound));
}

TEST(IndexSet, ShiftingOpensAndClosesGaps)
{
    auto set = NSMutableIndexSet::indexSetWithIndexesInRange(NSMakeRange(0, 6)); // 0..5
    set->shiftIndexesStartingAtIndex(2, 3);
    EXPECT_EQ(rangesOf(set), (std::vector<NSRange> {{0, 2}, {5, 4}}));
    set->shiftIndexesStartingAtIndex(6, -2); // removes 4 and 5, moves 6..8 to 4..6
    EXPECT_EQ(rangesOf(set), (std::vector<NSRange> {{0, 2}, {4, 3}}));
    set->shiftIndexesStartingAtIndex(1, -5); // everything from 1 moves to 0
    EXPECT_EQ(rangesOf(set), (std::vector<NSRange> {{0, 1}, {3, 3}}));

    auto high = NSMutableIndexSet::indexSetWithIndex(static_cast<NSUInteger>(NSNotFound) - 2);
    high->shiftIndexesStartingAtIndex(0, 10); // past the limit: dropped
    EXPECT_EQ(high->count(), 0u);
}

TEST(IndexSet, LimitsEqualityAndCopies)
{
    auto set = NSMutableIndexSet::indexSet();
    set->addIndex(static_cast<NSUInteger>(NSNotFound));
    set->addIndexesInRange(NSMakeRange(NSUIntegerMax - 1, 10)); // clipped away, no overflow
    EXPECT_EQ(set->count(), 0u);
    set->addIndexesInRange(NSMakeRange(static_cast<NSUInteger>(NSNotFound) - 2, 100));
    EXPECT_EQ(set->count(), 2u);

    auto a = NSIndexSet::indexSetWithIndexesInRange(NSMakeRange(1, 2));
    auto b = NSMutableIndexSet::indexSetWithIndex(1);
    EXPECT_FALSE(a->isEqual(b));
    b->addIndex(2);
    EXPECT_TRUE(a->isEqual(b));
    EXPECT_EQ(a->hash(), b->hash());

    auto frozen = dv::as<NSIndexSet>(b->copy());
    b->addIndex(50);
    EXPECT_EQ(frozen->count(), 2u);
    EXPECT_FALSE(dv::as<NSMutableIndexSet>(frozen));
    auto thawed = dv::as<NSMutableIndexSet>(a->mutableCopy());
    ASSERT_TRUE(thawed);
    thawed->removeAllIndexes();
    EXPECT_EQ(a->count(), 2u);
    EXPECT_TRUE(b->containsIndexes(a));
    EXPECT_FALSE(a->containsIndexes(b));

    std::string text = dv::str(b->description());
    EXPECT_NE(text.find("[number of indexes: 3 (in 2 ranges), indexes: (1-2 50)]"), std::string::npos) << text;
}

TEST(IndexSetCoding, RoundTripsThroughTheKeyedArchiver)
{
    auto several = NSMutableIndexSet::indexSet();
    several->addIndexesInRange(NSMakeRange(200, 100));
    several->addIndex(5);
    several->addIndex(1u << 20);
    const Ref<NSIndexSet> sets[] = {NSIndexSet::indexSet(), NSIndexSet::indexSetWithIndexesInRange(NSMakeRange(200, 100)), several};
    for (const auto& set : sets) {
        Ref<NSError> error;
        auto data = NSKeyedArchiver::archivedDataWithRootObject(set, true, &error);
        ASSERT_TRUE(data) << dv::str(error);
        auto back = NSKeyedUnarchiver::unarchivedObjectOfClass<NSIndexSet>(data, &error);
        ASSERT_TRUE(back) << dv::str(error);
        EXPECT_TRUE(back->isEqualToIndexSet(set)) << dv::str(back);
    }
}
