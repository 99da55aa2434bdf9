// SPDX-License-Identifier: GPL-3.0-or-later
#include "plain_decimal.h"

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

int64_t PlainDecimal::rounded() const {
    bool up = fraction == Fraction::AboveHalf;
    if (fraction == Fraction::Half)
        up = whole % 2 != 0;
    const auto magnitude = static_cast<int64_t>(whole + (up ? 1 : 0));
    return negative ? -magnitude : magnitude;
}

int PlainDecimal::compare(int64_t n) const {
    const bool isZero = whole == 0 && fraction == Fraction::Zero;
    if (isZero)
        return n > 0 ? -1 : (n < 0 ? 1 : 0);
    const bool hasFraction = fraction != Fraction::Zero;
    const auto w = static_cast<int64_t>(whole);
    if (!negative) {
        if (w != n)
            return w < n ? -1 : 1;
        return hasFraction ? 1 : 0;
    }
    // The value is -(whole + fraction); compare the magnitude with -n and turn the answer round.
    const int64_t m = -n;
    if (w != m)
        return w < m ? 1 : -1;
    return hasFraction ? -1 : 0;
}

std::optional<PlainDecimal> parsePlainDecimal(std::string_view text) {
    PlainDecimal d;
    size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        d.negative = text[pos] == '-';
        ++pos;
    }

    size_t digits = 0;
    for (; pos < text.size() && isDigit(text[pos]); ++pos, ++digits) {
        const auto digit = static_cast<uint64_t>(text[pos] - '0');
        d.whole =
            d.whole >= PlainDecimal::kWholeLimit ? PlainDecimal::kWholeLimit : d.whole * 10 + digit;
    }

    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        // The first digit after the point decides the side of the half; the rest only break
        // the tie.
        char first = '0';
        bool restNonZero = false;
        for (size_t i = 0; pos < text.size() && isDigit(text[pos]); ++pos, ++digits, ++i) {
            if (i == 0)
                first = text[pos];
            else if (text[pos] != '0')
                restNonZero = true;
        }
        if (first > '5' || (first == '5' && restNonZero))
            d.fraction = PlainDecimal::Fraction::AboveHalf;
        else if (first == '5')
            d.fraction = PlainDecimal::Fraction::Half;
        else if (first != '0' || restNonZero)
            d.fraction = PlainDecimal::Fraction::BelowHalf;
    }

    if (digits == 0 || pos != text.size())
        return std::nullopt;
    return d;
}
