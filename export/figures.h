// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QPixmap;

// The stick figures on the buttons of the end-of-analysis window, black on white.
[[nodiscard]] QPixmap standingSideFigure();  // 14 x 36: profile, nose and foot to the right
[[nodiscard]] QPixmap standingFrontFigure(); // 11 x 36: face with eyes and mouth, flat base
[[nodiscard]] QPixmap lyingSideFigure();     // 50 x 19: head left, face and foot down
[[nodiscard]] QPixmap lyingFrontFigure();    // 50 x 15: head left, base right
