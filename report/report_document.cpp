// SPDX-License-Identifier: GPL-3.0-or-later
#include "report_document.h"

#include "report_measures.h"
#include "subject_texts.h"
#include "sway_charts.h"

#include <QBuffer>
#include <QChart>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QLegend>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QPrinter>
#include <QTextLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

constexpr double kSide = 15.0;   // left and right margin, mm
constexpr double kTop = 12.0;    // top margin
constexpr double kBottom = 10.0; // bottom margin under the footer
constexpr double kSectionGap = 4.0;
constexpr double kChartUnit = 0.2; // mm per scene unit of a printed chart

const QColor kText(0, 0, 0);
const QColor kLabel(85, 85, 85);
const QColor kRule(110, 110, 110);
const QColor kGrid(175, 175, 175);
const QColor kHeaderFill(232, 232, 232);
const QColor kEmphasisFill(255, 232, 140);
const QColor kMarkerRing(255, 215, 0);

QFont reportFont(double points, bool bold = false) {
    // IPA P Gothic has every kana and kanji of the program's texts; the PDF embeds it.
    QFont font(QStringList{QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")});
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QString pointName(const SwayReport& report, int point) {
    if (point < 1 || point >= static_cast<int>(report.names.size()))
        return {};
    return QString::fromStdString(report.names[static_cast<std::size_t>(point)]);
}

// ---- the page: millimetres in, device units out

class Sheet {
    static constexpr int kReferenceDpi = 600;
    // Reference dots per millimetre, as the reference picture rounds its resolution.
    static double referenceUnit() { return metrics(QFont()).fontDpi() / 25.4; }

public:
    Sheet(QPainter& painter, QPagedPaintDevice& device) : mPainter(painter), mDevice(device) {
        mUnitX = device.logicalDpiX() / 25.4;
        mUnitY = device.logicalDpiY() / 25.4;
        const QRectF paper = device.pageLayout().fullRect(QPageLayout::Millimeter);
        mWidth = paper.width() > 50 ? paper.width() : 210.0;
        mHeight = paper.height() > 50 ? paper.height() : 297.0;
    }

    [[nodiscard]] QPainter& painter() { return mPainter; }
    [[nodiscard]] QPagedPaintDevice& device() { return mDevice; }
    [[nodiscard]] double width() const { return mWidth; }
    [[nodiscard]] double height() const { return mHeight; }
    [[nodiscard]] double left() const { return kSide; }
    [[nodiscard]] double contentWidth() const { return mWidth - 2 * kSide; }
    [[nodiscard]] QRectF toDevice(const QRectF& mm) const {
        return {mm.x() * mUnitX, mm.y() * mUnitY, mm.width() * mUnitX, mm.height() * mUnitY};
    }
    [[nodiscard]] QPointF toDevice(QPointF mm) const { return {mm.x() * mUnitX, mm.y() * mUnitY}; }

    // Text is measured at one resolution whatever the device, so that a printer lays out the
    // pages exactly as the PDF writer does: the same line breaks, the same table parts.
    [[nodiscard]] static const QImage& reference() {
        static const QImage image = [] {
            QImage picture(1, 1, QImage::Format_RGB32);
            picture.setDotsPerMeterX(kReferenceDpi * 10000 / 254);
            picture.setDotsPerMeterY(kReferenceDpi * 10000 / 254);
            return picture;
        }();
        return image;
    }
    [[nodiscard]] static QFontMetricsF metrics(const QFont& font) {
        return QFontMetricsF(font, &reference());
    }
    [[nodiscard]] QFontMetricsF deviceMetrics(const QFont& font) {
        return QFontMetricsF(font, &mDevice);
    }
    [[nodiscard]] double lineHeight(const QFont& font) {
        return metrics(font).lineSpacing() / referenceUnit();
    }
    [[nodiscard]] double textWidth(const QString& text, const QFont& font) {
        return metrics(font).horizontalAdvance(text) / referenceUnit();
    }

    // `text` broken into lines no wider than `width` mm, at word boundaries where it can and
    // anywhere where it must, with a new paragraph at each line feed. At most `maxLines`; when
    // text is left out the last line ends in "…".
    QStringList lines(const QString& text, const QFont& font, double width, int maxLines) {
        QStringList out;
        const double limit = std::max(1.0, width * referenceUnit());
        QString plain = text;
        plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        plain.replace(QLatin1Char('\t'), QLatin1Char(' '));
        if (maxLines == 1) { // a single line keeps its start and as much as fits
            plain.replace(QLatin1Char('\n'), QLatin1Char(' '));
            return {metrics(font).elidedText(plain, Qt::ElideRight, limit)};
        }
        bool cut = false;
        for (const QString& paragraph : plain.split(QLatin1Char('\n'))) {
            if (out.size() > maxLines) {
                cut = true;
                break;
            }
            if (paragraph.isEmpty()) {
                out << QString();
                continue;
            }
            QTextLayout layout(paragraph, font, const_cast<QImage*>(&reference()));
            QTextOption option;
            option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            layout.setTextOption(option);
            layout.beginLayout();
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                line.setLineWidth(limit);
                out << paragraph.mid(line.textStart(), line.textLength());
                if (out.size() > maxLines)
                    break;
            }
            layout.endLayout();
        }
        if (out.size() > maxLines) {
            cut = true;
            out = out.mid(0, maxLines);
        }
        if (cut && !out.isEmpty()) {
            const QFontMetricsF fm = metrics(font);
            QString last = out.back();
            const QString ellipsis = QStringLiteral("…");
            while (!last.isEmpty() && fm.horizontalAdvance(last + ellipsis) > limit)
                last.chop(1);
            out.back() = last + ellipsis;
        }
        return out;
    }

    // Lines from `at` downward (mm); each line inside `width`, aligned left or right.
    void drawLines(const QStringList& lines, const QFont& font, QPointF at, double width,
                   Qt::Alignment align = Qt::AlignLeft, const QColor& colour = kText) {
        mPainter.setFont(font);
        mPainter.setPen(colour);
        const QFontMetricsF fm = deviceMetrics(font);
        double y = at.y() * mUnitY + fm.ascent();
        for (QString line : lines) {
            while (line.endsWith(QLatin1Char(' ')))
                line.chop(1);
            double x = at.x() * mUnitX;
            const double advance = fm.horizontalAdvance(line);
            if (align & Qt::AlignRight)
                x += width * mUnitX - advance;
            else if (align & Qt::AlignHCenter)
                x += (width * mUnitX - advance) / 2;
            mPainter.drawText(QPointF(x, y), line);
            y += fm.lineSpacing();
        }
    }

    void line(QPointF from, QPointF to, const QColor& colour, double widthMm) {
        mPainter.setPen(QPen(colour, widthMm * mUnitX, Qt::SolidLine, Qt::FlatCap));
        mPainter.drawLine(toDevice(from), toDevice(to));
    }
    void fill(const QRectF& mm, const QColor& colour) { mPainter.fillRect(toDevice(mm), colour); }
    void frame(const QRectF& mm, const QColor& colour, double widthMm) {
        mPainter.setPen(QPen(colour, widthMm * mUnitX));
        mPainter.setBrush(Qt::NoBrush);
        mPainter.drawRect(toDevice(mm));
    }

private:
    QPainter& mPainter;
    QPagedPaintDevice& mDevice;
    double mUnitX = 1;
    double mUnitY = 1;
    double mWidth = 210;
    double mHeight = 297;
};

// ---- blocks laid out on pages

struct Block {
    double height = 0; // mm, the gap after it included
    std::function<void(Sheet&, double top)> paint;
    int header = -1;           // a block repeated first when this one opens a page
    bool keepWithNext = false; // a heading stays with what it heads
};

struct Placement {
    int block;
    double top;
};

// ---- printed charts

int scenePixels(double points) {
    return std::max(1, static_cast<int>(std::lround(points * 25.4 / 72.0 / kChartUnit)));
}

// Fonts at fixed sizes in the scene's units: the screen's resolution must not change the paper.
void styleForPrint(QChart* chart) {
    QFont font = reportFont(7);
    font.setPixelSize(scenePixels(7));
    QFont small = font;
    small.setPixelSize(scenePixels(6.5));
    QFont title = font;
    title.setPixelSize(scenePixels(8));
    title.setBold(true);
    chart->setTitleFont(title);
    chart->legend()->setFont(small);
    for (QAbstractAxis* axis : chart->axes()) {
        axis->setLabelsFont(small);
        axis->setTitleFont(font);
    }
    chart->setBackgroundRoundness(0);
    chart->setBackgroundPen(Qt::NoPen);
}

// Renders `chart` (taken over) into `mm`; with axes given, both keep one unit the same length.
void renderChart(Sheet& sheet, QChart* chart, const QRectF& mm, QValueAxis* x = nullptr,
                 QValueAxis* y = nullptr, QRectF bounds = {}) {
    QGraphicsScene scene;
    scene.addItem(chart);
    styleForPrint(chart);
    const QSizeF size(mm.width() / kChartUnit, mm.height() / kChartUnit);
    chart->resize(size);
    chart->layout()->activate();
    if (x && y) {
        QRectF fitted;
        // The tick labels change the plot area's width; fit again until it settles.
        for (int pass = 0; pass < 4 && chart->plotArea() != fitted; ++pass) {
            fitted = chart->plotArea();
            if (fitted.width() < 10 || fitted.height() < 10)
                break;
            const double tick = 15.0 / kChartUnit; // a labelled tick about every 15 mm
            fitEqualScale(x, y, bounds, fitted.size(), tick, tick);
            chart->layout()->activate();
        }
    }
    QPainter& painter = sheet.painter();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    scene.render(&painter, sheet.toDevice(mm), QRectF(QPointF(0, 0), size));
    painter.restore();
}

// ---- tables

struct TableColumn {
    QString heading;  // lines split at "\n"
    bool key = false; // repeated in every part of a table too wide for the page
    bool left = false;
    double maxWidth = 0; // mm; 0 for no limit
};
struct TableCell {
    QString text;
    bool emphasis = false;
};
struct TableRow {
    std::vector<TableCell> cells;
    bool startsGroup = false; // a stronger line above it
};

class ReportBuilder {
public:
    ReportBuilder(Sheet& sheet, const ReportContent& content) : mSheet(sheet), mContent(content) {}

    std::vector<Block> build() {
        title();
        subject();
        recording();
        picture();
        measures();
        plots();
        comparison();
        return std::move(mBlocks);
    }

private:
    const SwayReport& report() const { return mContent.report; }
    double width() const { return mSheet.contentWidth(); }
    double left() const { return mSheet.left(); }

    int add(Block block) {
        mBlocks.push_back(std::move(block));
        return static_cast<int>(mBlocks.size()) - 1;
    }

    void title() {
        const QFont big = reportFont(15, true);
        const QFont small = reportFont(7.5);
        const QString right =
            QStringLiteral("Vestra2007 %1　作成 %2")
                .arg(mContent.version,
                     mContent.created.toString(QStringLiteral("yyyy/MM/dd HH:mm")));
        const double h = mSheet.lineHeight(big);
        add({h + 3.0, [=, this](Sheet& s, double top) {
                 s.drawLines({QStringLiteral("動揺解析レポート")}, big, {left(), top}, width());
                 s.drawLines({right}, small, {left(), top + h - s.lineHeight(small)}, width(),
                             Qt::AlignRight, kLabel);
                 s.line({left(), top + h + 1}, {left() + width(), top + h + 1}, kRule, 0.4);
             }});
    }

    void heading(const QString& text) {
        const QFont font = reportFont(9.5, true);
        const double h = mSheet.lineHeight(font);
        const QStringList line = mSheet.lines(text, font, width(), 1);
        Block b{h + 1.5, [=, this](Sheet& s, double top) {
                    s.drawLines(line, font, {left(), top}, width());
                    s.line({left(), top + h + 0.3}, {left() + width(), top + h + 0.3}, kGrid, 0.2);
                }};
        b.keepWithNext = true;
        add(std::move(b));
    }

    void note(const QString& text, const QColor& colour = kLabel, int maxLines = 6) {
        const QFont font = reportFont(8);
        const QStringList lines = mSheet.lines(text, font, width(), maxLines);
        const double h = lines.size() * mSheet.lineHeight(font);
        add({h + 1.5, [=, this](Sheet& s, double top) {
                 s.drawLines(lines, font, {left(), top}, width(), Qt::AlignLeft, colour);
             }});
    }

    struct Field {
        QString label;
        QString value;
        int maxLines = 1;
        int span = 1;
    };

    // Rows of label-value pairs in `columns` equal columns; a value wraps inside its own cell
    // and never reaches its neighbour.
    void fields(const std::vector<std::vector<Field>>& rows, int columns) {
        const QFont labelFont = reportFont(7.5);
        const QFont valueFont = reportFont(8.5);
        const double columnWidth = width() / columns;
        double labelWidth = 0;
        for (const auto& row : rows)
            for (const Field& f : row)
                if (f.span == 1)
                    labelWidth = std::max(labelWidth, mSheet.textWidth(f.label, labelFont));
        labelWidth = std::min(labelWidth + 2.0, columnWidth * 0.45);
        for (const auto& row : rows) {
            struct Laid {
                QString label;
                QStringList lines;
                double x;
                double valueWidth;
            };
            std::vector<Laid> laid;
            double x = left();
            double height = 0;
            for (const Field& f : row) {
                const double cell = columnWidth * f.span;
                const double valueWidth = cell - labelWidth - 2.0;
                const QString value = f.value.isEmpty() ? QStringLiteral("—") : f.value;
                QStringList lines = mSheet.lines(value, valueFont, valueWidth, f.maxLines);
                height = std::max(height, lines.size() * mSheet.lineHeight(valueFont));
                laid.push_back({f.label, std::move(lines), x, valueWidth});
                x += cell;
            }
            add({height + 1.2, [=, this](Sheet& s, double top) {
                     const double shift = (s.lineHeight(valueFont) - s.lineHeight(labelFont)) * 0.6;
                     for (const Laid& l : laid) {
                         s.drawLines({l.label}, labelFont, {l.x, top + shift}, labelWidth,
                                     Qt::AlignLeft, kLabel);
                         s.drawLines(l.lines, valueFont, {l.x + labelWidth, top}, l.valueWidth);
                     }
                 }});
        }
    }

    void subject() {
        heading(QStringLiteral("被検者と検査条件"));
        const auto& subject = mContent.context.subject;
        if (!subject) {
            note(QStringLiteral("未記入です（解析結果 → 被検者と検査条件... で入力できます）。"));
            spacer();
            return;
        }
        const SubjectRecord& s = *subject;
        QString birth = dateText(s.birthDate);
        if (const auto age = ageInYears(s.birthDate, s.testDate))
            birth += QStringLiteral("（%1歳）").arg(*age);
        const auto text = [](const std::string& t) { return QString::fromStdString(t); };
        fields({{{QStringLiteral("氏名"), text(s.name), 3},
                 {QStringLiteral("ID"), text(s.id), 2},
                 {QStringLiteral("性別"), sexText(s.sex)}},
                {{QStringLiteral("生年月日"), birth},
                 {QStringLiteral("検査日"), dateText(s.testDate)},
                 {QStringLiteral("検者"), text(s.examiner), 2}},
                {{QStringLiteral("立位条件"), stanceText(s.stance)},
                 {QStringLiteral("視覚条件"), visionText(s.vision)},
                 {QStringLiteral("床面"), surfaceText(s.surface)}},
                {{QStringLiteral("メモ"), text(s.memo), 8, 3}}},
               3);
        spacer();
    }

    void recording() {
        heading(QStringLiteral("記録"));
        const ReportRecording& r = mContent.context.recording;
        const SwayReport& rep = report();
        double first = NAN, last = NAN;
        for (const double t : rep.times)
            if (std::isfinite(t)) {
                first = std::isfinite(first) ? std::min(first, t) : t;
                last = std::isfinite(last) ? std::max(last, t) : t;
            }
        const double duration = last - first;
        const bool timed = std::isfinite(duration) && duration > 0;
        const QString size = r.sourceSize.isValid() && !r.sourceSize.isEmpty()
                                 ? QStringLiteral("%1 × %2 pixel")
                                       .arg(r.sourceSize.width())
                                       .arg(r.sourceSize.height())
                                 : QString();
        const QString shown =
            r.displaySize.isValid() && !r.displaySize.isEmpty() && r.displaySize != r.sourceSize
                ? QStringLiteral("（表示 %1 × %2）")
                      .arg(r.displaySize.width())
                      .arg(r.displaySize.height())
                : QString();
        QString frames = r.video ? QStringLiteral("%1 コマ").arg(rep.entryCount)
                                 : QStringLiteral("%1 枚").arg(rep.entryCount);
        if (r.video && r.frameStep > 1)
            frames += QStringLiteral("（動画の %1 コマごと）").arg(r.frameStep);
        Field rate;
        if (r.video) {
            rate = {QStringLiteral("コマ速度"),
                    timed ? QStringLiteral("%1 コマ/秒")
                                .arg(fixedText((rep.entryCount - 1) / duration, 2))
                          : QString()};
        } else {
            const double interval =
                timed && rep.entryCount > 1 && rep.timing == SwayTiming::PhotoInterval
                    ? rep.points.empty() ? NAN : rep.points.front().interval
                    : NAN;
            rate = {QStringLiteral("写真の間隔"),
                    std::isfinite(interval)
                        ? QStringLiteral("%1 s").arg(QString::fromStdString(fileNumber(interval)))
                        : QStringLiteral("未入力")};
        }
        QString scale;
        if (rep.units.millimetres) {
            scale = QStringLiteral("%1 mm/pixel")
                        .arg(QString::fromStdString(fileNumber(rep.units.perPixel)));
            if (std::isfinite(r.typedMillimetres) && std::isfinite(r.referencePixels))
                scale += QStringLiteral("（基準点2点の距離 %1 mm を入力、画面上 %2 pixel）")
                             .arg(QString::fromStdString(fileNumber(r.typedMillimetres)),
                                  fixedText(r.referencePixels, 1));
        } else {
            scale = QStringLiteral("未確定（距離の基準が確定していないため測定値は pixel）");
        }
        fields({{{QStringLiteral("ファイル"), r.fileName, 2},
                 {QStringLiteral("撮影日時"),
                  r.recorded.isValid()
                      ? r.recorded.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm"))
                      : QString()}},
                {{QStringLiteral("元の画像"), size + shown},
                 {QStringLiteral("長さ"), timed ? QStringLiteral("%1 s").arg(fixedText(duration, 2))
                                                : QStringLiteral("不明（時間が未入力）")}},
                {{r.video ? QStringLiteral("コマ数") : QStringLiteral("写真の数"), frames}, rate},
                {{QStringLiteral("縮尺"), scale, 2, 2}}},
               2);
        spacer();
    }

    void spacer(double mm = kSectionGap) {
        add({mm, [](Sheet&, double) {}});
    }

    void picture() {
        heading(QStringLiteral("点の配置（最初の画像）"));
        const ReportContext& c = mContent.context;
        if (c.picture.isNull()) {
            QString text = QStringLiteral("画像を読み込めないため、点の配置図は載せていません。");
            if (!c.pictureProblem.isEmpty())
                text += QLatin1Char('\n') + c.pictureProblem;
            note(text, kText);
            spacer();
            return;
        }
        // The picture large enough that markers and numbers stay apart; the names beside it.
        const QSizeF pixels = c.picture.size();
        double w = std::min(112.0, width() * 0.62);
        double h = w * pixels.height() / pixels.width();
        if (h > 84.0) {
            w *= 84.0 / h;
            h = 84.0;
        }
        const QFont legendFont = reportFont(8);
        const double legendX = w + 5.0;
        const double legendWidth = width() - legendX;
        struct Entry {
            int point;
            QStringList lines;
        };
        std::vector<Entry> legend;
        double legendHeight = 0;
        for (const ReportMarker& m : c.markers) {
            QStringList lines =
                mSheet.lines(pointName(report(), m.point), legendFont, legendWidth - 7.0, 2);
            legendHeight += lines.size() * mSheet.lineHeight(legendFont) + 1.0;
            legend.push_back({m.point, std::move(lines)});
        }
        const double height = std::max(h, legendHeight);
        add({height + kSectionGap, [=, this](Sheet& s, double top) {
                 const QRectF area(left(), top, w, h);
                 QPainter& p = s.painter();
                 p.drawImage(s.toDevice(area), c.picture);
                 s.frame(area, kRule, 0.2);
                 p.save();
                 p.setClipRect(s.toDevice(area));
                 p.setRenderHint(QPainter::Antialiasing);
                 const double perPixel = w / pixels.width();
                 const QFont numberFont = reportFont(7, true);
                 for (const ReportMarker& m : c.markers) {
                     const QPointF at(left() + (m.position.x() + 0.5) * perPixel,
                                      top + (m.position.y() + 0.5) * perPixel);
                     drawMarker(s, at, m.point, numberFont);
                 }
                 p.restore();
                 double y = top;
                 for (const Entry& e : legend) {
                     drawTag(s, QRectF(left() + legendX, y, 5.0, s.lineHeight(legendFont)), e.point,
                             numberFont);
                     s.drawLines(e.lines, legendFont, {left() + legendX + 7.0, y}, legendWidth - 7);
                     y += e.lines.size() * s.lineHeight(legendFont) + 1.0;
                 }
             }});
    }

    // A ring around the point and its number on a white tag beside it.
    static void drawMarker(Sheet& s, QPointF at, int point, const QFont& font) {
        QPainter& p = s.painter();
        const QPointF c = s.toDevice(at);
        const double r = s.toDevice(QRectF(0, 0, 1.6, 0)).width();
        const double thin = s.toDevice(QRectF(0, 0, 0.25, 0)).width();
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Qt::black, thin * 2.6));
        p.drawEllipse(c, r, r);
        p.setPen(QPen(kMarkerRing, thin * 1.4));
        p.drawEllipse(c, r, r);
        const double th = s.lineHeight(font);
        const double tw = s.textWidth(QString::number(point), font) + 1.0;
        drawTag(s, QRectF(at.x() + 1.8, at.y() - 1.8 - th, tw, th), point, font);
    }

    // The point's number in black on white in a thin frame.
    static void drawTag(Sheet& s, const QRectF& tag, int point, const QFont& font) {
        QPainter& p = s.painter();
        p.setPen(QPen(Qt::black, s.toDevice(QRectF(0, 0, 0.25, 0)).width()));
        p.setBrush(Qt::white);
        p.drawRect(s.toDevice(tag));
        p.setBrush(Qt::NoBrush);
        s.drawLines({QString::number(point)}, font, tag.topLeft(), tag.width(), Qt::AlignHCenter);
    }

    // A table laid out in parts as wide as the page; key columns start every part.
    void table(const std::vector<TableColumn>& columns, const std::vector<TableRow>& rows) {
        const QFont font = reportFont(7);
        const QFont bold = reportFont(7, true);
        const QFont headFont = reportFont(6.5, true);
        constexpr double kPad = 1.2;
        std::vector<double> natural(columns.size(), 0);
        int headLines = 1;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const QStringList head = columns[c].heading.split(QLatin1Char('\n'));
            headLines = std::max(headLines, static_cast<int>(head.size()));
            for (const QString& line : head)
                natural[c] = std::max(natural[c], mSheet.textWidth(line, headFont));
            for (const TableRow& row : rows)
                if (c < row.cells.size())
                    natural[c] = std::max(natural[c], mSheet.textWidth(row.cells[c].text, bold));
            natural[c] += 2 * kPad + 0.6; // slack for rounding at the device's resolution
            if (columns[c].maxWidth > 0)
                natural[c] = std::min(natural[c], columns[c].maxWidth);
        }
        std::vector<std::size_t> keys;
        double keyWidth = 0;
        for (std::size_t c = 0; c < columns.size(); ++c)
            if (columns[c].key) {
                keys.push_back(c);
                keyWidth += natural[c];
            }
        // Parts: the key columns and as many others as fit.
        std::vector<std::vector<std::size_t>> parts;
        std::vector<std::size_t> part = keys;
        double used = keyWidth;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (columns[c].key)
                continue;
            if (used + natural[c] > width() && part.size() > keys.size()) {
                parts.push_back(part);
                part = keys;
                used = keyWidth;
            }
            part.push_back(c);
            used += natural[c];
        }
        parts.push_back(part);

        const double rowHeight = mSheet.lineHeight(font) + 1.0;
        const double headHeight = headLines * mSheet.lineHeight(headFont) + 1.4;
        for (std::size_t pi = 0; pi < parts.size(); ++pi) {
            const std::vector<std::size_t> cols = parts[pi];
            double total = 0;
            for (const std::size_t c : cols)
                total += natural[c];
            // The spare width goes to the measure columns; the keys keep theirs.
            double spare = std::max(0.0, width() - total);
            const double others = static_cast<double>(cols.size() - keys.size());
            std::vector<double> widths;
            std::vector<double> xs;
            double x = left();
            for (const std::size_t c : cols) {
                const double w = natural[c] + (columns[c].key || others == 0 ? 0 : spare / others);
                xs.push_back(x);
                widths.push_back(w);
                x += w;
            }
            const double right = x;
            Block head{
                headHeight, [=, this](Sheet& s, double top) {
                    s.fill(QRectF(left(), top, right - left(), headHeight), kHeaderFill);
                    for (std::size_t i = 0; i < cols.size(); ++i) {
                        const QStringList lines = columns[cols[i]].heading.split(QLatin1Char('\n'));
                        const double lh = s.lineHeight(headFont);
                        const double y = top + (headHeight - lines.size() * lh) / 2;
                        s.drawLines(lines, headFont, {xs[i] + kPad, y}, widths[i] - 2 * kPad,
                                    Qt::AlignHCenter);
                    }
                    s.line({left(), top}, {right, top}, kRule, 0.3);
                    s.line({left(), top + headHeight}, {right, top + headHeight}, kRule, 0.3);
                }};
            head.keepWithNext = true;
            const int headIndex = add(std::move(head));
            for (std::size_t r = 0; r < rows.size(); ++r) {
                const TableRow row = rows[r];
                const bool lastRow = r + 1 == rows.size();
                Block b{rowHeight + (lastRow ? 3.0 : 0.0), [=, this](Sheet& s, double top) {
                            for (std::size_t i = 0; i < cols.size(); ++i) {
                                const std::size_t c = cols[i];
                                if (c >= row.cells.size())
                                    continue;
                                const TableCell& cell = row.cells[c];
                                const QRectF box(xs[i], top, widths[i], rowHeight);
                                if (cell.emphasis)
                                    s.fill(box, kEmphasisFill);
                                const QStringList text =
                                    s.lines(cell.text, cell.emphasis ? bold : font,
                                            widths[i] - 2 * kPad, 1);
                                s.drawLines(text, cell.emphasis ? bold : font,
                                            {xs[i] + kPad, top + 0.5}, widths[i] - 2 * kPad,
                                            columns[c].left ? Qt::AlignLeft : Qt::AlignRight);
                            }
                            if (row.startsGroup)
                                s.line({left(), top}, {right, top}, kRule, 0.25);
                            s.line({left(), top + rowHeight}, {right, top + rowHeight},
                                   lastRow ? kRule : kGrid, lastRow ? 0.3 : 0.1);
                        }};
                b.header = headIndex;
                add(std::move(b));
            }
        }
    }

    std::vector<TableColumn> measureColumns(const SwayReport& rep) const {
        std::vector<TableColumn> columns;
        for (const ReportMeasure& m : reportMeasures())
            columns.push_back(
                {QStringLiteral("%1\n[%2]").arg(QString::fromUtf8(m.heading), measureUnit(m, rep)),
                 false, false, 0});
        return columns;
    }

    void measures() {
        const SwayReport& rep = report();
        heading(QStringLiteral("測定値（単位 %1）").arg(QLatin1String(unitName(rep))));
        if (rep.points.empty()) {
            note(QStringLiteral("点の軌跡がありません。"));
            return;
        }
        std::vector<TableColumn> columns = {{QStringLiteral("点"), true, false, 0},
                                            {QStringLiteral("部位"), true, true, 34},
                                            {QStringLiteral("n"), false, false, 0},
                                            {QStringLiteral("Δt\n[s]"), false, false, 0}};
        for (TableColumn& c : measureColumns(rep))
            columns.push_back(std::move(c));
        std::vector<TableRow> rows;
        for (const PointTrajectory& p : rep.points) {
            TableRow row;
            row.cells = {{QString::number(p.point)},
                         {pointName(rep, p.point)},
                         {QString::number(p.positions.size())},
                         {std::isfinite(p.interval) ? QString::fromStdString(fileNumber(p.interval))
                                                    : QStringLiteral("—")}};
            for (const ReportMeasure& m : reportMeasures())
                row.cells.push_back({measureText(m, rep, m.value(p))});
            rows.push_back(std::move(row));
        }
        table(columns, rows);
        spacer(1.0);
    }

    void plots() {
        const SwayReport& rep = report();
        for (const int point : mContent.plottedPoints) {
            int index = -1;
            for (std::size_t i = 0; i < rep.points.size(); ++i)
                if (rep.points[i].point == point)
                    index = static_cast<int>(i);
            if (index < 0)
                continue;
            heading(QStringLiteral("点%1 %2 の動揺（単位 %3）")
                        .arg(point)
                        .arg(pointName(rep, point), QLatin1String(unitName(rep))));
            const double pathSide = std::min(92.0, width() * 0.5);
            const double seriesWidth = width() - pathSide - 3.0;
            const double seriesHeight = (pathSide - 2.0) / 2;
            add({pathSide + kSectionGap, [=, this](Sheet& s, double top) {
                     QValueAxis* x = nullptr;
                     QValueAxis* y = nullptr;
                     QRectF bounds;
                     const SwayReport& model = report();
                     QChart* path = makePathChart(model, index, &x, &y, &bounds);
                     path->legend()->setAlignment(Qt::AlignBottom);
                     renderChart(s, path, QRectF(left(), top, pathSide, pathSide), x, y, bounds);
                     const double sx = left() + pathSide + 3.0;
                     renderChart(s, makeSeriesChart(model, index, true),
                                 QRectF(sx, top, seriesWidth, seriesHeight));
                     renderChart(s, makeSeriesChart(model, index, false),
                                 QRectF(sx, top + seriesHeight + 2.0, seriesWidth, seriesHeight));
                 }});
        }
    }

    void comparison() {
        if (!mContent.trial)
            return;
        const SwayReport& rep = report();
        const ComparisonTrial& trial = *mContent.trial;
        heading(QStringLiteral("試行の比較（比 = 試行2 ÷ 試行1）"));
        const QString firstName = mContent.context.recording.fileName;
        note(QStringLiteral(
                 "%1: この解析（%2）\n%3: %4\n網掛けはロンベルグ比（楕円面積と軌跡長の比）。")
                 .arg(trialLabel(1, mContent.context.subject), firstName,
                      trialLabel(2, trial.subject), QFileInfo(trial.path).fileName()),
             kText);
        const ComparisonResult result = compareTrials(rep, trial.report);
        if (!result.comparison) {
            note(result.refusal, kText);
            return;
        }
        std::vector<TableColumn> columns = {{QStringLiteral("点"), true, false, 0},
                                            {QStringLiteral("部位"), true, true, 30},
                                            {QStringLiteral("試行"), true, true, 0},
                                            {QStringLiteral("n"), false, false, 0}};
        for (TableColumn& c : measureColumns(rep))
            columns.push_back(std::move(c));
        const auto measures = reportMeasures();
        std::vector<TableRow> rows;
        for (const ComparedPoint& p : result.comparison->points) {
            const auto values = [&](const std::vector<double>& v) {
                std::vector<TableCell> cells;
                for (std::size_t m = 0; m < measures.size(); ++m)
                    cells.push_back({measureText(measures[m], rep, v[m])});
                return cells;
            };
            TableRow first{{{QString::number(p.point)},
                            {QString::fromStdString(p.name)},
                            {QStringLiteral("試行1")},
                            {QString::number(p.n1)}},
                           true};
            TableRow second{{{}, {}, {QStringLiteral("試行2")}, {QString::number(p.n2)}}};
            TableRow ratio{{{}, {}, {QStringLiteral("比")}, {}}};
            for (TableCell& c : values(p.first))
                first.cells.push_back(c);
            for (TableCell& c : values(p.second))
                second.cells.push_back(c);
            for (std::size_t m = 0; m < measures.size(); ++m)
                ratio.cells.push_back({fixedText(p.ratio[m], 2), isRombergMeasure(m)});
            rows.push_back(std::move(first));
            rows.push_back(std::move(second));
            rows.push_back(std::move(ratio));
        }
        table(columns, rows);
    }

    Sheet& mSheet;
    const ReportContent& mContent;
    std::vector<Block> mBlocks;
};

