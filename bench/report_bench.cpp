// SPDX-License-Identifier: GPL-3.0-or-later
// The printed report: making the PDF of seven points over 1800 frames (a minute of 30 fps video),
// with the placement picture, the measures, the plots and a second trial to compare with.
// Target: under 1 s, also with the plots of all seven points.
#include "qt_benchmark_main.h"

#include "analysis_state.h"
#include "report_document.h"
#include "sway_record.h"

#include <QApplication>
#include <QPainter>

#include <cmath>
#include <random>

namespace {

constexpr int kEntries = 1800;

SwayReport swaying(std::uint32_t seed) {
    AnalysisState state;
    state.pointCount = 7;
    state.mmPerPoint = 5.0f;
    SwayRecord sway;
    sway.scaleConfirmed = true;
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 0.4);
    for (int e = 0; e < kEntries; ++e) {
        SwayEntry entry;
        entry.seconds = e / 30.0;
        for (std::size_t k = 1; k <= 7; ++k) {
            entry.x[k] = 80.0 * k + 6 * std::sin(entry.seconds * 0.8) + noise(rng);
            entry.y[k] = 60.0 * k + 3 * std::cos(entry.seconds * 1.1) + noise(rng);
        }
        sway.entries.push_back(entry);
    }
    return makeSwayReport(state, sway);
}

ReportContent content(std::vector<int> plotted) {
    ReportContent c;
    c.report = swaying(1);
    c.context.subject = SubjectRecord{};
    c.context.subject->name = "山田 太郎";
    c.context.recording.fileName = QStringLiteral("trial.mp4");
    c.context.recording.video = true;
    c.context.picture = QImage(640, 480, QImage::Format_RGB32);
    c.context.picture.fill(QColor(90, 110, 130));
    for (int k = 1; k <= 7; ++k)
        c.context.markers.push_back({k, QPointF(80.0 * k, 60.0 * k)});
    c.plottedPoints = std::move(plotted);
    c.trial = ComparisonTrial{swaying(2), std::nullopt, QStringLiteral("closed.vestra")};
    c.version = QStringLiteral("1.0");
    return c;
}

void BM_ReportPdf(benchmark::State& state, std::vector<int> plotted) {
    const ReportContent c = content(std::move(plotted));
    std::size_t bytes = 0;
    for (auto _ : state)
        bytes = reportPdfBytes(c).size();
    state.counters["kB"] = static_cast<double>(bytes) / 1024.0;
}
BENCHMARK_CAPTURE(BM_ReportPdf, point1, std::vector<int>{1})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReportPdf, allPoints, std::vector<int>{1, 2, 3, 4, 5, 6, 7})
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return runQtBenchmarks<QApplication>(argc, argv);
}
