// SPDX-License-Identifier: GPL-3.0-or-later
#include "number_format.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

std::string displayForm(int16_t value) {
    const int32_t wide = value; // -32768 has no int16_t magnitude
    std::string text(1, wide < 0 ? '-' : ' ');
    char digits[8];
    const auto res = std::to_chars(digits, digits + sizeof digits, std::abs(wide));
    text.append(digits, res.ptr);
    text.push_back(' ');
    return text;
}

std::string displayForm(float value) {
    if (std::isnan(value))
        return " NAN ";
    // A plain comparison, so -0.0f gets a blank like +0.0f.
    std::string text(1, value < 0.0f ? '-' : ' ');
    const float magnitude = std::fabs(value);
    if (std::isinf(magnitude)) {
        text += "INF ";
        return text;
    }
    // General format with 7 significant digits is exactly the wanted shape: fixed notation from
    // 0.0001 up to 9999999.5, exponent form outside, trailing zeros and a bare point removed.
    char digits[32];
    const auto res =
        std::to_chars(digits, digits + sizeof digits, magnitude, std::chars_format::general, 7);
    for (char* p = digits; p != res.ptr; ++p)
        text.push_back(*p == 'e' ? 'E' : *p);
    text.push_back(' ');
    return text;
}

void moveToNextPrintZone(std::string& line) {
    const std::size_t column = line.size() + 1;
    const std::size_t zones = (column - 1) / kPrintZoneWidth + 1;
    const std::size_t nextZoneStart = zones * kPrintZoneWidth + 1;
    line.append(nextZoneStart - column, ' ');
}
