// SPDX-License-Identifier: GPL-3.0-or-later
// The export files and their pieces, byte for byte, against bytes written by hand.
#include "analysis_state.h"
#include "cp932.h"
#include "csv_export.h"
#include "file_bytes.h"
#include "number_format.h"
#include "output_name.h"
#include "read_only_folder.h"

#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/resource.h>

#include <map>
#include <sstream>

namespace {

const std::string kTrailer = "\r\n1point=        0.2857143    mm\r\n";

void expectRows(const std::vector<std::pair<std::string, std::string>>& rows) {
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].first, rows[i].second) << "row " << i;
}

// The documented examples: two points over three transitions, the first named 頭頂部, or one
// unnamed point over `frames` of five recorded transitions.
AnalysisState example(int16_t frames = -1) {
    const bool one = frames >= 0;
    AnalysisState s;
    s.mmPerPoint = 2.857143f;
    s.pointCount = one ? 1 : 2;
    s.frameCount = one ? frames : 3;
    s.landmarkNames[1] = one ? "" : "頭頂部";
    s.deltaX1 = one ? AnalysisState::Series{1, 2, 3, 4, 5} : AnalysisState::Series{2, 3, -1};
    s.deltaY1 = one ? AnalysisState::Series{0, 0, 1, 1, 1} : AnalysisState::Series{0, 1, 1};
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

// Every character from U+0080 on comes back from code page 932 as itself or becomes exactly one
// "?": none may vanish, as the tag characters U+E0000..U+E007F once did. The JIS forms that code
// page 932 holds under other code points are written as those characters.
TEST(Header, EveryCharacterIsKeptOrBecomesOneQuestionMark) {
    const std::map<char32_t, std::string> jis = {
        {0xA2, "\x81\x91"}, {0xA3, "\x81\x92"},   {0xA5, "\\"},
        {0xAC, "\x81\xCA"}, {0x2014, "\x81\x5C"}, {0x2016, "\x81\x61"},
        {0x203E, "~"},      {0x2212, "\x81\x7C"}, {0x301C, "\x81\x60"}};
    const auto utf8 = [](char32_t c) { // by hand: Qt's converters drop a byte-order mark
        const int tail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        std::string bytes(1, char(0xFF << (7 - tail) | c >> 6 * tail));
        for (int shift = 6 * tail - 6; shift >= 0; shift -= 6)
            bytes += char(0x80 | (c >> shift & 0x3F));
        return bytes;
    };
    std::string text; // each character and a line break, a byte no character of CP932 holds
    for (char32_t c = 0x80; c <= 0x10FFFF; ++c)
        text += c < 0xD800 || c > 0xDFFF ? utf8(c) + '\n' : "";
    std::istringstream out(toCp932(text));
    iconv_t back = iconv_open("UTF-8", "CP932");
    std::string bytes;
    int kept = 0;
    for (char32_t c = 0x80; c <= 0x10FFFF; c += c == 0xD7FF ? 0x801 : 1) {
        ASSERT_TRUE(std::getline(out, bytes));
        if (bytes == "?")
            continue;
        ++kept;
        std::string decoded(8, '\0');
        char *in = bytes.data(), *to = decoded.data();
        std::size_t inLeft = bytes.size(), outLeft = decoded.size();
        iconv(back, &in, &inLeft, &to, &outLeft);
        decoded.resize(to - decoded.data());
        const auto form = jis.find(c);
        ASSERT_EQ(form == jis.end() ? decoded : bytes, form == jis.end() ? utf8(c) : form->second)
            << std::hex << "U+" << uint32_t(c);
    }
    iconv_close(back);
    EXPECT_FALSE(std::getline(out, bytes));
    EXPECT_EQ(kept, 9278); // JIS X 0208, the NEC and IBM extensions and half-width katakana
}

TEST(Numbers, DisplayForm) {
    // Seven significant digits, halves to even, "0." below 1, trailing zeros and a bare point
    // dropped, the exponent form from 1E+07 and below 1E-04.
    const std::pair<float, const char*> rows[] = {
        {100.0f, " 100 "},         {-2.5f, "-2.5 "},          {0.05f, " 0.05 "},
        {2.0f / 3, " 0.6666667 "}, {1234567.5f, " 1234568 "}, {1234566.5f, " 1234566 "},
        {9999999.0f, " 9999999 "}, {1e7f, " 1E+07 "},         {12345675.0f, " 1.234568E+07 "},
        {0.0001f, " 0.0001 "},     {0.00001f, " 1E-05 "},     {-0.0f, " 0 "}};
    for (const auto& [value, text] : rows)
        EXPECT_EQ(displayForm(value), text) << value;
    EXPECT_EQ(displayForm(int16_t(-32768)), "-32768 ");
}

TEST(Trailer, MmMovesOnWithTheLengthOfTheScale) {
    // The scale's display form is 11, 13 or 14 characters long: "mm" starts at column 29 after
    // 11 (kTrailer) and 13 characters and at column 43 after 14.
    const std::pair<float, std::string> rows[] = {
        {0.01234567f, "1point=        0.001234567  mm"},
        {0.001234567f, "1point=        0.0001234567               mm"}};
    for (const auto& [mmPerPoint, line] : rows) {
        AnalysisState s;
        s.mmPerPoint = mmPerPoint;
        std::string out;
        writeScaleTrailer(out, s);
        EXPECT_EQ(out, "\r\n" + line + "\r\n");
    }
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
                {grouped(0, 2), file("")},
                {grouped(1, 4), file(" 4 , 1 , 0 \r\n")},
                // A tracking step that stopped part-way left 4 at entry frameCount: not counted.
                {grouped(3, 2), file(" 2 , 3 , 0 \r\n 4 , 3 , 1 \r\n")}});
}

