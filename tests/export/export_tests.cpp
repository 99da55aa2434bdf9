// The export files and their pieces, byte for byte, against bytes written by hand.
#include "analysis_state.h"
#include "csv_export.h"
#include "output_name.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const std::string kTrailer = "\r\n1point=        0.2857143    mm\r\n";

void expectRows(const std::vector<std::pair<std::string, std::string>>& rows) {
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].first, rows[i].second) << "row " << i;
}

// The documented examples: two points over three transitions, the first named 頭頂部, or one
// unnamed point over `frames` of five recorded transitions.
AnalysisState example(int16_t frames = 0) {
    AnalysisState s;
    s.mmPerPoint = 2.857143f;
    s.pointCount = frames ? 1 : 2;
    s.frameCount = frames ? frames : 3;
    s.landmarkNames[1] = frames ? "" : "頭頂部";
    s.deltaX1 = frames ? AnalysisState::Series{1, 2, 3, 4, 5} : AnalysisState::Series{2, 3, -1};
    s.deltaY1 = frames ? AnalysisState::Series{0, 0, 1, 1, 1} : AnalysisState::Series{0, 1, 1};
    s.deltaY2 = {-1, 0, 0}; // with one point: never written, and right behind deltaY1[900]
    return s;
}

TEST(Header, NamesDefaultsLimitsAndEncoding) {
    AnalysisState s;
    s.landmarkNames = {"", "", "肩峰（矢状面）",
                       "a,b\\~㎜～①ｱ\x80\xFF\xC0\xAF\xED\xA0\x80\xE9\xA0z"};
    std::string none, nine;
    writeHeaderLine(none, s);
    s.pointCount = 9;
    writeHeaderLine(nine, s);
    const std::string shoulder = "\x8C\xA8\x95\xF4\x81\x69\x96\xEE\x8F\xF3\x96\xCA\x81\x6A";
    // ASCII as it stands, extensions that plain Shift_JIS lacks, then "?" for stray bytes, an
    // overlong form, an encoded surrogate and a cut-off sequence.
    const std::string odd = "a,b\\~\x87\x6F\x81\x60\x87\x40\xB1?????z";
    expectRows({{none, "\r\n"},
                {nine, ",1-X,1-Y," + shoulder + "-X," + shoulder + "-Y," + odd + "-X," + odd +
                           "-Y,4-X,4-Y,5-X,5-Y,6-X,6-Y,7-X,7-Y\r\n"}});
}

TEST(OutputName, CutsTheFileNameAtItsFirstDot) {
    const auto name = [](const char* chosen) {
        return outputFileName(chosen, "_1.csv").value_or("<none>").toStdString();
    };
    expectRows({{name(R"(D:\data\walk.csv)"), R"(D:\data\walk_1.csv)"},
                {name(R"(D:\data\walk.test.csv)"), R"(D:\data\walk_1.csv)"},
                // The original cut inside the folder name, writing D:\my_1.csv in the folder above.
                {name(R"(D:\my.data\walk.csv)"), R"(D:\my.data\walk_1.csv)"},
                {name(R"(C:\x.y/z.csv)"), R"(C:\x.y/z_1.csv)"},
                {name(R"(D:\my.data\walk)"), "<none>"}});
}

TEST(AsIsFile, DocumentedExamples) {
    const auto file = [](const std::string& rows) {
        const std::string head = "\x93\xAA\x92\xB8\x95\x94"; // 頭頂部
        return "," + head + "-X," + head + "-Y,2-X,2-Y\r\n" + rows + kTrailer;
    };
    // Both from the same record: the original wrote running totals back into the series, so a
    // second export summed totals.
    const AnalysisState s = example();
    expectRows({{asIsFileBytes(s, AxisMapping::StandingSide),
                 file(" 1 , 2 , 0 , 0 ,-1 \r\n 2 , 5 , 1 , 0 ,-1 \r\n 3 , 4 , 2 , 0 ,-1 \r\n")},
                {asIsFileBytes(s, AxisMapping::StandingFront),
                 file(" 1 ,-2 , 0 , 0 ,-1 \r\n 2 ,-5 , 1 , 0 ,-1 \r\n 3 ,-4 , 2 , 0 ,-1 \r\n")}});
}

TEST(GroupedFile, DocumentedExampleAndLastGroups) {
    const auto grouped = [](int16_t frames, int n) { return groupedFileBytes(example(frames), n); };
    const auto file = [](const std::string& rows) { return ",1-X,1-Y\r\n" + rows + kTrailer; };
    expectRows({{grouped(5, 2), file(" 2 , 3 , 0 \r\n 4 , 7 , 2 \r\n 6 , 5 , 1 \r\n")},
                {grouped(5, 5), file(" 5 , 15 , 3 \r\n")},
                {grouped(5, 0), file("")}, // no such group size: no row, and no endless loop
                // A tracking step that stopped part-way left 4 at entry frameCount: not counted.
                {grouped(3, 2), file(" 2 , 3 , 0 \r\n 4 , 3 , 1 \r\n")}});
}

TEST(Bounds, FrameCountBeyondTheSeriesReadsNoFurther) {
    const AnalysisState s = example(32767);
    EXPECT_TRUE(
        asIsFileBytes(s, AxisMapping::StandingSide).ends_with(" 901 , 15 , 3 \r\n" + kTrailer));
    EXPECT_TRUE(groupedFileBytes(s, 5).ends_with(" 900 , 0 , 0 \r\n 905 , 0 , 0 \r\n" + kTrailer));
}

TEST(WriteFile, ReplacesALongerFileWhole) {
    QTemporaryDir dir;
    const QString path = dir.filePath("walk_2.csv");
    ASSERT_TRUE(writeGroupedFile(path, example(5), 2).ok &&
                writeGroupedFile(path, example(1), 2).ok);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), groupedFileBytes(example(1), 2));
}

} // namespace
