// SPDX-License-Identifier: GPL-3.0-or-later
#include "angles.h"

#include "rounding.h"

#include <cmath>
#include <cstdlib>

double armAngle(int dx, int dy) {
    if (dx == 0)
        return 0.0;
    if (dy == 0)
        return 90.0;
    // The constant is the one the angles have always been computed with, not full-precision pi.
    const double ratio = std::abs(static_cast<double>(dx)) / std::abs(static_cast<double>(dy));
    return nearestInt32(std::atan(ratio) * 180.0 / 3.141592);
}

namespace {

int sign(int v) {
    return (v > 0) - (v < 0);
}

// Arm 1 (P to V) classes a..d as 0..3, arm 2 (V to Q) classes 1..4 as 0..3. The two use
// different boundaries on purpose: an arm straight up is class b as arm 1 but class 1 as arm 2.
int firstArmClass(int dx, int dy) {
    if (dx >= 0)
        return dy >= 0 ? 0 : 1;
    return dy <= 0 ? 2 : 3;
}

int secondArmClass(int dx, int dy) {
    if (dx <= 0)
        return dy <= 0 ? 0 : 1;
    return dy >= 0 ? 2 : 3;
}

struct AngleRow {
    int (*alpha)(int a, int b);
    int firstDx, firstDy;   // where alpha is written, relative to the vertex
    int secondDx, secondDy; // where 360 - alpha is written
};

// One row per pair of classes. The rows are independent: they are the angles as they have
// always been shown, not one geometric rule.
constexpr AngleRow kRows[4][4] = {
    {
        {[](int a, int b) { return 360 - std::abs(b - a); }, 0, 0, -18, -13},
        {[](int a, int b) { return a + 180 + b; }, 0, -5, -25, -5},
        {[](int a, int b) { return a + 180 - b; }, 0, -12, -24, 2},
        {[](int a, int b) { return a + b; }, -10, -16, -10, 4},
    },
    {
        {[](int a, int b) { return a + 180 + b; }, 0, -5, -20, -5},
        {[](int a, int b) { return 360 - std::abs(a - b); }, -2, -14, -18, 4},
        {[](int a, int b) { return a + b; }, -10, 3, -10, -13},
        {[](int a, int b) { return a + 180 - b; }, 0, 0, -22, -13},
    },
    {
        {[](int a, int b) { return b + 180 - a; }, 4, -8, -25, 5},
        {[](int a, int b) { return 360 - (a + b); }, -10, -14, -10, 4},
        {[](int a, int b) { return std::abs(b - a); }, 0, 3, -25, -13},
        {[](int a, int b) { return 180 - a - b; }, 2, -6, -24, -6},
    },
    {
        {[](int a, int b) { return a + b; }, -10, -14, -10, 4},
        {[](int a, int b) { return a + 180 - b; }, -23, -14, 0, 4},
        {[](int a, int b) { return 180 - a - b; }, 2, -6, -24, -6},
        {[](int a, int b) { return std::abs(a - b); }, 2, -15, -24, 3},
    },
};

AngleResult single(int x, int y, int alpha) {
    return {{{x, y, alpha}}, alpha, 360 - alpha};
}

} // namespace

AngleResult measureAngle(const AnalysisState& state) {
    const int n = state.pointCount;
    if (n < 3 || n > AnalysisState::kMaxPoints)
        return {};
    const int xP = state.pointX[n - 2], yP = state.pointY[n - 2];
    const int xV = state.pointX[n - 1], yV = state.pointY[n - 1];
    const int xQ = state.pointX[n], yQ = state.pointY[n];
    const int dx1 = xV - xP, dy1 = yV - yP;
    const int dx2 = xQ - xV, dy2 = yQ - yV;

    if (dx1 == 0 && dx2 == 0)
        return single(xV, yV - 5, sign(dy1) == sign(dy2) ? 180 : 0);
    if (dy1 == 0 && dy2 == 0) {
        if (sign(dx1) == sign(dx2))
            return single(xV - 12, yV - 15, 180);
        return single(xV, yV - 5, 0);
    }

    const int a = static_cast<int>(armAngle(dx1, dy1));
    const int b = static_cast<int>(armAngle(dx2, dy2));
    const AngleRow& row = kRows[firstArmClass(dx1, dy1)][secondArmClass(dx2, dy2)];
    const int alpha = row.alpha(a, b);
    AngleResult result;
    result.texts = {{xV + row.firstDx, yV + row.firstDy, alpha},
                    {xV + row.secondDx, yV + row.secondDy, 360 - alpha}};
    result.label4 = alpha;
    result.label7 = 360 - alpha;
    return result;
}

TripleNumbering numberAngleTriples(const AnalysisState& state) {
    const int n = state.pointCount;
    TripleNumbering result;
    // The first message has a full-width digit, the other two half-width ones.
    if (n == 0)
        result.message = "角度を求めるには３つ以上の点を指定してください";
    else if (n % 3 == 2)
        result.message = "角度を求めるにはもう1つ点を指定する必要があります";
    else if (n % 3 == 1)
        result.message = "角度を求めるにはあと2つ点を指定する必要があります";
    else
        for (int k = 2; k <= n && k <= AnalysisState::kMaxPoints; k += 3)
            result.numbers.push_back({state.pointX[k], state.pointY[k], (k - 2) / 3 + 1});
    return result;
}
