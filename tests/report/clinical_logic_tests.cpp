// SPDX-License-Identifier: GPL-3.0-or-later
// The subject's dates as typed, ages, and the comparison of two trials against measures taken
// independently of the report model.
#include "analysis_file.h"
#include "file_bytes.h"
#include "report_measures.h"
#include "subject_texts.h"
#include "sway_measures.h"
#include "trial_comparison.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

TEST(DateText, YearMonthDayAsPeopleTypeThem) {
    // Each read as 1950/04/01; full-width digits come from an IME.
    for (const char* typed :
         {"1950/4/1", " 1950-04-01 ", "1950.4.1", "1950年4月1日", "19500401", "１９５０／４／１"}) {
        const auto date = parseDateText(QString::fromUtf8(typed));
        EXPECT_EQ(date ? dateText(*date) : "x", QStringLiteral("1950/04/01")) << typed;
    }
    for (const char* typed :
         {"2023/2/29", "1950/13/1", "4/1/1950", "1950/4", "0000/01/01", "1950/4/1 x"})
        EXPECT_FALSE(parseDateText(QString::fromUtf8(typed))) << typed;
    EXPECT_EQ(dateText(*parseDateText(QStringLiteral("2024/2/29"))), QStringLiteral("2024/02/29"));
    EXPECT_TRUE(parseDateText(QString()) == CalendarDate{}); // no date, not a refusal
}

TEST(DateText, AgeInWholeYears) {
    // {birth, test day, age or -1 for none}
    const std::tuple<CalendarDate, CalendarDate, int> rows[] = {
        {{1950, 4, 1}, {2024, 3, 31}, 73},
        {{1950, 4, 1}, {2024, 4, 1}, 74},
        {{2000, 2, 29}, {2023, 2, 28}, 22}, // a leap-day birthday counts from 1 March
        {{2000, 2, 29}, {2023, 3, 1}, 23},
        {{2000, 2, 29}, {2024, 2, 29}, 24},
        {{2024, 5, 2}, {2024, 5, 2}, 0},
        {{2024, 5, 2}, {2024, 5, 1}, -1}, // born after the test
        {{}, {2024, 5, 1}, -1}};
    for (const auto& [birth, on, age] : rows)
        EXPECT_EQ(ageInYears(birth, on).value_or(-1), age)
            << dateText(birth).toStdString() << ' ' << dateText(on).toStdString();
}

// Random walks of the given points over `entries` photos; the raw centres come back through
// `raw` (pixels, y downward) for the reference.
SwayRecord randomRecord(std::mt19937& rng, std::initializer_list<int> points, int entries,
                        std::map<int, std::vector<PointD>>& raw) {
    std::normal_distribution<double> step(0.0, 1.5);
    SwayRecord sway;
    sway.scaleConfirmed = true;
    sway.frameInterval = 0.1;
    sway.entries.resize(static_cast<std::size_t>(entries));
    for (const int k : points) {
        PointD at{100.0 * k, 300.0};
        for (SwayEntry& e : sway.entries) {
            at = {at.x + step(rng), at.y + step(rng)};
            e.x[static_cast<std::size_t>(k)] = at.x;
            e.y[static_cast<std::size_t>(k)] = at.y;
            raw[k].push_back(at);
        }
    }
    return sway;
}

// The measures of raw centres straight from sway/: millimetres at `mmPerPixel`, Y upward.
SwayMeasures reference(const std::vector<PointD>& raw, double mmPerPixel, double seconds) {
    std::vector<PointD> path;
    for (const PointD& p : raw)
        path.push_back({(p.x - raw[0].x) * mmPerPixel, (raw[0].y - p.y) * mmPerPixel});
    return *swayMeasures(path, seconds);
}

