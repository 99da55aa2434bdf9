// SPDX-License-Identifier: GPL-3.0-or-later
#include "scale.h"

#include "rounding.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

// A double beyond the float range becomes an infinity instead of undefined behaviour.
float toFloat(double v) {
    constexpr double largest = std::numeric_limits<float>::max();
    if (v > largest)
        return std::numeric_limits<float>::infinity();
    if (v < -largest)
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(v);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

bool placeReferencePoint(AnalysisState& state, CanvasView& canvas, double x, double y) {
    canvas.setPixelAt(x, y, colours::kLightBlue);
    const double ring[8][2] = {{x, y + 1}, {x + 1, y},     {x + 1, y + 1}, {x, y - 1},
                               {x - 1, y}, {x - 1, y - 1}, {x + 1, y - 1}, {x - 1, y + 1}};
    for (const auto& p : ring)
        canvas.setPixelAt(p[0], p[1], colours::kGreen);

    // From the floating press to the stored whole-pixel point of the previous press.
    const double dx = x - state.refPointX;
    const double dy = y - state.refPointY;
    const float distance = toFloat(std::sqrt(dx * dx + dy * dy));
    state.mmPerPoint = distance;
    state.refDistance = distance;

    // A previous point with a zero coordinate counts as none, as it always has.
    const bool prompt = state.refPointX != 0 && state.refPointY != 0;
    state.refPointX = nearestInt16(x);
    state.refPointY = nearestInt16(y);
    return prompt;
}

std::optional<double> parseDistance(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);

    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Checked by hand first: from_chars would also take exponents, "inf" and "nan".
    int digits = 0;
    int points = 0;
    for (const char c : text) {
        if (isDigit(c))
            ++digits;
        else if (c == '.')
            ++points;
        else
            return std::nullopt;
    }
    if (digits == 0 || points > 1)
        return std::nullopt;

    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (ec != std::errc{} || ptr != end)
        return std::nullopt;
    return negative ? -value : value;
}

ScaleRefusal confirmScale(AnalysisState& state, double distanceMm) {
    if (!std::isfinite(distanceMm) || distanceMm <= 0.0)
        return ScaleRefusal::NotAPositiveNumber;
    const double reference = state.refDistance;
    if (!std::isfinite(reference) || reference <= 0.0)
        return ScaleRefusal::NoReferenceDistance;
    // Always from the measured pixel distance, never from mmPerPoint: that may already hold the
    // scale of an earlier confirmation.
    const float scale = toFloat(distanceMm / reference * 10.0);
    if (!std::isfinite(scale) || scale <= 0.0f)
        return ScaleRefusal::NotAPositiveNumber;
    state.mmPerPoint = scale;
    return ScaleRefusal::None;
}
