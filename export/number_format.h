// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

// How numbers and columns look in the export files. Everything here is independent of the
// user's locale: the files must be byte-identical on every machine.

// A transition number: a minus sign or a blank, the plain digits, one trailing blank (" 1 ").
[[nodiscard]] std::string displayForm(int16_t value);

// A 32-bit float: a minus sign or a blank (zero, also -0, counts as not negative), the magnitude
// rounded to at most 7 significant digits with "." as decimal point, a "0" before the point below
// 1, no trailing zeros and no point when nothing follows it, then one trailing blank.
// Magnitudes of 1E+7 and above or below 0.0001 take the exponent form "1.234568E+07", "1E-05".
// Infinities are written as "INF" with their sign, NaN as " NAN ".
[[nodiscard]] std::string displayForm(float value);

// Width of a print zone; zones start at columns 1, 15, 29, ... counted from 1.
inline constexpr int kPrintZoneWidth = 14;

// Appends blanks to `line` (the text of the current line so far, one byte per column) up to the
// start of the first print zone strictly after the current column.
void moveToNextPrintZone(std::string& line);
