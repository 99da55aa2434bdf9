// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Generated frontal scenes for marker detection: a figure over a textured background with white
// disc markers on the head, shoulders, iliac spines and knees, and the white things a detection
// must pass over: a clothing stripe larger than any marker, specular highlights smaller than
// any, and a white object cut by the picture's edge.

#include "marker_scene.h"
#include "point_d.h"

#include <QImage>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

struct FigureSceneOptions {
    int width = 800;
    int height = 600;
    int markers = 7;          // 4 to 7: which are left out is random
    double minDiameter = 6.0; // of the markers, source pixels
    double maxDiameter = 40.0;
};

struct FigureScene {
    QImage image;
    // True centres of the markers present, in the order the presets number them: head, then
    // each pair from the top with the one on the picture's right first.
    std::vector<PointD> markers;
    double diameter = 0.0; // the markers' common diameter before a few per cent of variation
};

namespace figure_scene_detail {

// A grey texture of four plane waves, each sin(kx x + ky y + phase) split into a column and a
// row factor, so a pixel costs a few multiplications instead of four sines.
class FastTexture {
public:
    FastTexture(std::mt19937& rng, int width, int height) {
        std::uniform_real_distribution<double> level(50.0, 140.0), tint(-12.0, 12.0),
            wavelength(6.0, 60.0), angle(0.0, 2 * std::numbers::pi), amplitude(3.0, 9.0);
        const double grey = level(rng);
        for (double& c : mBase)
            c = grey + tint(rng);
        for (Wave& w : mWaves) {
            const double direction = angle(rng), k = 2 * std::numbers::pi / wavelength(rng);
            const double phase = angle(rng), a = amplitude(rng);
            for (int x = 0; x < width; ++x) {
                w.colSin.push_back(a * std::sin(k * std::cos(direction) * x + phase));
                w.colCos.push_back(a * std::cos(k * std::cos(direction) * x + phase));
            }
            for (int y = 0; y < height; ++y) {
                w.rowSin.push_back(std::sin(k * std::sin(direction) * y));
                w.rowCos.push_back(std::cos(k * std::sin(direction) * y));
            }
        }
    }
    // Row y of the grey waves into `grey`, a wave at a time, so the loops vectorise.
    void row(int y, std::vector<double>& grey) const {
        std::fill(grey.begin(), grey.end(), 0.0);
        for (const Wave& w : mWaves) {
            const double c = w.rowCos[y], s = w.rowSin[y];
            for (std::size_t x = 0; x < grey.size(); ++x)
                grey[x] += w.colSin[x] * c + w.colCos[x] * s;
        }
    }
    [[nodiscard]] double base(int c) const { return mBase[c]; }

private:
    struct Wave {
        std::vector<double> colSin, colCos, rowSin, rowCos;
    };
    double mBase[3];
    Wave mWaves[4];
};

// Fraction of pixel (i, j) inside the disc, sampled 8 x 8 across its edge.
inline double coverage(int i, int j, const Disc& d) {
    const double distance = std::hypot(i - d.x, j - d.y);
    if (distance <= d.r - 0.75 || distance >= d.r + 0.75)
        return distance < d.r ? 1.0 : 0.0;
    int inside = 0;
    for (int sy = 0; sy < 8; ++sy)
        for (int sx = 0; sx < 8; ++sx) {
            const double x = i - 0.5 + (sx + 0.5) / 8 - d.x, y = j - 0.5 + (sy + 0.5) / 8 - d.y;
            inside += x * x + y * y <= d.r * d.r;
        }
    return inside / 64.0;
}

// Blends a white disc into the picture by its coverage of each pixel.
inline void blendDisc(QImage& image, const Disc& d) {
    const int x0 = std::max(0, int(std::floor(d.x - d.r - 1))),
              x1 = std::min(image.width() - 1, int(std::ceil(d.x + d.r + 1)));
    const int y0 = std::max(0, int(std::floor(d.y - d.r - 1))),
              y1 = std::min(image.height() - 1, int(std::ceil(d.y + d.r + 1)));
    for (int j = y0; j <= y1; ++j) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(j));
        for (int i = x0; i <= x1; ++i) {
            const double cover = coverage(i, j, d);
            if (cover <= 0)
                continue;
            const QRgb p = row[i];
            const auto mix = [&](int v) {
                return int(std::lround(v * (1 - cover) + d.white * cover));
            };
            row[i] = qRgb(mix(qRed(p)), mix(qGreen(p)), mix(qBlue(p)));
        }
    }
}

} // namespace figure_scene_detail

