// SPDX-License-Identifier: GPL-3.0-or-later
#include "sway_charts.h"

#include "sway_report.h"

#include <QApplication>
#include <QChart>
#include <QGraphicsLayout>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// One colour per point 1..7, told apart in print as on screen.
const QColor kPointColours[8] = {QColor(),
                                 QColor(31, 119, 180),
                                 QColor(214, 39, 40),
                                 QColor(44, 160, 44),
                                 QColor(148, 103, 189),
                                 QColor(255, 127, 14),
                                 QColor(23, 190, 207),
                                 QColor(140, 86, 75)};
const QColor kEllipseColour(200, 30, 30);

QString unitText(const SwayReport& report) {
    return QString::fromLatin1(unitName(report));
}

QString pointName(const SwayReport& report, int point) {
    return QString::fromStdString(report.names[static_cast<std::size_t>(point)]);
}

PointD meanOf(const std::vector<PointD>& positions) {
    PointD m;
    for (const PointD& p : positions) {
        m.x += p.x;
        m.y += p.y;
    }
    if (!positions.empty()) {
        m.x /= static_cast<double>(positions.size());
        m.y /= static_cast<double>(positions.size());
    }
    return m;
}

// The fonts of the window, not the chart theme's: the theme's font has no Japanese.
// Tight margins: three charts share the figure.
void compact(QChart* chart) {
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setBackgroundRoundness(0);
}

void useWindowFonts(QChart* chart) {
    QFont font = QApplication::font();
    chart->legend()->setFont(font);
    QFont title = font;
    title.setBold(true);
    chart->setTitleFont(title);
    for (QAbstractAxis* axis : chart->axes()) {
        axis->setLabelsFont(font);
        axis->setTitleFont(font);
    }
}

QValueAxis* addAxis(QChart* chart, Qt::Alignment side, const QString& title) {
    auto* axis = new QValueAxis(chart);
    axis->setTitleText(title);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0.0);
    axis->setMinorTickCount(0);
    chart->addAxis(axis, side);
    return axis;
}

void attach(QChart* chart, QAbstractSeries* series, QValueAxis* x, QValueAxis* y) {
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
}

// The smallest box around every point added; zero-sized boxes count.
class Box {
public:
    void add(const std::vector<QPointF>& points) {
        for (const QPointF& p : points) {
            mLeft = std::min(mLeft, p.x());
            mRight = std::max(mRight, p.x());
            mLow = std::min(mLow, p.y());
            mHigh = std::max(mHigh, p.y());
        }
    }
    [[nodiscard]] QRectF rect() const {
        if (mLeft > mRight)
            return QRectF(-0.5, -0.5, 1, 1); // nothing to show: a unit around the origin
        return QRectF(QPointF(mLeft, mLow), QPointF(mRight, mHigh));
    }

private:
    double mLeft = HUGE_VAL, mRight = -HUGE_VAL, mLow = HUGE_VAL, mHigh = -HUGE_VAL;
};

std::vector<QPointF> ellipsePoints(const PredictionEllipse& e, PointD centre) {
    std::vector<QPointF> points;
    const double tilt = e.tiltDegrees * std::numbers::pi / 180.0;
    constexpr int kSteps = 120;
    for (int i = 0; i <= kSteps; ++i) {
        const double t = 2 * std::numbers::pi * i / kSteps;
        const double u = e.semiMajor * std::cos(t);
        const double v = e.semiMinor * std::sin(t);
        points.emplace_back(centre.x + u * std::cos(tilt) - v * std::sin(tilt),
                            centre.y + u * std::sin(tilt) + v * std::cos(tilt));
    }
    return points;
}

QLineSeries* lineSeries(const std::vector<QPointF>& points, const QColor& colour, qreal width,
                        Qt::PenStyle style = Qt::SolidLine) {
    auto* series = new QLineSeries;
    for (const QPointF& p : points)
        series->append(p);
    QPen pen(colour, width, style);
    series->setPen(pen);
    return series;
}

std::vector<const PointTrajectory*> shownPoints(const SwayReport& report, int shown) {
    std::vector<const PointTrajectory*> points;
    if (shown == kAllPoints) {
        for (const PointTrajectory& p : report.points)
            points.push_back(&p);
    } else if (shown >= 0 && static_cast<std::size_t>(shown) < report.points.size()) {
        points.push_back(&report.points[static_cast<std::size_t>(shown)]);
    }
    return points;
}

