#include "number_text.h"
#include "photo_sequence.h"
#include "picture.h"
#include "rounding.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace {

struct NameRow {
    std::string name;
    std::string path;
    std::optional<std::string> next;
};

class NextNameTest : public testing::TestWithParam<NameRow> {};

TEST_P(NextNameTest, IncrementsTheNumber) {
    EXPECT_EQ(nextPhotoName(GetParam().path), GetParam().next);
}

const std::nullopt_t kNo = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Paths, NextNameTest,
    testing::Values(
        NameRow{"ThreeDigits", R"(D:\data\sub(009).bmp)", R"(D:\data\sub(010).bmp)"},
        NameRow{"OneDigit", "x(7).gif", "x(8).gif"}, NameRow{"OneWidens", "x(9).gif", "x(10).gif"},
        NameRow{"TwoDigits", "x(09).bmp", "x(10).bmp"},
        NameRow{"TwoWidens", "x(99).jpg", "x(100).jpg"},
        NameRow{"LeadingZeros", "x(007).bmp", "x(008).bmp"},
        NameRow{"FourCarry", "x(0999).bmp", "x(1000).bmp"},
        NameRow{"FourWidens", "x(9999).bmp", "x(10000).bmp"},
        NameRow{"FiveWidens", "x(99999)", "x(100000)"},
        NameRow{"SixDigits", "x(000123).bmp", "x(000124).bmp"},
        // Numbers in folder names used to be renumbered instead of the photo's.
        NameRow{"Backslash", R"(D:\test(2)\a(001).bmp)", R"(D:\test(2)\a(002).bmp)"},
        NameRow{"Slash", "/x/フォルダー (2)/a(001).bmp", "/x/フォルダー (2)/a(002).bmp"},
        NameRow{"BothSeparators", R"(C:/p(1)\q(3)/写真(5).png)", R"(C:/p(1)\q(3)/写真(6).png)"},
        NameRow{"FirstPairOnly", "a(1)(5).bmp", "a(2)(5).bmp"}, NameRow{"Empty", "", kNo},
        NameRow{"NoNumber", "a.bmp", kNo}, NameRow{"OnlyInFolder", R"(D:\x(1)\a.bmp)", kNo},
        NameRow{"CloseBeforeOpen", "a)(1).bmp", kNo}, NameRow{"Nothing", "a().bmp", kNo},
        NameRow{"Letters", "a(1a).bmp", kNo}, NameRow{"Blank", "a( 1).bmp", kNo},
        NameRow{"Sign", "a(-1).bmp", kNo}, NameRow{"Unclosed", "a(1.bmp", kNo},
        NameRow{"FullWidthDigit", "a(１).bmp", kNo}, NameRow{"FolderOnly", "/x/d(1)/", kNo}),
    rowName<NameRow>);

TEST(Numbers, GeneralTextAndRounding) {
    const std::pair<double, std::string> texts[] = {{-0.0, "0"},
                                                    {0.5, "0.5"},
                                                    {2.0 / 3.0, "0.666666666666667"},
                                                    {0.0001, "0.0001"},
                                                    {0.00001, "1E-05"},
                                                    {999999999999999.0, "999999999999999"},
                                                    {1e15, "1E+15"},
                                                    {-1.5e-100, "-1.5E-100"},
                                                    {-HUGE_VAL, "-Inf"},
                                                    {std::nan(""), "NaN"}};
    for (const auto& [v, text] : texts)
        EXPECT_EQ(generalNumberText(v), text) << v;

    const std::pair<double, int32_t> nearest[] = {
        {12.5, 12},        {13.5, 14},        {-2.5, -2},       {-7.6, -8},
        {1e20, INT32_MAX}, {std::nan(""), 0}, {40000.5, 40000}, {-1e20, INT32_MIN}};
    for (const auto& [v, expected] : nearest) {
        EXPECT_EQ(nearestInt32(v), expected) << v;
        EXPECT_EQ(nearestInt16(v), std::clamp(expected, -32768, 32767)) << v;
    }
}

} // namespace
