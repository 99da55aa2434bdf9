// SPDX-License-Identifier: GPL-3.0-or-later
#include "uniform_series.h"

#include <cmath>

double meanInterval(std::span<const double> times) {
    if (times.size() < 2)
        return 0.0;
    for (std::size_t i = 0; i < times.size(); ++i)
        if (!std::isfinite(times[i]) || (i > 0 && !(times[i] > times[i - 1])))
            return 0.0;
    return (times.back() - times.front()) / static_cast<double>(times.size() - 1);
}

std::vector<double> resampleToMeanInterval(std::span<const double> times,
                                           std::span<const double> values) {
    const double step = meanInterval(times);
    if (!(step > 0.0) || values.size() != times.size())
        return {};
    const std::size_t n = times.size();
    std::vector<double> uniform(n);
    std::size_t j = 0; // times[j] <= t < times[j + 1]
    for (std::size_t i = 0; i < n; ++i) {
        // The last grid point is the last time itself, not a sum that may overshoot it.
        const double t = i + 1 == n ? times.back() : times.front() + static_cast<double>(i) * step;
        while (j + 2 < n && times[j + 1] <= t)
            ++j;
        const double fraction = (t - times[j]) / (times[j + 1] - times[j]);
        uniform[i] = values[j] + fraction * (values[j + 1] - values[j]);
    }
    return uniform;
}

void removeLinearTrend(std::span<double> samples) {
    const std::size_t n = samples.size();
    if (n == 0)
        return;
    const double middle = (static_cast<double>(n) - 1.0) / 2.0;
    double mean = 0.0;
    for (const double v : samples)
        mean += v;
    mean /= static_cast<double>(n);
    double sxy = 0.0, sxx = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double di = static_cast<double>(i) - middle;
        sxy += di * (samples[i] - mean);
        sxx += di * di;
    }
    const double slope = sxx > 0.0 ? sxy / sxx : 0.0;
    for (std::size_t i = 0; i < n; ++i)
        samples[i] -= mean + slope * (static_cast<double>(i) - middle);
}
