#include "platform/base/NSString.h"
#include "platform/base/NSUUID.h"

#include <gtest/gtest.h>

#include <set>

TEST(UUID, RandomIdentifiersAreVersionFourAndDistinct)
{
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        auto uuid = NSUUID::UUID();
        std::string text = dv::str(uuid->UUIDString());
        ASSERT_EQ(text.size(), 36u);
        EXPECT_EQ(text[14], '4');
        EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos);
        for (char c : text)
            EXPECT_TRUE(c == '-' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << text;
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 200u);
}

TEST(UUID, TextRoundTripsInUpperCase)
{
    auto uuid = alloc<NSUUID>()->initWithUUIDString("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"_ns);
    ASSERT_TRUE(uuid);
    EXPECT_EQ(dv::str(uuid->UUIDString()), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    std::uint8_t bytes[16];
    uuid->getUUIDBytes(bytes);
    EXPECT_EQ(bytes[0], 0xE6);
    EXPECT_EQ(bytes[15], 0x5F);
    auto same = alloc<NSUUID>()->initWithUUIDBytes(bytes);
    EXPECT_TRUE(same->isEqual(uuid));
    EXPECT_EQ(same->hash(), uuid->hash());
    EXPECT_EQ(same->compare(uuid), NSOrderedSame);
    EXPECT_FALSE(uuid->isEqual(NSUUID::UUID()));
    EXPECT_NE(dv::str(uuid->description()).find("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"), std::string::npos);
}

TEST(UUID, MalformedTextGivesNil)
{
    for (const char* bad : {"", "E621E1F8C36C495A93FC0C247A3E6E5F", "E621E1F8-C36C-495A-93FC-0C247A3E6E5", "E621E1F8-C36C-495A-93FC-0C247A3E6E5FF",
                            "G621E1F8-C36C-495A-93FC-0C247A3E6E5F", "E621E1F8-C36C-495A-93FC+0C247A3E6E5F", "{E621E1F8-C36C-495A-93FC-0C247A3E6E5}"})
        EXPECT_FALSE(alloc<NSUUID>()->initWithUUIDString(NSString::fromUTF8(bad))) << bad;
    EXPECT_FALSE(alloc<NSUUID>()->initWithUUIDString(nil));
}
