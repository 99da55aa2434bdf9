// SPDX-License-Identifier: GPL-3.0-or-later
#include "trial_comparison.h"

#include "analysis_file.h"
#include "report_measures.h"
#include "subject_texts.h"
#include "sway_trajectory.h"

#include <QDir>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const PointTrajectory* findPoint(const SwayReport& report, int point) {
    for (const PointTrajectory& p : report.points)
        if (p.point == point)
            return &p;
    return nullptr;
}

} // namespace

ComparisonLoad loadComparisonTrial(const QString& path) {
    const AnalysisReadResult read = readAnalysisFile(path);
    if (!read.document)
        return {std::nullopt, read.error};
    const AnalysisDocument& document = *read.document;
    if (!swayReportAvailable(document.sway))
        return {std::nullopt, QStringLiteral("解析ファイル %1 には動揺解析できる軌跡がありません"
                                             "（%2 枚以上の写真が必要です）。")
                                  .arg(QDir::toNativeSeparators(path))
                                  .arg(kMinSwayEntries)};
    return {ComparisonTrial{makeSwayReport(document.record, document.sway), document.subject, path},
            QString()};
}

ComparisonResult compareTrials(const SwayReport& first, const SwayReport& second) {
    if (first.units.millimetres != second.units.millimetres)
        return {std::nullopt,
                QStringLiteral("単位が違うため比較できません（表示中の解析: %1、比較する解析: "
                               "%2）。両方とも距離の基準を確定してください。")
                    .arg(QLatin1String(unitName(first)), QLatin1String(unitName(second)))};
    TrialComparison comparison;
    const auto measures = reportMeasures();
    for (const PointTrajectory& a : first.points) {
        const PointTrajectory* b = findPoint(second, a.point);
        if (!b)
            continue;
        ComparedPoint row;
        row.point = a.point;
        row.name = first.names[static_cast<std::size_t>(a.point)];
        row.n1 = static_cast<int>(a.positions.size());
        row.n2 = static_cast<int>(b->positions.size());
        for (const ReportMeasure& m : measures) {
            const double x = m.value(a);
            const double y = m.value(*b);
            row.first.push_back(x);
            row.second.push_back(y);
            row.ratio.push_back(
                m.comparable && std::isfinite(x) && std::isfinite(y) && x != 0.0 ? y / x : kNaN);
        }
        comparison.points.push_back(std::move(row));
    }
    if (comparison.points.empty())
        return {std::nullopt, QStringLiteral("2つの解析に共通する点がないため比較できません。")};
    return {std::move(comparison), QString()};
}

bool isRombergMeasure(std::size_t measureIndex) {
    const auto measures = reportMeasures();
    if (measureIndex >= measures.size())
        return false;
    const char* heading = measures[measureIndex].heading;
    return std::strcmp(heading, "楕円面積") == 0 || std::strcmp(heading, "軌跡長") == 0;
}

QString trialLabel(int number, const std::optional<SubjectRecord>& subject) {
    const QString label = QStringLiteral("試行%1").arg(number);
    if (!subject)
        return label;
    return QStringLiteral("%1（%2）").arg(label, visionText(subject->vision));
}
