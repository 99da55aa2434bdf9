// SPDX-License-Identifier: GPL-3.0-or-later
#include "welch.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

void fft(std::span<std::complex<double>> data) {
    const std::size_t n = data.size();
    if (n < 2 || !std::has_single_bit(n))
        return;
    // Bit-reversed order, then butterflies of growing span.
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j |= bit;
        if (i < j)
            std::swap(data[i], data[j]);
    }
    for (std::size_t span = 2; span <= n; span <<= 1) {
        const std::size_t half = span / 2;
        for (std::size_t k = 0; k < half; ++k) {
            // Each twiddle from its own angle: repeated products would gather rounding.
            const std::complex<double> w = std::polar(
                1.0, -2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(span));
            for (std::size_t start = 0; start < n; start += span) {
                const std::complex<double> odd = w * data[start + k + half];
                data[start + k + half] = data[start + k] - odd;
                data[start + k] += odd;
            }
        }
    }
}

std::size_t welchSegmentLength(std::size_t n) {
    return n < 2 ? 0 : std::bit_floor(n / 2);
}

std::optional<PowerSpectrum> welchSpectrum(std::span<const double> samples, double sampleRate,
                                           std::size_t segmentLength) {
    const std::size_t length = segmentLength;
    if (length < 2 || !std::has_single_bit(length) || samples.size() < length ||
        !std::isfinite(sampleRate) || !(sampleRate > 0.0) ||
        !std::all_of(samples.begin(), samples.end(), [](double v) { return std::isfinite(v); }))
        return std::nullopt;
    std::vector<double> window(length);
    double windowPower = 0.0;
    for (std::size_t j = 0; j < length; ++j) {
        window[j] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(j) /
                                         static_cast<double>(length));
        windowPower += window[j] * window[j];
    }
    PowerSpectrum spectrum;
    spectrum.segmentLength = length;
    spectrum.binWidth = sampleRate / static_cast<double>(length);
    spectrum.density.assign(length / 2 + 1, 0.0);
    const std::size_t hop = length / 2;
    std::vector<std::complex<double>> buffer(length);
    for (std::size_t start = 0; start + length <= samples.size(); start += hop) {
        const std::span<const double> segment = samples.subspan(start, length);
        double mean = 0.0;
        for (const double v : segment)
            mean += v;
        mean /= static_cast<double>(length);
        for (std::size_t j = 0; j < length; ++j)
            buffer[j] = window[j] * (segment[j] - mean);
        fft(buffer);
        for (std::size_t k = 0; k < spectrum.density.size(); ++k)
            spectrum.density[k] += std::norm(buffer[k]);
        ++spectrum.segments;
    }
    const double scale = 1.0 / (sampleRate * windowPower * static_cast<double>(spectrum.segments));
    for (std::size_t k = 0; k < spectrum.density.size(); ++k) {
        const bool single = k == 0 || k == length / 2; // no mirror image to fold in
        spectrum.density[k] *= single ? scale : 2.0 * scale;
    }
    return spectrum;
}
