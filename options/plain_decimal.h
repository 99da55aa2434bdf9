// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// A number typed or stored as plain decimal text: an optional sign, digits, an optional "." and
// more digits ("12", "-3", "+0.5", "12.", ".5"). The value is kept exactly, not as a double, so
// range checks such as "255.0000001 is above 255" and halves such as "12.5" are decided on the
// text itself.
struct PlainDecimal {
    // Digits in front of the point. Saturates far above any 32-bit value, so a long run of
    // digits still compares as "too big" without overflowing.
    static constexpr uint64_t kWholeLimit = uint64_t{1} << 40;

    // What the digits after the point amount to, which is all rounding needs.
    enum class Fraction : uint8_t { Zero, BelowHalf, Half, AboveHalf };

    bool negative = false;
    uint64_t whole = 0;
    Fraction fraction = Fraction::Zero;

    // Nearest integer, halves to the even one (12.5 -> 12, 13.5 -> 14, -0.5 -> 0).
    [[nodiscard]] int64_t rounded() const;

    // -1, 0 or 1 as the exact value is below, equal to or above n.
    [[nodiscard]] int compare(int64_t n) const;
};

// Reads the whole of text as a plain decimal. Anything else (empty, blanks, "1e2", "0x10", "1,5",
// "12abc", a lone sign or point) gives nothing. "." is the decimal point whatever the locale.
[[nodiscard]] std::optional<PlainDecimal> parsePlainDecimal(std::string_view text);
