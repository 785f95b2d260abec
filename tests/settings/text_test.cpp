#include "settings/text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <random>

TEST(FormatInteger, SmallValuesAndTheEdgesOf32Bits) {
    EXPECT_EQ(FormatInteger(0), "0");
    EXPECT_EQ(FormatInteger(-1), "-1");
    EXPECT_EQ(FormatInteger(7), "7");
    EXPECT_EQ(FormatInteger(10), "10");
    EXPECT_EQ(FormatInteger(-100), "-100");
    EXPECT_EQ(FormatInteger(INT32_MAX), "2147483647");
    EXPECT_EQ(FormatInteger(INT32_MIN), "-2147483648");
}

TEST(FormatInteger, SixtyFourBitValuesBeyond32Bits) {
    EXPECT_EQ(FormatInteger(std::int64_t{0}), "0");
    EXPECT_EQ(FormatInteger(std::int64_t{INT32_MIN}), "-2147483648");
    EXPECT_EQ(FormatInteger(std::int64_t{INT32_MAX} + 1), "2147483648");
    EXPECT_EQ(FormatInteger(std::int64_t{INT32_MIN} - 1), "-2147483649");
    EXPECT_EQ(FormatInteger(INT64_MAX), "9223372036854775807");
    EXPECT_EQ(FormatInteger(INT64_MIN), "-9223372036854775808");
}

TEST(FormatInteger, GroupedByThreesFromTheRight) {
    EXPECT_EQ(FormatGroupedInteger(999), "999");
    EXPECT_EQ(FormatGroupedInteger(1000), "1.000");
    EXPECT_EQ(FormatGroupedInteger(-123456), "-123.456");
    EXPECT_EQ(FormatGroupedInteger(INT64_MIN), "-9.223.372.036.854.775.808");
}

TEST(FormatInteger, BufferFormReturnsTheLengthAndTerminates) {
    char text[IntegerTextSize];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(FormatInteger(INT64_MIN, text), IntegerTextSize - 1);
    EXPECT_STREQ(text, "-9223372036854775808");
    EXPECT_EQ(FormatInteger(std::int32_t{-5}, text), 2);
    EXPECT_STREQ(text, "-5");
    EXPECT_EQ(FormatInteger(1, nullptr), 0);
}

TEST(FormatInteger, AgreesWithPrintfOnRandomValues) {
    std::mt19937_64 random(20261207);
    char expected[32];
    for (int i = 0; i < 20000; ++i) {
        // Spread the values over every magnitude, not just the huge ones.
        auto value = static_cast<std::int64_t>(random()) >> (random() % 64);
        std::snprintf(expected, sizeof expected, "%lld", static_cast<long long>(value));
        ASSERT_EQ(FormatInteger(value), expected);
        auto small = static_cast<std::int32_t>(value);
        std::snprintf(expected, sizeof expected, "%ld", static_cast<long>(small));
        ASSERT_EQ(FormatInteger(small), expected);
    }
}

TEST(TextEquals, MissingCountsAsEmptyAndCaseMatters) {
    EXPECT_EQ(TextEquals(nullptr, ""), 1);
    EXPECT_EQ(TextEquals("", nullptr), 1);
    EXPECT_EQ(TextEquals(nullptr, nullptr), 1);
    EXPECT_EQ(TextEquals("Datei", "Datei"), 1);
    EXPECT_EQ(TextEquals("Datei", "datei"), 0);
    EXPECT_EQ(TextEquals("Datei", "Dateien"), 0);
    EXPECT_EQ(TextEquals("a", nullptr), 0);
    // Bytes above 0x7F compare as they are (Windows-1252 umlauts).
    EXPECT_EQ(TextEquals("\xFC", "\xFC"), 1);
    EXPECT_EQ(TextEquals("\xFC", "\xDC"), 0);
}
