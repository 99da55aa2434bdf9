// SPDX-License-Identifier: GPL-3.0-or-later
// The region search on random small pictures with random tolerances and clicks: it never reads
// or paints outside the pictures, and it finds the same centre and paints the same pixels as
// the plain search of the tests, so longer fuzzing guards the optimised search too.
#include "picture_input.h"
#include "region_search.h"
#include "region_search_reference.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    AnalysisState state;
    state.brightnessTolerance = in.take<int16_t>();
    state.darknessTolerance = in.take<int16_t>();
    // Clicks around and a little beyond the picture, with fractions (ties included).
    const double clickX = in.take<int8_t>() + (in.take<uint8_t>() % 4) * 0.25;
    const double clickY = in.take<int8_t>() + (in.take<uint8_t>() % 4) * 0.25;
    FuzzPicture photo = FuzzPicture::from(in, 40);
    FuzzPicture display = FuzzPicture::from(in, 40); // may differ in size from the photo
    const size_t pixels = size_t(display.width) * display.height;
    const auto plain = std::make_unique<uint32_t[]>(pixels + 1);
    std::copy_n(display.pixels.get(), pixels, plain.get());

    CanvasView canvas = display.canvas();
    CanvasView plainCanvas = canvas;
    plainCanvas.bits = pixels ? plain.get() : nullptr;
    const PixelPoint centre = findMarkerCentre(state, photo.photo(), canvas, clickX, clickY);
    const PixelPoint expected =
        reference::findMarkerCentre(state, photo.photo(), plainCanvas, clickX, clickY);
    if (centre != expected || !std::equal(plain.get(), plain.get() + pixels, display.pixels.get()))
        std::abort();
    return 0;
}
