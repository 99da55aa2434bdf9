#include "angles.h"
#include "picture.h"
#include "press.h"
#include "scale.h"

#include <limits>
#include <optional>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(Reference, MeasuresFromThePreviousPress) {
    const struct {
        const char* name;
        double x, y;
        bool prompt;
        PixelPoint stored;
        float distance;
    } presses[] = {// A zero coordinate counts as "no point yet": only the third press prompts.
                   {"first at x = 0", 0, 50, false, {0, 50}, 50},
                   {"second", 30, 90, false, {30, 90}, 50},
                   {"third", 60, 130, true, {60, 130}, 50},
                   // From the floating press to the rounded previous point; 63.5 rounds to 64.
                   {"floating", 63.5, 126, true, {64, 126}, 5.3150729f},
                   {"from the rounded one", 64, 132, true, {64, 132}, 6},
                   {"same pixel", 64, 132, true, {64, 132}, 0},
                   {"halves to even", 12.5, 13.5, true, {12, 14}, 129.2072f}};
    AnalysisState state;
    Picture canvas(200, 200, 0);
    CanvasView view = canvas.canvas();
    for (const auto& p : presses) {
        EXPECT_EQ(placeReferencePoint(state, view, p.x, p.y), p.prompt) << p.name;
        EXPECT_EQ((PixelPoint{state.refPointX, state.refPointY}), p.stored) << p.name;
        EXPECT_FLOAT_EQ(state.mmPerPoint, p.distance) << p.name;
        EXPECT_FLOAT_EQ(state.refDistance, p.distance) << p.name;
    }
}

TEST(Reference, PaintsUnderTheFloatingPress) {
    AnalysisState state;
    Picture canvas(20, 20, 0);
    CanvasView view = canvas.canvas();
    (void)placeReferencePoint(state, view, 10.7, 5.2); // the pixel under it is (10, 5)
    Picture expected(20, 20, 0);
    expected.rect(9, 4, 11, 6, colours::kGreen).rect(10, 5, 10, 5, colours::kLightBlue);
    EXPECT_EQ(canvas.marks(), expected.marks());
    (void)placeReferencePoint(state, view, 1e300, kNaN); // off the canvas: nothing painted
    EXPECT_EQ(canvas.marks(), expected.marks());
}

TEST(Scale, ParsesTypedDistances) {
    const std::pair<std::string, double> accepted[] = {
        {"500", 500}, {" \t12.5  ", 12.5}, {"+3", 3}, {"-2", -2}, {".5", 0.5}, {"5.", 5}};
    for (const auto& [text, value] : accepted)
        EXPECT_EQ(parseDistance(text), value) << '"' << text << '"';
    const std::string rejected[] = {"",      " . ", "-",   "1e3", "12a",    "1,5",
                                    "1.2.3", "1 2", "--1", "inf", "５００", std::string(400, '9')};
    for (const auto& text : rejected)
        EXPECT_EQ(parseDistance(text), std::nullopt) << '"' << text << '"';
}

TEST(Scale, ConfirmsFromTheMeasuredDistance) {
    constexpr auto kOk = ScaleRefusal::None;
    constexpr auto kBad = ScaleRefusal::NotAPositiveNumber;
    const struct {
        const char* name;
        float refDistance;
        std::vector<std::pair<double, ScaleRefusal>> confirmations;
        float scale; // mmPerPoint afterwards
    } rows[] = {{"once", 250, {{500, kOk}}, 20},
                // Dividing by mmPerPoint gave 250 on the second press.
                {"twice", 250, {{500, kOk}, {500, kOk}}, 20},
                {"corrected", 250, {{50, kOk}, {500, kOk}}, 20},
                {"not positive", 250, {{0, kBad}, {-5, kBad}, {kNaN, kBad}, {kInf, kBad}}, 250},
                {"beyond float", 1, {{1e300, kBad}}, 1},
                {"same pixel", 0, {{500, ScaleRefusal::NoReferenceDistance}}, 0}};
    for (const auto& row : rows) {
        AnalysisState state;
        state.refDistance = state.mmPerPoint = row.refDistance;
        for (const auto& [mm, refusal] : row.confirmations)
            EXPECT_EQ(confirmScale(state, mm), refusal) << row.name << " " << mm;
        EXPECT_FLOAT_EQ(state.mmPerPoint, row.scale) << row.name;
    }
}

