// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectral_measures.h"
#include "uniform_series.h"
#include "welch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr double kPi = std::numbers::pi;

// Uniform noise in [-0.5, 0.5) that a few lines of Python repeat exactly (see the rows below).
std::vector<double> noise(uint64_t seed, std::size_t n) {
    std::vector<double> out;
    for (uint64_t s = seed; out.size() < n;) {
        s = s * 6364136223846793005u + 1442695040888963407u;
        out.push_back(static_cast<double>(s >> 11) / 9007199254740992.0 - 0.5);
    }
    return out;
}

TEST(Fft, MatchesTheDirectSum) {
    std::mt19937 rng(99);
    std::normal_distribution<double> normal;
    for (std::size_t n = 1; n <= 256; n *= 2) {
        std::vector<std::complex<double>> x(n);
        for (auto& v : x)
            v = {normal(rng), normal(rng)};
        std::vector<std::complex<double>> fast = x;
        fft(fast);
        for (std::size_t k = 0; k < n; ++k) {
            std::complex<double> sum;
            for (std::size_t j = 0; j < n; ++j)
                sum += x[j] * std::polar(1.0, -2 * kPi * double(j * k % n) / double(n));
            ASSERT_LT(std::abs(fast[k] - sum), 1e-12 * n) << n << " bin " << k;
        }
    }
}

TEST(UniformSeries, ResampledOntoTheMeanInterval) {
    // {times, values, on the grid}: the grid of 10, 10.5, 11, 13 is 10, 11, 12, 13.
    const std::tuple<std::vector<double>, std::vector<double>, std::vector<double>> rows[] = {
        {{10, 10.5, 11, 13}, {4, 5, 0, 3}, {4, 0, 1.5, 3}},
        {{0, 1, 1}, {1, 2, 3}, {}}, // not strictly increasing
        {{0, NAN, 2}, {1, 2, 3}, {}},
        {{0, 1, 2}, {1, 2}, {}}, // lengths differ
        {{5}, {1}, {}}};
    for (const auto& [times, values, expected] : rows) {
        const std::vector<double> got = resampleToMeanInterval(times, values);
        ASSERT_EQ(got.size(), expected.size()) << times.size();
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], expected[i], 1e-12) << times[1] << " at " << i;
    }
}

TEST(SpectralMeasures, AgreeWithScipyWelch) {
    // Reference values from Debian's scipy 1.10.1 and numpy 1.24.2:
    //   dt = (t[-1] - t[0]) / (n - 1); grid = t[0] + arange(n) * dt; grid[-1] = t[-1]
    //   u = signal.detrend(numpy.interp(grid, t, x), type='linear')
    //   L = largest power of two <= n // 2
    //   f, p = signal.welch(u, fs=1/dt, window='hann', nperseg=L, noverlap=L//2)
    //   c = cumsum(p[1:]); total = c[-1] * (f[1] - f[0])
    //   F50 = f[1 + argmax(c >= 0.5 c[-1])], F95 likewise; p at bins 1, L/4, L/2.
    // Times i / rate; every seventh photo missing in the last row, jittered by 0.01 noise(3, n)
    // in the third. Values x(t, u) with u = noise(seed, n).
    // {samples, rate, seed, segment, total power, F50, F95, density at bins 1, L / 4, L / 2}
    const double rows[][10] = {
        {300, 30, 1, 128, 2.253496709003644, 0.46875, 2.109375, 3.547464574039125,
         0.0003728721285593461, 6.849543858276513e-05},
        {64, 10, 2, 32, 0.0918853242122864, 2.1875, 4.375, 0.045955317739727865,
         0.02755780899996879, 0.0059191428872875824},
        {200, 25, 4, 64, 0.49079778981447286, 1.171881560225967, 1.5625087469679557,
         0.0008240927375621173, 0.00014434519388656375, 9.138745021555781e-05},
        {16, 10, 5, 8, 0.516068219534641, 1.25, 2.5, 0.30121763277334795, 0.11126827318460604,
         0.00019810122216341774},
        {90, 10, 6, 32, 0.49029488808498267, 0.8100728155339805, 1.0800970873786406,
         0.01567238637195581, 0.002346656803762682, 0.0020581684725769793}};
    const std::function<double(double, double)> signals[] = {
        [](double t, double u) {
            return 2 * std::sin(2 * kPi * 0.4 * t) + 0.5 * std::sin(2 * kPi * 2.3 * t + 1) +
                   0.3 * u + 0.01 * t;
        },
        [](double, double u) { return u; },
        [](double t, double u) { return std::sin(2 * kPi * 1.1 * t) + 0.2 * u; },
        [](double t, double u) { return std::sin(2 * kPi * 1.5 * t) + 0.1 * u; },
        [](double t, double u) { return std::cos(2 * kPi * 0.7 * t) + 0.5 * u; }};
    double worst = 0;
    for (std::size_t r = 0; r < std::size(rows); ++r) {
        const std::size_t n = std::size_t(rows[r][0]), segment = std::size_t(rows[r][3]);
        SCOPED_TRACE(r);
        const std::vector<double> u = noise(uint64_t(rows[r][2]), n), jitter = noise(3, n);
        std::vector<double> t, x;
        for (int i = 0; t.size() < n; ++i)
            if (r != 4 || i % 7 != 6) {
                t.push_back(i / rows[r][1] + (r == 2 ? 0.01 * jitter[i] : 0));
                x.push_back(signals[r](t.back(), u[x.size()]));
            }
        std::vector<double> even = resampleToMeanInterval(t, x);
        const auto m = spectralMeasures(even, 1 / meanInterval(t));
        ASSERT_TRUE(m);
        EXPECT_EQ(m->segmentLength, segment);
        removeLinearTrend(even);
        const auto psd = welchSpectrum(even, 1 / meanInterval(t), segment);
        ASSERT_TRUE(psd);
        const double* d = psd->density.data();
        const double got[] = {m->totalPower, m->f50, m->f95, d[1], d[segment / 4], d[segment / 2]};
        for (std::size_t i = 0; i < std::size(got); ++i) {
            const double error = std::abs(got[i] / rows[r][4 + i] - 1);
            worst = std::max(worst, error);
            EXPECT_LT(error, 1e-12) << "value " << i; // measured: 1.3e-14
        }
    }
    std::printf("largest relative difference from scipy: %.1e\n", worst);
}

