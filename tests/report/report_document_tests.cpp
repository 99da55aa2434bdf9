// SPDX-License-Identifier: GPL-3.0-or-later
// The printed report as a reader meets it: what pdftotext, pdffonts, pdfimages and pdfinfo find
// in the PDF, and the words' boxes, which must stay apart and on the paper whatever the texts.
#include "analysis_state.h"
#include "file_bytes.h"
#include "report_document.h"
#include "report_measures.h"
#include "sway_record.h"

#include <QApplication>
#include <QFileInfo>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

// A poppler tool's standard output; fails the test when it does not run.
QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString()
                      << " failed: " << process.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Seven points swaying on circles and lines over `entries` video frames at 30 per second, 2 mm
// per pixel.
SwayReport swayingReport(int entries, std::uint32_t seed = 7) {
    AnalysisState state;
    state.pointCount = 7;
    state.mmPerPoint = 20.0f;
    state.landmarkNames = {"",
                           "頭頂部",
                           "肩峰 (前額左)",
                           "肩峰 (前額右)",
                           "腸骨棘 (前額左)",
                           "腸骨棘 (前額右)",
                           "膝関節 (前額左)",
                           "膝関節 (前額右)"};
    SwayRecord sway;
    sway.scaleConfirmed = true;
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 0.3);
    sway.entries.resize(std::size_t(entries));
    for (int e = 0; e < entries; ++e) {
        SwayEntry& entry = sway.entries[std::size_t(e)];
        entry.seconds = e / 30.0;
        for (std::size_t k = 1; k <= 7; ++k) {
            entry.x[k] =
                100 + 60 * k + (8 - k) * std::sin(entry.seconds * (0.7 + 0.1 * k)) + noise(rng);
            entry.y[k] = 60 + 50 * k + 0.5 * (8 - k) * std::cos(entry.seconds * 0.9) + noise(rng);
        }
    }
    return makeSwayReport(state, sway);
}

ReportContent fullContent() {
    ReportContent c;
    c.report = swayingReport(300);
    using S = SubjectRecord;
    c.context.subject = S{"山田 太郎",       "A-0042",
                          {1950, 4, 1},      S::Sex::Male,
                          {2024, 3, 31},     "佐藤 花子",
                          S::Stance::Tandem, S::Vision::EyesClosed,
                          S::Surface::Foam,  "転倒歴あり。\n2回目の測定。"};
    c.context.recording = {
        "sample.mp4", true, {{2024, 3, 31}, {10, 15}}, {1920, 1440}, {640, 480}, 1, 500, 250};
    c.context.picture = QImage(640, 480, QImage::Format_RGB32);
    c.context.picture.fill(QColor(90, 110, 130));
    for (const PointTrajectory& p : c.report.points)
        c.context.markers.push_back({p.point, QPointF(100 + 60 * p.point, 60 + 50 * p.point)});
    c.plottedPoints = {1};
    c.version = QStringLiteral("9.8.7");
    c.created = QDateTime(QDate(2024, 4, 1), QTime(9, 0));
    return c;
}

