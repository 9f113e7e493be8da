#include "platform/base/Check.h"
#include "platform/base/Result.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using dv::Failure;
using dv::Result;

Result<int> parseDigit(char c)
{
    if (c < '0' || c > '9')
        return Failure(std::string("not a digit: ") + c);
    return c - '0';
}

// Two steps, each passing its failure up unchanged; `steps` records how far the function got.
Result<int> sumOfDigits(const std::string& text, std::vector<std::string>& steps)
{
    DV_TRY_ASSIGN(int first, parseDigit(text.at(0)));
    steps.push_back("first");
    DV_TRY_ASSIGN(auto second, parseDigit(text.at(1)));
    steps.push_back("second");
    return first + second;
}

Result<void> checkEven(int value)
{
    if (value % 2)
        return Failure("odd: " + std::to_string(value));
    return {};
}

Result<std::string> describeEvenSum(const std::string& text, std::vector<std::string>& steps)
{
    DV_TRY_ASSIGN(auto sum, sumOfDigits(text, steps));
    DV_TRY(checkEven(sum));
    steps.push_back("even");
    return "sum " + std::to_string(sum);
}

TEST(ResultTest, TryReturnsTheFirstFailureWithItsReasonAndSkipsTheRest)
{
    std::vector<std::string> steps;
    auto good = describeEvenSum("35", steps);
    ASSERT_TRUE(good.ok());
    EXPECT_EQ(*good, "sum 8");
    EXPECT_EQ(steps, (std::vector<std::string> { "first", "second", "even" }));

    steps.clear();
    auto badSecond = describeEvenSum("3x", steps);
    ASSERT_FALSE(badSecond);
    EXPECT_EQ(badSecond.reason(), "not a digit: x");
    EXPECT_EQ(steps, std::vector<std::string> { "first" });

    steps.clear();
    auto odd = describeEvenSum("34", steps);
    ASSERT_FALSE(odd);
    EXPECT_EQ(odd.reason(), "odd: 7");
    EXPECT_EQ(steps, (std::vector<std::string> { "first", "second" }));
}

TEST(ResultTest, CarriesMoveOnlyValuesAndFailuresWithContext)
{
    Result<std::unique_ptr<int>> owned = std::make_unique<int>(7);
    ASSERT_TRUE(owned);
    std::unique_ptr<int> taken = std::move(owned).value();
    EXPECT_EQ(*taken, 7);

    Result<std::unique_ptr<int>> missing = Failure("no file").context("opening the store");
    EXPECT_EQ(missing.reason(), "opening the store: no file");
    EXPECT_EQ(std::move(missing).valueOr(nullptr), nullptr);
    EXPECT_EQ(parseDigit('4').valueOr(-1), 4);
    EXPECT_EQ(parseDigit('-').valueOr(-1), -1);
}

TEST(CheckDeathTest, ABrokenInvariantStopsTheProcessNamingThePlaceAndTheCondition)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    int count = 0;
    DV_CHECK(count == 0);
    EXPECT_DEATH(DV_CHECK(count > 0), "CheckAndResultTest.cpp:[0-9]+: invariant broken: count > 0");
    EXPECT_DEATH(DV_CHECK_MSG(count > 0, "leave without enter"), "invariant broken: count > 0 \\(leave without enter\\)");
    // Reading the wrong side of a result is a fault of its caller, caught in every build.
    EXPECT_DEATH((void)parseDigit('x').value(), "invariant broken: ok\\(\\)");
    EXPECT_DEATH((void)parseDigit('1').reason(), "invariant broken: !ok\\(\\)");
}

} // namespace
