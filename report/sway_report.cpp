// SPDX-License-Identifier: GPL-3.0-or-later
#include "sway_report.h"

#include "analysis_state.h"
#include "sway_record.h"

#include <charconv>
#include <cmath>
#include <regex>

SwayReport makeSwayReport(const AnalysisState& state, const SwayRecord& sway) {
    SwayReport r;
    r.units = swayUnits(state, sway);
    r.mmPerPoint = state.mmPerPoint;
    r.timing = swayTiming(sway);
    r.entryCount = static_cast<int>(sway.entries.size());
    r.times = entryTimes(sway);
    r.points = swayTrajectories(sway, r.units);
    r.scale = sway.scale;
    for (int k = 1; k <= AnalysisState::kNamedPoints; ++k)
        r.names[static_cast<std::size_t>(k)] = swayPointName(state, k);
    return r;
}

std::string swayPointName(const AnalysisState& state, int k) {
    const std::string fallback = "点" + std::to_string(k);
    if (k < 1 || k > AnalysisState::kNamedPoints)
        return fallback;
    const std::string& name = state.landmarkNames[static_cast<std::size_t>(k)];
    static const std::regex number(R"(\s*[-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?\s*)");
    if (name.find_first_not_of(" \t") == std::string::npos || std::regex_match(name, number))
        return fallback;
    return name;
}

const char* unitName(const SwayReport& report) {
    return report.units.millimetres ? "mm" : "pixel";
}

std::string fileNumber(double value) {
    if (!std::isfinite(value))
        return {};
    char buffer[400]; // room for the largest double written out in full
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 4);
    if (ec != std::errc{})
        return {};
    std::string text(buffer, end);
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == '.')
        text.pop_back();
    if (text == "-0")
        text = "0";
    return text;
}