QString definitionsText() {
    return QStringLiteral(
        "定義　n: 位置の数。軌跡長: 隣り合う位置の距離の和。平均速度 = 軌跡長 ÷ 時間。範囲: 最大 − "
        "最小。RMS: 平均位置からの偏差の二乗平均の平方根（n で割る）。平均距離: "
        "平均位置からの距離の"
        "平均。95%予測楕円（Schubert & Kirchner 2014）: 面積 = πk√det S、半径 = √(kλ)、S "
        "は標本共分散"
        "行列（n − 1 で割る）、k = 2(n + 1)(n − 1) / (n(n − 2))·F0.95(2, n − 2)。傾きは長軸の +X "
        "からの角度。X は右、Y は上が正。T: 最初から最後の位置までの時間。平均周波数 = 軌跡長 ÷ "
        "(2π × 平均距離 × T)（Prieto 1996）。周波数は平均位置からの距離について、平均間隔に線形補間"
        "で並べ直し、一次のトレンドを除き、Welch 法（Hann 窓、50% 重なり、区間長は n/2 以下で最大の"
        "2 のべき）で求めたパワースペクトルの直流成分を除いた部分から: 総パワー = その和、F50・F95 "
        "= "
        "累積が 50%・95% に達する周波数。");
}

} // namespace

