#pragma once

#include "sway_csv.h"

class QWidget;

// Saves what a widget shows as a picture: SVG (vector) when the name ends in ".svg", otherwise
// PNG at twice the screen resolution. Written whole or not at all.
[[nodiscard]] SaveResult saveFigureFile(const QString& path, QWidget* figure);
