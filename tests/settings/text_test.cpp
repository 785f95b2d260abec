#include "settings/text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

TEST(FormatInteger, AgreesWithPrintfAtTheEdgesAndOnRandomValues) {
    std::vector<std::int64_t> values = {
        0, -1, 7, 10, -100, INT32_MAX, INT32_MIN, INT32_MAX + 1LL, INT32_MIN - 1LL, INT64_MAX, INT64_MIN};
    std::mt19937_64 random(20261207);
    // Spread over every magnitude, not just the huge ones.
    for (int i = 0; i < 20000; ++i)
        values.push_back(static_cast<std::int64_t>(random()) >> (random() % 64));
    char expected[32];
    for (std::int64_t value : values) {
        std::snprintf(expected, sizeof expected, "%lld", static_cast<long long>(value));
        ASSERT_EQ(FormatInteger(value), expected);
        auto small = static_cast<std::int32_t>(value);
        std::snprintf(expected, sizeof expected, "%ld", static_cast<long>(small));
        ASSERT_EQ(FormatInteger(small), expected);
    }
    EXPECT_EQ(FormatGroupedInteger(999), "999");
    EXPECT_EQ(FormatGroupedInteger(-123456), "-123.456");
    EXPECT_EQ(FormatGroupedInteger(INT64_MIN), "-9.223.372.036.854.775.808");

    char text[IntegerTextSize];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(FormatInteger(INT64_MIN, text), IntegerTextSize - 1);
    EXPECT_STREQ(text, "-9223372036854775808");
    EXPECT_EQ(FormatInteger(1, nullptr), 0);
}

TEST(TextEquals, MissingCountsAsEmptyAndEveryByteMatters) {
    struct {
        const char *left, *right;
        int equal;
    } cases[] = {{nullptr, "", 1},      {"", nullptr, 1},      {nullptr, nullptr, 1},
                 {"Datei", "Datei", 1}, {"Datei", "datei", 0}, {"Datei", "Dateien", 0},
                 {"a", nullptr, 0},     {"\xFC", "\xFC", 1},   {"\xFC", "\xDC", 0}};
    for (const auto& c : cases)
        EXPECT_EQ(TextEquals(c.left, c.right), c.equal)
            << (c.left ? c.left : "null") << "/" << (c.right ? c.right : "null");
}
