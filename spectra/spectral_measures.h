// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "welch.h"

#include <cstddef>
#include <optional>
#include <span>

// What a power spectrum says in three numbers. The DC bin (k = 0) is left out of all of them:
// with the trend removed it holds only what the window leaks there.
struct SpectralMeasures {
    // Sum of the one-sided density over the bins k >= 1 times the bin width: unit^2, about the
    // variance of the signal without its trend.
    double totalPower = 0.0;
    // The lowest bin frequency k * binWidth at which the power of bins 1 .. k reaches 50 % (F50,
    // the median frequency) and 95 % (F95) of the total power.
    double f50 = 0.0;
    double f95 = 0.0;
    double binWidth = 0.0; // Hz
    std::size_t segmentLength = 0;
    std::size_t segments = 0;
};

// The measures of a spectrum; nothing when it has no bin above 0 or no power there.
[[nodiscard]] std::optional<SpectralMeasures> spectralMeasures(const PowerSpectrum& spectrum);

// Segments shorter than this resolve too little to be worth reporting: from 16 samples on.
inline constexpr std::size_t kMinSegmentLength = 8;

// Variation below this fraction of a signal's largest magnitude is taken for rounding.
inline constexpr double kRoundingResidue = 1e-10;

// The measures of evenly spaced samples: the linear trend removed, then Welch's estimate with
// segments of welchSegmentLength(n), at least kMinSegmentLength. Nothing for fewer samples, a
// sample that is not finite, a sample rate that is not a positive number, or a signal without
// power once its trend is gone (an RMS below kRoundingResidue times its largest magnitude).
[[nodiscard]] std::optional<SpectralMeasures> spectralMeasures(std::span<const double> samples,
                                                               double sampleRate);
