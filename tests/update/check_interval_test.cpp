#include "update/check_interval.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(CheckIntervalTest, EmptyTextMeansTwentySeconds) { EXPECT_EQ(CheckIntervalSeconds(""), 20); }

TEST(CheckIntervalTest, ReadsDigitsAfterBlanksAndIgnoresTheRest)
{
    EXPECT_EQ(CheckIntervalSeconds("60"), 60);
    EXPECT_EQ(CheckIntervalSeconds(" 45s"), 45);
    EXPECT_EQ(CheckIntervalSeconds("\t\n 7 8"), 7);
    EXPECT_EQ(CheckIntervalSeconds("0x10"), 0);
    EXPECT_EQ(CheckIntervalSeconds("1e3"), 1);
}

TEST(CheckIntervalTest, TakesOneSign)
{
    EXPECT_EQ(CheckIntervalSeconds("+5"), 5);
    EXPECT_EQ(CheckIntervalSeconds("-5"), -5);
    EXPECT_EQ(CheckIntervalSeconds("0"), 0);
    EXPECT_THROW(CheckIntervalSeconds("+-5"), std::invalid_argument);
    EXPECT_THROW(CheckIntervalSeconds("+"), std::invalid_argument);
}

TEST(CheckIntervalTest, TextWithoutALeadingNumberIsAnError)
{
    EXPECT_THROW(CheckIntervalSeconds("abc"), std::invalid_argument);
    EXPECT_THROW(CheckIntervalSeconds("   "), std::invalid_argument);
    EXPECT_THROW(CheckIntervalSeconds("s45"), std::invalid_argument);
    try {
        CheckIntervalSeconds("abc");
    } catch (const std::invalid_argument& error) {
        EXPECT_STREQ(error.what(), "check interval \"abc\" is not a number");
    }
}

TEST(CheckIntervalTest, ThirtyTwoBitSignedRangeOnly)
{
    EXPECT_EQ(CheckIntervalSeconds("2147483647"), 2147483647);
    EXPECT_EQ(CheckIntervalSeconds("-2147483648"), -2147483647 - 1);
    EXPECT_THROW(CheckIntervalSeconds("2147483648"), std::out_of_range);
    EXPECT_THROW(CheckIntervalSeconds("-2147483649"), std::out_of_range);
    EXPECT_THROW(CheckIntervalSeconds(" 99999999999999999999s"), std::out_of_range);
}

TEST(CheckIntervalTest, PeriodUnderOneSecondBecomesTheDefaultTwentySeconds)
{
    EXPECT_EQ(CheckPeriodMilliseconds(CheckIntervalSeconds("0")), 20000u);
    // 4294968 × 1000 wraps to 704 ms in 32 bits.
    EXPECT_EQ(CheckPeriodMilliseconds(4294968), 20000u);
    EXPECT_EQ(CheckPeriodMilliseconds(1), 1000u);
    EXPECT_EQ(CheckPeriodMilliseconds(60), 60000u);
    // A wrapped product of a second or more stays as it is.
    EXPECT_EQ(CheckPeriodMilliseconds(4294969), 1704u);
    EXPECT_EQ(CheckPeriodMilliseconds(-1), 0xFFFFFC18u);
}

}  // namespace
