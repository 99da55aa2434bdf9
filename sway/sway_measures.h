// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "point_d.h"
#include "spectral_measures.h"

#include <optional>
#include <span>

// 0.95 quantile of the F distribution with (2, m) degrees of freedom, in closed form:
// (m / 2) (0.05^(-2/m) - 1). NaN for m < 1.
[[nodiscard]] double fQuantile95(int m);

// The 95 % prediction ellipse of a set of positions (Schubert & Kirchner, Gait & Posture 2014):
// a new position from the same distribution falls inside it with probability 0.95.
struct PredictionEllipse {
    PointD centre;            // the mean position
    double area = 0.0;        // pi k sqrt(det S)
    double semiMajor = 0.0;   // sqrt(k lambda1)
    double semiMinor = 0.0;   // sqrt(k lambda2)
    double tiltDegrees = 0.0; // of the major axis from +X toward +Y, in (-90, 90]
};

// The tilt to print with `decimals` places: one that would print as -90 reads 90, the same axis.
[[nodiscard]] double printedTilt(double degrees, int decimals);

// Needs at least 3 positions. S is the sample covariance (n - 1 in the denominator) and
// k = 2 (n + 1)(n - 1) / (n (n - 2)) F0.95(2, n - 2). Positions on a line, or all equal, give
// area 0 (and a zero minor axis), never NaN; a circular spread has tilt 0.
[[nodiscard]] std::optional<PredictionEllipse> predictionEllipse(std::span<const PointD> path);

// Up to this many positions the 95 % prediction ellipse is very wide (k = 1064 at n = 3, 71 at
// n = 4, 31 at n = 5, against 6 for many positions), and rightly so: so few positions predict
// the next one only loosely.
inline constexpr int kFewPositions = 5;

// The posturography measures of one point's trajectory, in the unit of the positions.
struct SwayMeasures {
    int n = 0;
    double pathLength = 0.0; // sum of the step lengths
    // Seconds from the first to the last position and path / duration; absent while the time
    // between the positions is unknown.
    std::optional<double> duration;
    std::optional<double> meanVelocity;
    double rangeX = 0.0; // max - min
    double rangeY = 0.0;
    double rmsX = 0.0; // about the mean, dividing by n
    double rmsY = 0.0;
    double meanDistance = 0.0; // mean distance from the mean position
    PredictionEllipse ellipse;
};

// Measures of positions in time order; `duration` is the time from the first to the last one
// in seconds (not finite or not positive = unknown). Nothing for fewer than 3 positions or a
// position that is not finite.
[[nodiscard]] std::optional<SwayMeasures> swayMeasures(std::span<const PointD> path,
                                                       double duration);

// How fast a point sways, once the times of its positions are known.
struct FrequencyMeasures {
    double duration = 0.0; // T: seconds from the first position to the last
    // Prieto et al. 1996: path length / (2 pi mean distance T), the frequency of a circle of the
    // mean distance run round at the mean velocity, in Hz. Absent when the point never moved.
    std::optional<double> meanFrequency;
    // Of the resultant distance, each position's distance from the mean position: resampled
    // onto the mean interval by linear interpolation of X and Y (skipped photos, a video's
    // varying frame rate), then spectralMeasures (trend removed, Welch, no DC). Absent below 16
    // positions, for times not strictly increasing, or without power (a circle about its mean).
    std::optional<SpectralMeasures> spectrum;
};

// The frequency measures of `path` taken at `times` (seconds, one per position) with its
// measures; nothing while a time is unknown or the duration is not positive.
[[nodiscard]] std::optional<FrequencyMeasures> frequencyMeasures(std::span<const PointD> path,
                                                                 std::span<const double> times,
                                                                 const SwayMeasures& measures);
