// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "whole_file.h"

class QWidget;

// Saves what a widget shows as a picture: SVG (vector) when the name ends in ".svg", otherwise
// PNG at twice the screen resolution. Written whole or not at all.
[[nodiscard]] WriteResult saveFigureFile(const QString& path, QWidget* figure);