TEST(Bounds, FrameCountBeyondTheSeriesReadsNoFurther) {
    const AnalysisState s = example(32767);
    EXPECT_TRUE(
        asIsFileBytes(s, AxisMapping::StandingSide).ends_with(" 901 , 15 , 3 \r\n" + kTrailer));
    EXPECT_TRUE(groupedFileBytes(s, 5).ends_with(" 900 , 0 , 0 \r\n 905 , 0 , 0 \r\n" + kTrailer));
}

// Written in place only where nothing can be written aside: an existing, writable file in a
// folder that allows no new files. A new file there is refused; elsewhere the file is replaced
// (that a longer old file leaves nothing behind is checked on the report's files).
TEST(WriteFile, InPlaceOnlyForAWritableFileInAReadOnlyFolder) {
    ReadOnlyFolder folder(QStringLiteral("walk_1.csv"));
    const auto write = [](const QString& path) {
        return [path] { return writeAsIsFile(path, example(), AxisMapping::StandingSide).ok; };
    };
    const ino_t before = folder.inode();
    EXPECT_EQ(ReadOnlyFolder::asNobody(write(folder.file)), 0);
    EXPECT_EQ(readBytes(folder.file).toStdString(),
              asIsFileBytes(example(), AxisMapping::StandingSide));
    EXPECT_EQ(folder.inode(), before);
    EXPECT_EQ(ReadOnlyFolder::asNobody([&] { // a full disk in place is still reported
                  std::signal(SIGXFSZ, SIG_IGN);
                  const rlimit tiny{3, RLIM_INFINITY};
                  return setrlimit(RLIMIT_FSIZE, &tiny) == 0 && write(folder.file)();
              }),
              1);
    EXPECT_EQ(ReadOnlyFolder::asNobody(write(folder.dir.filePath("new_1.csv"))), 1);
    EXPECT_EQ(entries(folder.dir.path()), QStringList{"walk_1.csv"});
    folder.setWritable(true);
    EXPECT_EQ(ReadOnlyFolder::asNobody(write(folder.file)), 0);
    EXPECT_NE(folder.inode(), before);
}

} // namespace
