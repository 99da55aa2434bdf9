// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis_file.h"
#include "file_bytes.h"
#include "picture_marks.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <bit>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <csignal>
#include <cstring>
#include <limits>
#include <numeric>
#include <random>

#include <sys/resource.h>

namespace {

const QString kFolder = QStringLiteral("/data/subject (2)");

// Calls `f` with every field of the document: numbers, texts and arrays of them.
template <typename Document, typename F> void forEachField(Document& d, const F& f) {
    auto& r = d.record;
    auto& s = d.source;
    auto& w = d.window;
    f(r.pointX, r.pointY, r.pathLength, r.mmPerPoint, r.refPointX, r.refPointY, r.pointCount,
      r.frameCount, r.brightnessTolerance, r.darknessTolerance, r.photoPath, r.startDir,
      r.landmarkNames, r.refDistance, d.sway.seriesStart, d.sway.frameInterval,
      d.sway.scaleConfirmed, s.kind, s.placementPath, s.startSeconds, s.frameStep, s.placementPts,
      s.lastPts, w.mode, w.listTexts, w.shownControls, w.label4, w.label7, w.distanceText,
      w.progressText, w.startEnabled, d.picture.width, d.picture.height, d.sway.scale.sourceWidth,
      d.sway.scale.sourceHeight, d.sway.scale.displayWidth, d.sway.scale.displayHeight,
      d.sway.referenceSourceX, d.sway.referenceSourceY, d.sway.referenceSourceDistance,
      s.endSeconds, s.lost.lostPoint, s.lost.photoPath, s.lost.pts, s.lost.seconds, s.lost.sequence,
      s.lost.pointX, s.lost.pointY, s.lost.pathLength);
    for (int k = 1; k <= 7; ++k)
        f(r.deltaX(k), r.deltaY(k));
    for (auto& e : d.sway.entries)
        f(e.x, e.y, e.seconds, e.sequence, e.fellBack);
    for (auto& p : s.lost.placed)
        f(p.point, p.pressX, p.pressY, p.x, p.y);
    for (auto& m : d.picture.runs)
        f(m.x, m.y, m.length, m.colour);
}

// The bits of a value, or the size and elements of a text or array; NaN travels as null.
template <typename T> void put(std::string& out, const T& v) {
    if constexpr (std::is_arithmetic_v<T> || std::is_enum_v<T>) {
        T w = v;
        if constexpr (std::is_floating_point_v<T>)
            w = std::isnan(v) ? std::numeric_limits<T>::quiet_NaN() : v;
        out.append(reinterpret_cast<const char*>(&w), sizeof w);
    } else {
        put(out, std::size(v));
        for (const auto& e : v)
            put(out, e);
    }
}

// Every field's bits, without the file format: equal dumps mean equal documents.
std::string dump(const AnalysisDocument& d) {
    std::string out;
    forEachField(d, [&out](const auto&... v) { (put(out, v), ...); });
    return out;
}

// Bit patterns mixed with numbers a decimal form easily gets one digit short; odd texts.
struct Random {
    std::mt19937_64 rng;
    int64_t pick(int64_t low, int64_t high) {
        return std::uniform_int_distribution<int64_t>(low, high)(rng);
    }
    void fill(bool& v) { v = pick(0, 1) == 1; }
    void fill(double& v) {
        const double total = std::sqrt(13.0) + std::sqrt(5.0); // a path total
        const double near[] = {total,    0.1,       0x1p62,    -0.0,   NAN,
                               INFINITY, -INFINITY, 0x1p-1074, DBL_MAX};
        v = pick(0, 1) ? near[pick(0, 8)] : std::bit_cast<double>(rng());
    }
    void fill(float& v) {
        const float near[] = {0.1f,      16777217.0f, -0.0f,   1.0f / 3.0f,
                              -INFINITY, 0x1p-149f,   -FLT_MAX};
        v = pick(0, 1) ? near[pick(0, 6)] : std::bit_cast<float>(static_cast<uint32_t>(rng()));
    }
    void fill(std::string& v) {
        static const char* const pieces[] = {"頭頂部", "\"", "\\", "\n", "a",
                                             "😀",      "\t", " ",  "/",  "{"};
        v.clear();
        for (int64_t i = pick(0, 5); i > 0; --i)
            v += pieces[pick(0, 9)];
    }
    template <typename T> void fill(T& v) {
        if constexpr (std::is_integral_v<T>)
            v = static_cast<T>(rng());
        else if constexpr (!std::is_enum_v<T>)
            for (auto& e : v)
                fill(e);
    }
};

// Every field away from its default, within what the file holds and the reader accepts.
AnalysisDocument randomDocument(Random& random) {
    AnalysisDocument d;
    d.sway.entries.resize(random.pick(0, 40));
    d.window.shownControls.resize(random.pick(0, 4));
    LostFrame& lost = d.source.lost;
    lost.pointX.resize(random.pick(0, 60));
    lost.pointY.resize(lost.pointX.size());
    lost.placed.resize(random.pick(0, 3));
    forEachField(d, [&random](auto&... v) { (random.fill(v), ...); });
    AnalysisState& r = d.record;
    r.pointCount = random.pick(0, 60);
    r.frameCount = random.pick(0, 1) ? 901 : random.pick(0, 900); // 901: every entry filled
    for (int k = 0; k <= 60; ++k)
        if (k == 0 || k > r.pointCount)
            r.pointX[k] = r.pointY[k] = 0;
    r.pathLength[0] = 0;
    r.landmarkNames[0].clear();
    for (int k = 1; k <= 7; ++k)
        for (int i = r.frameCount + 1; i <= 900; ++i)
            r.deltaX(k)[i] = r.deltaY(k)[i] = 0;
    r.photoPath = (kFolder + QStringLiteral("/写真/s(003).bmp")).toStdString();
    d.source.placementPath = "/elsewhere/動画 1.mp4";
    d.source.kind = static_cast<AnalysisSource::Kind>(random.pick(0, 2));
    d.source.frameStep = random.pick(1, std::numeric_limits<int>::max());
    d.window.mode = static_cast<AnalysisMode>(random.pick(0, 2));
    d.sway.seriesStart = random.pick(0, 1) ? 901 : random.pick(0, 900);
    for (SwayEntry& e : d.sway.entries) {
        e.x[0] = e.y[0] = SwayEntry::kNone;
        e.sequence = random.pick(-1, std::numeric_limits<int32_t>::max());
        e.fellBack = random.pick(0, 0xFE);
    }
    const auto size = [&random] { return int(random.pick(1, 1 << 20)); };
    d.sway.scale = random.pick(0, 1) ? SourceScale{size(), size(), size(), size()} : SourceScale{};
    if (random.pick(0, 1) == 0) { // a run that did not end at a lost marker
        lost = {};
    } else {
        lost.lostPoint = random.pick(1, 60);
        lost.photoPath = (kFolder + QStringLiteral("/写真/s(004).bmp")).toStdString();
        lost.sequence = random.pick(-1, std::numeric_limits<int32_t>::max());
        lost.pathLength[0] = 0;
        for (LostFrame::Placed& p : lost.placed)
            p.point = random.pick(1, 60);
    }
    if (random.pick(0, 1)) { // older files have no subject
        SubjectRecord& s = d.subject.emplace();
        for (std::string* text : {&s.name, &s.id, &s.examiner, &s.memo})
            random.fill(*text);
        for (CalendarDate* day : {&s.birthDate, &s.testDate})
            if (random.pick(0, 3) > 0)
                *day = {int32_t(random.pick(1, 9999)), int32_t(random.pick(1, 12)),
                        int32_t(random.pick(1, 28))};
        s.sex = static_cast<SubjectRecord::Sex>(random.pick(0, 3));
        s.stance = static_cast<SubjectRecord::Stance>(random.pick(0, 4));
        s.vision = static_cast<SubjectRecord::Vision>(random.pick(0, 1));
        s.surface = static_cast<SubjectRecord::Surface>(random.pick(0, 1));
    }
    return d;
}

TEST(Document, EveryFieldReadsBackBitForBit) {
    QTemporaryDir dir;
    const QString path = dir.filePath("解析.vestra");
    Random random{std::mt19937_64(20240601)};
    for (int i = 0; i < 60; ++i) {
        SCOPED_TRACE(i);
        AnalysisDocument d = randomDocument(random);
        // Marks on a picture of few colours, so that runs form; in odd rounds of those colours too.
        const int width = int(random.pick(1, 40)), height = int(random.pick(1, 30));
        std::vector<uint32_t> base(std::size_t(width * height));
        for (uint32_t& pixel : base)
            pixel = 0xFF000000u | (random.rng() & 0x030303u);
        std::vector<uint32_t> shown = base;
        for (int64_t n = random.pick(0, width * height); n > 0; --n)
            shown[random.rng() % shown.size()] =
                0xFF000000u |
                (random.pick(0, 1) ? 0x000080u : random.rng() & (i % 2 ? 0x030303u : 0xFFFFFFu));
        d.picture =
            marksBetween({base.data(), width, height, width}, {shown.data(), width, height, width});
        ASSERT_TRUE(writeAnalysisFile(path, d).ok);
        const AnalysisReadResult read = readAnalysisFile(path);
        ASSERT_TRUE(read.document) << read.error.toStdString();
        EXPECT_TRUE(dump(d) == dump(*read.document));
        EXPECT_TRUE(read.document->subject == d.subject);
        const QByteArray bytes = analysisFileBytes(d, dir.path());
        EXPECT_EQ(analysisFileBytes(*read.document, dir.path()), bytes);
        EXPECT_EQ(bytes.contains("\"subject\""), d.subject.has_value());
        int64_t marked = 0; // only what changed is kept
        for (const MarkRun& run : read.document->picture.runs)
            marked += run.length;
        EXPECT_EQ(marked, std::transform_reduce(base.begin(), base.end(), shown.begin(), int64_t{0},
                                                std::plus<>(), std::not_equal_to<>()));
        paintMarks(read.document->picture, {base.data(), width, height, width});
        EXPECT_EQ(base, shown);
    }
    // A failed write names the file; a folder is no analysis file.
    const QString nowhere = dir.filePath("missing/a.vestra");
    EXPECT_TRUE(writeAnalysisFile(nowhere, {}).error.contains(QDir::toNativeSeparators(nowhere)));
    EXPECT_FALSE(readAnalysisFile(dir.path()).document);
}

TEST(Document, AWriteThatStopsShortSaysWhyAndKeepsTheOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.vestra");
    AnalysisDocument d;
    d.picture = {1, 1, {}};
    ASSERT_TRUE(writeAnalysisFile(path, d).ok);
    const QByteArray old = readBytes(path);
    // Files may grow to 4 KiB only: the write stops short there, as on a nearly full disk, and
    // only the next one tells why.
    d.record.landmarkNames[1] = std::string(20000, 'a');
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlim_t before = limit.rlim_cur;
    limit.rlim_cur = 4096;
    const auto signal = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const WriteResult written = writeAnalysisFile(path, d);
    limit.rlim_cur = before;
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, signal);
    EXPECT_EQ(written.error, QStringLiteral("解析ファイル %1 を保存できません。\n理由: "
                                            "書き込みに失敗しました（%2）")
                                 .arg(path, QString::fromLocal8Bit(std::strerror(EFBIG))));
    EXPECT_EQ(readBytes(path), old);
    EXPECT_EQ(entries(dir.path()), QStringList{"a.vestra"});
    // What a full disk reports.
    EXPECT_EQ(writeReason(QFileDevice::ResourceError, "No space left on device"),
              QStringLiteral("ディスクの空きが足りません（No space left on device）"));
}

