// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>
#include <vector>

// Seconds between the samples of the uniform grid that replaces `times`: the mean interval,
// (last - first) / (n - 1). Zero unless there are at least 2 times, all finite and strictly
// increasing.
[[nodiscard]] double meanInterval(std::span<const double> times);

// `values` taken at `times` (strictly increasing, as meanInterval requires), linearly
// interpolated onto the grid first + i * meanInterval(times), i = 0 .. n - 1: skipped photos and a
// video's varying frame rate leave an evenly sampled signal of the same length. Empty when the
// times do not qualify or the lengths differ.
[[nodiscard]] std::vector<double> resampleToMeanInterval(std::span<const double> times,
                                                         std::span<const double> values);

// Subtracts the least-squares straight line through (i, samples[i]).
void removeLinearTrend(std::span<double> samples);
