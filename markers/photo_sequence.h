// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Name of the next photo of a numbered sequence: the number between the first "(" and the first
// ")" of the file name (the part after the last "/" or "\") is increased by one, keeping its
// width with leading zeros and widening when it outgrows it: a(009).bmp -> a(010).bmp,
// x(99).jpg -> x(100).jpg. Folders are never touched. Returns nothing when the file name has
// no "(" followed by ")" with only digits (at least one) between them.
[[nodiscard]] std::optional<std::string> nextPhotoName(std::string_view path);

// The number nextPhotoName counts up, as a number: a(007).bmp -> 7. Nothing for a name without
// one, or with one beyond what 32 bits hold.
[[nodiscard]] std::optional<int32_t> photoSequenceNumber(std::string_view path);
