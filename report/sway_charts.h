// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChartView>
#include <QRectF>

class QChart;
class QValueAxis;
struct SwayReport;

// A tick step of 1, 2 or 5 times a power of ten giving about `intervals` steps over `span`.
[[nodiscard]] double niceStep(double span, int intervals);

// Every axis of the report labels at least this many ticks.
inline constexpr int kMinTicks = 3;

// How many multiples of `step` lie in [low, high].
[[nodiscard]] int ticksWithin(double low, double high, double step);

// The tick step of an axis from `low` to `high`: niceStep for about `intervals` steps, or the
// next finer 1, 2 or 5 times a power of ten until kMinTicks ticks fall within the range.
[[nodiscard]] double tickStep(double low, double high, int intervals);

// The axis from `low` to `high` (widened round a single value) with the tick step of tickStep
// and labels with as many decimals as the step needs.
void setAxisRange(QValueAxis* axis, double low, double high, int intervals);

// Both axes of a path plot at one scale across and down: `bounds` with a tenth's margin fitted
// to a plot area of `area`, about one labelled interval per `perTickX` and `perTickY` of it.
void fitEqualScale(QValueAxis* x, QValueAxis* y, const QRectF& bounds, QSizeF area, double perTickX,
                   double perTickY);

// A chart view whose two value axes keep one unit the same length on the screen: the data's
// bounds are widened along one axis to fit the plot area's shape, whenever that changes.
class EqualScaleChartView : public QChartView {
    Q_OBJECT
public:
    explicit EqualScaleChartView(QWidget* parent = nullptr);

    // Shows `chart` (the view takes it) with its X and Y axes spanning at least `bounds`.
    void setContent(QChart* chart, QValueAxis* x, QValueAxis* y, QRectF bounds);

    // Screen pixels per unit along each axis, as laid out now (for tests).
    [[nodiscard]] QPointF pixelsPerUnit() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fit();

    QValueAxis* mX = nullptr;
    QValueAxis* mY = nullptr;
    QRectF mBounds;
    QSizeF mFittedTo;
};

// Which trajectories a chart shows: one point (its index in SwayReport::points), or every
// point at once, each relative to its own mean.
inline constexpr int kAllPoints = -1;

// The X-Y sway path with its 95 % prediction ellipse. The bounds to keep visible are returned
// through `bounds`, the axes through `x` and `y`.
[[nodiscard]] QChart* makePathChart(const SwayReport& report, int shown, QValueAxis** x,
                                    QValueAxis** y, QRectF* bounds);

// X (or Y) against time, or against the photo number while the times are unknown.
[[nodiscard]] QChart* makeSeriesChart(const SwayReport& report, int shown, bool alongX);
