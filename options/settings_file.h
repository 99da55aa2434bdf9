// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "whole_file.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>

// The settings file pcol.dat: one ASCII line "brightness,darkness" and CR LF, kept in the
// directory the program was started from.

inline constexpr char kToleranceFileName[] = "pcol.dat";

// A settings file larger than this is refused as malformed, so junk cannot exhaust memory.
inline constexpr qsizetype kToleranceFileMaxBytes = 64 * 1024;

enum class ToleranceFileError : uint8_t {
    None,
    Unreadable,   // missing, a directory, no permission, read error
    TooLarge,     // more than kToleranceFileMaxBytes
    MissingValue, // the content ends before the second value
    OutOfRange,   // a value outside -32768..32767
};

struct ToleranceReadResult {
    bool ok = false;
    int16_t brightness = 0;
    int16_t darkness = 0;
    ToleranceFileError failure = ToleranceFileError::None;
    QString error; // Japanese, names the file and what is wrong; empty when ok
};

// Reads the first two fields of the content, after a leading UTF-8 byte-order mark. A field ends
// at a comma, a blank or a line break; blanks and line breaks before it are skipped, and after it
// blanks and at most one comma. A field that is not a plain decimal number reads as 0; a number
// is rounded to the nearest integer, halves to the even one. shownPath names the file in error
// texts, which also say what a valid file holds.
[[nodiscard]] ToleranceReadResult
parseToleranceText(QByteArrayView content,
                   const QString& shownPath = QString::fromLatin1(kToleranceFileName));

// Reads the settings file at path (relative paths against the current directory).
[[nodiscard]] ToleranceReadResult readToleranceFile(const QString& path);

// The exact file content: "30,45\r\n".
[[nodiscard]] QByteArray toleranceFileBytes(int16_t brightness, int16_t darkness);

// Replaces dir/pcol.dat atomically: a crash or a full disk leaves the old file as it was. Only
// an existing, writable pcol.dat in a folder that allows no new files is written in place.
[[nodiscard]] WriteResult writeToleranceFile(const QString& dir, int16_t brightness,
                                             int16_t darkness);
