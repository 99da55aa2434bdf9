// SPDX-License-Identifier: GPL-3.0-or-later
#include "sway_csv.h"

#include "cp932.h"
#include "sway_report.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

constexpr char kLineEnd[] = "\r\n";

std::string cell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + '"';
}

std::string countCell(int n) {
    return std::to_string(n);
}

// A typed interval is written as typed: the velocity was worked out with all of its digits. The
// mean frame spacing of a video is a measure like the others.
std::string intervalCell(const SwayReport& report, const PointTrajectory& p) {
    return report.timing == SwayTiming::PhotoInterval ? intervalText(p.interval)
                                                      : fileNumber(p.interval);
}

} // namespace

std::string measuresFileBytes(const SwayReport& report) {
    const std::string u = unitName(report);
    std::string text = "点,部位,n,Δt(s),軌跡長(" + u + "),平均速度(" + u + "/s),範囲X(" + u +
                       "),範囲Y(" + u + "),RMS X(" + u + "),RMS Y(" + u + "),平均距離(" + u +
                       "),楕円面積(" + u + "2),楕円長半径(" + u + "),楕円短半径(" + u +
                       "),楕円傾き(°),T(s),平均周波数(Hz),F50(Hz),F95(Hz),総パワー(" + u + "2)" +
                       kLineEnd;
    for (const PointTrajectory& p : report.points) {
        text += std::to_string(p.point) + ',' +
                cell(report.names[static_cast<std::size_t>(p.point)]) + ',' +
                countCell(static_cast<int>(p.positions.size())) + ',' + intervalCell(report, p);
        if (const auto& m = p.measures) {
            const double velocity = m->meanVelocity ? *m->meanVelocity : kNaN;
            for (const double v :
                 {m->pathLength, velocity, m->rangeX, m->rangeY, m->rmsX, m->rmsY, m->meanDistance,
                  m->ellipse.area, m->ellipse.semiMajor, m->ellipse.semiMinor})
                text += ',' + fileNumber(v);
            text += ',' + fileNumber(printedTilt(m->ellipse.tiltDegrees, kFileDecimals));
            for (const double v : frequencyValues(p))
                text += ',' + fileNumber(v);
        }
        text += kLineEnd;
    }
    text += kLineEnd;
    if (report.units.millimetres)
        text += "単位,mm,縮尺(mm/pixel)," + fileNumber(report.units.perPixel) + kLineEnd;
    else
        text += "単位,pixel,縮尺(mm/pixel),未確定" + std::string(kLineEnd);
    return toCp932(text);
}

std::string trajectoryFileBytes(const SwayReport& report) {
    const std::string u = unitName(report);
    std::string text = "番号,時間(s)";
    for (const PointTrajectory& p : report.points) {
        const std::string name = report.names[static_cast<std::size_t>(p.point)];
        text += ',' + cell(name + "-X(" + u + ")") + ',' + cell(name + "-Y(" + u + ")");
    }
    text += kLineEnd;
    std::vector<std::size_t> next(report.points.size(), 0); // next position of each point
    for (int e = 0; e < report.entryCount; ++e) {
        const double time = static_cast<std::size_t>(e) < report.times.size()
                                ? report.times[static_cast<std::size_t>(e)]
                                : kNaN;
        text += std::to_string(e) + ',' + fileNumber(time);
        for (std::size_t i = 0; i < report.points.size(); ++i) {
            const PointTrajectory& p = report.points[i];
            if (next[i] < p.entries.size() && p.entries[next[i]] == e) {
                const PointD& at = p.positions[next[i]++];
                text += ',' + fileNumber(at.x) + ',' + fileNumber(at.y);
            } else {
                text += ",,";
            }
        }
        text += kLineEnd;
    }
    const SourceScale& scale = report.scale;
    if (scale.valid() && !scale.identity()) {
        // Measured on the source picture: its size, and per point how many entries could only
        // be measured on the display picture.
        text += std::string(kLineEnd) + "元の画像の大きさ(pixel)," +
                std::to_string(scale.sourceWidth) + ',' + std::to_string(scale.sourceHeight) +
                kLineEnd + "表示の大きさ(pixel)," + std::to_string(scale.displayWidth) + ',' +
                std::to_string(scale.displayHeight) + kLineEnd + "表示の大きさで測った数";
        for (const PointTrajectory& p : report.points)
            text += ',' + cell(report.names[static_cast<std::size_t>(p.point)]) + ',' +
                    std::to_string(p.fellBack);
        text += kLineEnd;
    }
    return toCp932(text);
}

// The report's files are always written aside: only the exports of the classic analysis
// replace a file in place.
WriteResult saveMeasuresFile(const QString& path, const SwayReport& report) {
    return writeCp932File(path, measuresFileBytes(report), InPlace::Never);
}

WriteResult saveTrajectoryFile(const QString& path, const SwayReport& report) {
    return writeCp932File(path, trajectoryFileBytes(report), InPlace::Never);
}
