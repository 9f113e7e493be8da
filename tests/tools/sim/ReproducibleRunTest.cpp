// What a reproducible run settles that a plain run leaves to chance: a screenshot waits for the
// pictures still being downloaded, and a fresh home's device has the same identifier every time.
#include "SimTesting.h"

namespace dv::sim::testing {
namespace {

using dv::testing::Pixel;

class SimReproducibleRunTest : public SimProgramTest {
protected:
    // The orange pixels of the first home tile's icon (its 31-point square): the server's orange
    // disc shows many, the grey placeholder shown while the picture is on its way none.
    static std::size_t orangeInFirstTileIcon(const dv::testing::Pixels& pixels)
    {
        return pixels.count(CGRectMake(31, 64 + 290.9 + 18.91, 31, 31),
            [](const Pixel& p) { return p[0] > 200 && p[1] > 80 && p[1] < 200 && p[2] < 100; });
    }
};

TEST_F(SimReproducibleRunTest, ScreenshotsWaitForThePicturesOnTheirWay)
{
    // The tiles' pictures come a second late: the screenshot waits for them.
    auto run = runHeadless({ "--reproducible" }, "fault pic/tile/* delay:1\nlaunch\nwait-for 加粉\nscreenshot tiles\n", 120, RunHome::Fresh);
    ASSERT_EQ(run.status, 0) << run.errors;
    auto waited = picture("tiles");
    ASSERT_TRUE(waited);
    EXPECT_GT(orangeInFirstTileIcon(*waited), 500u);

    // Held back, they are still on their way in a plain run's screenshot (in a home of its own,
    // whose picture cache is empty).
    std::filesystem::remove_all(m_out);
    auto plain = runHeadless({}, "fault pic/tile/* hold\nlaunch\nwait-for 加粉\nscreenshot tiles\nclear-faults\nwait-idle\n", 120,
        RunHome::Fresh);
    ASSERT_EQ(plain.status, 0) << plain.errors;
    auto early = picture("tiles");
    ASSERT_TRUE(early);
    EXPECT_EQ(orangeInFirstTileIcon(*early), 0u);
}

TEST_F(SimReproducibleRunTest, AFreshHomesDeviceHasTheSameIdentifierEveryTime)
{
    const std::string script = "launch\nwait-for 加粉\nopen VQAboutvqViewController 关于我们\nwait-for 设备号\nscreenshot about\n";
    std::string identifiers[2];
    for (auto& identifier : identifiers) {
        std::filesystem::remove_all(m_out);
        auto run = runHeadless({ "--reproducible" }, script, 120, RunHome::Fresh);
        ASSERT_EQ(run.status, 0) << run.errors;
        const auto dump = dumpOf("about");
        const auto at = dump.find("UICopyLabel");
        ASSERT_NE(at, std::string::npos) << dump;
        identifier = dump.substr(at, dump.find('\n', at) - at);
    }
    EXPECT_EQ(identifiers[0], identifiers[1]);
    EXPECT_NE(identifiers[0].find("text=\"5d1f0c2a9b3e4f6a8c7d2e1f0a9b8c7d\""), std::string::npos) << identifiers[0];
}

} // namespace
} // namespace dv::sim::testing
