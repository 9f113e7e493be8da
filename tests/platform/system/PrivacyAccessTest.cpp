#include "platform/system/PrivacyAccess.h"
#include "platform/system/SystemPaths.h"
#include "TemporaryHome.h"
#include "platform/testing/support/RunLoopWaits.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>

using dv::PrivacyAccess;
using dv::PrivacyService;
using dv::PrivacyStatus;

namespace {

class PrivacyAccessTest : public ::testing::Test {
protected:
    void TearDown() override { PrivacyAccess::reset(); }
    dv::test::TemporaryHome m_home;
};

std::string recordPath() { return dv::SystemPaths::deviceFolder() + "/privacy"; }

} // namespace

// A later process of the application finds the same home: the answers given there hold, so the
// person is not asked again; another home has its own answers.
TEST_F(PrivacyAccessTest, AnswersAreKeptWithTheHomeForTheNextStart)
{
    PrivacyAccess::setPromptAnswer(PrivacyService::addressBook, false);
    std::atomic<int> answers {0};
    PrivacyAccess::requestAccess(PrivacyService::addressBook, [&](bool granted) {
        EXPECT_FALSE(granted);
        ++answers;
    });
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return answers == 1; }));
    PrivacyAccess::setStatus(PrivacyService::camera, PrivacyStatus::authorized);
    ASSERT_TRUE(std::filesystem::exists(recordPath()));

    {
        auto other = std::make_unique<dv::test::TemporaryHome>();
        EXPECT_EQ(PrivacyAccess::status(PrivacyService::addressBook), PrivacyStatus::notDetermined);
        EXPECT_EQ(PrivacyAccess::status(PrivacyService::camera), PrivacyStatus::notDetermined);
    }
    EXPECT_EQ(PrivacyAccess::status(PrivacyService::addressBook), PrivacyStatus::denied);
    EXPECT_EQ(PrivacyAccess::status(PrivacyService::camera), PrivacyStatus::authorized);
    EXPECT_EQ(PrivacyAccess::status(PrivacyService::photos), PrivacyStatus::notDetermined);
    const int prompts = PrivacyAccess::promptCount(PrivacyService::addressBook);
    EXPECT_FALSE(PrivacyAccess::waitForAccess(PrivacyService::addressBook));
    EXPECT_EQ(PrivacyAccess::promptCount(PrivacyService::addressBook), prompts) << "a kept answer asks nobody";

    // Set back to "ask" in the settings: nothing is left to keep.
    PrivacyAccess::setStatus(PrivacyService::addressBook, PrivacyStatus::notDetermined);
    PrivacyAccess::setStatus(PrivacyService::camera, PrivacyStatus::notDetermined);
    EXPECT_FALSE(std::filesystem::exists(recordPath()));
}

TEST_F(PrivacyAccessTest, AMangledRecordCountsAsNoAnswer)
{
    ASSERT_TRUE(dv::SystemPaths::ensureDirectory(dv::SystemPaths::deviceFolder()));
    std::ofstream(recordPath()) << "photos=9\ncamera\naddressBook=2\nlocation=3\n";
    {
        // Read afresh from the record of a home the process has not looked at yet.
        dv::test::TemporaryHome other;
        EXPECT_EQ(PrivacyAccess::status(PrivacyService::photos), PrivacyStatus::notDetermined);
    }
    EXPECT_EQ(PrivacyAccess::status(PrivacyService::photos), PrivacyStatus::notDetermined);
    EXPECT_EQ(PrivacyAccess::status(PrivacyService::camera), PrivacyStatus::notDetermined);
    EXPECT_EQ(PrivacyAccess::status(PrivacyService::addressBook), PrivacyStatus::denied);
}