TEST(Document, PathsRelativeInsideTheFolderAbsoluteElsewhere) {
    // {photo, read back after the folder moved}: "../" and a look-alike folder stay absolute.
    const std::pair<QString, QString> rows[] = {
        {"/data/subject (2)/s(1).bmp", "/mnt/被験者/s(1).bmp"},
        {"/data/subject (2)/前/s(1).bmp", "/mnt/被験者/前/s(1).bmp"},
        {"/data/subject (2)/./a/../s(1).bmp", "/mnt/被験者/s(1).bmp"},
        {"/data/s(1).bmp", "/data/s(1).bmp"},
        {"/data/subject (2)x/s(1).bmp", "/data/subject (2)x/s(1).bmp"},
        {"", ""}};
    for (const auto& [photo, moved] : rows) {
        AnalysisDocument d;
        d.picture = {1, 1, {}};
        d.source.lost.lostPoint = 1;
        d.record.photoPath = d.source.placementPath = d.source.lost.photoPath = photo.toStdString();
        const auto read = parseAnalysisFile(analysisFileBytes(d, kFolder), "/mnt/被験者");
        ASSERT_TRUE(read.document);
        const AnalysisSource& source = read.document->source;
        for (const std::string& path :
             {read.document->record.photoPath, source.placementPath, source.lost.photoPath})
            EXPECT_EQ(QString::fromStdString(path), moved);
    }
}

