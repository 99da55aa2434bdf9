// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis_state.h"
#include "cp932.h"
#include "file_bytes.h"
#include "sway_csv.h"
#include "sway_record.h"
#include "sway_report.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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
    // A second end of an analysis saves the path totals the lists showed as names.
    const char* names[] = {"", "頭頂部", "", "  ", "57.4295532842", "1.2E+15", "膝 2", "-8"};
    const char* expected[] = {"", "頭頂部", "点2", "点3", "点4", "点5", "膝 2", "点7"};
    AnalysisState state;
    for (int k = 1; k <= 7; ++k)
        state.landmarkNames[k] = names[k];
    for (int k = 1; k <= 7; ++k)
        EXPECT_EQ(swayPointName(state, k), expected[k]) << k;
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
    // Worked out by hand: point 1 is a 4 mm square (S = 16/3 I, k = 71.25, area 380 pi); point
    // 2 moves (0, 0), (1, 0), (2.5, 1) mm (k = 1064).
    const SwayReport report = smallCase(true, 0.5, "頭頂部");
    EXPECT_EQ(
        measuresFileBytes(report),
        toCp932("点,部位,n,Δt(s),軌跡長(mm),平均速度(mm/s),範囲X(mm),範囲Y(mm),RMS X(mm),RMS Y(mm),"
                "平均距離(mm),楕円面積(mm2),楕円長半径(mm),楕円短半径(mm),楕円傾き(°)\r\n"
                "1,頭頂部,4,0.5,13.6569,9.1046,4,4,2,2,2.8284,1193.8052,19.4936,19.4936,0\r\n"
                "2,点2,3,0.5,2.8028,2.8028,2.5,1,1.0274,0.4714,1.0256,964.9413,44.6315,6.8819,"
                "23.4238\r\n"
                "\r\n"
                "単位,mm,縮尺(mm/pixel),2\r\n"));
    EXPECT_EQ(trajectoryFileBytes(report),
              toCp932("番号,時間(s),頭頂部-X(mm),頭頂部-Y(mm),点2-X(mm),点2-Y(mm)\r\n"
                      "0,0,0,0,,\r\n"
                      "1,0.5,4,0,0,0\r\n"
                      "2,1,0,-4,1,0\r\n"
                      "3,1.5,4,-4,2.5,1\r\n"));
}

TEST(SwayFiles, PixelsAndUnknownTimesSaySo) {
    // A reference distance not yet confirmed, no interval, a name that needs quoting.
    const SwayReport report = smallCase(false, 0, "頭, \"上\"");
    EXPECT_EQ(measuresFileBytes(report),
              toCp932("点,部位,n,Δt(s),軌跡長(pixel),平均速度(pixel/s),範囲X(pixel),範囲Y(pixel),"
                      "RMS X(pixel),RMS Y(pixel),平均距離(pixel),楕円面積(pixel2),"
                      "楕円長半径(pixel),楕円短半径(pixel),楕円傾き(°)\r\n"
                      "1,\"頭, \"\"上\"\"\",4,,6.8284,,2,2,1,1,1.4142,298.4513,9.7468,9.7468,0\r\n"
                      "2,点2,3,,1.4014,,1.25,0.5,0.5137,0.2357,0.5128,241.2353,22.3158,3.441,"
                      "23.4238\r\n"
                      "\r\n"
                      "単位,pixel,縮尺(mm/pixel),未確定\r\n"));
    EXPECT_EQ(trajectoryFileBytes(report),
              toCp932("番号,時間(s),\"頭, \"\"上\"\"-X(pixel)\",\"頭, \"\"上\"\"-Y(pixel)\","
                      "点2-X(pixel),点2-Y(pixel)\r\n"
                      "0,,0,0,,\r\n"
                      "1,,2,0,0,0\r\n"
                      "2,,0,-2,0.5,0\r\n"
                      "3,,2,-2,1.25,0.5\r\n"));
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

} // namespace
