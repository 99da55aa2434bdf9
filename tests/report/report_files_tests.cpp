#include "analysis_state.h"
#include "cp932.h"
#include "sway_csv.h"
#include "sway_record.h"
#include "sway_report.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(FileNumber, PlainDecimalsWithAtMostFourPlaces) {
    const std::pair<double, const char*> rows[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {-0.00004, "0"}, // rounds to zero: no "-0"
        {2.5, "2.5"},
        {3.0, "3"},
        {0.1 + 0.2, "0.3"},
        {0.00005, "0.0001"}, // the double lies just above the half
        {-12.34567, "-12.3457"},
        {1193.80521, "1193.8052"},
        {1e20, "100000000000000000000"}, // never an exponent
        {1.5e-7, "0"},
        {std::numeric_limits<double>::quiet_NaN(), ""},
        {std::numeric_limits<double>::infinity(), ""},
    };
    for (const auto& [value, text] : rows)
        EXPECT_EQ(fileNumber(value), text) << value;
}

TEST(SwayPointName, LandmarkNameOrNumber) {
    AnalysisState state;
    state.landmarkNames[1] = "頭頂部";
    state.landmarkNames[2] = "";
    state.landmarkNames[3] = "  ";
    // What a second end of an analysis saves: the path totals the lists showed.
    state.landmarkNames[4] = "57.4295532842";
    state.landmarkNames[5] = "1.2E+15";
    state.landmarkNames[6] = "膝 2";
    state.landmarkNames[7] = "-8";
    const char* expected[] = {"", "頭頂部", "点2", "点3", "点4", "点5", "膝 2", "点7"};
    for (int k = 1; k <= 7; ++k)
        EXPECT_EQ(swayPointName(state, k), expected[k]) << k;
}

// Point 1 on a square of 2 pixels, point 2 placed on the second photo; 2 mm per pixel, half a
// second between photos.
struct SmallCase {
    AnalysisState state;
    SwayRecord sway;
    SmallCase() {
        state.pointCount = 2;
        state.mmPerPoint = 20;
        state.refDistance = 250;
        sway.scaleConfirmed = true;
        state.landmarkNames[1] = "頭頂部";
        sway.frameInterval = 0.5;
        sway.entries.resize(4);
        const double x1[] = {100, 102, 100, 102}, y1[] = {100, 100, 102, 102};
        for (std::size_t e = 0; e < 4; ++e) {
            sway.entries[e].x[1] = x1[e];
            sway.entries[e].y[1] = y1[e];
        }
        const double x2[] = {50, 50.5, 51.25}, y2[] = {60, 60, 59.5};
        for (std::size_t e = 1; e < 4; ++e) {
            sway.entries[e].x[2] = x2[e - 1];
            sway.entries[e].y[2] = y2[e - 1];
        }
    }
};

TEST(SwayFiles, MeasuresByteForByte) {
    SmallCase c;
    // Worked out by hand: point 1 is a 4 mm square (S = 16/3 I, k = 71.25, area 380 pi); point
    // 2 moves (0, 0), (1, 0), (2.5, 1) mm (k = 1064).
    const std::string expected =
        "点,部位,n,Δt(s),軌跡長(mm),平均速度(mm/s),範囲X(mm),範囲Y(mm),RMS X(mm),RMS Y(mm),"
        "平均距離(mm),楕円面積(mm2),楕円長半径(mm),楕円短半径(mm),楕円傾き(°)\r\n"
        "1,頭頂部,4,0.5,13.6569,9.1046,4,4,2,2,2.8284,1193.8052,19.4936,19.4936,0\r\n"
        "2,点2,3,0.5,2.8028,2.8028,2.5,1,1.0274,0.4714,1.0256,964.9413,44.6315,6.8819,23.4238\r\n"
        "\r\n"
        "単位,mm,縮尺(mm/pixel),2\r\n";
    const std::string bytes = measuresFileBytes(makeSwayReport(c.state, c.sway));
    EXPECT_EQ(bytes, toCp932(expected));
    EXPECT_EQ(bytes.substr(0, 3), "\x93\x5F,"); // 点 in code page 932
}

TEST(SwayFiles, TrajectoryByteForByte) {
    SmallCase c;
    const std::string expected = "番号,時間(s),頭頂部-X(mm),頭頂部-Y(mm),点2-X(mm),点2-Y(mm)\r\n"
                                 "0,0,0,0,,\r\n"
                                 "1,0.5,4,0,0,0\r\n"
                                 "2,1,0,-4,1,0\r\n"
                                 "3,1.5,4,-4,2.5,1\r\n";
    EXPECT_EQ(trajectoryFileBytes(makeSwayReport(c.state, c.sway)), toCp932(expected));
}

TEST(SwayFiles, PixelsAndUnknownTimesSaySo) {
    SmallCase c;
    c.sway.scaleConfirmed = false; // a reference distance not yet confirmed
    c.sway.frameInterval = 0;
    c.state.landmarkNames[1] = "頭, \"上\"";
    const SwayReport report = makeSwayReport(c.state, c.sway);
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
    SmallCase c;
    const SwayReport report = makeSwayReport(c.state, c.sway);
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("no such folder/m.csv"));
    const WriteResult refused = saveMeasuresFile(missing, report);
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.error.contains(QStringLiteral("m.csv")));
    EXPECT_FALSE(QFile::exists(missing));

    const QString path = dir.filePath(QStringLiteral("t.csv"));
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'x')); // longer than what replaces it
    old.close();
    ASSERT_TRUE(saveTrajectoryFile(path, report).ok);
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll().toStdString(), trajectoryFileBytes(report));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("t.csv")});
}

} // namespace
