// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "whole_file.h"

#include <string>
#include <string_view>

// Converts UTF-8 text to code page 932 (Windows Shift_JIS), the encoding of the export files.
// Every character that code page 932 cannot hold becomes one "?", and so does every malformed
// UTF-8 sequence (a stray byte, a cut-off sequence, an encoded surrogate, an overlong form).
// The result never depends on the locale.
[[nodiscard]] std::string toCp932(std::string_view utf8);

// Whether the system offers the conversion at all. Without it toCp932 keeps ASCII and turns
// every other character into "?", so writers check this first and refuse to write.
[[nodiscard]] bool cp932Available();

// Writes bytes that toCp932 made as a whole file (writeWholeFile); refused, writing nothing, when
// the system offers no conversion.
[[nodiscard]] WriteResult writeCp932File(const QString& path, const std::string& bytes,
                                         InPlace inPlace);
