// The pieces of the export files and whole files, byte for byte. Expected bytes are written by
// hand from the documented examples, never produced by the writer itself.
#include "analysis_state.h"
#include "cp932.h"
#include "csv_export.h"
#include "number_format.h"
#include "output_name.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const std::string kHead = "\x93\xAA\x92\xB8\x95\x94"; // 頭頂部
const std::string kScaleLines = "\r\n1point=        0.2857143    mm\r\n";

// The documented examples: two points over three transitions, the first named 頭頂部, or
// one unnamed point over five transitions.
AnalysisState example(bool fiveFrames = false) {
    AnalysisState s;
    s.mmPerPoint = 2.857143f;
    s.pointCount = fiveFrames ? 1 : 2;
    s.frameCount = fiveFrames ? 5 : 3;
    s.landmarkNames[1] = fiveFrames ? "" : "頭頂部";
    s.deltaX1 = fiveFrames ? AnalysisState::Series{1, 2, 3, 4, 5} : AnalysisState::Series{2, 3, -1};
    s.deltaY1 = fiveFrames ? AnalysisState::Series{0, 0, 1, 1, 1} : AnalysisState::Series{0, 1, 1};
    s.deltaY2 = fiveFrames ? AnalysisState::Series{} : AnalysisState::Series{-1, 0, 0};
    return s;
}

std::vector<std::string> lines(const std::string& bytes) {
    std::vector<std::string> out;
    for (std::size_t at = 0, end; (end = bytes.find("\r\n", at)) != std::string::npos; at = end + 2)
        out.push_back(bytes.substr(at, end - at));
    return out;
}

TEST(DisplayForm, NumbersAndPrintZones) {
    const std::pair<float, const char*> rows[] = {{0.0f, " 0 "},
                                                  {-0.0f, " 0 "},
                                                  {5.0f, " 5 "},
                                                  {-12.0f, "-12 "},
                                                  {0.2857143f, " 0.2857143 "},
                                                  {1234567.0f, " 1234567 "},
                                                  {12345678.0f, " 1.234568E+07 "},
                                                  {0.5f, " 0.5 "},
                                                  {0.0001f, " 0.0001 "},
                                                  {0.00001f, " 1E-05 "},
                                                  {1e-30f, " 1E-30 "},
                                                  {3e38f, " 3E+38 "},
                                                  {-0.25f, "-0.25 "}};
    for (const auto& [value, text] : rows)
        EXPECT_EQ(displayForm(value), text) << value;
    EXPECT_EQ(displayForm(int16_t{1}) + displayForm(int16_t{-32768}), " 1 -32768 ");
    // {characters on the line, blanks added}: zones start at columns 1, 15, 29.
    for (auto [before, added] : {std::pair{0, 14}, {7, 7}, {13, 1}, {14, 14}, {15, 13}}) {
        std::string line(static_cast<std::size_t>(before), 'x');
        moveToNextPrintZone(line);
        EXPECT_EQ(line.size(), static_cast<std::size_t>(before + added)) << before;
    }
}

TEST(Cp932, EncodesOrReplacesEachCharacter) {
    const std::pair<const char*, std::string> rows[] = {
        {"a,b\\~", "a,b\\~"},
        {"頭頂部", kHead},
        {"肩峰（矢状面）", "\x8C\xA8\x95\xF4\x81\x69\x96\xEE\x8F\xF3\x96\xCA\x81\x6A"},
        {"㎜～①ｱ", "\x87\x6F\x81\x60\x87\x40\xB1"},
        {"aé😀b", "a\?\?b"},                     // not in code page 932
        {"x\xED\xA0\x80y", "x?y"},              // an encoded lone surrogate
        {"\x80\xFF\xC0\xAF\xE9\xA0z", "????z"}, // stray bytes, an overlong form, a cut-off one
    };
    for (const auto& [utf8, cp932] : rows)
        EXPECT_EQ(toCp932(utf8), cp932) << utf8;
}

