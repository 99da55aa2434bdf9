// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A position with sub-pixel precision, or a position in millimetres.
struct PointD {
    double x = 0.0;
    double y = 0.0;
    friend bool operator==(const PointD&, const PointD&) = default;
};
