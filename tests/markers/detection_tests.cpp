#include "colour_test.h"
#include "picture.h"
#include "region_search.h"

#include <functional>

namespace {

TEST(Colour, ChannelsWithinTolerances) {
    const struct {
        const char* name;
        int16_t brightness, darkness;
        uint32_t colour; // 0x00BBGGRR
        bool marker;
    } rows[] = {{"white at 0", 0, 0, 0xFFFFFF, true},
                {"red off", 0, 0, 0xFFFFFE, false},
                {"green off", 0, 0, 0xFFFEFF, false},
                {"blue off", 0, 0, 0xFEFFFF, false},
                {"black at 255", 0, 255, 0x000000, true},
                {"on lower bound", 0, 10, 0xF5F5F5, true},
                {"below lower bound", 0, 10, 0xF5F4F5, false},
                {"negative brightness rejects white", -1, 5, 0xFFFFFF, false},
                {"negative brightness keeps below", -1, 5, 0xFEFEFE, true},
                // 255 - 32767 and 255 + 32767 overflow 16 bits.
                {"huge darkness", 0, 32767, 0x000000, true},
                {"most negative darkness", 0, -32768, 0xFFFFFF, false},
                {"huge negative brightness", -32767, 255, 0x000000, false},
                {"huge brightness", 32767, 0, 0xFFFFFF, true}};
    for (const auto& row : rows) {
        AnalysisState state;
        state.brightnessTolerance = row.brightness;
        state.darknessTolerance = row.darkness;
        EXPECT_EQ(isMarkerPixel(state, row.colour), row.marker) << row.name;
    }
    AnalysisState all;
    all.darknessTolerance = 255;
    const Picture pic(4, 3); // off the picture nothing passes, whatever the tolerances
    for (const auto& [x, y] : {std::pair{-1, 0}, {0, -1}, {4, 0}, {0, 3}, {-40000, 7}})
        EXPECT_FALSE(isMarkerAt(all, pic.photo(), x, y)) << x << "," << y;
    EXPECT_TRUE(isMarkerAt(all, pic.photo(), 3, 2));
}

struct SearchRow {
    std::string name;
    std::function<void(Picture&)> draw; // on a 40 x 40 grey photo
    double clickX, clickY;
    PixelPoint centre;
};

class SearchTest : public testing::TestWithParam<SearchRow> {};

TEST_P(SearchTest, FindsCentre) {
    AnalysisState state;
    Picture photo(40, 40);
    GetParam().draw(photo);
    Picture canvas(40, 40, 0);
    CanvasView view = canvas.canvas();
    const auto [x, y] =
        findMarkerCentre(state, photo.photo(), view, GetParam().clickX, GetParam().clickY);
    EXPECT_EQ((PixelPoint{x, y}), GetParam().centre);
    EXPECT_EQ(canvas.at(x, y), colours::kDarkRed);
    for (const auto& [pos, colour] : canvas.marks()) // only marker pixels are painted blue
        EXPECT_TRUE(colour != colours::kDarkBlue ||
                    photo.at(pos.first, pos.second) == colours::kWhite);
}

const auto square = [](Picture& p) { p.rect(10, 10, 14, 14); };
const auto frame = [](Picture& p) { p.rect(10, 10, 20, 20).rect(12, 12, 18, 18, Picture::kGrey); };
const auto bars = [](Picture& p) { p.rect(10, 10, 10, 14).rect(12, 10, 12, 14); };
const auto edge = [](Picture& p) {
    p.rect(34, 10, 39, 19).rect(30, 32, 39, 39).rect(0, 20, 5, 29).rect(15, 0, 20, 4);
};

INSTANTIATE_TEST_SUITE_P(
    Shapes, SearchTest,
    testing::Values(
        SearchRow{"SquareFromCorner", square, 10, 10, {12, 12}},
        SearchRow{"SquareFromFarCorner", square, 14, 14, {12, 12}},
        SearchRow{"Disc", [](Picture& p) { p.ring(20, 18, 0, 6); }, 17, 21, {20, 18}},
        SearchRow{"RingFromTop", frame, 15, 10, {15, 15}},
        SearchRow{"RingFromBottom", frame, 15, 20, {15, 15}},
        SearchRow{"RingFromLeft", frame, 10, 15, {15, 15}},
        SearchRow{"EmptySpotGivesRoundedClick", square, 20.5, 30.6, {20, 31}},
        // Off-picture pixels used to pass, which pushed edge centres hundreds of pixels out.
        SearchRow{"RightEdge", edge, 36, 15, {36, 14}},
        SearchRow{"BottomRightCorner", edge, 33, 35, {34, 35}},
        // A marker touching column or row 0 keeps that edge: it is centred on what is visible.
        SearchRow{"LeftEdgeColumnZero", edge, 2, 25, {2, 24}},
        SearchRow{"TopEdgeRowZero", edge, 17, 2, {17, 2}},
        // From below only scan B finds the marker: left and bottom fall back to the click.
        SearchRow{"ClickOneBelow", square, 12, 15, {13, 12}},
        SearchRow{"ClickOneRight", square, 15, 12, {15, 13}},
        // The last row of scan A sets right, so the wide middle rows are forgotten.
        SearchRow{"NarrowLastRow",
                  [](Picture& p) { p.rect(10, 13, 14, 20).rect(10, 16, 30, 17); },
                  12,
                  14,
                  {12, 16}},
        // nearest(11.5) = 12 but nearest(10.5) = 10: the leftward scans skip column 11.
        SearchRow{"HalfPixelClick", bars, 11.5, 12, {11, 12}},
        SearchRow{"WholeClickBesideGap", bars, 12, 12, {12, 12}}),
    rowName<SearchRow>);

TEST(Search, PaintsExactlyTheReachedPixelsEveryTime) {
    AnalysisState state;
    Picture photo(20, 20);
    photo.rect(10, 10, 12, 12).rect(13, 10, 13, 10); // (13, 10) hangs off row 10: scan B
    photo.rect(13, 13, 13, 13);                      // only diagonally attached: no scan reaches it
    Picture canvas(20, 20, 0);
    CanvasView view = canvas.canvas();
    Picture expected(20, 20, 0);
    expected.rect(10, 10, 12, 12, colours::kDarkBlue).rect(13, 10, 13, 10, colours::kDarkBlue);
    expected.rect(11, 11, 11, 11, colours::kDarkRed);
    for (int time = 0; time < 2; ++time) {
        EXPECT_EQ(findMarkerCentre(state, photo.photo(), view, 11, 11), (PixelPoint{11, 11}));
        EXPECT_EQ(canvas.marks(), expected.marks());
    }
}

TEST(Search, ReachesFiveHundredPixels) {
    AnalysisState state;
    Picture photo(1300, 10);
    photo.rect(600, 5, 1299, 5);
    Picture canvas(1300, 10, 0);
    CanvasView view = canvas.canvas();
    // Right stops at 600 + 500; left is never set and falls back to the click.
    EXPECT_EQ(findMarkerCentre(state, photo.photo(), view, 600.4, 5), (PixelPoint{850, 5}));
}

} // namespace
