#include "platform/base/Base.h"
#include "platform/base/NSUUID.h"
#include "platform/system/FoundationVersion.h"
#include "platform/system/UIDevice.h"
#include "platform/system/UIPasteboard.h"
#include "platform/system/UIScreen.h"
#include "TemporaryHome.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

class DeviceTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        UIDevice::currentDevice()->reset();
        UIScreen::mainScreen()->reset();
    }
    dv::test::TemporaryHome m_home;
};

TEST_F(DeviceTest, DefaultsDescribeAPhoneOnANineSystem)
{
    auto device = UIDevice::currentDevice();
    EXPECT_TRUE(dv::equal(device->model(), "iPhone"_ns));
    EXPECT_TRUE(device->systemVersion()->hasPrefix("9."));
    EXPECT_GT(NSFoundationVersionNumber, NSFoundationVersionNumber_iOS_8_4);
    device->setSystemVersion("8.0"_ns);
    EXPECT_TRUE(dv::equal(device->systemVersion(), "8.0"_ns));
    EXPECT_DOUBLE_EQ(device->systemVersion()->floatValue(), 8.0);

    auto screen = UIScreen::mainScreen();
    EXPECT_EQ(screen->bounds(), CGRectMake(0, 0, 375, 667));
    EXPECT_EQ(screen->scale(), 2.0);
    screen->setBounds(CGRectMake(0, 0, 320, 568));
    screen->setScale(0); // ignored: a screen has a positive scale
    EXPECT_EQ(screen->bounds().size.width, 320);
    EXPECT_EQ(screen->scale(), 2.0);
}

TEST_F(DeviceTest, VendorIdentifierPersistsInTheContainerAndChangesWithAReinstall)
{
    auto device = UIDevice::currentDevice();
    auto first = device->identifierForVendor();
    ASSERT_TRUE(first);
    EXPECT_TRUE(dv::equal(device->identifierForVendor(), first));
    {
        dv::test::TemporaryHome reinstalled;
        auto other = device->identifierForVendor();
        ASSERT_TRUE(other);
        EXPECT_FALSE(dv::equal(other, first));
    }
    EXPECT_TRUE(dv::equal(device->identifierForVendor(), first));

    // A damaged file gives a new identifier, not a crash or nil.
    std::ofstream(m_home.path() + "/app/Library/Preferences/identifierForVendor", std::ios::trunc) << "\xff\xfe not a uuid";
    auto replaced = device->identifierForVendor();
    ASSERT_TRUE(replaced);
    EXPECT_FALSE(dv::equal(replaced, first));
    EXPECT_TRUE(dv::equal(device->identifierForVendor(), replaced));
}

TEST(PasteboardTest, HoldsStringsAndCountsChanges)
{
    auto board = UIPasteboard::generalPasteboard();
    NSInteger before = board->changeCount();
    board->setString("复制的文字"_ns);
    EXPECT_TRUE(dv::equal(board->string(), "复制的文字"_ns));
    board->setStrings(NSArray::of({ "a"_ns, NSNumber::from(1), "b"_ns }));
    EXPECT_EQ(board->numberOfItems(), 2);
    EXPECT_TRUE(dv::equal(board->strings(), NSArray::of({ "a"_ns, "b"_ns })));
    board->setString(nil);
    EXPECT_EQ(board->string(), nil);
    EXPECT_EQ(board->strings()->count(), 0u);
    EXPECT_EQ(board->changeCount(), before + 3);
}

} // namespace
