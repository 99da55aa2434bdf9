// SPDX-License-Identifier: GPL-3.0-or-later
// The report's logic: numbers and names as written, the interval as typed, the axes' ticks, the
// measures and trajectory files byte for byte, the subject's dates and ages, and the comparison
// of two trials against measures taken independently of the report model.
#include "analysis_file.h"
#include "analysis_state.h"
#include "cp932.h"
#include "file_bytes.h"
#include "report_measures.h"
#include "subject_texts.h"
#include "sway_charts.h"
#include "sway_csv.h"
#include "sway_measures.h"
#include "sway_record.h"
#include "sway_report.h"
#include "trial_comparison.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <regex>

namespace {

TEST(FileNumber, PlainDecimalsWithAtMostFourPlaces) {
    // -0.00004 rounds to zero, written without a sign; the double nearest 0.00005 lies just
    // above the half; 1e20 is written without an exponent.
    const std::pair<double, const char*> rows[] = {
        {-0.0, "0"},         {-0.00004, "0"},         {0.1 + 0.2, "0.3"},
        {0.00005, "0.0001"}, {-12.34567, "-12.3457"}, {1e20, "100000000000000000000"},
        {1.5e-7, "0"}};
    for (const auto& [value, text] : rows)
        EXPECT_EQ(fileNumber(value), text) << value;
    for (const double v : {std::numeric_limits<double>::quiet_NaN(), HUGE_VAL})
        EXPECT_EQ(fileNumber(v), "") << v; // nothing for what is not a number
}

TEST(SwayPointName, LandmarkNameOrNumber) {
    // {name of point 3, its heading}: a name that reads as a number is a path total a second end
    // of an analysis saved. 29,000 digits once overflowed the stack of the regex matcher.
    const std::string digits(99999, '7');
    const std::pair<std::string, std::string> rows[] = {
        {"", "点3"},
        {"膝 2", "膝 2"},
        {"  ", "点3"},
        {"57.4295532842", "点3"},
        {digits + "7", "点3"},
        {digits + "x", digits + "x"},
        {" -" + std::string(50000, '1') + "." + std::string(49990, '2') + "E-7 ", "点3"}};
    AnalysisState state;
    for (const auto& [name, heading] : rows) {
        state.landmarkNames[3] = name;
        EXPECT_EQ(swayPointName(state, 3), heading) << name.substr(0, 20);
    }
}

TEST(SwayPointName, NumberTextMeansWhatTheRegexMeant) {
    // The pattern the names were once matched with, as the slow reference.
    const std::regex number(R"(\s*[-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?\s*)");
    const char alphabet[] = {' ', '\t', '\n', '\v', '0', '7', '.', '+', '-', 'e', 'E', 'x', '\xe7'};
    std::mt19937 rng(314159);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(alphabet) - 1), length(0, 9);
    int numbers = 0;
    for (int i = 0; i < 30000; ++i) {
        std::string text;
        for (std::size_t n = length(rng); n > 0; --n)
            text += alphabet[pick(rng)];
        const bool expected = std::regex_match(text, number);
        numbers += expected;
        ASSERT_EQ(isNumberText(text), expected) << '"' << text << '"';
    }
    EXPECT_GT(numbers, 500); // the draw reaches both answers
}

TEST(FrameInterval, TypedTextInRangeOrNothing) {
    // {typed, seconds; 0 = refused}
    const std::pair<const char*, double> rows[] = {
        {"0.1", 0.1},       {" 2 ", 2},      {"+0.5", 0.5},
        {".25", 0.25},      {"5.", 5},       {"1e-3", 0.001},
        {"0.0001", 0.0001}, {"3600", 3600},  {"0.0333333", 0.0333333},
        {"0.00009999", 0},  {"3600.001", 0}, {"1e-300", 0},
        {"1e300", 0},       {"0", 0},        {"-0.1", 0},
        {"0,1", 0},         {"0.x", 0},      {"", 0},
        {"inf", 0},         {"nan", 0},      {"1e", 0},
        {"0x10", 0},        {"++1", 0}};
    for (const auto& [text, seconds] : rows)
        EXPECT_EQ(frameIntervalFromText(text).value_or(0), seconds) << text;
    // Shown and written with every digit typed, never with an exponent.
    const std::pair<double, const char*> shown[] = {{0.0333333, "0.0333333"},
                                                    {0.0001, "0.0001"},
                                                    {3600, "3600"},
                                                    {0.1 + 0.2, "0.30000000000000004"}};
    for (const auto& [seconds, text] : shown)
        EXPECT_EQ(intervalText(seconds), text);
}

