// The side table that keeps what few objects use (associated objects and similar state) outside
// the objects: entries die with their object, under concurrent use too, and small objects stay
// small because of it.
#include "platform/base/Base.h"
#include "platform/base/SideTable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// Counts its instances, so that a test sees when an associated value is released.
struct Tally {
    std::atomic<int> alive {0};
};

class CountedValue : public NSObject {
public:
    explicit CountedValue(Tally* tally = nullptr) : m_tally(tally)
    {
        if (m_tally)
            ++m_tally->alive;
    }
    ~CountedValue() override
    {
        if (m_tally)
            --m_tally->alive;
    }

private:
    Tally* m_tally;
};

// An associated value that, when released with its owner, associates again on that owner: the
// owner's destruction must not leave the new entry behind for a later object at the same address.
class Reassociating : public NSObject {
public:
    explicit Reassociating(const NSObject* owner, Tally* tally) : m_owner(owner), m_tally(tally) { }
    ~Reassociating() override
    {
        static const char key = 0;
        objc_setAssociatedObject(m_owner, &key, std::make_shared<CountedValue>(m_tally), OBJC_ASSOCIATION_RETAIN);
    }

private:
    const NSObject* m_owner;
    Tally* m_tally;
};

const char kKeyA = 0, kKeyB = 0;

} // namespace

