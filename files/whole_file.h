// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

// Where a file may be written when it cannot be written aside.
enum class InPlace : bool {
    Never,            // strictly atomic
    InReadOnlyFolder, // an existing, writable file in a folder that allows no new files
};

struct WriteResult {
    bool ok = false;
    QString error; // Japanese, names the file and the reason; empty on success
    // The system's own words for the failure, for a caller that words its own message.
    QString systemText;
    // The reason in Japanese with the system's words (writeReason), for such a caller.
    QString reason;
};

// Writes `bytes` as the whole file at `path` or nothing: QSaveFile writes aside and renames only
// after the last byte, so a crash or a full disk leaves an existing file as it was. With
// InPlace::InReadOnlyFolder, an existing, writable file in a folder that allows no new files is
// written in place instead, since nothing can be written aside there.
[[nodiscard]] WriteResult writeWholeFile(const QString& path, const QByteArray& bytes,
                                         InPlace inPlace = InPlace::Never);

// Why a file could not be written, in Japanese ("ディスクの空きが足りません"), followed by the
// system's own words in brackets unless there are none.
[[nodiscard]] QString writeReason(QFileDevice::FileError error, const QString& systemText);

// The failure text for a file refused before anything was written:
// "ファイル「path」を書き込めませんでした。\n理由: reason".
[[nodiscard]] QString writeFailure(const QString& path, const QString& reason);
