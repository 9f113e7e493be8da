// The window's lines for the addresses handed to the system: each named once, with whether
// xdg-open could take it (none on the PATH, or a stand-in of the test's own), and counted again
// from the start for a new application.
#include "tools/sim/internal/OpenedURLs.h"

#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/base/Scope.h"
#include "platform/testing/CommandPath.h"
#include "platform/ui/UIApplication.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

class OpenedURLsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UIApplication::resetSharedApplication();
        UIApplication::setOpensURLsWithSystem(true);
    }
    void TearDown() override
    {
        UIApplication::setOpensURLsWithSystem(false);
        UIApplication::resetSharedApplication();
    }

    static void open(const char* url) { UIApplication::sharedApplication()->openURL(NSURL::URLWithString(NSString::fromUTF8(url))); }
};

TEST_F(OpenedURLsTest, SaysWhetherTheSystemTookEachAddress)
{
    dv::internal::sim::OpenedURLs opened;
    dv::testing::CommandPath path;
    EXPECT_EQ(opened.takeLines(), Lines {});
    open("http://www.dovrelta.example/");
    EXPECT_EQ(opened.takeLines(), Lines { "could not hand to the system (xdg-open could not be started): http://www.dovrelta.example/" })
        << "no xdg-open on the PATH";
    EXPECT_EQ(opened.takeLines(), Lines {}) << "each address once";

    path.addScript("xdg-open", "exit 0");
    open("http://dovrelta.example/huodong");
    open("tel://10086");
    EXPECT_EQ(opened.takeLines(),
        (Lines { "handed to the system (xdg-open): http://dovrelta.example/huodong", "handed to the system (xdg-open): tel://10086" }));

    // A relaunched application starts its own count.
    UIApplication::resetSharedApplication();
    open("http://www.dovrelta.example/");
    EXPECT_EQ(opened.takeLines(), Lines { "handed to the system (xdg-open): http://www.dovrelta.example/" });
}

} // namespace
