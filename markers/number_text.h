// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// A double in the general number format: up to 15 significant digits, "." as the decimal point
// whatever the locale, a "0" before the point below 1, no trailing zeros, no thousands
// separators; exponent form ("1.5E+20") only for magnitudes of 1E+15 and above or below 0.0001.
[[nodiscard]] std::string generalNumberText(double v);