TEST(SideTable, EntriesGoWithTheirObjectAndOnlyWithIt)
{
    const auto before = dv::sidetable::size();
    Tally tally;
    auto keeper = NSObject::new_();
    {
        auto owner = NSObject::new_();
        EXPECT_FALSE(dv::sidetable::mayHaveEntries(owner.get()) && dv::sidetable::find(owner.get(), dv::SideSlot::Associations));
        objc_setAssociatedObject(owner, &kKeyA, std::make_shared<CountedValue>(&tally), OBJC_ASSOCIATION_RETAIN);
        objc_setAssociatedObject(owner, &kKeyB, std::make_shared<CountedValue>(&tally), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
        objc_setAssociatedObject(keeper, &kKeyA, std::make_shared<CountedValue>(&tally), OBJC_ASSOCIATION_RETAIN);
        EXPECT_TRUE(dv::sidetable::mayHaveEntries(owner.get()));
        EXPECT_EQ(dv::sidetable::size(), before + 2);
        EXPECT_EQ(tally.alive, 3);
        // Replacing and removing one key leaves the others.
        objc_setAssociatedObject(owner, &kKeyB, nullptr, OBJC_ASSOCIATION_RETAIN);
        EXPECT_EQ(tally.alive, 2);
        EXPECT_TRUE(objc_getAssociatedObject(owner, &kKeyA));
        EXPECT_FALSE(objc_getAssociatedObject(owner, &kKeyB));
    }
    EXPECT_EQ(tally.alive, 1) << "the owner's values went with it, the keeper's stayed";
    EXPECT_EQ(dv::sidetable::size(), before + 1);
    EXPECT_TRUE(objc_getAssociatedObject(keeper, &kKeyA));

    objc_removeAssociatedObjects(keeper.get());
    EXPECT_EQ(tally.alive, 0);
    EXPECT_FALSE(objc_getAssociatedObject(keeper, &kKeyA));
    keeper.reset();
    EXPECT_EQ(dv::sidetable::size(), before);
}

TEST(SideTable, AValueThatAssociatesAgainWhileItsOwnerDiesLeavesNothingBehind)
{
    const auto before = dv::sidetable::size();
    Tally tally;
    {
        auto owner = NSObject::new_();
        objc_setAssociatedObject(owner, &kKeyA, std::make_shared<Reassociating>(owner.get(), &tally), OBJC_ASSOCIATION_RETAIN);
    }
    EXPECT_EQ(tally.alive, 0);
    EXPECT_EQ(dv::sidetable::size(), before);
}

TEST(SideTable, ObjectsDyingOnManyThreadsTakeOnlyTheirOwnEntries)
{
    const auto before = dv::sidetable::size();
    Tally tally;
    // Shared objects every thread reads and writes, beside objects each thread makes and drops.
    std::vector<id> shared;
    for (int i = 0; i < 8; ++i)
        shared.push_back(NSObject::new_());
    std::atomic<int> wrongReads {0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 400; ++round) {
                std::vector<id> mine;
                for (int i = 0; i < 16; ++i) {
                    auto object = NSObject::new_();
                    auto value = std::make_shared<CountedValue>(&tally);
                    objc_setAssociatedObject(object, &kKeyA, value, OBJC_ASSOCIATION_RETAIN);
                    if (objc_getAssociatedObject(object, &kKeyA) != value)
                        ++wrongReads;
                    mine.push_back(object);
                }
                auto& common = shared[static_cast<std::size_t>((t + round) % 8)];
                objc_setAssociatedObject(common, &kKeyB, std::make_shared<CountedValue>(&tally), OBJC_ASSOCIATION_RETAIN);
                if (!objc_getAssociatedObject(common, &kKeyB))
                    ++wrongReads;
                // Half of them die here, the other half when the vector goes.
                for (int i = 0; i < 8; ++i)
                    mine[static_cast<std::size_t>(i)].reset();
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrongReads, 0);
    EXPECT_EQ(tally.alive, 8) << "one value per shared object is left";
    EXPECT_EQ(dv::sidetable::size(), before + 8);
    shared.clear();
    EXPECT_EQ(tally.alive, 0);
    EXPECT_EQ(dv::sidetable::size(), before);
}

TEST(SideTable, SmallObjectsCarryNoRoomForWhatTheyDoNotUse)
{
    // The class pointer and the reference to itself: nothing for associations or protocols.
    EXPECT_EQ(sizeof(NSObject), 24u);
    EXPECT_EQ(sizeof(NSNull), sizeof(NSObject));
    EXPECT_LE(sizeof(NSNumber), 40u);
    EXPECT_LE(sizeof(NSValue), sizeof(NSObject));
    EXPECT_LE(sizeof(NSString), 72u);
    EXPECT_LE(sizeof(NSArray), 48u);
    EXPECT_LE(sizeof(NSDate), 32u);
    // Adopting a protocol is a marker, and still tells.
    auto number = NSNumber::from(123456);
    EXPECT_TRUE(number->conformsToCopying());
    EXPECT_TRUE(dynamic_cast<const NSCoding*>(number.get()));
    EXPECT_FALSE(NSObject::new_()->conformsToCopying());
    EXPECT_THROW(NSObject::new_()->copy(), dv::RaisedException);
    EXPECT_THROW(NSObject::new_()->mutableCopy(), dv::RaisedException);
}

TEST(SharedValues, CommonImmutableValuesAreOneInstanceEach)
{
    EXPECT_EQ(NSNumber::numberWithBool(true), NSNumber::from(true));
    EXPECT_EQ(NSNumber::from(0), NSNumber::numberWithInt(0));
    EXPECT_EQ(NSNumber::numberWithInteger(1023), NSNumber::numberWithLongLong(1023));
    EXPECT_EQ(NSNumber::numberWithInt(-128), NSNumber::numberWithInt(-128));
    EXPECT_NE(NSNumber::numberWithInt(1024), NSNumber::numberWithInt(1024)) << "past the shared range";
    EXPECT_NE(NSNumber::numberWithDouble(1), NSNumber::numberWithDouble(1));
    // Sharing keeps the kind a number was made with.
    EXPECT_STREQ(NSNumber::numberWithInt(7)->objCType(), "i");
    EXPECT_STREQ(NSNumber::numberWithLongLong(7)->objCType(), "q");
    EXPECT_NE(NSNumber::numberWithInt(7), NSNumber::numberWithLongLong(7));
    EXPECT_TRUE(NSNumber::numberWithInt(7)->isEqual(NSNumber::numberWithLongLong(7)));

    EXPECT_EQ(NSString::string(), ""_ns);
    EXPECT_EQ(NSString::fromUTF8("abc")->substringFromIndex(3), NSString::string());
    EXPECT_EQ(NSArray::array(), NSArray::fromVector({}));
    EXPECT_EQ(NSDictionary::dictionary(), NSDictionary::fromEntries({}));
    EXPECT_EQ(NSSet::set(), NSSet::set());
    // Copies of empty mutable collections are the shared empty values; mutable copies are new.
    EXPECT_EQ(NSMutableArray::array()->copy(), NSArray::array());
    EXPECT_EQ(NSMutableDictionary::dictionary()->copy(), NSDictionary::dictionary());
    EXPECT_EQ(NSMutableSet::set()->copy(), NSSet::set());
    EXPECT_EQ(NSMutableString::string()->copy(), NSString::string());
    auto mutableEmpty = dv::as<NSMutableArray>(NSArray::array()->mutableCopy());
    ASSERT_TRUE(mutableEmpty);
    mutableEmpty->addObject(NSNumber::from(1));
    EXPECT_EQ(NSArray::array()->count(), 0u);
    EXPECT_NE(NSMutableArray::array(), NSMutableArray::array());
    EXPECT_NE(NSMutableString::string(), NSMutableString::string());
    auto text = dv::as<NSMutableString>(NSString::string()->mutableCopy());
    text->appendUTF8("typed");
    EXPECT_EQ(NSString::string()->length(), 0u);
}

TEST(SharedValues, SharedValuesAreSafeToMakeOnManyThreadsAtOnce)
{
    std::vector<std::vector<Ref<NSNumber>>> seen(6);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < seen.size(); ++t)
        threads.emplace_back([&, t] {
            for (int v = -128; v <= 1023; ++v)
                seen[t].push_back(NSNumber::numberWithInt(v));
        });
    for (auto& thread : threads)
        thread.join();
    for (std::size_t t = 1; t < seen.size(); ++t)
        EXPECT_EQ(seen[t], seen[0]);
    EXPECT_EQ(seen[0][128]->intValue(), 0);
    EXPECT_EQ(seen[0].back()->intValue(), 1023);
}