TEST(SwayCharts, AtLeastThreeLabelledTicks) {
    // {low, high, intervals, step}: sway of +-4 mm once got the step 5 and a lone "0".
    const std::tuple<double, double, int, double> rows[] = {
        {-4.2, 4.2, 4, 2}, {0, 1, 4, 0.5}, {-0.013, 0.004, 4, 0.005}, {3, 97, 8, 20}};
    for (const auto& [low, high, intervals, step] : rows)
        EXPECT_DOUBLE_EQ(tickStep(low, high, intervals), step) << low << " " << high;
    // Against a slow walk down the 1-2-5 ladder from above the nice step, counting by hand.
    const auto ticks = [](double low, double high, double step) {
        int count = 0;
        for (double m = std::floor(low / step) - 2; m <= std::ceil(high / step) + 2; ++m)
            count += m * step >= low - 1e-9 * step && m * step <= high + 1e-9 * step;
        return count;
    };
    std::mt19937 rng(2718);
    std::uniform_real_distribution<double> centre(-1, 1), exponent(-3, 3);
    for (int i = 0; i < 2000; ++i) {
        const double span = std::pow(10.0, exponent(rng));
        const double low = centre(rng) * 3 * span, high = low + span;
        const int intervals = 2 + i % 8;
        const double nice = niceStep(span, intervals);
        double expected = 0;
        for (int power = 4; power > -8 && expected == 0; --power)
            for (const double factor : {5.0, 2.0, 1.0}) {
                const double step = factor * std::pow(10.0, power);
                if (step <= nice * (1 + 1e-9) && ticks(low, high, step) >= 3) {
                    expected = step;
                    break;
                }
            }
        ASSERT_NEAR(tickStep(low, high, intervals) / expected, 1, 1e-9) << low << " " << high;
    }
}

// Point 1 on a square of 2 pixels, point 2 placed on the second photo; 2 mm per pixel once the
// scale is confirmed.
SwayReport smallCase(bool scaleConfirmed, double frameInterval, const char* name1) {
    AnalysisState state;
    std::tie(state.pointCount, state.mmPerPoint, state.landmarkNames[1]) =
        std::tuple(2, 20.0f, name1);
    SwayRecord sway;
    std::tie(sway.scaleConfirmed, sway.frameInterval) = std::pair(scaleConfirmed, frameInterval);
    sway.entries.resize(4);
    // {entry, point, x, y}
    const std::tuple<int, int, double, double> centres[] = {
        {0, 1, 100, 100}, {1, 1, 102, 100}, {2, 1, 100, 102},   {3, 1, 102, 102},
        {1, 2, 50, 60},   {2, 2, 50.5, 60}, {3, 2, 51.25, 59.5}};
    for (const auto& [e, k, x, y] : centres)
        std::tie(sway.entries[e].x[k], sway.entries[e].y[k]) = std::pair(x, y);
    return makeSwayReport(state, sway);
}