// The positions to draw: relative to the first centre for one point, to the mean for all.
std::vector<QPointF> drawnPositions(const PointTrajectory& p, bool aboutMean) {
    const PointD origin = aboutMean ? meanOf(p.positions) : PointD{};
    std::vector<QPointF> points;
    for (const PointD& q : p.positions)
        points.emplace_back(q.x - origin.x, q.y - origin.y);
    return points;
}

} // namespace

double niceStep(double span, int intervals) {
    if (!(span > 0.0) || !std::isfinite(span) || intervals < 1)
        return 1.0;
    const double raw = span / intervals;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0})
        if (raw <= factor * power * 1.0000001)
            return factor * power;
    return 10.0 * power;
}

int ticksWithin(double low, double high, double step) {
    if (!(step > 0.0) || !(high >= low))
        return 0;
    // The axis draws multiples of the step from the anchor 0; a hair of slack for the ends.
    const double slack = step * 1e-9;
    return static_cast<int>(std::floor((high + slack) / step) - std::ceil((low - slack) / step)) +
           1;
}

double tickStep(double low, double high, int intervals) {
    double step = niceStep(high - low, intervals);
    // Down the 1-2-5 ladder until three ticks carry labels: sway of +-4 mm once showed "0" alone.
    for (int i = 0; i < 60 && ticksWithin(low, high, step) < kMinTicks; ++i) {
        const double power = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
        const double factor = step / power;
        step = factor > 4.5 ? 2 * power : factor > 1.5 ? power : 0.5 * power;
    }
    return step;
}

EqualScaleChartView::EqualScaleChartView(QWidget* parent) : QChartView(parent) {
    setRenderHint(QPainter::Antialiasing);
}

void EqualScaleChartView::setContent(QChart* chart, QValueAxis* x, QValueAxis* y, QRectF bounds) {
    QChart* old = this->chart();
    setChart(chart);
    delete old;
    mX = x;
    mY = y;
    mBounds = bounds;
    mFittedTo = QSizeF();
    // The plot area moves as the tick labels change width; fit again until it settles.
    connect(
        chart, &QChart::plotAreaChanged, this, [this](const QRectF&) { fit(); },
        Qt::QueuedConnection);
    fit();
}

QPointF EqualScaleChartView::pixelsPerUnit() const {
    if (!mX || !mY || !chart())
        return {};
    const QRectF area = chart()->plotArea();
    return {area.width() / (mX->max() - mX->min()), area.height() / (mY->max() - mY->min())};
}

void EqualScaleChartView::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    fit();
}

void EqualScaleChartView::fit() {
    if (!mX || !mY || !chart())
        return;
    const QRectF area = chart()->plotArea();
    if (area.width() < 10 || area.height() < 10 || area.size() == mFittedTo)
        return;
    mFittedTo = area.size();
    fitEqualScale(mX, mY, mBounds, area.size(), 70, 45);
}

void setAxisRange(QValueAxis* axis, double low, double high, int intervals) {
    if (!(high > low)) {
        low -= 0.5;
        high += 0.5;
    }
    axis->setRange(low, high);
    const double step = tickStep(low, high, intervals);
    axis->setTickInterval(step);
    const int decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(step))), 0, 6);
    axis->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
}

void fitEqualScale(QValueAxis* x, QValueAxis* y, const QRectF& bounds, QSizeF area, double perTickX,
                   double perTickY) {
    // A margin of a tenth around the data, and never less than a unit's hundredth.
    const double spanX = std::max(bounds.width() * 1.1, 0.01);
    const double spanY = std::max(bounds.height() * 1.1, 0.01);
    const double unitsPerPixel = std::max(spanX / area.width(), spanY / area.height());
    const QPointF c = bounds.center();
    const double halfX = unitsPerPixel * area.width() / 2;
    const double halfY = unitsPerPixel * area.height() / 2;
    setAxisRange(x, c.x() - halfX, c.x() + halfX,
                 std::max(2, static_cast<int>(area.width() / perTickX)));
    setAxisRange(y, c.y() - halfY, c.y() + halfY,
                 std::max(2, static_cast<int>(area.height() / perTickY)));
}