int paintReport(QPainter& painter, QPagedPaintDevice& device, const ReportContent& content) {
    Sheet sheet(painter, device);
    ReportBuilder builder(sheet, content);
    const std::vector<Block> blocks = builder.build();

    const QFont footFont = reportFont(6.5);
    const QFont pageFont = reportFont(7);
    const QStringList definitions =
        sheet.lines(definitionsText(), footFont, sheet.contentWidth(), 6);
    const double footerHeight =
        definitions.size() * sheet.lineHeight(footFont) + sheet.lineHeight(pageFont) + 2.5;
    const double footerTop = sheet.height() - kBottom - footerHeight;
    const double bottom = footerTop - 2.0;

    // A later page starts with the name of the subject, so loose pages can be told apart.
    const QFont runningFont = reportFont(7.5);
    QString running = QStringLiteral("動揺解析レポート（続き）");
    if (const auto& s = content.context.subject)
        running += QStringLiteral("　氏名: %1　ID: %2")
                       .arg(QString::fromStdString(s->name), QString::fromStdString(s->id));
    const QStringList runningLine = sheet.lines(running, runningFont, sheet.contentWidth(), 1);
    const double runningHeight = sheet.lineHeight(runningFont) + 3.0;

    std::vector<std::vector<Placement>> pages(1);
    double y = kTop;
    const double laterTop = kTop + runningHeight;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const Block& b = blocks[i];
        double need = b.height;
        if (b.keepWithNext && i + 1 < blocks.size())
            need += blocks[i + 1].height;
        const double top = pages.size() == 1 ? kTop : laterTop;
        if (y + need > bottom && y > top + 0.01) {
            pages.emplace_back();
            y = laterTop;
            if (b.header >= 0) {
                pages.back().push_back({b.header, y});
                y += blocks[static_cast<std::size_t>(b.header)].height;
            }
        }
        pages.back().push_back({static_cast<int>(i), y});
        y += b.height;
    }

    const int count = static_cast<int>(pages.size());
    for (int page = 0; page < count; ++page) {
        if (page > 0)
            device.newPage();
        if (page > 0) {
            sheet.drawLines(runningLine, runningFont, {sheet.left(), kTop}, sheet.contentWidth(),
                            Qt::AlignLeft, kLabel);
            const double ruleY = kTop + sheet.lineHeight(runningFont) + 1.0;
            sheet.line({sheet.left(), ruleY}, {sheet.left() + sheet.contentWidth(), ruleY}, kGrid,
                       0.2);
        }
        for (const Placement& p : pages[static_cast<std::size_t>(page)])
            blocks[static_cast<std::size_t>(p.block)].paint(sheet, p.top);
        sheet.line({sheet.left(), footerTop}, {sheet.left() + sheet.contentWidth(), footerTop},
                   kRule, 0.2);
        sheet.drawLines(definitions, footFont, {sheet.left(), footerTop + 1.0},
                        sheet.contentWidth(), Qt::AlignLeft, kLabel);
        const double pageY = footerTop + 1.5 + definitions.size() * sheet.lineHeight(footFont);
        sheet.drawLines({QStringLiteral("Vestra2007 %1　動揺解析レポート").arg(content.version)},
                        pageFont, {sheet.left(), pageY}, sheet.contentWidth(), Qt::AlignLeft,
                        kLabel);
        sheet.drawLines({QStringLiteral("%1 / %2").arg(page + 1).arg(count)}, pageFont,
                        {sheet.left(), pageY}, sheet.contentWidth(), Qt::AlignRight);
    }
    return count;
}

QByteArray reportPdfBytes(const ReportContent& content) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        writer.setResolution(600);
        writer.setTitle(QStringLiteral("動揺解析レポート"));
        writer.setCreator(QStringLiteral("Vestra2007 %1").arg(content.version));
        QPainter painter(&writer);
        paintReport(painter, writer, content);
    }
    buffer.close();
    return bytes;
}

WriteResult writeReportPdf(const QString& path, const ReportContent& content) {
    return writeWholeFile(path, reportPdfBytes(content));
}

bool printReport(QPrinter& printer, const ReportContent& content, QString* error) {
    // The layout measures from the paper's corner, as on the PDF.
    printer.setFullPage(true);
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (error)
            *error = QStringLiteral("印刷を始められません。プリンターの設定を確かめてください。");
        return false;
    }
    paintReport(painter, printer, content);
    painter.end();
    return true;
}
