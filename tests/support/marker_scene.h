// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Generated pictures of white markers: anti-aliased discs at sub-pixel positions on a plain or
// textured background, with Gaussian noise, optionally through JPEG, for accuracy tests; and a
// plain room with hard-edged discs for the roads through the windows.

#include <QBuffer>
#include <QImage>
#include <QList>
#include <QPoint>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <tuple>
#include <vector>

// A plain dark room, 640 x 480, with white discs of radius 6 symmetric about the given centres.
inline QImage roomWithMarkers(const QList<QPoint>& centres) {
    QImage image(640, 480, QImage::Format_RGB32);
    image.fill(qRgb(50, 55, 60));
    for (const QPoint& c : centres)
        for (int dy = -6; dy <= 6; ++dy)
            for (int dx = -6; dx <= 6; ++dx)
                if (dx * dx + dy * dy <= 42)
                    image.setPixel(c.x() + dx, c.y() + dy, qRgb(255, 255, 255));
    return image;
}

// A smooth random texture: channel c (0 red, 1 green, 2 blue) at pixel (x, y) is a base colour
// plus four plane waves of grey.
struct Texture {
    double base[3];
    double waves[4][4]; // kx, ky, phase, amplitude
    explicit Texture(std::mt19937& rng) {
        std::uniform_real_distribution<double> level(50.0, 150.0), tint(-12.0, 12.0),
            wavelength(6.0, 40.0), angle(0.0, 2 * std::numbers::pi), amplitude(3.0, 8.0);
        const double grey = level(rng);
        for (double& c : base)
            c = grey + tint(rng);
        for (auto& [kx, ky, phase, a] : waves) {
            const double direction = angle(rng);
            const double k = 2 * std::numbers::pi / wavelength(rng);
            std::tie(kx, ky) = std::pair(k * std::cos(direction), k * std::sin(direction));
            phase = angle(rng);
            a = amplitude(rng);
        }
    }
    double operator()(int c, int x, int y) const {
        double v = base[c];
        for (const auto& [kx, ky, phase, a] : waves)
            v += a * std::sin(kx * x + ky * y + phase);
        return v;
    }
};

// Fraction of pixel (i, j), the square [i - 0.5, i + 0.5] x [j - 0.5, j + 0.5], inside the
// disc. Exact away from the edge, sampled 32 x 32 across it.
inline double discCoverage(int i, int j, double cx, double cy, double r) {
    const double d = std::hypot(i - cx, j - cy);
    if (d <= r - 0.75 || d >= r + 0.75)
        return d < r ? 1.0 : 0.0;
    constexpr int kSamples = 32;
    int inside = 0;
    for (int sy = 0; sy < kSamples; ++sy)
        for (int sx = 0; sx < kSamples; ++sx) {
            const double x = i - 0.5 + (sx + 0.5) / kSamples;
            const double y = j - 0.5 + (sy + 0.5) / kSamples;
            inside += (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
        }
    return inside / double(kSamples * kSamples);
}

struct Disc {
    double x, y, r;
    double white = 250.0;
};

// The background (channel c at pixel (x, y): a Texture, or a plain grey) with the discs blended
// in by coverage, then noise of `sigma` grey levels per channel (none for 0), rounded.
template <typename Background>
QImage renderScene(int width, int height, const Background& background,
                   const std::vector<Disc>& discs, double sigma, std::mt19937& rng) {
    std::normal_distribution<double> noise(0.0, sigma > 0 ? sigma : 1.0);
    QImage image(width, height, QImage::Format_RGB32);
    for (int j = 0; j < height; ++j) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(j));
        for (int i = 0; i < width; ++i) {
            double cover = 0.0, white = 255.0;
            for (const Disc& d : discs) {
                const double c = discCoverage(i, j, d.x, d.y, d.r);
                if (c > cover)
                    std::tie(cover, white) = std::pair(c, d.white);
            }
            int channel[3];
            for (int c = 0; c < 3; ++c) {
                const double v = background(c, i, j) * (1.0 - cover) + white * cover +
                                 (sigma > 0 ? noise(rng) : 0.0);
                channel[c] = std::clamp(static_cast<int>(std::lround(v)), 0, 255);
            }
            row[i] = qRgb(channel[0], channel[1], channel[2]);
        }
    }
    return image;
}

// The picture after a round trip through JPEG at the given quality.
inline QImage throughJpeg(const QImage& image, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", quality);
    return QImage::fromData(bytes, "JPG").convertToFormat(QImage::Format_RGB32);
}

// A 32-bit picture as a PhotoView or ArgbPicture: {bits, width, height, words per row}.
template <typename View> View pixelsOf(const QImage& image) {
    return {reinterpret_cast<const uint32_t*>(image.constBits()), image.width(), image.height(),
            image.bytesPerLine() / 4};
}
