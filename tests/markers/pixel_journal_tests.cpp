// SPDX-License-Identifier: GPL-3.0-or-later
#include "pixel_journal.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The search's marks are taken back and made again on random pictures in markers_tests.cpp.
TEST(Journal, APixelWrittenTwiceKeepsItsFirstValue) {
    std::vector<uint32_t> bits(12, 0xFF111111u);
    PixelJournal journal;
    CanvasView canvas{bits.data(), 4, 3, 4, &journal};
    canvas.setPixel(1, 1, 0x0000FF);
    canvas.setPixel(1, 1, 0x00FF00);
    canvas.setPixel(3, 2, 0x111111);        // written with the colour it had: no change
    canvas.setPixel(4, 0, 0x0000FF);        // off the canvas
    journal.noteRect(canvas, -5, -5, 7, 6); // clipped to (0, 0)..(1, 0)
    bits[0] = 0xFF222222u;
    const PixelPatch patch = journal.finish(canvas);
    ASSERT_EQ(patch.runs.size(), 2u);
    EXPECT_EQ(patch.before, (std::vector<uint32_t>{0xFF111111u, 0xFF111111u}));
    EXPECT_EQ(patch.after, (std::vector<uint32_t>{0xFF222222u, 0xFF00FF00u}));
    patch.applyBefore(canvas);
    EXPECT_EQ(bits, std::vector<uint32_t>(12, 0xFF111111u));
}

} // namespace
