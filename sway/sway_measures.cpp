// SPDX-License-Identifier: GPL-3.0-or-later
#include "sway_measures.h"

#include "uniform_series.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace {

// Degrees: far below any printed precision, far above the rounding of the covariance.
constexpr double kTiltResidue = 1e-7;

bool allFinite(std::span<const PointD> path) {
    return std::all_of(path.begin(), path.end(),
                       [](const PointD& p) { return std::isfinite(p.x) && std::isfinite(p.y); });
}

PointD mean(std::span<const PointD> path) {
    PointD m;
    for (const PointD& p : path) {
        m.x += p.x;
        m.y += p.y;
    }
    const auto n = static_cast<double>(path.size());
    return {m.x / n, m.y / n};
}

} // namespace

double fQuantile95(int m) {
    if (m < 1)
        return std::numeric_limits<double>::quiet_NaN();
    const double dm = m;
    return dm / 2.0 * (std::pow(0.05, -2.0 / dm) - 1.0);
}

std::optional<PredictionEllipse> predictionEllipse(std::span<const PointD> path) {
    const std::size_t count = path.size();
    if (count < 3 || !allFinite(path))
        return std::nullopt;
    const auto n = static_cast<double>(count);
    PredictionEllipse e;
    e.centre = mean(path);

    // Sample covariance about the mean, summed from centred values for accuracy.
    double sxx = 0, sxy = 0, syy = 0;
    for (const PointD& p : path) {
        const double dx = p.x - e.centre.x;
        const double dy = p.y - e.centre.y;
        sxx += dx * dx;
        sxy += dx * dy;
        syy += dy * dy;
    }
    sxx /= n - 1;
    sxy /= n - 1;
    syy /= n - 1;

    const double k =
        2.0 * (n + 1) * (n - 1) / (n * (n - 2)) * fQuantile95(static_cast<int>(count) - 2);
    // Eigenvalues of S in the numerically stable form.
    const double half = (sxx + syy) / 2.0;
    const double root = std::hypot((sxx - syy) / 2.0, sxy);
    const double lambda1 = half + root;
    double lambda2 = half - root;
    // Collinear positions leave a rounding residue; below this they count as a line.
    if (lambda2 <= lambda1 * 1e-12)
        lambda2 = 0.0;
    e.semiMajor = std::sqrt(k * lambda1);
    e.semiMinor = std::sqrt(k * lambda2);
    e.area = std::numbers::pi * k * std::sqrt(lambda1 * lambda2);

    if (root > 0.0) {
        // Direction of the eigenvector of lambda1: atan2(lambda1 - sxx, sxy) or, the same
        // in a stable form, half the angle of (sxx - syy, 2 sxy).
        double tilt = 0.5 * std::atan2(2.0 * sxy, sxx - syy) * 180.0 / std::numbers::pi;
        // An axis at -90 is the one at 90. Rounding in the covariance turns exactly vertical
        // paths into -89.9999999999... for some points and 89.9999999999... for others.
        if (tilt <= -90.0 + kTiltResidue || tilt >= 90.0 - kTiltResidue)
            tilt = 90.0;
        e.tiltDegrees = tilt;
    }
    return e;
}

double printedTilt(double degrees, int decimals) {
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, degrees,
                                         std::chars_format::fixed, std::clamp(decimals, 0, 17));
    double printed = 0.0;
    if (ec == std::errc{} && std::from_chars(buffer, end, printed).ec == std::errc{} &&
        printed == -90.0)
        return 90.0;
    return degrees;
}

std::optional<SwayMeasures> swayMeasures(std::span<const PointD> path, double duration) {
    const auto ellipse = predictionEllipse(path);
    if (!ellipse)
        return std::nullopt;
    SwayMeasures m;
    m.n = static_cast<int>(path.size());
    m.ellipse = *ellipse;
    const PointD centre = ellipse->centre;

    double minX = path[0].x, maxX = minX, minY = path[0].y, maxY = minY;
    double sxx = 0, syy = 0, distance = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const PointD& p = path[i];
        if (i > 0)
            m.pathLength += std::hypot(p.x - path[i - 1].x, p.y - path[i - 1].y);
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
        const double dx = p.x - centre.x;
        const double dy = p.y - centre.y;
        sxx += dx * dx;
        syy += dy * dy;
        distance += std::hypot(dx, dy);
    }
    const auto n = static_cast<double>(path.size());
    m.rangeX = maxX - minX;
    m.rangeY = maxY - minY;
    m.rmsX = std::sqrt(sxx / n);
    m.rmsY = std::sqrt(syy / n);
    m.meanDistance = distance / n;
    if (std::isfinite(duration) && duration > 0.0) {
        m.duration = duration;
        m.meanVelocity = m.pathLength / duration;
    }
    return m;
}

std::optional<FrequencyMeasures> frequencyMeasures(std::span<const PointD> path,
                                                   std::span<const double> times,
                                                   const SwayMeasures& measures) {
    if (path.size() < 2 || times.size() != path.size() ||
        !std::all_of(times.begin(), times.end(), [](double t) { return std::isfinite(t); }))
        return std::nullopt;
    FrequencyMeasures f;
    f.duration = times.back() - times.front();
    if (!(f.duration > 0.0))
        return std::nullopt;
    if (measures.meanDistance > 0.0)
        f.meanFrequency =
            measures.pathLength / (2.0 * std::numbers::pi * measures.meanDistance * f.duration);

    std::vector<double> xs, ys;
    for (const PointD& p : path) {
        xs.push_back(p.x);
        ys.push_back(p.y);
    }
    const std::vector<double> x = resampleToMeanInterval(times, xs);
    const std::vector<double> y = resampleToMeanInterval(times, ys);
    if (x.empty())
        return f;
    const PointD centre = measures.ellipse.centre;
    std::vector<double> distance(x.size());
    for (std::size_t i = 0; i < x.size(); ++i)
        distance[i] = std::hypot(x[i] - centre.x, y[i] - centre.y);
    f.spectrum = spectralMeasures(distance, 1.0 / meanInterval(times));
    return f;
}
