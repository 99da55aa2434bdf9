// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectral_measures.h"

#include "uniform_series.h"

#include <algorithm>
#include <cmath>
#include <vector>

std::optional<SpectralMeasures> spectralMeasures(const PowerSpectrum& spectrum) {
    const std::vector<double>& density = spectrum.density;
    if (density.size() < 2)
        return std::nullopt;
    // One running sum for the total and the fractions, so the last bin reaches 100 % exactly.
    std::vector<double> cumulative(density.size(), 0.0);
    for (std::size_t k = 1; k < density.size(); ++k)
        cumulative[k] = cumulative[k - 1] + density[k];
    const double total = cumulative.back();
    if (!(total > 0.0))
        return std::nullopt;
    const auto reaching = [&](double fraction) {
        std::size_t k = 1;
        while (k + 1 < density.size() && cumulative[k] < fraction * total)
            ++k;
        return static_cast<double>(k) * spectrum.binWidth;
    };
    SpectralMeasures m;
    m.totalPower = total * spectrum.binWidth;
    m.f50 = reaching(0.50);
    m.f95 = reaching(0.95);
    m.binWidth = spectrum.binWidth;
    m.segmentLength = spectrum.segmentLength;
    m.segments = spectrum.segments;
    return m;
}

std::optional<SpectralMeasures> spectralMeasures(std::span<const double> samples,
                                                 double sampleRate) {
    const std::size_t length = welchSegmentLength(samples.size());
    if (length < kMinSegmentLength)
        return std::nullopt;
    std::vector<double> detrended(samples.begin(), samples.end());
    removeLinearTrend(detrended);
    const std::optional<PowerSpectrum> spectrum = welchSpectrum(detrended, sampleRate, length);
    if (!spectrum)
        return std::nullopt;
    std::optional<SpectralMeasures> m = spectralMeasures(*spectrum);
    // What is left of a constant or a line is rounding, whose F50 would be noise.
    double size = 0.0;
    for (const double v : samples)
        size = std::max(size, std::abs(v));
    const double residue = kRoundingResidue * size;
    if (m && m->totalPower <= residue * residue)
        return std::nullopt;
    return m;
}
