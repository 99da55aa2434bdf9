// SPDX-License-Identifier: GPL-3.0-or-later
// The sub-pixel centre on random small pictures, regions, seeds and tolerances: nothing is read
// outside the picture, and a centre found is finite and lies among the pixels it weighs (the
// region and one pixel around it, on the picture).
#include "picture_input.h"
#include "sub_pixel_centre.h"

#include <cmath>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const MarkerBounds bounds = markerBounds(in.take<int16_t>(), in.take<int16_t>() % 300);
    const PixelRect region{in.take<int8_t>(), in.take<int8_t>(), in.take<int8_t>(),
                           in.take<int8_t>()};
    std::vector<PixelSeed> seeds(in.take<uint8_t>() % 4);
    for (PixelSeed& seed : seeds)
        seed = {in.take<int8_t>(), in.take<int8_t>()};
    const FuzzPicture picture = FuzzPicture::from(in, 48);
    const PhotoView view = picture.photo();

    const auto centre = subPixelCentre(ArgbPicture{view.bits, view.width, view.height, view.stride},
                                       bounds, seeds, region);
    if (!centre)
        return 0;
    const double left = std::max(region.left - 1, 0);
    const double right = std::min(region.right + 1, picture.width - 1);
    const double top = std::max(region.top - 1, 0);
    const double bottom = std::min(region.bottom + 1, picture.height - 1);
    if (!std::isfinite(centre->x) || !std::isfinite(centre->y) || centre->x < left - 1e-9 ||
        centre->x > right + 1e-9 || centre->y < top - 1e-9 || centre->y > bottom + 1e-9)
        std::abort();
    return 0;
}