class ReportPdf : public ::testing::Test {
protected:
    QString write(const ReportContent& content, const QString& name = QStringLiteral("r.pdf")) {
        const QString path = mDir.filePath(name);
        const WriteResult written = writeReportPdf(path, content);
        EXPECT_TRUE(written.ok) << written.error.toStdString();
        return path;
    }
    static QString text(const QString& pdf) {
        return run(QStringLiteral("pdftotext"),
                   {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    }
    // The pictures pdfimages lists, one a line, under its heading and rule.
    static QString images(const QString& pdf) {
        const QString list = run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
        return list.split(QLatin1Char('\n')).mid(2).join(QLatin1Char('\n')).trimmed();
    }
    QTemporaryDir mDir;
};

TEST_F(ReportPdf, HoldsTheFieldsTheMeasuresAndThePictureInEmbeddedFonts) {
    const ReportContent content = fullContent();
    const QString pdf = write(content);
    const QString words = text(pdf);
    for (const char* expected :
         {"山田 太郎", "A-0042", "1950/04/01（73歳）", "2024/03/31", "佐藤 花子", "タンデム",
          "閉眼", "フォーム", "転倒歴あり。", "2回目の測定。", "sample.mp4", "2024/03/31 10:15",
          "1920 × 1440 pixel（表示 640 × 480）", "300 コマ", "30.00 コマ/秒", "9.97 s",
          "2 mm/pixel（基準点2点の距離 500 mm を入力、画面上 250.0 pixel）", "Vestra2007 9.8.7",
          "Schubert & Kirchner 2014"})
        EXPECT_TRUE(words.contains(QString::fromUtf8(expected))) << expected;
    // Every measure of every point, at the table's decimals.
    for (const PointTrajectory& p : content.report.points)
        for (const ReportMeasure& m : reportMeasures()) {
            const QString value = measureText(m, content.report, m.value(p));
            EXPECT_TRUE(words.contains(value))
                << p.point << ' ' << m.heading << ' ' << value.toStdString();
        }

    EXPECT_TRUE(run(QStringLiteral("pdfinfo"), {pdf}).contains(QStringLiteral("(A4)")));
    // pdffonts, under its heading and rule: name, type, encoding, emb, sub, uni, object,
    // generation.
    const QStringList fonts =
        run(QStringLiteral("pdffonts"), {pdf}).split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(2);
    static const QRegularExpression embedded(
        QStringLiteral(R"(\syes\s+(yes|no)\s+(yes|no)\s+\d+\s+\d+$)"));
    for (const QString& row : fonts)
        EXPECT_TRUE(row.contains(embedded)) << row.toStdString();
    EXPECT_TRUE(fonts.join(' ').contains(QStringLiteral("IPAPGothic")));
    EXPECT_EQ(images(pdf).count(QRegularExpression(QStringLiteral("\\s640\\s+480\\s"))), 1);
}

// Every word pdftotext finds inside the margins, and no two words of a page on each other.
void expectApartAndOnThePaper(const QString& pdf) {
    const QString html =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    static const QRegularExpression tag(
        QStringLiteral(R"re(<page width="([\d.]+)" height="([\d.]+)">|<word xMin="([\d.]+)" )re"
                       R"re(yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    std::vector<std::tuple<int, QRectF, QString>> words; // page, box in points from its top left
    int page = 0;
    QRectF inside;
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const auto at = [&](int i) { return m.captured(i).toDouble(); };
        if (!m.captured(1).isEmpty()) {
            inside = QRectF(QPointF(28, 28), QPointF(at(1) - 28, at(2) - 20));
            ++page;
            continue;
        }
        words.emplace_back(page, QRectF(QPointF(at(3), at(4)), QPointF(at(5), at(6))),
                           m.captured(7));
        EXPECT_TRUE(inside.contains(std::get<1>(words.back()))) << m.captured(7).toStdString();
    }
    ASSERT_GT(words.size(), 50u);
    int overlaps = 0;
    for (std::size_t i = 0; i < words.size(); ++i)
        for (std::size_t j = i + 1; j < words.size(); ++j) {
            const auto& [page1, box1, text1] = words[i];
            const auto& [page2, box2, text2] = words[j];
            // Boxes run from the font's ascent to its descent: lines may touch by a point.
            const QRectF both = box1.intersected(box2);
            if (page1 == page2 && both.width() > 0.5 && both.height() > 1.0 && overlaps++ < 10)
                ADD_FAILURE() << text1.toStdString() << " on " << text2.toStdString();
        }
}

TEST_F(ReportPdf, NothingOverlapsOrLeavesThePaperWhateverTheTexts) {
    ReportContent content = fullContent();
    SubjectRecord& s = *content.context.subject;
    // Names that never end, without a blank to break at; characters code page 932 lacks.
    s.name = std::string(120, 'W');
    for (int i = 0; i < 60; ++i)
        s.name += "長";
    s.name += " Müller José ♥";
    s.id = std::string(200, '9');
    s.examiner = "Müller José ♥ Ørsted " + std::string(150, 'x');
    s.memo.clear();
    for (int i = 0; i < 400; ++i)
        s.memo += "転倒歴あり、めまい (Schwindel) ";
    s.memo += "\n\n\n最終行";
    content.report.names[3] = std::string(80, 'N');
    content.context.recording.fileName = QString(150, QLatin1Char('f')) + QStringLiteral(".mp4");
    content.plottedPoints = {1, 2, 3, 4, 5, 6, 7};
    const QString pdf = write(content);
    expectApartAndOnThePaper(pdf);
    const QString text = ReportPdf::text(pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("Müller José ♥")));
    EXPECT_TRUE(text.contains(QStringLiteral("…"))); // what did not fit is marked
    EXPECT_FALSE(text.contains(QStringLiteral("最終行")));
    EXPECT_TRUE(text.contains(QStringLiteral("点3 NNNNNNNNNN"))); // a heading keeps its start
}

TEST_F(ReportPdf, WithoutItsPictureTheReportSaysSo) {
    ReportContent content = fullContent();
    content.context.picture = QImage();
    content.context.pictureProblem = QStringLiteral("動画 /data/閉眼.mp4 が見つかりません。");
    content.context.subject.reset();
    const QString pdf = write(content);
    const QString text = ReportPdf::text(pdf);
    for (const char* expected :
         {"画像を読み込めないため", "動画 /data/閉眼.mp4 が見つかりません。", "未記入です"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;
    EXPECT_EQ(images(pdf), QString()) << images(pdf).toStdString();
    // A folder that is not there: a clear reason, and no file.
    const QString nowhere = mDir.filePath(QStringLiteral("なし/r.pdf"));
    const WriteResult refused = writeReportPdf(nowhere, content);
    EXPECT_TRUE(!refused.ok && refused.error.contains(QStringLiteral("r.pdf")));
    EXPECT_FALSE(QFileInfo::exists(nowhere));
}

TEST_F(ReportPdf, PagesAreNumberedAndThePrinterGetsTheSameReport) {
    ReportContent content = fullContent();
    content.plottedPoints = {7, 3, 1};
    content.trial =
        ComparisonTrial{swayingReport(200, 99), std::nullopt, QStringLiteral("/data/閉眼.vestra")};
    const QString pdf = write(content);
    // The measures (their table in two parts), three plots, the comparison; each page numbered.
    const QString text = ReportPdf::text(pdf);
    const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    ASSERT_EQ(pages.size(), 4);
    for (int page = 1; page <= 4; ++page)
        EXPECT_TRUE(pages[page - 1].contains(
            QRegularExpression(QStringLiteral("\\b%1\\s*/\\s*4\\b").arg(page))))
            << page;

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString printed = mDir.filePath(QStringLiteral("printed.pdf"));
    printer.setOutputFileName(printed);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, {}));
    QString error;
    ASSERT_TRUE(printReport(printer, content, &error)) << error.toStdString();
    // The same words in the same order; only the spacing that -layout guesses may differ.
    const auto plain = [](const QString& file) {
        return run(QStringLiteral("pdftotext"), {file, QStringLiteral("-")});
    };
    EXPECT_EQ(plain(printed), plain(pdf));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
