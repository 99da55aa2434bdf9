#include "picture.h"
#include "region_search.h"
#include "tracking.h"

#include <algorithm>
#include <cmath>

namespace {

struct TrackRow {
    std::string name;
    std::vector<std::array<int, 4>> markers; // white rectangles on a 60 x 40 grey photo
    std::vector<PixelPoint> points;
    int16_t frameCount;
    int lost; // 0 when all were found
    int16_t frameCountAfter;
    std::vector<std::pair<int, int>> moves; // (deltaX, deltaY) of the points found
};

class TrackTest : public testing::TestWithParam<TrackRow> {};

TEST_P(TrackTest, FollowsMarkers) {
    const TrackRow& row = GetParam();
    Picture photo(60, 40);
    for (const auto& [x0, y0, x1, y1] : row.markers)
        photo.rect(x0, y0, x1, y1);
    Picture canvas(60, 40, 0);
    CanvasView view = canvas.canvas();
    AnalysisState state;
    state.frameCount = row.frameCount;
    state.pointCount = static_cast<uint8_t>(row.points.size());
    for (std::size_t k = 1; k <= row.points.size(); ++k) {
        state.pointX[k] = row.points[k - 1].x;
        state.pointY[k] = row.points[k - 1].y;
    }

    const TrackResult result = trackMarkers(state, photo.photo(), view);

    EXPECT_EQ(result.allFound, row.lost == 0);
    EXPECT_EQ(result.lostPoint, row.lost);
    EXPECT_EQ(state.frameCount, row.frameCountAfter);
    const int frame = row.frameCount;
    for (int k = 1; k <= static_cast<int>(row.points.size()); ++k) {
        const bool found = k <= static_cast<int>(row.moves.size());
        const auto [dx, dy] = found ? row.moves[k - 1] : std::pair{0, 0};
        EXPECT_EQ(state.pointX[k], row.points[k - 1].x + dx) << k;
        EXPECT_EQ(state.pointY[k], row.points[k - 1].y - dy) << k;
        EXPECT_EQ(canvas.at(state.pointX[k], state.pointY[k]) == colours::kDarkRed, found) << k;
        if (k > 7) // points beyond the seventh have neither a path nor a series
            continue;
        EXPECT_DOUBLE_EQ(state.pathLength[k], std::hypot(dx, dy)) << k;
        if (frame >= 0 && frame <= 900) {
            EXPECT_EQ(state.deltaX(k)[frame], dx) << k;
            EXPECT_EQ(state.deltaY(k)[frame], dy) << k;
        }
    }
    if (frame < 0 || frame > 900) { // nothing recorded anywhere
        for (int k = 1; k <= 7; ++k) {
            EXPECT_EQ(std::count(state.deltaX(k).begin(), state.deltaX(k).end(), 0.0f), 901) << k;
            EXPECT_EQ(std::count(state.deltaY(k).begin(), state.deltaY(k).end(), 0.0f), 901) << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Photos, TrackTest,
    testing::Values(
        TrackRow{"FoundInPlace", {{8, 8, 12, 12}}, {{10, 10}}, 0, 0, 1, {{0, 0}}},
        // A square centred 3 right and 4 down that still covers the old position.
        TrackRow{"MovedRightAndDown", {{20, 20, 26, 28}}, {{20, 20}}, 5, 0, 6, {{3, -4}}},
        // Earlier points keep their new positions and entries; the row is not counted.
        TrackRow{"Lost",
                 {{5, 5, 9, 9}, {20, 5, 24, 9}, {40, 20, 44, 24}},
                 {{6, 8}, {22, 7}, {50, 35}, {42, 22}},
                 4,
                 3,
                 4,
                 {{1, 1}, {0, 0}}},
        TrackRow{"NoPoints", {}, {}, 7, 0, 8, {}},
        TrackRow{"NinePoints",
                 {{1, 1, 5, 5},
                  {7, 1, 11, 5},
                  {13, 1, 17, 5},
                  {19, 1, 23, 5},
                  {25, 1, 29, 5},
                  {31, 1, 35, 5},
                  {37, 1, 41, 5},
                  {43, 1, 47, 5},
                  {49, 1, 53, 5}},
                 {{2, 3}, {8, 3}, {14, 3}, {20, 3}, {26, 3}, {32, 3}, {38, 3}, {44, 3}, {50, 3}},
                 0,
                 0,
                 1,
                 std::vector(9, std::pair{1, 0})},
        // Lines longer than the 20-pixel reach, right and up: 82 pixels, sums truncated.
        TrackRow{"ArmsBeyondTheReach",
                 {{20, 30, 45, 30}, {20, 5, 20, 30}},
                 {{20, 30}},
                 0,
                 0,
                 1,
                 {{5, 6}}},
        // Only the visible columns count, not pixels beyond the edge.
        TrackRow{"RightEdge", {{55, 10, 59, 14}}, {{56, 12}}, 0, 0, 1, {{1, 0}}},
        TrackRow{"TopLeftCorner", {{0, 0, 4, 4}}, {{1, 1}}, 0, 0, 1, {{1, -1}}},
        TrackRow{"LastEntry", {{8, 8, 12, 12}}, {{9, 10}}, 900, 0, 901, {{1, 0}}},
        // The series are full: the point still follows its marker, nothing is recorded.
        TrackRow{"SeriesFull", {{8, 8, 12, 12}}, {{9, 10}}, 901, 0, 901, {{1, 0}}},
        TrackRow{"NegativeFrameCount", {{8, 8, 12, 12}}, {{9, 10}}, -1, 0, 0, {{1, 0}}}),
    rowName<TrackRow>);

} // namespace