TEST(OutputName, CutsTheFileNameAtItsFirstDot) {
    const std::pair<const char*, const char*> rows[] = {
        {R"(D:\data\walk.csv)", R"(D:\data\walk_1.csv)"},
        {R"(D:\data\walk.test.csv)", R"(D:\data\walk_1.csv)"},
        // The original cut inside the folder name and wrote D:\my_1.csv in the folder above.
        {R"(D:\my.data\walk.csv)", R"(D:\my.data\walk_1.csv)"},
        {"/home/a.b/walk.csv", "/home/a.b/walk_1.csv"},
        {"C:/x.y\\z.csv", "C:/x.y\\z_1.csv"},
        {"/tmp/.csv", "/tmp/_1.csv"},
        {"/tmp/walk.", "/tmp/walk_1.csv"},
        {"/tmp/walk", nullptr},
        {R"(D:\my.data\walk)", nullptr},
        {"", nullptr},
    };
    for (const auto& [chosen, expected] : rows) {
        const auto name = outputFileName(QString::fromUtf8(chosen), QStringLiteral("_1.csv"));
        EXPECT_EQ(name.value_or("<none>"), expected ? QString::fromUtf8(expected) : "<none>")
            << chosen;
    }
}

TEST(AsIsFile, DocumentedExamples) {
    const std::string header = "," + kHead + "-X," + kHead + "-Y,2-X,2-Y\r\n";
    EXPECT_EQ(asIsFileBytes(example(), AxisMapping::StandingSide),
              header + " 1 , 2 , 0 , 0 ,-1 \r\n 2 , 5 , 1 , 0 ,-1 \r\n 3 , 4 , 2 , 0 ,-1 \r\n" +
                  kScaleLines);
    EXPECT_EQ(asIsFileBytes(example(), AxisMapping::StandingFront),
              header + " 1 ,-2 , 0 , 0 ,-1 \r\n 2 ,-5 , 1 , 0 ,-1 \r\n 3 ,-4 , 2 , 0 ,-1 \r\n" +
                  kScaleLines);
}

TEST(AsIsFile, MappingsNeverWriteMinusZero) {
    const std::pair<AxisMapping, const char*> rows[] = {
        {AxisMapping::StandingSide, " 3 , 4 , 2 , 0 ,-1 "},
        {AxisMapping::StandingFront, " 3 ,-4 , 2 , 0 ,-1 "},
        {AxisMapping::LyingSide, " 3 ,-2 ,-4 , 1 , 0 "},
        {AxisMapping::LyingFront, " 3 ,-2 ,-4 , 1 , 0 "}};
    for (const auto& [mapping, lastRow] : rows)
        EXPECT_EQ(lines(asIsFileBytes(example(), mapping))[3], lastRow) << int(mapping);
}

TEST(AsIsFile, RepeatableAndLeavesTheRecordAlone) {
    // The original wrote running totals back into the series: a second export summed totals.
    AnalysisState s = example();
    const std::string first = asIsFileBytes(s, AxisMapping::StandingSide);
    EXPECT_EQ(asIsFileBytes(s, AxisMapping::StandingSide), first);
    EXPECT_EQ(lines(groupedFileBytes(s, 2))[1], " 2 , 5 , 1 , 0 ,-1 ");
    EXPECT_TRUE(s.deltaX1 == example().deltaX1 && s.deltaY2 == example().deltaY2);
}

TEST(Header, NamesDefaultsAndLimits) {
    const std::string shoulder = "\x8C\xA8\x95\xF4\x81\x69\x96\xEE\x8F\xF3\x96\xCA\x81\x6A";
    const struct {
        uint8_t points;
        std::vector<std::string> names;
        std::string expected;
    } rows[] = {
        {0, {"a"}, "\r\n"},
        {3, {"", "肩峰（矢状面）"}, ",1-X,1-Y," + shoulder + "-X," + shoulder + "-Y,3-X,3-Y\r\n"},
        {1, {"a,b"}, ",a,b-X,a,b-Y\r\n"},
        {1, {"é😀"}, ",\?\?-X,\?\?-Y\r\n"},
        {9, {}, ",1-X,1-Y,2-X,2-Y,3-X,3-Y,4-X,4-Y,5-X,5-Y,6-X,6-Y,7-X,7-Y\r\n"},
        {1,
         {std::string(10002, 'a').replace(0, 3, "頭")}, // 10,000 characters
         "," + kHead.substr(0, 2) + std::string(9999, 'a') + "-X," + kHead.substr(0, 2) +
             std::string(9999, 'a') + "-Y\r\n"},
    };
    for (const auto& row : rows) {
        AnalysisState s;
        s.pointCount = row.points;
        std::copy(row.names.begin(), row.names.end(), s.landmarkNames.begin() + 1);
        std::string out;
        writeHeaderLine(out, s);
        EXPECT_EQ(out, row.expected) << int(row.points) << " " << row.expected.substr(0, 20);
    }
}

