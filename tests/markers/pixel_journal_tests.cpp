#include "pixel_journal.h"
#include "region_search.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// Random pictures of blobs on grey: a search with a journal paints exactly what one without
// paints, and its patch takes the marks back and makes them again, pixel for pixel.
TEST(Journal, RegionSearchTakenBackAndMadeAgain) {
    std::mt19937 rng(11);
    const auto pick = [&rng](int low, int high) {
        return std::uniform_int_distribution(low, high)(rng);
    };
    for (int round = 0; round < 300; ++round) {
        const int width = pick(1, 60);
        const int height = pick(1, 60);
        std::vector<uint32_t> photo(static_cast<std::size_t>(width * height), 0xFF808080u);
        for (int blobs = pick(0, 6); blobs > 0; --blobs) {
            const int x0 = pick(0, width - 1), y0 = pick(0, height - 1);
            const int x1 = std::min(width - 1, x0 + pick(0, 15));
            const int y1 = std::min(height - 1, y0 + pick(0, 15));
            for (int y = y0; y <= y1; ++y)
                for (int x = x0; x <= x1; ++x)
                    photo[static_cast<std::size_t>(y * width + x)] =
                        pick(0, 9) ? 0xFFFFFFFFu : 0xFF202020u;
        }
        std::vector<uint32_t> before(photo.size());
        for (uint32_t& pixel : before) // a canvas with earlier marks on it
            pixel = pick(0, 3) ? 0xFF404040u : 0xFF000080u;
        AnalysisState state;
        state.darknessTolerance = static_cast<int16_t>(pick(0, 255));
        const double x = pick(-20, (width + 5) * 2) / 2.0;
        const double y = pick(-20, (height + 5) * 2) / 2.0;
        const PhotoView view{photo.data(), width, height, width};

        std::vector<uint32_t> plain = before;
        CanvasView plainCanvas{plain.data(), width, height, width};
        const PixelPoint expected = findMarkerCentre(state, view, plainCanvas, x, y);

        std::vector<uint32_t> journalled = before;
        PixelJournal journal;
        CanvasView canvas{journalled.data(), width, height, width, &journal};
        EXPECT_EQ(findMarkerCentre(state, view, canvas, x, y), expected);
        ASSERT_EQ(journalled, plain) << round;

        const PixelPatch patch = journal.finish(canvas);
        std::size_t changed = 0;
        for (std::size_t i = 0; i < before.size(); ++i)
            changed += before[i] != plain[i];
        EXPECT_EQ(patch.before.size(), changed); // nothing kept that did not change
        patch.applyBefore(canvas);
        ASSERT_EQ(journalled, before) << round;
        patch.applyAfter(canvas);
        ASSERT_EQ(journalled, plain) << round;
    }
}

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
