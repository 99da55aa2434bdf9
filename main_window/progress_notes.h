// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

class QFontMetrics;

// Texts of the line under the picture (lblProgress) outside a continuation.

// A photo that did not open: missing, or not a picture that loads.
[[nodiscard]] QString unreadablePhotoText(const QString& path);

// A marker press placed point `point` where its search met no marker pixel.
[[nodiscard]] QString noMarkerText(int point);

// The export files just written: their names, and the folder on a line of its own, shortened in
// the middle to `width` pixels of `metrics` when it is longer.
[[nodiscard]] QString writtenFilesText(const QStringList& paths, const QFontMetrics& metrics,
                                       int width);
