#include "colour_test.h"

#include "marker_pixel.h"

bool isMarkerPixel(const AnalysisState& state, uint32_t colour) {
    return marker_detail::passes(state, colour);
}

bool isMarkerAt(const AnalysisState& state, const PhotoView& photo, int x, int y) {
    return marker_detail::passesAt(state, photo, x, y);
}
