// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

struct DisplaySize {
    int width = 0;
    int height = 0;
    friend bool operator==(const DisplaySize&, const DisplaySize&) = default;
};

// Size at which a w x h photo is shown: fitted into 640 x 480 with its aspect ratio kept.
// Photos narrower than 4:3 get height 480, others (4:3 included) width 640; the other side is
// the rounded quotient (ties to even). Nothing for a photo without pixels.
[[nodiscard]] std::optional<DisplaySize> displaySize(int w, int h);
