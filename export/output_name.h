// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

// The name of an export file derived from the path chosen in the save dialog: the path cut
// before the first "." of its file name, followed by `suffix` ("_1.csv" ... "_5.csv").
// Only the file name is searched (after the last '/' or '\'), so a dot in a folder name never
// moves the file into the folder above: D:\my.data\walk.csv -> D:\my.data\walk_1.csv.
// Fails when the file name has no ".".
[[nodiscard]] std::optional<QString> outputFileName(const QString& chosenPath,
                                                    const QString& suffix);
