// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <complex>
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

// The discrete Fourier transform X[k] = sum_j x[j] exp(-2 pi i j k / n) in place; n must be a
// power of two (or 0, 1).
void fft(std::span<std::complex<double>> data);

// The largest power of two not above n / 2 (0 for n < 2): the segment length of the Welch
// estimate, two segments' worth of samples at the least and three segments from n = 4 on.
[[nodiscard]] std::size_t welchSegmentLength(std::size_t n);

// A one-sided power spectral density.
struct PowerSpectrum {
    double binWidth = 0.0;       // Hz: sample rate / segment length
    std::vector<double> density; // unit^2 / Hz at k * binWidth, k = 0 .. segment length / 2
    std::size_t segmentLength = 0;
    std::size_t segments = 0;
};

// Welch's estimate: segments of `segmentLength` samples (a power of two, at least 2) starting
// every segmentLength / 2 samples, as many as fit; each has its mean removed and is multiplied
// by the periodic Hann window w[j] = 0.5 - 0.5 cos(2 pi j / L); the periodograms
// |FFT|^2 / (sampleRate sum w^2) are averaged, and every bin but 0 and L / 2 is doubled for the
// one-sided density. This is scipy.signal.welch(x, fs, window="hann", nperseg=L, noverlap=L/2)
// with its defaults (detrend="constant", scaling="density", average="mean"). Nothing when the
// samples do not fill one segment, the segment length is not a power of two of at least 2, the
// sample rate is not a positive number, or a sample is not finite.
[[nodiscard]] std::optional<PowerSpectrum>
welchSpectrum(std::span<const double> samples, double sampleRate, std::size_t segmentLength);