// A small valid file with each `from`, found exactly once, replaced by its `to`.
QByteArray changed(std::initializer_list<std::pair<QByteArray, QByteArray>> edits) {
    AnalysisDocument d;
    d.record.pointCount = 2;
    d.record.frameCount = 1;
    d.sway.entries.resize(1);
    d.sway.entries[0].fellBack = 2;
    d.sway.scale = {1080, 1920, 270, 480};
    d.picture = {20, 10, {{1, 2, 3, 0x800000}}};
    d.subject = SubjectRecord{};
    d.subject->birthDate = {1950, 4, 1};
    d.source.lost = {1,  "/data/subject (2)/s(3).bmp", 9, 0.5, 4, {5}, {6},
                     {}, {{1, 2.5, 3.5, 2, 3}}};
    QByteArray bytes = analysisFileBytes(d, kFolder);
    for (const auto& [from, to] : edits) {
        EXPECT_EQ(bytes.count(from), 1) << from.toStdString();
        bytes.replace(from, to);
    }
    return bytes;
}

TEST(Reading, KeysOfLaterVersionsAreOptional) {
    // Without the photos' numbers and the scale's confirmation, which is guessed from mmPerPoint
    // (a reference press sets it to refDistance). {mmPerPoint, refDistance, confirmed}
    const std::tuple<QByteArray, QByteArray, bool> rows[] = {
        {"20", "250", true}, {"250", "250", false}, {"-4", "250", false}};
    for (const auto& [scale, distance, confirmed] : rows) {
        const auto old =
            parseAnalysisFile(changed({{"\"sequence\":-1,", ""},
                                       {"\"scaleConfirmed\":false,", ""},
                                       {"mmPerPoint\":0", "mmPerPoint\":" + scale},
                                       {"refDistance\":0", "refDistance\":" + distance}}),
                              kFolder);
        ASSERT_TRUE(old.document) << old.error.toStdString();
        EXPECT_EQ(old.document->sway.scaleConfirmed, confirmed) << scale.toStdString();
    }
}