TEST(SwayFiles, ByteForByte) {
    // Worked out by hand: point 1 is a 4 mm square (S = 16/3 I, k = 71.25, area 380 pi; mean
    // frequency (8 + 4 sqrt 2) / (2 pi 2 sqrt 2 1.5)); point 2 moves (0, 0), (1, 0), (2.5, 1) mm
    // (k = 1064). Too few positions for a spectrum. Then a reference distance not yet confirmed,
    // no interval, a name that needs quoting.
    const std::tuple<SwayReport, const char*, const char*> rows[] = {
        {smallCase(true, 0.5, "頭頂部"),
         "点,部位,n,Δt(s),軌跡長(mm),平均速度(mm/s),範囲X(mm),範囲Y(mm),RMS X(mm),RMS Y(mm),"
         "平均距離(mm),楕円面積(mm2),楕円長半径(mm),楕円短半径(mm),楕円傾き(°),T(s),"
         "平均周波数(Hz),F50(Hz),F95(Hz),総パワー(mm2)\r\n"
         "1,頭頂部,4,0.5,13.6569,9.1046,4,4,2,2,2.8284,1193.8052,19.4936,19.4936,0,1.5,"
         "0.5123,,,\r\n"
         "2,点2,3,0.5,2.8028,2.8028,2.5,1,1.0274,0.4714,1.0256,964.9413,44.6315,6.8819,"
         "23.4238,1,0.4349,,,\r\n"
         "\r\n"
         "単位,mm,縮尺(mm/pixel),2\r\n",
         "番号,時間(s),頭頂部-X(mm),頭頂部-Y(mm),点2-X(mm),点2-Y(mm)\r\n"
         "0,0,0,0,,\r\n"
         "1,0.5,4,0,0,0\r\n"
         "2,1,0,-4,1,0\r\n"
         "3,1.5,4,-4,2.5,1\r\n"},
        {smallCase(false, 0, "頭, \"上\""),
         "点,部位,n,Δt(s),軌跡長(pixel),平均速度(pixel/s),範囲X(pixel),範囲Y(pixel),"
         "RMS X(pixel),RMS Y(pixel),平均距離(pixel),楕円面積(pixel2),"
         "楕円長半径(pixel),楕円短半径(pixel),楕円傾き(°),T(s),平均周波数(Hz),F50(Hz),"
         "F95(Hz),総パワー(pixel2)\r\n"
         "1,\"頭, \"\"上\"\"\",4,,6.8284,,2,2,1,1,1.4142,298.4513,9.7468,9.7468,0,,,,,\r\n"
         "2,点2,3,,1.4014,,1.25,0.5,0.5137,0.2357,0.5128,241.2353,22.3158,3.441,"
         "23.4238,,,,,\r\n"
         "\r\n"
         "単位,pixel,縮尺(mm/pixel),未確定\r\n",
         "番号,時間(s),\"頭, \"\"上\"\"-X(pixel)\",\"頭, \"\"上\"\"-Y(pixel)\","
         "点2-X(pixel),点2-Y(pixel)\r\n"
         "0,,0,0,,\r\n"
         "1,,2,0,0,0\r\n"
         "2,,0,-2,0.5,0\r\n"
         "3,,2,-2,1.25,0.5\r\n"},
    };
    for (const auto& [report, measures, trajectory] : rows) {
        EXPECT_EQ(measuresFileBytes(report), toCp932(measures));
        EXPECT_EQ(trajectoryFileBytes(report), toCp932(trajectory));
    }
}

TEST(SwayFiles, CellsOfTheMeasuresFile) {
    // {what, change to the square of point 1 timed 0.0333333 s apart, column, cell}
    using Change = std::function<void(SwayReport&)>;
    const auto tilt = [](double degrees) {
        return [degrees](SwayReport& r) { r.points[0].measures->ellipse.tiltDegrees = degrees; };
    };
    const Change spectrum = [](SwayReport& r) {
        r.points[0].frequency->spectrum = SpectralMeasures{2.5, 0.375, 1.25, 0.125, 8, 3};
    };
    const std::tuple<const char*, Change, int, const char*> rows[] = {
        {"a quote without a comma is quoted too", [](SwayReport& r) { r.names[1] = "頭\"上"; }, 1,
         "\"頭\"\"上\""},
        // The interval and the velocity once went out as 0.0333 and 13.6569 / 0.0999999.
        {"the typed interval in full", [](SwayReport&) {}, 3, "0.0333333"},
        {"velocity from that interval", [](SwayReport&) {}, 5, "136.5687"},
        {"a video's mean frame spacing",
         [](SwayReport& r) {
             r.timing = SwayTiming::VideoTimestamps;
             r.points[0].interval = 0.0333666;
         },
         3, "0.0334"},
        {"a tilt printing as -90", tilt(-89.99996), 14, "90"},
        {"a tilt just above", tilt(-89.99994), 14, "-89.9999"},
        {"F50", spectrum, 17, "0.375"},
        {"F95", spectrum, 18, "1.25"},
        {"total power", spectrum, 19, "2.5"},
    };
    for (const auto& [what, change, column, expected] : rows) {
        SwayReport report = smallCase(true, 0.0333333, "頭");
        change(report);
        const QByteArray row = QByteArray::fromStdString(measuresFileBytes(report)).split('\n')[1];
        const QList<QByteArray> cells = row.trimmed().split(',');
        ASSERT_GT(cells.size(), column) << what;
        EXPECT_EQ(cells[column].toStdString(), toCp932(expected)) << what;
    }
}

TEST(SwayFiles, WrittenWholeOrNotAtAll) {
    const SwayReport report = smallCase(true, 0.5, "");
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("no such folder/m.csv"));
    const WriteResult refused = saveMeasuresFile(missing, report);
    EXPECT_TRUE(!refused.ok && refused.error.contains(QStringLiteral("m.csv")));
    const QString path = dir.filePath(QStringLiteral("t.csv"));
    writeBytes(path, QByteArray(100000, 'x')); // longer than what replaces it
    ASSERT_TRUE(saveTrajectoryFile(path, report).ok);
    EXPECT_EQ(readBytes(path).toStdString(), trajectoryFileBytes(report));
    EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("t.csv")}); // nor a folder made
}

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
