// The region search on random small pictures with random tolerances and clicks: it never reads
// or paints outside the pictures and its centre lies within the span it searched.
#include "picture_input.h"
#include "region_search.h"

#include "rounding.h"

#include <algorithm>
#include <cmath>
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

    CanvasView canvas = display.canvas();
    const PixelPoint centre = findMarkerCentre(state, photo.photo(), canvas, clickX, clickY);

    const int x = nearestInt32(clickX), y = nearestInt32(clickY);
    const bool inSpanX = centre.x >= std::min(x, 0) && centre.x <= std::max(x, photo.width - 1);
    const bool inSpanY = centre.y >= std::min(y, 0) && centre.y <= std::max(y, photo.height - 1);
    if (!inSpanX || !inSpanY)
        std::abort();
    return 0;
}
