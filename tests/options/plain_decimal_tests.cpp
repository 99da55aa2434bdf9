#include "plain_decimal.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

struct DecimalRow {
    const char* name;
    std::string text;
    std::optional<int64_t> rounded; // nothing: not a plain decimal
    int vsZero = 0;                 // compare(0)
    int vs255 = 0;                  // compare(255)
};

class PlainDecimalTest : public testing::TestWithParam<DecimalRow> {};

TEST_P(PlainDecimalTest, ReadsRoundsAndComparesExactly) {
    const DecimalRow& row = GetParam();
    const auto number = parsePlainDecimal(row.text);
    ASSERT_EQ(number.has_value(), row.rounded.has_value());
    if (!number)
        return;
    EXPECT_EQ(number->rounded(), *row.rounded);
    EXPECT_EQ(number->compare(0), row.vsZero);
    EXPECT_EQ(number->compare(255), row.vs255);
}

const DecimalRow kDecimalRows[] = {
    {"Zero", "0", 0, 0, -1},
    {"Top", "255", 255, 1, 0},
    {"HalfDownToEven", "12.5", 12, 1, -1},
    {"HalfUpToEven", "13.5", 14, 1, -1},
    {"HalfWithTailRoundsUp", "12.5000001", 13, 1, -1},
    {"JustAbove255", "255.0000001", 255, 1, 1},
    {"RoundsTo255", "254.6", 255, 1, -1},
    {"TrailingZerosAre255", "255.000", 255, 1, 0},
    {"NegativeZero", "-0", 0, 0, -1},
    {"SmallNegativeIsBelowZero", "-0.4", 0, -1, -1},
    {"NegativeHalfToEven", "-2.5", -2, -1, -1},
    {"PlusSign", "+7", 7, 1, -1},
    {"PointWithoutFraction", "8.", 8, 1, -1},
    {"FractionOnly", ".5", 0, 1, -1},
    {"LeadingZeros", "000000000000000000000000042", 42, 1, -1},
    // Forty digits saturate instead of overflowing, and still compare as huge.
    {"HugeSaturates", std::string(40, '9'), int64_t{PlainDecimal::kWholeLimit}, 1, 1},
    {"HugeNegative", "-" + std::string(40, '9'), -int64_t{PlainDecimal::kWholeLimit}, -1, -1},
    {"Empty", "", std::nullopt},
    {"LoneSign", "-", std::nullopt},
    {"LonePoint", ".", std::nullopt},
    {"Exponent", "1e2", std::nullopt},
    {"TrailingLetters", "12abc", std::nullopt},
    {"InnerBlank", "1 2", std::nullopt},
    {"Comma", "1,5", std::nullopt},
    {"TwoPoints", "1.2.3", std::nullopt},
    {"Hex", "0x10", std::nullopt},
    {"FullWidthDigit", "\xEF\xBC\x95", std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Rows, PlainDecimalTest, testing::ValuesIn(kDecimalRows),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