QChart* makePathChart(const SwayReport& report, int shown, QValueAxis** xAxis, QValueAxis** yAxis,
                      QRectF* bounds) {
    auto* chart = new QChart;
    const QString unit = unitText(report);
    QValueAxis* x = addAxis(chart, Qt::AlignBottom, QStringLiteral("X（右が正） [%1]").arg(unit));
    QValueAxis* y = addAxis(chart, Qt::AlignLeft, QStringLiteral("Y（上が正） [%1]").arg(unit));
    const bool all = shown == kAllPoints;
    chart->setTitle(all ? QStringLiteral("全点の動揺軌跡（各点の平均位置が原点）")
                        : QStringLiteral("動揺軌跡と95%予測楕円"));
    Box box;
    for (const PointTrajectory* p : shownPoints(report, shown)) {
        const std::vector<QPointF> path = drawnPositions(*p, all);
        const QColor colour = kPointColours[p->point];
        QLineSeries* line = lineSeries(path, colour, 1.2);
        line->setName(all ? pointName(report, p->point) : QStringLiteral("軌跡"));
        attach(chart, line, x, y);
        box.add(path);
        if (p->measures) {
            const PointD centre = all ? PointD{} : p->measures->ellipse.centre;
            const std::vector<QPointF> ring = ellipsePoints(p->measures->ellipse, centre);
            QLineSeries* ellipse = lineSeries(ring, all ? colour : kEllipseColour, 1.0,
                                              all ? Qt::DashLine : Qt::SolidLine);
            ellipse->setName(QStringLiteral("95%予測楕円"));
            attach(chart, ellipse, x, y);
            box.add(ring);
            if (all) // one legend entry per point
                chart->legend()->markers(ellipse).constFirst()->setVisible(false);
        }
        if (!all && !path.empty()) {
            auto* start = new QScatterSeries;
            start->setName(QStringLiteral("開始位置"));
            start->setMarkerSize(7);
            start->setColor(QColor(20, 140, 20));
            start->setBorderColor(QColor(20, 140, 20));
            start->append(path.front());
            attach(chart, start, x, y);
        }
    }
    chart->legend()->setAlignment(Qt::AlignRight);
    useWindowFonts(chart);
    compact(chart);
    *xAxis = x;
    *yAxis = y;
    *bounds = box.rect();
    return chart;
}

QChart* makeSeriesChart(const SwayReport& report, int shown, bool alongX) {
    auto* chart = new QChart;
    const bool timed = report.timing != SwayTiming::Unknown;
    const bool all = shown == kAllPoints;
    const QString axisName = alongX ? QStringLiteral("X") : QStringLiteral("Y");
    QValueAxis* t = addAxis(chart, Qt::AlignBottom,
                            timed ? QStringLiteral("時間 [s]") : QStringLiteral("写真番号"));
    QValueAxis* v =
        addAxis(chart, Qt::AlignLeft, QStringLiteral("%1 [%2]").arg(axisName, unitText(report)));
    chart->setTitle(timed ? QStringLiteral("%1(t)").arg(axisName)
                          : QStringLiteral("%1（写真ごと）").arg(axisName));
    double low = 0, high = 0, first = 0, last = 1;
    bool any = false;
    for (const PointTrajectory* p : shownPoints(report, shown)) {
        std::vector<QPointF> points;
        const PointD origin = all ? meanOf(p->positions) : PointD{};
        for (std::size_t i = 0; i < p->positions.size(); ++i) {
            // Photo numbers count from 1, the photo on which the points were placed.
            const double when = timed ? p->times[i] : p->entries[i] + 1.0;
            const double value =
                alongX ? p->positions[i].x - origin.x : p->positions[i].y - origin.y;
            points.emplace_back(when, value);
            if (!any) {
                low = high = value;
                first = last = when;
                any = true;
            }
            low = std::min(low, value);
            high = std::max(high, value);
            first = std::min(first, when);
            last = std::max(last, when);
        }
        QLineSeries* line = lineSeries(points, kPointColours[p->point], 1.2);
        line->setName(pointName(report, p->point));
        attach(chart, line, t, v);
    }
    const double margin = std::max((high - low) * 0.05, 0.005);
    setAxisRange(t, first, last, 8);
    setAxisRange(v, low - margin, high + margin, 4);
    chart->legend()->setVisible(false);
    useWindowFonts(chart);
    compact(chart);
    return chart;
}