TEST(Reading, RefusesWhatDoesNotFit) {
    // {part of the small file, what it becomes (the whole file if empty), words of the reason}
    const std::tuple<QByteArray, QByteArray, const char*> rows[] = {
        {"", "Vestra2007 analysis", "壊れている"},
        {"format\":2", "format\":3", "新しい形式（形式 3）"},
        {"format\":2", "format\":\"2\"", "解析ファイルではありません"},
        {"format\":2", "format\":1.5", "「format」"},
        {"\"record\"", "\"recorx\"", "「record」がありません"},
        {"pointCount\":2", "pointCount\":61", "「record.pointCount」"},
        {"pointCount\":2", "pointCount\":3", "「record.pointX」"},
        {"pointX\":[0,0]", "pointX\":[0,32768]", "「record.pointX[1]」"},
        {"frameCount\":1", "frameCount\":902", "「record.frameCount」"},
        {"deltaX3\":[0,0]", "deltaX3\":[\"x\",0]", "「record.deltaX3[0]」"},
        {"mmPerPoint\":0", "mmPerPoint\":1e39", "「record.mmPerPoint」"},
        {"photoPath\":\"\"", "photoPath\":5", "「record.photoPath」"},
        {"\"\"],\"mmPerPoint", "null],\"mmPerPoint", "「record.landmarkNames[6]」"},
        {"entries\":[", "entries\":[3,", "「sway.entries[0]」"},
        {"sequence\":-1", "sequence\":-2", "「sway.entries[0].sequence」"},
        {"scaleConfirmed\":false", "scaleConfirmed\":\"true\"", "「sway.scaleConfirmed」"},
        {"entries\":[", "entries\":[" + QByteArray("{},").repeated(SwayRecord::kMaxEntries),
         "「sway.entries」"},
        {"fellBack\":2", "fellBack\":255", "「sway.entries[0].fellBack」"}, // bit 0 is no point
        {"scale\":[", "scale\":[0,", "「sway.scale」"},
        {"scale\":[1080", "scale\":[0", "「sway.scale[0]」"},
        {"referenceSource\":[", "referenceSource\":[0,", "「sway.referenceSource」"},
        {"referenceSource\":[null", "referenceSource\":[\"x\"", "「sway.referenceSource[0]」"},
        {"endSeconds\":\"inf\"", "endSeconds\":\"\"", "「source.endSeconds」"},
        {"\"point\":1", "\"point\":61", "「source.lost.point」"},
        {"placed\":[[1,", "placed\":[[0,", "「source.lost.placed[0]」"},
        {"kind\":\"none", "kind\":\"tape", "「source.kind」"},
        {"placementPts\":\"-", "placementPts\":\"12x", "「source.placementPts」"},
        {"mode\":\"staticBalance", "mode\":\"gait", "「window.mode」"},
        {"startEnabled\":false", "startEnabled\":\"yes\"", "「window.startEnabled」"},
        {"width\":20", "width\":641", "「picture.width」"},
        {"[1,2,3,", "[1,2,20,", "「picture.marks[2]」"},
        {"8388608]", "16777216]", "「picture.marks[3]」"},
        {"\"subject\":{", "\"subject\":[],\"x\":{", "「subject」"},
        {"birthDate\":\"1950-04-01", "birthDate\":\"1950-02-30", "「subject.birthDate」"},
        {"birthDate\":\"1950-04-01", "birthDate\":\"1950-4-1", "「subject.birthDate」"},
        {"testDate\":\"\"", "testDate\":0", "「subject.testDate」"},
        {"sex\":\"unrecorded", "sex\":\"male ", "「subject.sex」"},
        {"stance\":\"bothFeet", "stance\":\"oneFoot", "「subject.stance」"},
        {",\"vision\":\"eyesOpen\"", "", "「subject.vision」がありません"},
        {"surface\":\"firm", "surface\":\"Foam", "「subject.surface」"},
        {"memo\":\"\"", "memo\":null", "「subject.memo」"},
    };
    const QByteArray whole = changed({});
    ASSERT_TRUE(parseAnalysisFile(whole, kFolder).document);
    for (const auto& [from, to, reason] : rows) {
        const AnalysisReadResult read =
            parseAnalysisFile(from.isEmpty() ? to : changed({{from, to}}), kFolder);
        EXPECT_TRUE(!read.document && read.error.contains(QString::fromUtf8(reason)))
            << to.left(40).toStdString() << ": " << read.error.toStdString();
    }
    for (qsizetype n = 0; n < whole.size(); ++n) // every cut-off file
        ASSERT_FALSE(parseAnalysisFile(whole.left(n), kFolder).document) << n;
}

