// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <string>

// Everything one analysis accumulates. There is a single instance for the whole run of the
// program; windows read and write the fields directly. Texts are UTF-8.
//
// The arrays keep the index ranges users of the record think in: points and landmark names
// from 1, displacement series from 0. Element 0 of the 1-based arrays is never used.
struct AnalysisState {
    static constexpr int kMaxPoints = 60;     // pointX/pointY hold points 1..60
    static constexpr int kNamedPoints = 7;    // only points 1..7 have names, paths and series
    static constexpr int kSeriesLength = 901; // deltaX1..deltaY7 hold entries 0..900

    using Series = std::array<float, kSeriesLength>;

    std::array<int16_t, kMaxPoints + 1> pointX{};
    std::array<int16_t, kMaxPoints + 1> pointY{};
    std::array<double, kNamedPoints + 1> pathLength{};
    Series deltaX1{}, deltaX2{}, deltaX3{}, deltaX4{}, deltaX5{}, deltaX6{}, deltaX7{};
    Series deltaY1{}, deltaY2{}, deltaY3{}, deltaY4{}, deltaY5{}, deltaY6{}, deltaY7{};
    float mmPerPoint = 0.0f;
    int16_t refPointX = 0;
    int16_t refPointY = 0;
    uint8_t pointCount = 0;
    int16_t frameCount = 0;
    int16_t brightnessTolerance = 0;
    int16_t darknessTolerance = 0;
    std::string photoPath;
    std::string startDir;
    std::array<std::string, kNamedPoints + 1> landmarkNames;

    // Pixel distance of the last two reference presses. mmPerPoint holds the same value until
    // the distance is confirmed; keeping it apart lets a corrected distance be confirmed again
    // without dividing by the scale of the previous confirmation.
    float refDistance = 0.0f;

    // Series of point k (1..7).
    [[nodiscard]] Series& deltaX(int k) { return *xSeries()[k - 1]; }
    [[nodiscard]] Series& deltaY(int k) { return *ySeries()[k - 1]; }
    [[nodiscard]] const Series& deltaX(int k) const {
        return *const_cast<AnalysisState*>(this)->xSeries()[k - 1];
    }
    [[nodiscard]] const Series& deltaY(int k) const {
        return *const_cast<AnalysisState*>(this)->ySeries()[k - 1];
    }

private:
    std::array<Series*, kNamedPoints> xSeries() {
        return {&deltaX1, &deltaX2, &deltaX3, &deltaX4, &deltaX5, &deltaX6, &deltaX7};
    }
    std::array<Series*, kNamedPoints> ySeries() {
        return {&deltaY1, &deltaY2, &deltaY3, &deltaY4, &deltaY5, &deltaY6, &deltaY7};
    }
};