struct AngleRow {
    std::string name;
    int xP, yP, xV, yV, xQ, yQ;
    int alpha;
    std::vector<PictureNumber> texts;
};

class AngleTest : public testing::TestWithParam<AngleRow> {};

TEST_P(AngleTest, Measures) {
    const AngleRow& row = GetParam();
    AnalysisState state;
    state.pointCount = 6; // the last triple counts
    state.pointX = {0, 0, 0, 0, int16_t(row.xP), int16_t(row.xV), int16_t(row.xQ)};
    state.pointY = {0, 0, 0, 0, int16_t(row.yP), int16_t(row.yV), int16_t(row.yQ)};
    const AngleResult result = measureAngle(state);
    EXPECT_EQ(result.label4, row.alpha);
    EXPECT_EQ(result.label7, 360 - row.alpha);
    EXPECT_EQ(result.texts, row.texts);
}

// Arms of 27 and 63 degrees around V = (100, 100), so a swapped A and B shows.
AngleRow arms(std::string name, int dx1, int dy1, int dx2, int dy2, int alpha, int x1, int y1,
              int x2, int y2) {
    AngleRow row{std::move(name), 100 - dx1, 100 - dy1, 100, 100, 100 + dx2, 100 + dy2, alpha, {}};
    row.texts = {{x1, y1, alpha}, {x2, y2, 360 - alpha}};
    return row;
}

INSTANTIATE_TEST_SUITE_P(
    Triples, AngleTest,
    testing::Values(
        AngleRow{"RightAngle", 100, 100, 100, 200, 200, 200, 90, {{100, 188, 90}, {76, 202, 270}}},
        AngleRow{"InvertedV", 100, 200, 150, 100, 200, 200, 54, {{140, 103, 54}, {140, 87, 306}}},
        AngleRow{"DownAfterSlope", 0, 0, 30, 40, 30, 100, 217, {{30, 35, 217}, {5, 35, 143}}},
        AngleRow{"VerticalStraight", 50, 10, 50, 20, 50, 30, 180, {{50, 15, 180}}},
        AngleRow{"VerticalBack", 50, 10, 50, 20, 50, 5, 0, {{50, 15, 0}}},
        AngleRow{"Coincident", 40, 40, 40, 40, 40, 40, 180, {{40, 35, 180}}},
        AngleRow{"HorizontalStraight", 10, 50, 20, 50, 30, 50, 180, {{8, 35, 180}}},
        AngleRow{"HorizontalBack", 10, 50, 20, 50, 5, 50, 0, {{20, 45, 0}}},
        // An empty first arm is class a with angle 0.
        AngleRow{"EmptyArm", 100, 100, 100, 100, 120, 110, 117, {{100, 88, 117}, {76, 102, 243}}},
        arms("a1", 10, 20, -20, -10, 324, 100, 100, 82, 87),
        arms("a2", 10, 20, -20, 10, 270, 100, 95, 75, 95),
        arms("a3", 10, 20, 20, 10, 144, 100, 88, 76, 102),
        arms("a4", 10, 20, 20, -10, 90, 90, 84, 90, 104),
        arms("b1", 10, -20, -20, -10, 270, 100, 95, 80, 95),
        arms("b2", 10, -20, -20, 10, 324, 98, 86, 82, 104),
        arms("b3", 10, -20, 20, 10, 90, 90, 103, 90, 87),
        arms("b4", 10, -20, 20, -10, 144, 100, 100, 78, 87),
        arms("c1", -10, -20, -20, -10, 216, 104, 92, 75, 105),
        arms("c2", -10, -20, -20, 10, 270, 90, 86, 90, 104),
        arms("c3", -10, -20, 20, 10, 36, 100, 103, 75, 87),
        arms("c4", -10, -20, 20, -10, 90, 102, 94, 76, 94),
        arms("d1", -10, 20, -20, -10, 90, 90, 86, 90, 104),
        arms("d2", -10, 20, -20, 10, 144, 77, 86, 100, 104),
        arms("d3", -10, 20, 20, 10, 90, 102, 94, 76, 94),
        arms("d4", -10, 20, 20, -10, 36, 102, 85, 76, 103),
        // Straight up is class b as the first arm but class 1 as the second.
        arms("UpAsFirstArm", 0, -20, -20, -10, 243, 100, 95, 80, 95),
        arms("UpAsSecondArm", 10, 20, 0, -20, 333, 100, 100, 82, 87)),
    rowName<AngleRow>);

