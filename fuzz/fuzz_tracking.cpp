// SPDX-License-Identifier: GPL-3.0-or-later
// Tracking on random small pictures with random points, counters and tolerances: nothing is
// read or written outside the record or the pictures, and the counters stay in range.
#include "picture_input.h"
#include "tracking.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    auto state = std::make_unique<AnalysisState>();
    state->brightnessTolerance = in.take<int16_t>();
    state->darknessTolerance = in.take<int16_t>() % 300;
    state->pointCount = in.take<uint8_t>(); // may claim more than the 60 points stored
    state->frameCount = in.take<int16_t>() % 1000;
    for (int k = 1; k <= AnalysisState::kMaxPoints && in.more(); ++k) {
        state->pointX[k] = in.take<int8_t>();
        state->pointY[k] = in.take<int8_t>();
    }
    FuzzPicture photo = FuzzPicture::from(in, 48);
    FuzzPicture display = FuzzPicture::from(in, 48);
    CanvasView canvas = display.canvas();

    const int16_t before = state->frameCount;
    const TrackResult result = trackMarkers(*state, photo.photo(), canvas);
    if (result.allFound != (result.lostPoint == 0) || result.lostPoint < 0 ||
        result.lostPoint > AnalysisState::kMaxPoints)
        std::abort();
    // The count grows by one per fully tracked photo and never past the capacity.
    const int expected =
        result.allFound && before < AnalysisState::kSeriesLength ? before + 1 : before;
    if (state->frameCount != expected)
        std::abort();
    return 0;
}
