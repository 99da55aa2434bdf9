// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pixel_view.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The pixels one change of the picture altered, with their values before and after it, as
// runs along rows. Applying `before` takes the change back, applying `after` makes it again.
struct PixelPatch {
    struct Run {
        int32_t x = 0;
        int32_t y = 0;
        int32_t length = 0;
        std::size_t offset = 0; // of the run's first value in before and after
    };
    std::vector<Run> runs;
    std::vector<uint32_t> before; // 0xAARRGGBB words
    std::vector<uint32_t> after;

    [[nodiscard]] bool empty() const { return runs.empty(); }
    [[nodiscard]] std::size_t bytes() const;
    void applyBefore(CanvasView& canvas) const;
    void applyAfter(CanvasView& canvas) const;
};

// Collects the old value of every pixel written while it is attached to a canvas
// (CanvasView::journal). Writers note a pixel before each write, so a pixel written twice is
// noted twice; only its first note holds the value from before the change.
class PixelJournal {
public:
    // The present values of pixels from..to of row y, all inside the canvas.
    void noteRow(const CanvasView& canvas, int y, int from, int to);
    // Every pixel of the rectangle, clipped to the canvas: for drawing whose exact pixels are not
    // known in advance (lines and texts of a painter).
    void noteRect(const CanvasView& canvas, int x, int y, int width, int height);

    // The change from the noted values to the canvas as it is now. Pixels that were written
    // but hold their old value again are left out.
    [[nodiscard]] PixelPatch finish(const CanvasView& canvas) const;

private:
    struct Noted {
        int32_t y;
        int32_t from;
        int32_t to;
        std::size_t offset;
    };
    std::vector<Noted> mRuns;
    std::vector<uint32_t> mOld;
};