TEST(GroupedFile, DocumentedExampleAndEveryGroupSize) {
    EXPECT_EQ(groupedFileBytes(example(true), 2),
              ",1-X,1-Y\r\n 2 , 3 , 0 \r\n 4 , 7 , 2 \r\n 6 , 5 , 1 \r\n" + kScaleLines);
    const struct {
        int16_t frames;
        int n;
        std::vector<std::string> rows;
    } table[] = {{0, 2, {}},
                 {0, 5, {}},
                 {1, 2, {" 2 , 1 , 0 "}},
                 {1, 3, {" 3 , 1 , 0 "}},
                 {1, 4, {" 4 , 1 , 0 "}},
                 {1, 5, {" 5 , 1 , 0 "}},
                 {5, 3, {" 3 , 6 , 1 ", " 6 , 9 , 2 "}},
                 {5, 4, {" 4 , 10 , 2 ", " 8 , 5 , 1 "}},
                 {5, 5, {" 5 , 15 , 3 "}},
                 // A tracking step that stopped part-way left 4 at entry frameCount: not counted.
                 {3, 2, {" 2 , 3 , 0 ", " 4 , 3 , 1 "}}};
    for (const auto& row : table) {
        AnalysisState s = example(true);
        s.frameCount = row.frames;
        const auto got = lines(groupedFileBytes(s, row.n));
        EXPECT_EQ(std::vector<std::string>(got.begin() + 1, got.end() - 2), row.rows)
            << row.frames << " by " << row.n;
    }
}

TEST(Bounds, FrameCountOutsideTheSeriesReadsNothingBeyond) {
    AnalysisState s;
    s.pointCount = 1;
    s.deltaX1.fill(1);
    s.deltaX2[0] = 1000; // lies right behind deltaX1[900]
    // {frameCount, as-is rows, last as-is line, last line of the groups of 5} before the trailer
    const std::tuple<int16_t, std::size_t, const char*, const char*> rows[] = {
        {901, 901, " 901 , 901 , 0 ", " 905 , 1 , 0 "},
        {32767, 901, " 901 , 901 , 0 ", " 905 , 1 , 0 "},
        {-4, 0, ",1-X,1-Y", ",1-X,1-Y"}};
    for (const auto& [frames, count, lastAsIs, lastGroup] : rows) {
        s.frameCount = frames;
        const auto asIs = lines(asIsFileBytes(s, AxisMapping::StandingSide));
        EXPECT_EQ(asIs.size(), count + 3) << frames;
        EXPECT_EQ(asIs[asIs.size() - 3], lastAsIs) << frames;
        const auto grouped = lines(groupedFileBytes(s, 5));
        EXPECT_EQ(grouped[grouped.size() - 3], lastGroup) << frames;
    }
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

TEST(WriteFile, ReplacesWholeOrReportsTheFile) {
    QTemporaryDir dir;
    QFile old(dir.filePath("walk_1.csv"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write(QByteArray(5000, 'z')) == 5000);
    old.close();
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken_1.csv"));
    const AnalysisState s = example();
    ASSERT_TRUE(writeAsIsFile(old.fileName(), s, AxisMapping::StandingSide).ok);
    const std::string expected = asIsFileBytes(s, AxisMapping::StandingSide);
    EXPECT_EQ(readAll(old.fileName()).toStdString(), expected);
    // A folder in the way, a regular file as folder, a missing folder, an unknown group size.
    for (const auto& [path, n] : {std::pair{dir.filePath("taken_1.csv"), 0},
                                  {dir.filePath("walk_1.csv/x_1.csv"), 0},
                                  {dir.filePath("missing/x_1.csv"), 0},
                                  {dir.filePath("x_6.csv"), 6}}) {
        const WriteResult result =
            n ? writeGroupedFile(path, s, n) : writeAsIsFile(path, s, AxisMapping::StandingSide);
        EXPECT_FALSE(result.ok) << path.toStdString();
        EXPECT_TRUE(result.error.contains(QDir::toNativeSeparators(path))) << path.toStdString();
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList({"taken_1.csv", "walk_1.csv"}));
}

} // namespace
