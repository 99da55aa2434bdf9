// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Generated frontal scenes for marker detection: a figure over a blotchy background with white
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

struct FigureScene {
    QImage image;
    // True centres of the markers present, in the order the presets number them: head, then
    // each pair from the top with the one on the picture's right first.
    std::vector<PointD> markers;
    double diameter = 0.0; // the markers' common diameter before a few per cent of variation
};

// Blends a white disc into the picture by its coverage of each pixel.
inline void blendDisc(QImage& image, const Disc& d) {
    for (int j = std::max(0, int(d.y - d.r - 1));
         j <= std::min(image.height() - 1, int(d.y + d.r + 2)); ++j)
        for (int i = std::max(0, int(d.x - d.r - 1));
             i <= std::min(image.width() - 1, int(d.x + d.r + 2)); ++i) {
            const double cover = discCoverage(i, j, d.x, d.y, d.r);
            const QRgb p = image.pixel(i, j);
            const auto mix = [&](int v) {
                return int(std::lround(v * (1 - cover) + d.white * cover));
            };
            image.setPixel(i, j, qRgb(mix(qRed(p)), mix(qGreen(p)), mix(qBlue(p))));
        }
}

// A scene with `markers` (0 to 7, which are left out is random) of one diameter of 6 to 40
// pixels (each varied by up to 5 %), drawn from `rng`. The figure stands in the middle third;
// its size follows the picture's height.
inline FigureScene figureScene(std::mt19937& rng, int markers, int w = 800, int h = 600) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const auto between = [&](double a, double b) { return a + (b - a) * unit(rng); };

    // Grey blotches of two sizes over a tinted grey: random cells blown up smoothly.
    const double grey = between(50, 140),
                 base[3] = {grey + between(-12, 12), grey + between(-12, 12),
                            grey + between(-12, 12)};
    const auto blotches = [&](int cell) {
        QImage cells(w / cell + 2, h / cell + 2, QImage::Format_RGB32);
        for (int y = 0; y < cells.height(); ++y)
            for (int x = 0; x < cells.width(); ++x) {
                const double v = between(-30, 30);
                cells.setPixel(x, y, qRgb(int(base[0] + v), int(base[1] + v), int(base[2] + v)));
            }
        return cells.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    };
    FigureScene scene;
    scene.image = blotches(40).convertToFormat(QImage::Format_RGB32);

    // The figure, in units of a 600-pixel-high picture.
    const double s = h / 600.0 * between(1.05, 1.2);
    const double cx = w / 2.0 + between(-0.12, 0.12) * w;
    const double top = h * between(0.05, 0.1);
    const double d = scene.diameter = between(6, 40);
    // Levels below the top: head, shoulders, iliac spines, knees; half the pair widths.
    const double levels[4] = {0, 84, 200, 300}, halves[4] = {0, 52, 30, 26};
    std::vector<PointD> all;
    for (int level = 0; level < 4; ++level) {
        const double y = top + levels[level] * s, sideways = between(-6, 6) * s;
        // Tilted pairs: the two heights differ by up to 0.4 diameters.
        const double tilt = between(-0.2, 0.2) * d;
        all.push_back({cx + sideways + halves[level] * s, y + tilt * (level > 0)});
        if (level > 0)
            all.push_back({cx + sideways - halves[level] * s, y - tilt});
    }
    // The stripe across the chest, between the shoulder and the hip markers, a third larger than
    // the largest marker area; it too is white.
    const double stripeWidth = (all[1].x - all[2].x) * 0.8;
    const double stripeHeight = std::max(1.34 * 1600 / stripeWidth, 8.0 * s);
    const double stripeY = (all[1].y + all[3].y) / 2 - stripeHeight / 2;
    {
        QPainter painter(&scene.image);
        painter.setOpacity(0.5);
        painter.drawImage(0, 0, blotches(6));
        painter.setOpacity(1);
        painter.setRenderHint(QPainter::Antialiasing);
        const auto p = [&](int k) { return QPointF(all[k].x, all[k].y); };
        const QColor skin(int(between(150, 200)), int(between(110, 150)), int(between(90, 120)));
        painter.setPen(QPen(skin, 30 * s, Qt::SolidLine, Qt::RoundCap));
        for (int k : {3, 4}) // the legs, from the iliac spines through the knees
            painter.drawPolyline(QPolygonF({p(k), p(k + 2), p(k + 2) + QPointF(0, 120 * s)}));
        painter.setPen(Qt::NoPen);
        painter.setBrush(
            QColor(int(between(30, 120)), int(between(30, 120)), int(between(60, 160))));
        painter.drawPolygon(QPolygonF({p(1) + QPointF(6, -4), p(2) + QPointF(-6, -4),
                                       p(4) + QPointF(-10, 0), p(3) + QPointF(10, 0)}));
        painter.setBrush(skin);
        painter.drawEllipse(p(0) + QPointF(0, 30 * s), 26 * s, 32 * s);
        painter.fillRect(QRectF(cx - stripeWidth / 2, stripeY, stripeWidth, stripeHeight),
                         QColor(245, 245, 245));
    }

    // Which markers are left out; the rest keep the presets' order.
    std::vector<int> present = {0, 1, 2, 3, 4, 5, 6};
    std::shuffle(present.begin(), present.end(), rng);
    present.resize(std::clamp(markers, 0, 7));
    std::sort(present.begin(), present.end());
    for (int k : present) {
        blendDisc(scene.image,
                  {all[k].x, all[k].y, d / 2 * between(0.95, 1.05), between(240, 255)});
        scene.markers.push_back(all[k]);
    }

    // Highlights of one to about seven pixels, away from the markers and the stripe.
    for (int i = int(between(3, 9)); i > 0; --i) {
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
    const double r = between(6, 18), along = between(0.1, 0.25);
    const PointD cut[4] = {{r / 3, along * h},
                           {w - 1 - r / 3, h - along * h},
                           {along * w, r / 3},
                           {w - along * w, h - 1 - r / 3}};
    const PointD& on = cut[int(between(0, 4))];
    blendDisc(scene.image, {on.x, on.y, r, 250});

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
