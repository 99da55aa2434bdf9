// SPDX-License-Identifier: GPL-3.0-or-later
#include "sway_report.h"

#include "analysis_state.h"
#include "sway_record.h"

#include <charconv>
#include <cmath>
#include <limits>

SwayReport makeSwayReport(const AnalysisState& state, const SwayRecord& record) {
    // An interval the box refuses (typed into an earlier version and read from its file) leaves
    // the times unknown, as in the box; the record keeps it.
    std::optional<SwayRecord> refused;
    if (record.frameInterval != 0.0 && !validFrameInterval(record.frameInterval)) {
        refused = record;
        refused->frameInterval = 0.0;
    }
    const SwayRecord& sway = refused ? *refused : record;
    SwayReport r;
    r.units = swayUnits(state, sway);
    r.timing = swayTiming(sway);
    r.entryCount = static_cast<int>(sway.entries.size());
    r.times = entryTimes(sway);
    r.points = swayTrajectories(sway, r.units);
    r.scale = sway.scale;
    for (int k = 1; k <= AnalysisState::kNamedPoints; ++k)
        r.names[static_cast<std::size_t>(k)] = swayPointName(state, k);
    return r;
}

std::array<double, kFrequencyValues> frequencyValues(const PointTrajectory& point) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    std::array<double, kFrequencyValues> values;
    values.fill(kNaN);
    if (const auto& f = point.frequency) {
        values[0] = f->duration;
        values[1] = f->meanFrequency.value_or(kNaN);
        if (const auto& s = f->spectrum) {
            values[2] = s->f50;
            values[3] = s->f95;
            values[4] = s->totalPower;
        }
    }
    return values;
}

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t skipDigits(std::string_view s, std::size_t i) {
    while (i < s.size() && isDigit(s[i]))
        ++i;
    return i;
}

} // namespace

// By hand rather than with std::regex, whose matcher recursed once per character and overflowed
// the stack on a name of some ten thousand digits.
bool isNumberText(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && isSpace(s[i]))
        ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    const std::size_t integer = i;
    i = skipDigits(s, i);
    bool digits = i > integer;
    if (i < s.size() && s[i] == '.') {
        const std::size_t fraction = ++i;
        i = skipDigits(s, i);
        digits = digits || i > fraction;
    }
    if (!digits)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        const std::size_t exponent = j;
        j = skipDigits(s, j);
        if (j == exponent)
            return false;
        i = j;
    }
    while (i < s.size() && isSpace(s[i]))
        ++i;
    return i == s.size();
}

std::string swayPointName(const AnalysisState& state, int k) {
    const std::string fallback = "点" + std::to_string(k);
    if (k < 1 || k > AnalysisState::kNamedPoints)
        return fallback;
    const std::string& name = state.landmarkNames[static_cast<std::size_t>(k)];
    if (name.find_first_not_of(" \t") == std::string::npos || isNumberText(name))
        return fallback;
    return name;
}

std::optional<double> frameIntervalFromText(std::string_view text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && isSpace(text[begin]))
        ++begin;
    while (end > begin && isSpace(text[end - 1]))
        --end;
    if (begin < end && text[begin] == '+')
        ++begin;
    double seconds = 0.0;
    const char* last = text.data() + end;
    const auto [stop, ec] = std::from_chars(text.data() + begin, last, seconds);
    if (ec != std::errc{} || stop != last || !validFrameInterval(seconds))
        return std::nullopt;
    return seconds;
}

bool validFrameInterval(double seconds) {
    return seconds >= kMinFrameInterval && seconds <= kMaxFrameInterval;
}

std::string intervalText(double seconds) {
    if (!std::isfinite(seconds))
        return {};
    char buffer[400];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::fixed);
    return ec == std::errc{} ? std::string(buffer, end) : std::string();
}

const char* unitName(const SwayReport& report) {
    return report.units.millimetres ? "mm" : "pixel";
}

std::string fileNumber(double value) {
    if (!std::isfinite(value))
        return {};
    char buffer[400]; // room for the largest double written out in full
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                         std::chars_format::fixed, kFileDecimals);
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
