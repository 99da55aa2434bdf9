// SPDX-License-Identifier: GPL-3.0-or-later
#include "csv_export.h"

#include "analysis_state.h"
#include "cp932.h"
#include "number_format.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

namespace {

constexpr char kLineEnd[] = "\r\n";

// frameCount as far as the series can back it: nothing past entry 900 is ever read.
int recordedFrames(const AnalysisState& state) {
    return std::clamp<int>(state.frameCount, 0, AnalysisState::kSeriesLength);
}

int writtenPoints(const AnalysisState& state) {
    return std::min<int>(state.pointCount, AnalysisState::kNamedPoints);
}

std::pair<float, float> mapAxes(float dx, float dy, AxisMapping mapping) {
    switch (mapping) {
    case AxisMapping::StandingSide:
        return {dx, dy};
    case AxisMapping::StandingFront:
        return {-dx, dy};
    case AxisMapping::LyingSide:
    case AxisMapping::LyingFront:
        return {-dy, -dx};
    }
    return {dx, dy};
}

void appendCells(std::string& row, float x, float y) {
    row += ',';
    row += displayForm(x);
    row += ',';
    row += displayForm(y);
}

// The exports replace a file the user may have made writable in a read-only folder.
WriteResult writeExport(const QString& path, const std::string& bytes) {
    return writeCp932File(path, bytes, InPlace::InReadOnlyFolder);
}

} // namespace

void writeHeaderLine(std::string& out, const AnalysisState& state) {
    std::string line;
    for (int k = 1; k <= writtenPoints(state); ++k) {
        const std::string& name = state.landmarkNames[static_cast<std::size_t>(k)];
        const std::string label = name.empty() ? std::to_string(k) : name;
        line += ',' + label + "-X," + label + "-Y";
    }
    out += toCp932(line);
    out += kLineEnd;
}

void writeScaleTrailer(std::string& out, const AnalysisState& state) {
    out += kLineEnd;
    std::string line = "1point=";
    moveToNextPrintZone(line);
    line += displayForm(state.mmPerPoint / 10.0f);
    moveToNextPrintZone(line);
    line += "mm";
    out += line;
    out += kLineEnd;
}

void writeAsIsRows(std::string& out, const AnalysisState& state, AxisMapping mapping) {
    const int points = writtenPoints(state);
    // Running totals live here, never in the record: a second export, a later analysis and
    // the grouped files must still see the per-transition displacements.
    std::array<float, AnalysisState::kNamedPoints> dx{};
    std::array<float, AnalysisState::kNamedPoints> dy{};
    const int frames = recordedFrames(state);
    for (int r = 1; r <= frames; ++r) {
        std::string row = displayForm(static_cast<int16_t>(r));
        for (int k = 1; k <= points; ++k) {
            const auto p = static_cast<std::size_t>(k - 1);
            dx[p] += state.deltaX(k)[static_cast<std::size_t>(r - 1)];
            dy[p] += state.deltaY(k)[static_cast<std::size_t>(r - 1)];
            const auto [x, y] = mapAxes(dx[p], dy[p], mapping);
            appendCells(row, x, y);
        }
        out += row;
        out += kLineEnd;
    }
}

void writeGroupedRows(std::string& out, const AnalysisState& state, int groupSize) {
    if (groupSize < 1 || groupSize > AnalysisState::kSeriesLength)
        return;
    const int points = writtenPoints(state);
    const int frames = recordedFrames(state);
    for (int i = 0; i < frames; i += groupSize) {
        std::string row = displayForm(static_cast<int16_t>(i + groupSize));
        // The last group may reach past the recorded transitions; those entries count as 0, so
        // a tracking step that stopped part-way leaves no trace.
        const int end = std::min(i + groupSize, frames);
        for (int k = 1; k <= points; ++k) {
            float sumX = 0.0f;
            float sumY = 0.0f;
            for (int j = i; j < end; ++j) {
                sumX += state.deltaX(k)[static_cast<std::size_t>(j)];
                sumY += state.deltaY(k)[static_cast<std::size_t>(j)];
            }
            appendCells(row, sumX, sumY);
        }
        out += row;
        out += kLineEnd;
    }
}

std::string asIsFileBytes(const AnalysisState& state, AxisMapping mapping) {
    std::string out;
    writeHeaderLine(out, state);
    writeAsIsRows(out, state, mapping);
    writeScaleTrailer(out, state);
    return out;
}

std::string groupedFileBytes(const AnalysisState& state, int groupSize) {
    std::string out;
    writeHeaderLine(out, state);
    writeGroupedRows(out, state, groupSize);
    writeScaleTrailer(out, state);
    return out;
}

WriteResult writeAsIsFile(const QString& path, const AnalysisState& state, AxisMapping mapping) {
    return writeExport(path, asIsFileBytes(state, mapping));
}

WriteResult writeGroupedFile(const QString& path, const AnalysisState& state, int groupSize) {
    if (groupSize < kSmallestGroup || groupSize > kLargestGroup)
        return {false,
                writeFailure(path, QStringLiteral("集計の単位 %1 は %2～%3 の範囲外です")
                                       .arg(groupSize)
                                       .arg(kSmallestGroup)
                                       .arg(kLargestGroup)),
                {},
                {}};
    return writeExport(path, groupedFileBytes(state, groupSize));
}