TEST(Reading, TextsOfAtMost32767Characters) {
    // {a piece of a text as it stands in the file, UTF-16 units it makes}: escapes count as the
    // character they stand for, four UTF-8 bytes as two units.
    const std::pair<QByteArray, int> pieces[] = {{"a", 1},
                                                 {"頭", 1},
                                                 {"😀", 2},
                                                 {R"(\n)", 1},
                                                 {R"(\")", 1},
                                                 {R"(\u00e9)", 1},
                                                 {R"(\ud83d\ude00)", 2}};
    // {part of the small file, what the text goes after and before, the field the refusal
    // names}. Commas and brackets in an earlier text are no structure.
    const std::tuple<QByteArray, QByteArray, QByteArray, const char*> fields[] = {
        {R"("landmarkNames":[")", R"("landmarkNames":[")", "", "record.landmarkNames[0]"},
        {R"("lists":["",")", R"("lists":[",]}\"{[",")", "", "window.lists[1]"},
        {R"("shown":[)", R"("shown":[")", R"(")", "window.shown[0]"},
        {R"("label4":")", R"("label4":")", "", "window.label4"}};
    for (const auto& [piece, units] : pieces) {
        const QByteArray longest = piece.repeated(32767 / units) + QByteArray(32767 % units, 'x');
        for (const auto& [from, before, after, name] : fields) {
            const auto with = [&](const QByteArray& text) {
                return parseAnalysisFile(changed({{from, before + text + after}}), kFolder);
            };
            const AnalysisReadResult fits = with(longest);
            EXPECT_TRUE(fits.document)
                << name << " " << piece.toStdString() << ": " << fits.error.toStdString();
            EXPECT_EQ(with(longest + "y").error.toStdString(),
                      "「" + std::string(name) + "」の文字数が多すぎます（32767 文字までです）")
                << piece.toStdString();
        }
    }
    // A key, too (here the first of the file), named by its start.
    const AnalysisReadResult key =
        parseAnalysisFile(changed({{R"("format")", '"' + QByteArray(100000, 'k') + '"'}}), kFolder);
    EXPECT_TRUE(key.error.startsWith("「" + QString(40, 'k') + "」")) << key.error.toStdString();

    // What reading refuses is not written; a memo has no limit in its window.
    QTemporaryDir dir;
    const QString path = dir.filePath("m.vestra");
    AnalysisDocument d;
    d.picture = {1, 1, {}};
    d.subject = SubjectRecord{};
    d.subject->memo = std::string(32768, 'm');
    EXPECT_EQ(writeAnalysisFile(path, d).error,
              "解析ファイル " + path +
                  " を保存できません。\n理由: 「subject.memo」の文字数が多すぎ"
                  "ます（32767 文字までです）");
    EXPECT_TRUE(entries(dir.path()).isEmpty());
    d.subject->memo.pop_back();
    EXPECT_TRUE(writeAnalysisFile(path, d).ok);
}

} // namespace
