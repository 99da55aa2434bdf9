// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>

class MainWindow;

enum class StartFileKind : uint8_t { Photo, Video, Analysis };

// What a file given on the command line is: by its suffix (the desktop hands over the same
// types its entry lists), else by its content; anything unknown is tried as a photo, whose
// loader knows pictures by their content.
[[nodiscard]] StartFileKind startFileKind(const QString& path);

// Opens the file in the main window as its kind requires. An empty text when it opened, else
// the message for the user (Japanese); the window stays as it was.
[[nodiscard]] QString openAtStart(MainWindow& window, const QString& path);
