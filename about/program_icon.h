#pragma once

#include <QPixmap>

// The program's 32 x 32 icon: a standing figure with white marker dots and a measured knee angle
// on a blue tile. Needs a QGuiApplication.
[[nodiscard]] QPixmap programIcon();
