// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "subject_record.h"
#include "sway_report.h"

#include <QString>

#include <optional>
#include <vector>

// A second trial beside the analysis on display (eyes closed beside eyes open, say): its report
// model, read from its own analysis file. It is part of the report only, never stored.
struct ComparisonTrial {
    SwayReport report;
    std::optional<SubjectRecord> subject;
    QString path; // the analysis file
};

struct ComparisonLoad {
    std::optional<ComparisonTrial> trial;
    QString error; // Japanese, for the user; empty on success
};
// Reads the analysis file and builds its report model. A file that cannot be read, or whose
// trajectory is too short to measure, is refused with the reason.
[[nodiscard]] ComparisonLoad loadComparisonTrial(const QString& path);

// One point present in both trials: every measure of reportMeasures() for each, and the ratio
// second / first (NaN where either is unknown, the first is 0, or a ratio means nothing).
struct ComparedPoint {
    int point = 0;
    std::string name; // as the first trial names it
    int n1 = 0;
    int n2 = 0;
    std::vector<double> first;
    std::vector<double> second;
    std::vector<double> ratio;
};

struct TrialComparison {
    std::vector<ComparedPoint> points; // in point order
};

struct ComparisonResult {
    std::optional<TrialComparison> comparison;
    QString refusal; // Japanese, when the trials cannot be compared
};
// Trials measured in different units (mm against pixels) are refused.
[[nodiscard]] ComparisonResult compareTrials(const SwayReport& first, const SwayReport& second);

// Where the ratio is the Romberg ratio (ellipse area, path length): highlighted in the report.
[[nodiscard]] bool isRombergMeasure(std::size_t measureIndex);

// How the report names the two trials: "試行1（開眼）" when the conditions were entered.
[[nodiscard]] QString trialLabel(int number, const std::optional<SubjectRecord>& subject);