TEST(TrialComparison, RatiosOfTheSamePointsMeasuresAgainstAnIndependentReference) {
    std::mt19937 rng(2014);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        AnalysisState a, b;
        a.mmPerPoint = 20.0f; // 2 mm per pixel
        b.mmPerPoint = 5.0f;  // 0.5 mm per pixel: a ratio holds across scales
        a.landmarkNames[4] = "腸骨棘";
        std::map<int, std::vector<PointD>> rawA, rawB;
        const int nA = 20 + round, nB = 40 - round;
        const SwayReport first = makeSwayReport(a, randomRecord(rng, {1, 2, 4}, nA, rawA));
        const SwayReport second = makeSwayReport(b, randomRecord(rng, {2, 3, 4}, nB, rawB));
        const ComparisonResult result = compareTrials(first, second);
        ASSERT_TRUE(result.comparison) << result.refusal.toStdString();
        const auto& points = result.comparison->points;
        ASSERT_EQ(points.size(), 2u); // only the points in both
        for (const ComparedPoint& p : points) {
            const SwayMeasures m1 = reference(rawA[p.point], 2.0, (nA - 1) * 0.1);
            const SwayMeasures m2 = reference(rawB[p.point], 0.5, (nB - 1) * 0.1);
            const auto values = [](const SwayMeasures& m) {
                return std::array{m.pathLength,       *m.meanVelocity, m.rangeX,
                                  m.rangeY,           m.rmsX,          m.rmsY,
                                  m.meanDistance,     m.ellipse.area,  m.ellipse.semiMajor,
                                  m.ellipse.semiMinor};
            };
            const auto v1 = values(m1), v2 = values(m2);
            for (std::size_t i = 0; i < v1.size(); ++i)
                EXPECT_NEAR(p.ratio[i], v2[i] / v1[i], 1e-9 * v2[i] / v1[i]) << p.point << ' ' << i;
            EXPECT_TRUE(std::isnan(p.ratio[10])); // no ratio of two angles
            EXPECT_EQ(p.first[0], m1.pathLength);
            EXPECT_EQ(std::pair(p.n1, p.n2), std::pair(nA, nB));
        }
        EXPECT_EQ(points[0].point, 2);
        EXPECT_EQ(points[1].name, "腸骨棘");
    }
}

TEST(TrialComparison, RefusesOtherUnitsAndLeavesUnknownRatiosOpen) {
    std::mt19937 rng(5);
    std::map<int, std::vector<PointD>> raw;
    AnalysisState state;
    state.mmPerPoint = 20.0f;
    SwayRecord mm = randomRecord(rng, {1}, 10, raw);
    SwayRecord pixels = mm;
    pixels.scaleConfirmed = false;
    const ComparisonResult refused =
        compareTrials(makeSwayReport(state, mm), makeSwayReport(state, pixels));
    EXPECT_FALSE(refused.comparison);
    EXPECT_TRUE(refused.refusal.contains(QStringLiteral("mm")) &&
                refused.refusal.contains(QStringLiteral("pixel")));
    // A point standing still has no path to divide by; without an interval no velocity.
    SwayRecord still = mm;
    for (SwayEntry& e : still.entries)
        std::tie(e.x[1], e.y[1]) = std::pair(5.0, 5.0);
    SwayRecord untimed = mm;
    untimed.frameInterval = 0;
    const auto ratio = compareTrials(makeSwayReport(state, still), makeSwayReport(state, untimed))
                           .comparison->points.at(0)
                           .ratio;
    EXPECT_TRUE(std::isnan(ratio[0]) && std::isnan(ratio[1]));
    AnalysisState other;
    other.mmPerPoint = 20.0f;
    SwayRecord elsewhere = randomRecord(rng, {5}, 10, raw);
    EXPECT_FALSE(compareTrials(makeSwayReport(state, mm), makeSwayReport(other, elsewhere))
                     .comparison); // no point in common
}

TEST(TrialComparison, ASecondTrialThatCannotBeReadIsRefusedWithItsName) {
    QTemporaryDir dir;
    const QString broken = dir.filePath(QStringLiteral("閉眼.vestra"));
    writeBytes(broken, "{\"format\":1,");
    const ComparisonLoad load = loadComparisonTrial(broken);
    EXPECT_TRUE(!load.trial && load.error.contains(QStringLiteral("閉眼.vestra")));
    AnalysisDocument shortTrial; // two photos: nothing to measure yet
    shortTrial.picture = {1, 1, {}};
    shortTrial.sway.entries.resize(2);
    const QString two = dir.filePath(QStringLiteral("two.vestra"));
    ASSERT_TRUE(writeAnalysisFile(two, shortTrial).ok);
    const ComparisonLoad refused = loadComparisonTrial(two);
    EXPECT_TRUE(!refused.trial && refused.error.contains(QStringLiteral("two.vestra")));
}

} // namespace
