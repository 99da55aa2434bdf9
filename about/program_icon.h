// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QPixmap>

class QPainter;

// The program's icon: a standing figure with white marker dots and a measured knee angle on a
// blue tile, designed on a 32 x 32 grid.
inline constexpr int kProgramIconGrid = 32;

// Paints the icon into the square (0, 0)-(32, 32) of the painter's coordinates; scale the
// painter for other sizes. Used for the window icon and for the installed icon files, so they
// all show the same drawing.
void paintProgramIcon(QPainter& p);

// The icon at size x size pixels, transparent around the tile.
[[nodiscard]] QImage programIconImage(int size);

// The 32 x 32 icon of the windows. Needs a QGuiApplication.
[[nodiscard]] QPixmap programIcon();
