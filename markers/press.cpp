// SPDX-License-Identifier: GPL-3.0-or-later
#include "press.h"

#include "rounding.h"

namespace {

double clampRounded(double v, int size) {
    if (size <= 0)
        return v; // no picture to clamp into
    if (nearestInt32(v) > size - 1)
        return size - 1;
    if (nearestInt32(v) < 0)
        return 0.0;
    return v;
}

} // namespace

PressAction classifyPress(int modifierBits, bool romMode) {
    if (modifierBits == 0 && !romMode)
        return PressAction::MarkerPoint;
    if (modifierBits == modifiers::kShift)
        return PressAction::ReferencePoint;
    if (romMode)
        return PressAction::AnglePoint;
    return PressAction::Nothing;
}

PressPosition clampPressToPicture(double x, double y, int width, int height) {
    return {clampRounded(x, width), clampRounded(y, height)};
}

bool canAddPoint(const AnalysisState& state) {
    return state.pointCount < AnalysisState::kMaxPoints;
}

std::optional<PixelPoint> placeMarkerPoint(AnalysisState& state, const PhotoView& photo,
                                           CanvasView& canvas, double x, double y) {
    if (!canAddPoint(state))
        return std::nullopt;
    const PixelPoint centre = findMarkerCentre(state, photo, canvas, x, y);
    ++state.pointCount;
    state.pointX[state.pointCount] = centre.x;
    state.pointY[state.pointCount] = centre.y;
    return centre;
}

std::optional<AnglePointResult> placeAnglePoint(AnalysisState& state, CanvasView& canvas, double x,
                                                double y) {
    if (!canAddPoint(state))
        return std::nullopt;
    const double dots[9][2] = {{x, y},         {x, y + 1},     {x + 1, y},
                               {x + 1, y + 1}, {x, y - 1},     {x - 1, y},
                               {x - 1, y - 1}, {x + 1, y - 1}, {x - 1, y + 1}};
    for (const auto& d : dots)
        canvas.setPixelAt(d[0], d[1], colours::kDarkBlue);

    const int n = ++state.pointCount;
    state.pointX[n] = nearestInt16(x);
    state.pointY[n] = nearestInt16(y);

    // Triples count from point 1 of the whole list, whatever placed the earlier points.
    AnglePointResult result;
    if (n % 3 != 1) {
        result.lineNeeded = true;
        result.lineFrom = {state.pointX[n - 1], state.pointY[n - 1]};
        result.lineTo = {state.pointX[n], state.pointY[n]};
    }
    if (n % 3 == 0)
        result.angle = measureAngle(state);
    return result;
}
