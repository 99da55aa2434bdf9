// SPDX-License-Identifier: GPL-3.0-or-later
#include "number_text.h"

#include <charconv>
#include <cmath>

std::string generalNumberText(double v) {
    if (std::isnan(v))
        return "NaN";
    if (std::isinf(v))
        return v > 0 ? "Inf" : "-Inf";
    if (v == 0.0) // also -0, which would otherwise print as "-0"
        return "0";
    // to_chars in general form is printf's %.15g without the locale: exponent form below 1E-04
    // and from 1E+15 up, trailing zeros dropped, at least two exponent digits.
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, 15);
    std::string text(buffer, result.ptr);
    for (char& c : text)
        if (c == 'e')
            c = 'E';
    return text;
}