std::vector<double> sines(double rate, double seconds, std::initializer_list<double[3]> parts) {
    std::vector<double> x;
    for (int i = 0; i < static_cast<int>(rate * seconds); ++i) {
        double v = 0;
        for (const auto& [amplitude, hertz, phase] : parts)
            v += amplitude * std::sin(2 * kPi * hertz * i / rate + phase);
        x.push_back(v);
    }
    return x;
}

TEST(SpectralMeasures, SineAtPointFourHertz) {
    // {sample rate, seconds}: F50 within a bin of 0.4 Hz, and the power of a sine, a^2 / 2.
    const std::pair<double, double> rows[] = {{30, 30}, {10, 60}, {25, 20}, {29.97, 45}, {5, 40}};
    double worst = 0;
    for (const auto& [rate, seconds] : rows) {
        const auto m = spectralMeasures(sines(rate, seconds, {{3, 0.4, 0.7}}), rate);
        ASSERT_TRUE(m) << rate;
        EXPECT_LE(std::abs(m->f50 - 0.4), m->binWidth) << rate << " Hz, " << seconds << " s";
        EXPECT_LE(std::abs(m->f95 - 0.4), 2 * m->binWidth) << rate << " Hz, " << seconds << " s";
        worst = std::max(worst, std::abs(m->totalPower / 4.5 - 1));
    }
    std::printf("largest error of a sine's power: %.2f %%\n", 100 * worst);
    EXPECT_LT(worst, 0.01); // measured: 0.79 %, where the window leaks into the DC bin
}

TEST(SpectralMeasures, TwoSinesSplitTheirPower) {
    // At 20 Hz for 60 s the segments hold 512 samples: bins of 0.0390625 Hz. Sines on bins 8
    // and 38 (0.3125 and 1.484375 Hz) each spread over their bin and its two neighbours.
    constexpr double kBin = 20.0 / 512, kLow = 8 * kBin, kHigh = 38 * kBin;
    // {share of the low sine in the power, F50, F95}
    const std::tuple<double, double, double> rows[] = {
        {0.97, kLow, kLow}, {0.9, kLow, kHigh}, {0.6, kLow, kHigh}, {0.4, kHigh, kHigh}};
    for (const auto& [share, f50, f95] : rows) {
        const auto m = spectralMeasures(
            sines(20, 60,
                  {{std::sqrt(2 * share), kLow, 0.2}, {std::sqrt(2 - 2 * share), kHigh, 1}}),
            20);
        ASSERT_TRUE(m) << share;
        EXPECT_EQ(m->binWidth, kBin);
        EXPECT_LE(std::abs(m->f50 - f50), kBin * 1.0001) << share;
        EXPECT_LE(std::abs(m->f95 - f95), kBin * 1.0001) << share;
        EXPECT_NEAR(m->totalPower, 1, 5e-5) << share; // measured: 2.4e-5
    }
}

TEST(SpectralMeasures, NothingWithoutEnoughSamplesOrPower) {
    std::vector<double> x = sines(10, 1.6, {{1, 1.5, 0}}); // 16 samples: segments of 8
    EXPECT_TRUE(spectralMeasures(x, 10));
    EXPECT_FALSE(spectralMeasures(std::span(x).first(15), 10));
    EXPECT_FALSE(spectralMeasures(x, 0));
    EXPECT_FALSE(spectralMeasures(x, NAN));
    std::vector<double> line(40);
    for (std::size_t i = 0; i < line.size(); ++i)
        line[i] = 2.0 - 0.25 * i; // a line holds no power once its trend is gone
    EXPECT_FALSE(spectralMeasures(line, 10));
    x[3] = NAN;
    EXPECT_FALSE(spectralMeasures(x, 10));
}

} // namespace
