// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// Nearest integer, halves to the even one (12.5 -> 12, 13.5 -> 14). Values beyond the range of
// the result saturate and NaN gives 0, so a wild input can never cause undefined behaviour.
[[nodiscard]] int32_t nearestInt32(double v);
[[nodiscard]] int16_t nearestInt16(double v);