// A scene with options.markers markers of one diameter (each varied by up to 5 %), drawn from
// `rng`. The figure stands in the middle third; its size follows the picture's height.
inline FigureScene figureScene(std::mt19937& rng, const FigureSceneOptions& options = {}) {
    using namespace figure_scene_detail;
    const int w = options.width, h = options.height;
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const auto between = [&](double a, double b) { return a + (b - a) * unit(rng); };

    FigureScene scene;
    scene.image = QImage(w, h, QImage::Format_RGB32);
    const FastTexture texture(rng, w, h);
    std::vector<double> grey(static_cast<std::size_t>(w));
    for (int y = 0; y < h; ++y) {
        texture.row(y, grey);
        auto* row = reinterpret_cast<QRgb*>(scene.image.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = qRgb(int(texture.base(0) + grey[x]), int(texture.base(1) + grey[x]),
                          int(texture.base(2) + grey[x]));
    }

    // The figure, in units of a 600-pixel-high picture.
    const double s = h / 600.0 * between(1.05, 1.2);
    const double cx = w / 2.0 + between(-0.12, 0.12) * w;
    const double top = h * between(0.05, 0.1);
    const double d = between(options.minDiameter, options.maxDiameter);
    scene.diameter = d;
    // Levels below the top: head, shoulders, iliac spines, knees; half the pair widths.
    const double levels[4] = {0, 84, 200, 300}, halves[4] = {0, 52, 30, 26};
    std::vector<PointD> all;
    for (int level = 0; level < 4; ++level) {
        const double y = top + levels[level] * s, sideways = between(-6, 6) * s;
        if (level == 0) {
            all.push_back({cx + sideways, y});
            continue;
        }
        // Tilted pairs: the two heights differ by up to 0.4 diameters.
        const double tilt = between(-0.2, 0.2) * d;
        all.push_back({cx + sideways + halves[level] * s, y + tilt});
        all.push_back({cx + sideways - halves[level] * s, y - tilt});
    }
    {
        QPainter painter(&scene.image);
        painter.setRenderHint(QPainter::Antialiasing);
        const auto p = [&](int k) { return QPointF(all[k].x, all[k].y); };
        const QColor skin(int(between(150, 200)), int(between(110, 150)), int(between(90, 120)));
        painter.setPen(QPen(skin, 30 * s, Qt::SolidLine, Qt::RoundCap));
        for (int k : {3, 4})
            painter.drawPolyline(QPolygonF({p(k), p(k + 2), p(k + 2) + QPointF(0, 120 * s)}));
        painter.setPen(QPen(skin, 18 * s, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(p(1), p(1) + QPointF(22 * s, 120 * s));
        painter.drawLine(p(2), p(2) + QPointF(-22 * s, 120 * s));
        painter.setPen(Qt::NoPen);
        painter.setBrush(
            QColor(int(between(30, 120)), int(between(30, 120)), int(between(60, 160))));
        painter.drawPolygon(QPolygonF({p(1) + QPointF(6, -4), p(2) + QPointF(-6, -4),
                                       p(4) + QPointF(-10, 0), p(3) + QPointF(10, 0)}));
        painter.setBrush(skin);
        painter.drawEllipse(p(0) + QPointF(0, 30 * s), 26 * s, 32 * s);
    }

    // The stripe across the chest, between the shoulder and the hip markers, a third larger than
    // the largest marker area; it too is white.
    const double stripeWidth = (all[1].x - all[2].x) * 0.8;
    const double stripeHeight = std::max(1.34 * 1600 / stripeWidth, 8.0 * s);
    const double stripeY = (all[1].y + all[3].y) / 2 - stripeHeight / 2;
    {
        QPainter painter(&scene.image);
        painter.fillRect(QRectF(cx - stripeWidth / 2, stripeY, stripeWidth, stripeHeight),
                         QColor(245, 245, 245));
    }

    // Which markers are left out; the rest keep the presets' order.
    std::vector<int> present = {0, 1, 2, 3, 4, 5, 6};
    std::shuffle(present.begin(), present.end(), rng);
    present.resize(std::clamp(options.markers, 0, 7));
    std::sort(present.begin(), present.end());
    for (int k : present) {
        blendDisc(scene.image,
                  {all[k].x, all[k].y, d / 2 * between(0.95, 1.05), between(240, 255)});
        scene.markers.push_back(all[k]);
    }

    // Highlights of one to about seven pixels, away from the markers and the stripe.
    const int highlights = int(between(3, 9));
    for (int i = 0; i < highlights; ++i) {
        const PointD at{between(10, w - 10), between(10, h - 10)};
        const bool nearMarker = std::any_of(all.begin(), all.end(), [&](const PointD& m) {
            return std::hypot(m.x - at.x, m.y - at.y) < d + 6;
        });
        const bool onStripe = std::abs(at.x - cx) < stripeWidth / 2 + 6 && at.y > stripeY - 6 &&
                              at.y < stripeY + stripeHeight + 6;
        if (!nearMarker && !onStripe)
            blendDisc(scene.image, {at.x, at.y, between(0.6, 1.5), 255});
    }

    // A marker-sized white disc on one of the edges, a third of it outside.
    const double r = between(6, 18);
    const int edge = int(between(0, 4));
    const double along = between(0.1, 0.25) * (edge < 2 ? h : w);
    const PointD cut = edge == 0   ? PointD{r / 3, along}
                       : edge == 1 ? PointD{w - 1 - r / 3, h - along}
                       : edge == 2 ? PointD{along, r / 3}
                                   : PointD{w - along, h - 1 - r / 3};
    blendDisc(scene.image, {cut.x, cut.y, r, 250});

    // A little noise, -2 to 2 per channel, from a cheap generator.
    uint32_t bits = uint32_t(rng()) | 1u;
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(scene.image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            bits ^= bits << 13;
            bits ^= bits >> 17;
            bits ^= bits << 5;
            const auto jitter = [&](int v, int shift) {
                return std::clamp(v + int((bits >> shift & 0xFFu) % 5) - 2, 0, 255);
            };
            row[x] =
                qRgb(jitter(qRed(row[x]), 0), jitter(qGreen(row[x]), 8), jitter(qBlue(row[x]), 16));
        }
    }
    return scene;
}
