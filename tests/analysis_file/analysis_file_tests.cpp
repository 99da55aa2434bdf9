#include "analysis_file.h"
#include "json_numbers.h"
#include "picture_marks.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <functional>
#include <limits>
#include <random>

namespace {

const QString kFolder = QStringLiteral("/data/subject (2)");

template <typename T> auto bits(T v) {
    if constexpr (sizeof(T) == 8)
        return std::bit_cast<uint64_t>(v);
    else
        return std::bit_cast<uint32_t>(v);
}

// Equal bit for bit, where NaN (which travels as null) only has to stay a NaN.
template <typename T> bool same(T a, T b) {
    return (std::isnan(a) && std::isnan(b)) || bits(a) == bits(b);
}

void expectSameDocument(const AnalysisDocument& a, const AnalysisDocument& b) {
    const AnalysisState& r = a.record;
    const AnalysisState& s = b.record;
    EXPECT_EQ(r.pointCount, s.pointCount);
    EXPECT_EQ(r.pointX, s.pointX);
    EXPECT_EQ(r.pointY, s.pointY);
    for (int k = 1; k <= 7; ++k) {
        EXPECT_TRUE(same(r.pathLength[k], s.pathLength[k])) << k;
        for (std::size_t i = 0; i < AnalysisState::kSeriesLength; ++i) {
            ASSERT_TRUE(same(r.deltaX(k)[i], s.deltaX(k)[i])) << k << " " << i;
            ASSERT_TRUE(same(r.deltaY(k)[i], s.deltaY(k)[i])) << k << " " << i;
        }
    }
    EXPECT_TRUE(same(r.mmPerPoint, s.mmPerPoint));
    EXPECT_TRUE(same(r.refDistance, s.refDistance));
    EXPECT_EQ(std::tie(r.refPointX, r.refPointY, r.frameCount, r.brightnessTolerance,
                       r.darknessTolerance, r.photoPath, r.startDir, r.landmarkNames),
              std::tie(s.refPointX, s.refPointY, s.frameCount, s.brightnessTolerance,
                       s.darknessTolerance, s.photoPath, s.startDir, s.landmarkNames));
    ASSERT_EQ(a.sway.entries.size(), b.sway.entries.size());
    for (std::size_t e = 0; e < a.sway.entries.size(); ++e) {
        const SwayEntry& p = a.sway.entries[e];
        const SwayEntry& q = b.sway.entries[e];
        for (std::size_t k = 0; k < 8; ++k)
            EXPECT_TRUE(same(p.x[k], q.x[k]) && same(p.y[k], q.y[k])) << e << " " << k;
        EXPECT_TRUE(same(p.seconds, q.seconds));
        EXPECT_EQ(p.sequence, q.sequence);
    }
    EXPECT_EQ(a.sway.seriesStart, b.sway.seriesStart);
    EXPECT_EQ(a.sway.scaleConfirmed, b.sway.scaleConfirmed);
    EXPECT_TRUE(same(a.sway.frameInterval, b.sway.frameInterval));
    EXPECT_EQ(std::tie(a.source.kind, a.source.placementPath, a.source.frameStep,
                       a.source.placementPts, a.source.lastPts),
              std::tie(b.source.kind, b.source.placementPath, b.source.frameStep,
                       b.source.placementPts, b.source.lastPts));
    EXPECT_TRUE(same(a.source.startSeconds, b.source.startSeconds));
    const WindowState& v = a.window;
    const WindowState& w = b.window;
    EXPECT_EQ(std::tie(v.mode, v.listTexts, v.shownControls, v.label4, v.label7, v.distanceText,
                       v.progressText, v.startEnabled),
              std::tie(w.mode, w.listTexts, w.shownControls, w.label4, w.label7, w.distanceText,
                       w.progressText, w.startEnabled));
    EXPECT_EQ(std::tie(a.picture.width, a.picture.height, a.picture.runs),
              std::tie(b.picture.width, b.picture.height, b.picture.runs));
}

// A document with every field away from its default: random bit patterns for the numbers
// (subnormals, infinities, negative zeros and NaNs included), texts with quotes, controls and
// characters outside the BMP.
AnalysisDocument randomDocument(std::mt19937_64& rng) {
    const auto pick = [&rng](int64_t low, int64_t high) {
        return std::uniform_int_distribution<int64_t>(low, high)(rng);
    };
    const auto anyDouble = [&rng] { return std::bit_cast<double>(rng()); };
    const auto anyFloat = [&rng] { return std::bit_cast<float>(static_cast<uint32_t>(rng())); };
    const auto anyText = [&](int length) {
        static const char* const pieces[] = {"頭頂部", "\"", "\\", "\n", "a",
                                             "😀",      "\t", " ",  "/",  "{"};
        std::string text;
        for (int i = 0; i < length; ++i)
            text += pieces[pick(0, 9)];
        return text;
    };
    AnalysisDocument d;
    AnalysisState& r = d.record;
    r.pointCount = static_cast<uint8_t>(pick(0, 60));
    for (int k = 1; k <= r.pointCount; ++k) {
        r.pointX[k] = static_cast<int16_t>(pick(-32768, 32767));
        r.pointY[k] = static_cast<int16_t>(pick(-32768, 32767));
    }
    r.frameCount = static_cast<int16_t>(pick(0, 901));
    for (int k = 1; k <= 7; ++k) {
        r.pathLength[k] = anyDouble();
        r.landmarkNames[k] = anyText(static_cast<int>(pick(0, 4)));
        for (int i = 0; i <= std::min(r.frameCount, int16_t(900)); ++i) {
            r.deltaX(k)[static_cast<std::size_t>(i)] = anyFloat();
            r.deltaY(k)[static_cast<std::size_t>(i)] = anyFloat();
        }
    }
    r.mmPerPoint = anyFloat();
    r.refDistance = anyFloat();
    r.refPointX = static_cast<int16_t>(pick(-32768, 32767));
    r.refPointY = static_cast<int16_t>(pick(-32768, 32767));
    r.brightnessTolerance = static_cast<int16_t>(pick(-32768, 32767));
    r.darknessTolerance = static_cast<int16_t>(pick(-32768, 32767));
    r.photoPath = (kFolder + QStringLiteral("/写真/s(003).bmp")).toStdString();
    r.startDir = "/home/user/" + anyText(3);

    d.sway.entries.resize(static_cast<std::size_t>(pick(0, 40)));
    for (SwayEntry& entry : d.sway.entries) {
        for (std::size_t k = 1; k < 8; ++k) {
            entry.x[k] = anyDouble();
            entry.y[k] = pick(0, 3) == 0 ? SwayEntry::kNone : anyDouble();
        }
        entry.seconds = anyDouble();
        entry.sequence = static_cast<int32_t>(pick(-1, std::numeric_limits<int32_t>::max()));
    }
    d.sway.seriesStart = static_cast<int>(pick(0, 901));
    d.sway.frameInterval = anyDouble();
    d.sway.scaleConfirmed = pick(0, 1) == 1;

    d.source.kind = static_cast<AnalysisSource::Kind>(pick(0, 2));
    d.source.placementPath = "/elsewhere/動画 1.mp4";
    d.source.startSeconds = anyDouble();
    d.source.frameStep = static_cast<int>(pick(1, std::numeric_limits<int>::max()));
    d.source.placementPts = static_cast<int64_t>(rng());
    d.source.lastPts = static_cast<int64_t>(rng());

    d.window.mode = static_cast<AnalysisMode>(pick(0, 2));
    for (std::string& text : d.window.listTexts)
        text = anyText(static_cast<int>(pick(0, 3)));
    for (const char* name : {"Label1", "Combo3", "Command3", "lblProgress"})
        if (pick(0, 1))
            d.window.shownControls.emplace_back(name);
    d.window.label4 = anyText(1);
    d.window.label7 = anyText(2);
    d.window.distanceText = anyText(2);
    d.window.progressText = anyText(5);
    d.window.startEnabled = pick(0, 1) == 1;

    d.picture.width = static_cast<int32_t>(pick(1, 640));
    d.picture.height = static_cast<int32_t>(pick(1, 480));
    for (int i = static_cast<int>(pick(0, 50)); i > 0; --i) {
        const auto x = static_cast<int32_t>(pick(0, d.picture.width - 1));
        d.picture.runs.push_back({x, static_cast<int32_t>(pick(0, d.picture.height - 1)),
                                  static_cast<int32_t>(pick(1, d.picture.width - x)),
                                  static_cast<uint32_t>(pick(0, 0xFFFFFF))});
    }
    return d;
}

AnalysisDocument roundTrip(const AnalysisDocument& document, const QString& folder = kFolder) {
    const AnalysisReadResult read = parseAnalysisFile(analysisFileBytes(document, folder), folder);
    EXPECT_TRUE(read.document) << read.error.toStdString();
    return read.document.value_or(AnalysisDocument{});
}

TEST(Numbers, ReadBackBitForBit) {
    // Values where a decimal form is easily one digit short, and those JSON has no number for.
    AnalysisDocument d;
    const double doubles[] = {std::sqrt(13.0) + std::sqrt(5.0), // a path total
                              0.1,
                              std::numeric_limits<double>::denorm_min(),
                              2.2250738585072009e-308, // the largest subnormal
                              std::numeric_limits<double>::min(),
                              std::numeric_limits<double>::max(),
                              4611686018427387904.0, // written without an exponent
                              -0.0,
                              std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity()};
    const float floats[] = {0.1f,
                            std::numeric_limits<float>::denorm_min(),
                            std::numeric_limits<float>::min(),
                            std::numeric_limits<float>::max(),
                            16777217.0f,
                            -0.0f,
                            1.0f / 3.0f,
                            std::numeric_limits<float>::infinity()};
    d.record.frameCount = 10;
    for (std::size_t i = 0; i < std::size(doubles); ++i)
        d.sway.entries.emplace_back().x[1] = doubles[i];
    for (std::size_t i = 0; i < std::size(floats); ++i)
        d.record.deltaX1[i] = floats[i];
    d.record.pathLength[1] = doubles[0];
    d.record.mmPerPoint = 0.1f;
    // Timestamps beyond 2^53 would lose their last digits in a JSON number.
    d.source.placementPts = std::numeric_limits<int64_t>::min();
    d.source.lastPts = 9007199254740993;
    d.picture = {1, 1, {}};
    const AnalysisDocument back = roundTrip(d);
    expectSameDocument(d, back);
    EXPECT_EQ(bits(back.record.mmPerPoint), bits(0.1f));
    EXPECT_EQ(bits(back.record.pathLength[1]), bits(std::sqrt(13.0) + std::sqrt(5.0)));
    EXPECT_TRUE(std::signbit(back.sway.entries[7].x[1])); // -0 keeps its sign
}

TEST(Document, RandomDocumentsReadBackExactly) {
    std::mt19937_64 rng(20240601);
    for (int i = 0; i < 60; ++i) {
        SCOPED_TRACE(i);
        const AnalysisDocument d = randomDocument(rng);
        const QByteArray bytes = analysisFileBytes(d, kFolder);
        const AnalysisReadResult read = parseAnalysisFile(bytes, kFolder);
        ASSERT_TRUE(read.document) << read.error.toStdString();
        expectSameDocument(d, *read.document);
        EXPECT_EQ(analysisFileBytes(*read.document, kFolder), bytes);
    }
}

TEST(Document, PathsRelativeInsideTheFolderAbsoluteElsewhere) {
    // {photo, stored}: "../" and a folder whose name only begins like the file's stay absolute.
    const std::pair<const char*, const char*> rows[] = {
        {"/data/subject (2)/s(1).bmp", "s(1).bmp"},
        {"/data/subject (2)/前/s(1).bmp", "前/s(1).bmp"},
        {"/data/subject (2)/./a/../s(1).bmp", "s(1).bmp"},
        {"/data/s(1).bmp", "/data/s(1).bmp"},
        {"/data/subject (2)x/s(1).bmp", "/data/subject (2)x/s(1).bmp"},
        {"", ""}};
    for (const auto& [photo, stored] : rows) {
        AnalysisDocument d;
        d.picture = {1, 1, {}};
        d.record.photoPath = photo;
        d.source.placementPath = photo;
        const QJsonObject top = QJsonDocument::fromJson(analysisFileBytes(d, kFolder)).object();
        EXPECT_EQ(top["record"]["photoPath"].toString().toStdString(), stored) << photo;
        EXPECT_EQ(top["source"]["placementPath"].toString().toStdString(), stored) << photo;
        // Moved along with its folder, a relative path follows it.
        const QString moved = QStringLiteral("/mnt/usb/被験者");
        const auto read = parseAnalysisFile(analysisFileBytes(d, kFolder), moved);
        ASSERT_TRUE(read.document);
        const std::string expected = QDir::isAbsolutePath(QString::fromUtf8(stored)) || !*stored
                                         ? QDir::cleanPath(QString::fromUtf8(photo)).toStdString()
                                         : (moved + "/" + QString::fromUtf8(stored)).toStdString();
        EXPECT_EQ(read.document->record.photoPath, *stored ? expected : "");
    }
}

// A small valid file, changed by `change`.
QByteArray changed(const std::function<void(QJsonObject&)>& change) {
    AnalysisDocument d;
    d.record.pointCount = 2;
    d.record.frameCount = 1;
    d.sway.entries.resize(1);
    d.picture = {20, 10, {{1, 2, 3, 0x800000}}};
    QJsonObject top = QJsonDocument::fromJson(analysisFileBytes(d, kFolder)).object();
    change(top);
    return QJsonDocument(top).toJson();
}

// Sets top[part][key] (an array element when `index` >= 0).
std::function<void(QJsonObject&)> set(const char* part, const char* key, QJsonValue value,
                                      int index = -1) {
    return [=](QJsonObject& top) {
        QJsonObject object = top[part].toObject();
        if (index < 0) {
            object[key] = value;
        } else {
            QJsonArray array = object[key].toArray();
            array[index] = value;
            object[key] = array;
        }
        top[part] = object;
    };
}

// Sets key of the first sway entry; Undefined removes it.
std::function<void(QJsonObject&)> withEntry(const char* key, QJsonValue value) {
    return [=](QJsonObject& top) {
        QJsonObject sway = top["sway"].toObject();
        QJsonArray entries = sway["entries"].toArray();
        QJsonObject entry = entries[0].toObject();
        if (value.isUndefined())
            entry.remove(key);
        else
            entry[key] = value;
        entries[0] = entry;
        sway["entries"] = entries;
        top["sway"] = sway;
    };
}

TEST(Reading, KeysOfLaterVersionsAreOptional) {
    // Written before the photos' sequence numbers were kept.
    const auto read =
        parseAnalysisFile(changed(withEntry("sequence", QJsonValue::Undefined)), kFolder);
    ASSERT_TRUE(read.document) << read.error.toStdString();
    EXPECT_EQ(read.document->sway.entries[0].sequence, SwayEntry::kNoSequence);
    // Written before the confirmation of the scale was kept: guessed from mmPerPoint, which a
    // reference press sets to refDistance. {mmPerPoint, refDistance, confirmed}
    const std::tuple<double, double, bool> rows[] = {
        {20, 250, true}, {250, 250, false}, {0, 0, false}, {-4, 250, false}};
    for (const auto& [scale, distance, confirmed] : rows) {
        const auto old = parseAnalysisFile(changed([&](QJsonObject& top) {
                                               set("record", "mmPerPoint", scale)(top);
                                               set("record", "refDistance", distance)(top);
                                               QJsonObject sway = top["sway"].toObject();
                                               sway.remove("scaleConfirmed");
                                               top["sway"] = sway;
                                           }),
                                           kFolder);
        ASSERT_TRUE(old.document) << old.error.toStdString();
        EXPECT_EQ(old.document->sway.scaleConfirmed, confirmed) << scale;
    }
}

TEST(Reading, RefusesWhatDoesNotFit) {
    // {name, content, words the reason must hold}
    const std::tuple<const char*, QByteArray, const char*> rows[] = {
        {"not JSON", "Vestra2007 analysis", "壊れている"},
        {"an array", "[1,2]", "解析ファイルではありません"},
        {"newer format", changed([](QJsonObject& t) { t["format"] = 2; }), "新しい形式（形式 2）"},
        {"format as text", changed([](QJsonObject& t) { t["format"] = "1"; }),
         "解析ファイルではありません"},
        {"format 1.5", changed([](QJsonObject& t) { t["format"] = 1.5; }), "「format」"},
        {"no record", changed([](QJsonObject& t) { t.remove("record"); }),
         "「record」がありません"},
        {"count as text", changed(set("record", "pointCount", "2")), "「record.pointCount」"},
        {"61 points", changed(set("record", "pointCount", 61)), "「record.pointCount」"},
        {"fewer points", changed(set("record", "pointCount", 3)), "「record.pointX」"},
        {"x beyond 16 bits", changed(set("record", "pointX", 32768, 1)), "「record.pointX[1]」"},
        {"fraction", changed(set("record", "pointY", 1.5, 0)), "「record.pointY[0]」"},
        {"902 photos", changed(set("record", "frameCount", 902)), "「record.frameCount」"},
        {"series entry", changed(set("record", "deltaX3", "x", 0)), "「record.deltaX3[0]」"},
        {"beyond float", changed(set("record", "mmPerPoint", 1e39)), "「record.mmPerPoint」"},
        {"path as number", changed(set("record", "photoPath", 5)), "「record.photoPath」"},
        {"name as null", changed(set("record", "landmarkNames", QJsonValue::Null, 6)),
         "「record.landmarkNames[6]」"},
        {"sway entry", changed(set("sway", "entries", 3, 0)), "「sway.entries[0]」"},
        {"sequence -2", changed(withEntry("sequence", -2)), "「sway.entries[0].sequence」"},
        {"confirmed as text", changed(set("sway", "scaleConfirmed", "true")),
         "「sway.scaleConfirmed」"},
        {"903 entries",
         changed(
             set("sway", "entries", QJsonArray::fromVariantList(QVariantList(903, QVariantMap())))),
         "「sway.entries」"},
        {"source kind", changed(set("source", "kind", "tape")), "「source.kind」"},
        {"pts with letters", changed(set("source", "placementPts", "12x")),
         "「source.placementPts」"},
        {"gait mode", changed(set("window", "mode", "gait")), "「window.mode」"},
        {"enabled as text", changed(set("window", "startEnabled", "yes")),
         "「window.startEnabled」"},
        {"too wide", changed(set("picture", "width", 641)), "「picture.width」"},
        {"run past the edge", changed(set("picture", "marks", 20, 2)), "「picture.marks[2]」"},
        {"colour", changed(set("picture", "marks", 0x1000000, 3)), "「picture.marks[3]」"},
    };
    ASSERT_TRUE(parseAnalysisFile(changed([](QJsonObject&) {}), kFolder).document);
    for (const auto& [name, bytes, reason] : rows) {
        const AnalysisReadResult read = parseAnalysisFile(bytes, kFolder);
        EXPECT_FALSE(read.document) << name;
        EXPECT_TRUE(read.error.contains(QString::fromUtf8(reason)))
            << name << ": " << read.error.toStdString();
    }
}

TEST(Reading, EveryCutOffFileIsRefused) {
    const QByteArray whole = changed([](QJsonObject&) {}).trimmed();
    for (qsizetype n = 0; n < whole.size(); ++n)
        ASSERT_FALSE(parseAnalysisFile(whole.left(n), kFolder).document) << n;
}

TEST(Files, WrittenWholeAndReadWithTheirName) {
    QTemporaryDir dir;
    std::mt19937_64 rng(7);
    AnalysisDocument d = randomDocument(rng);
    d.record.photoPath = dir.filePath("s(1).bmp").toStdString();
    const QString path = dir.filePath("解析.vestra");
    ASSERT_TRUE(writeAnalysisFile(path, d).ok);
    const AnalysisReadResult read = readAnalysisFile(path);
    ASSERT_TRUE(read.document) << read.error.toStdString();
    expectSameDocument(d, *read.document);

    // Failures name the file: a folder that does not exist, a cut-off file, a folder.
    const QString nowhere = dir.filePath("missing/a.vestra");
    EXPECT_TRUE(writeAnalysisFile(nowhere, d).error.contains(QDir::toNativeSeparators(nowhere)));
    EXPECT_FALSE(QFile::exists(nowhere));
    ASSERT_TRUE(QFile::resize(path, 100));
    EXPECT_TRUE(readAnalysisFile(path).error.contains(path));
    EXPECT_FALSE(readAnalysisFile(dir.path()).document);
    EXPECT_TRUE(readAnalysisFile(dir.filePath("none.vestra")).error.contains("none.vestra"));
}

TEST(Marks, PaintedOnTheBaseGiveThePictureAgain) {
    std::mt19937 rng(3);
    for (int round = 0; round < 50; ++round) {
        const int width = std::uniform_int_distribution(1, 40)(rng);
        const int height = std::uniform_int_distribution(1, 30)(rng);
        std::vector<uint32_t> base(static_cast<std::size_t>(width * height));
        for (uint32_t& pixel : base)
            pixel = 0xFF000000u | (rng() & 0x030303u); // few colours, so runs form
        std::vector<uint32_t> shown = base;
        for (int n = std::uniform_int_distribution(0, width * height)(rng); n > 0; --n)
            shown[rng() % shown.size()] = 0xFF000000u | (rng() % 4 ? 0x000080u : rng() & 0xFFFFFFu);
        const PictureMarks marks =
            marksBetween({base.data(), width, height, width}, {shown.data(), width, height, width});
        std::size_t differing = 0;
        for (std::size_t i = 0; i < base.size(); ++i)
            differing += base[i] != shown[i];
        std::size_t marked = 0;
        for (const MarkRun& run : marks.runs)
            marked += static_cast<std::size_t>(run.length);
        EXPECT_EQ(marked, differing); // only what changed is kept
        paintMarks(marks, {base.data(), width, height, width});
        ASSERT_EQ(base, shown) << round;
    }
}

} // namespace
