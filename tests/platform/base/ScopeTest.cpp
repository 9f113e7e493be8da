#include "platform/base/Scope.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

TEST(ScopeTest, ScopeExitRunsOnEveryWayOut)
{
    std::vector<std::string> ran;
    auto leaveEarly = [&](bool early) {
        dv::ScopeExit note([&] { ran.push_back(early ? "early" : "late"); });
        if (early)
            return;
        ran.push_back("body");
    };
    leaveEarly(true);
    leaveEarly(false);
    EXPECT_EQ(ran, (std::vector<std::string> { "early", "body", "late" }));

    ran.clear();
    EXPECT_THROW(
        {
            dv::ScopeExit note([&] { ran.push_back("unwound"); });
            throw std::runtime_error("fails");
        },
        std::runtime_error);
    EXPECT_EQ(ran, std::vector<std::string> { "unwound" });
}

TEST(ScopeTest, NestedTemporaryChangesRestoreWhatTheOuterOneSet)
{
    int depth = 0;
    bool reloading = false;
    {
        dv::TemporaryChange outer(reloading, true);
        dv::TemporaryChange one(depth, 1);
        {
            // A nested reload inside the outer one.
            dv::TemporaryChange inner(reloading, true);
            dv::TemporaryChange two(depth, 2);
            EXPECT_EQ(depth, 2);
        }
        EXPECT_TRUE(reloading) << "the inner scope gives back the outer one's value, not false";
        EXPECT_EQ(depth, 1);
    }
    EXPECT_FALSE(reloading);
    EXPECT_EQ(depth, 0);

    std::string title = "before";
    try {
        dv::TemporaryChange<std::string> during(title, "during");
        throw std::runtime_error("fails");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(title, "before");
}