TEST(Angles, ArmAnglesAndTriples) {
    // 357/47 gives 82.500008 with 3.141592 but 82.499991 with full-precision pi.
    const std::array<int, 3> rows[] = {{0, 0, 0},   {0, -7, 0},  {5, 0, 90},   {1, 1, 45},
                                       {-1, 2, 27}, {2, -1, 63}, {357, 47, 83}};
    for (const auto& [dx, dy, angle] : rows)
        EXPECT_EQ(armAngle(dx, dy), angle) << dx << "," << dy;

    AnalysisState state;
    const std::pair<int, std::string> messages[] = {
        {0, "角度を求めるには３つ以上の点を指定してください"},
        {4, "角度を求めるにはあと2つ点を指定する必要があります"},
        {5, "角度を求めるにはもう1つ点を指定する必要があります"}};
    for (const auto& [n, message] : messages) {
        state.pointCount = static_cast<uint8_t>(n);
        EXPECT_EQ(numberAngleTriples(state).message, message) << n;
        EXPECT_TRUE(numberAngleTriples(state).numbers.empty()) << n;
    }
    state.pointCount = 6;
    state.pointX = {0, 10, 20, 30, 40, 50, 60};
    state.pointY = {0, 1, 2, 3, 4, 5, 6};
    EXPECT_EQ(numberAngleTriples(state).message, "");
    EXPECT_EQ(numberAngleTriples(state).numbers,
              (std::vector<PictureNumber>{{20, 2, 1}, {50, 5, 2}}));
}

TEST(Press, DispatchAndTheSixtyPointLimit) {
    using enum PressAction;
    const PressAction outside[8] = {MarkerPoint, ReferencePoint, Nothing, Nothing,
                                    Nothing,     Nothing,        Nothing, Nothing};
    for (int bits = 0; bits < 8; ++bits) {
        EXPECT_EQ(classifyPress(bits, false), outside[bits]) << bits;
        EXPECT_EQ(classifyPress(bits, true), bits == 1 ? ReferencePoint : AnglePoint) << bits;
    }

    AnalysisState state;
    state.pointCount = 58;
    Picture photo(40, 40);
    photo.rect(10, 10, 14, 14);
    Picture canvas(40, 40, 0);
    CanvasView view = canvas.canvas();
    EXPECT_EQ(placeMarkerPoint(state, photo.photo(), view, 10, 10), (PixelPoint{12, 12}));
    EXPECT_EQ(placeMarkerPoint(state, photo.photo(), view, 30.4, 2.6), (PixelPoint{30, 3}));
    EXPECT_EQ((PixelPoint{state.pointX[59], state.pointY[60]}), (PixelPoint{12, 3}));
    const auto before = canvas.marks(); // the 61st is refused without painting
    EXPECT_EQ(placeMarkerPoint(state, photo.photo(), view, 11, 11), std::nullopt);
    EXPECT_EQ(placeAnglePoint(state, view, 30, 30), std::nullopt);
    EXPECT_EQ(state.pointCount, 60);
    EXPECT_EQ(canvas.marks(), before);
}

TEST(Press, AnglePointsFormTriples) {
    AnalysisState state;
    state.pointCount = 1; // a marker point placed before ROM mode was chosen
    state.pointX[1] = state.pointY[1] = 100;
    Picture canvas(300, 300, 0);
    CanvasView view = canvas.canvas();
    const auto second = placeAnglePoint(state, view, 100.4, 199.5); // stored as (100, 200)
    ASSERT_TRUE(second && second->lineNeeded && !second->angle);
    EXPECT_EQ(second->lineFrom, (PixelPoint{100, 100}));
    EXPECT_EQ(second->lineTo, (PixelPoint{100, 200}));
    Picture nine(300, 300, 0);
    nine.rect(99, 198, 101, 200, colours::kDarkBlue);
    EXPECT_EQ(canvas.marks(), nine.marks());

    const auto third = placeAnglePoint(state, view, 200, 200);
    ASSERT_TRUE(third && third->angle);
    EXPECT_EQ(third->lineFrom, (PixelPoint{100, 200}));
    EXPECT_EQ(third->angle->label4, 90);
    const auto fourth = placeAnglePoint(state, view, 5, 5);
    ASSERT_TRUE(fourth && !fourth->lineNeeded && !fourth->angle);
}

} // namespace
