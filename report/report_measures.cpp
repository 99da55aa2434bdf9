// SPDX-License-Identifier: GPL-3.0-or-later
#include "report_measures.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

template <typename F> double measured(const PointTrajectory& p, F f) {
    return p.measures ? f(*p.measures) : kNaN;
}

using U = ReportMeasure::Unit;

// One of the frequency values (frequencyValues: T, mean frequency, F50, F95, total power).
template <std::size_t I> double frequency(const PointTrajectory& p) {
    return frequencyValues(p)[I];
}

// The columns of the report window's table, in its order.
const ReportMeasure kMeasures[] = {
    {"軌跡長", U::Length, 2, true,
     [](const PointTrajectory& p) { return measured(p, [](auto& m) { return m.pathLength; }); }},
    {"平均速度", U::Velocity, 2, true,
     [](const PointTrajectory& p) {
         return measured(p, [](auto& m) { return m.meanVelocity.value_or(kNaN); });
     }},
    {"範囲X", U::Length, 2, true,
     [](const PointTrajectory& p) { return measured(p, [](auto& m) { return m.rangeX; }); }},
    {"範囲Y", U::Length, 2, true,
     [](const PointTrajectory& p) { return measured(p, [](auto& m) { return m.rangeY; }); }},
    {"RMS X", U::Length, 2, true,
     [](const PointTrajectory& p) { return measured(p, [](auto& m) { return m.rmsX; }); }},
    {"RMS Y", U::Length, 2, true,
     [](const PointTrajectory& p) { return measured(p, [](auto& m) { return m.rmsY; }); }},
    {"平均距離", U::Length, 2, true,
     [](const PointTrajectory& p) { return measured(p, [](auto& m) { return m.meanDistance; }); }},
    {"楕円面積", U::Area, 2, true,
     [](const PointTrajectory& p) { return measured(p, [](auto& m) { return m.ellipse.area; }); }},
    {"楕円長半径", U::Length, 2, true,
     [](const PointTrajectory& p) {
         return measured(p, [](auto& m) { return m.ellipse.semiMajor; });
     }},
    {"楕円短半径", U::Length, 2, true,
     [](const PointTrajectory& p) {
         return measured(p, [](auto& m) { return m.ellipse.semiMinor; });
     }},
    {"楕円傾き", U::Degrees, 1, false,
     [](const PointTrajectory& p) {
         return measured(p, [](auto& m) { return m.ellipse.tiltDegrees; });
     }},
    {"T", U::Seconds, 2, false, frequency<0>},
    {"平均周波数", U::Hertz, 2, true, frequency<1>},
    {"F50", U::Hertz, 2, true, frequency<2>},
    {"F95", U::Hertz, 2, true, frequency<3>},
    {"総パワー", U::Power, 2, true, frequency<4>},
};

} // namespace

std::span<const ReportMeasure> reportMeasures() {
    return kMeasures;
}

QString measureUnit(const ReportMeasure& measure, const SwayReport& report) {
    const QString u = QString::fromLatin1(unitName(report));
    switch (measure.unit) {
    case U::Length:
        return u;
    case U::Velocity:
        return u + QStringLiteral("/s");
    case U::Area:
    case U::Power:
        return u + QStringLiteral("²");
    case U::Degrees:
        return QStringLiteral("°");
    case U::Seconds:
        return QStringLiteral("s");
    case U::Hertz:
        return QStringLiteral("Hz");
    }
    return u;
}

QString measureText(const ReportMeasure& measure, const SwayReport& report, double value) {
    const bool scaled = measure.unit == U::Length || measure.unit == U::Velocity ||
                        measure.unit == U::Area || measure.unit == U::Power;
    const int extra = scaled && !report.units.millimetres ? 1 : 0;
    return fixedText(value, measure.decimals + extra);
}

QString fixedText(double value, int decimals) {
    if (!std::isfinite(value))
        return QStringLiteral("—");
    QString text = QString::number(value, 'f', decimals); // the C locale, whatever the user's
    if (text.startsWith(QLatin1Char('-')) && text.toDouble() == 0.0)
        text.remove(0, 1);
    return text;
}
