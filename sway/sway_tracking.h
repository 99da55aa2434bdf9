#pragma once

#include "analysis_state.h"
#include "sway_record.h"

#include <array>
#include <cstddef>
#include <cstdint>

// A 32-bit picture in memory, 0xAARRGGBB words (the layout of QImage::Format_RGB32). Does not
// own the pixels.
struct ArgbPicture {
    const uint32_t* bits = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0; // words per row
};

// Integer positions of points 1..7 before a photo was tracked: the tracking examined the
// pixels within 20 of each.
struct TrackedFrom {
    std::array<int16_t, 8> x{};
    std::array<int16_t, 8> y{};
};
[[nodiscard]] TrackedFrom trackedFrom(const AnalysisState& state);

// After a marker press placed point k at the click (clickX, clickY): records the point's
// sub-pixel centre in entry 0 (or in the newest entry when points are added later), creating
// entry 0 when there is none yet. Points above 7 are not recorded. `seconds` is the frame time
// of a video, NaN for a photo.
void recordPlacedPoint(SwayRecord& sway, const AnalysisState& state, const ArgbPicture& photo,
                       int k, double clickX, double clickY, double seconds);

// After trackMarkers found every point in a photo: appends one entry with the sub-pixel
// centres of points 1..7, measured in the windows the tracking examined. Nothing is appended
// once the record holds SwayRecord::kMaxEntries entries, or before entry 0 exists.
void recordTrackedFrame(SwayRecord& sway, const AnalysisState& state, const ArgbPicture& photo,
                        const TrackedFrom& before, double seconds);
