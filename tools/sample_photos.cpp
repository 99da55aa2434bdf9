// SPDX-License-Identifier: GPL-3.0-or-later
#include "sample_photos.h"

#include <QDir>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

namespace {

// Resting positions in a 640 x 480 photo.
constexpr QPoint kRest[kSampleMarkers] = {
    {320, 62},              // top of the head
    {372, 146}, {268, 146}, // shoulders
    {350, 262}, {290, 262}, // iliac spines
    {346, 362}, {294, 362}, // knees
};

QPoint scaled(QPoint p, const SampleOptions& o) {
    return {p.x() * o.width / 640, p.y() * o.height / 480};
}

} // namespace

QList<QPoint> sampleMarkerCentres(int frame, const SampleOptions& options) {
    // The body sways about the feet: the higher a marker, the farther it moves sideways.
    const double phase = 2 * std::numbers::pi * frame / 30.0;
    const double sway = options.swayPixels * std::sin(phase);
    QList<QPoint> centres;
    for (int k = 0; k < kSampleMarkers; ++k) {
        const QPoint rest = scaled(kRest[k], options);
        const double lever = (440.0 - kRest[k].y()) / 380.0;
        const double breathe = 1.5 * std::sin(2 * std::numbers::pi * frame / 12.0 + k);
        centres.append(QPoint(rest.x() + static_cast<int>(std::lround(sway * lever)),
                              rest.y() + static_cast<int>(std::lround(breathe * lever))));
    }
    return centres;
}

QPoint sampleRulerStart(const SampleOptions& options) {
    return {options.width / 2 - kRulerLength / 2, options.height - 22};
}

QPoint sampleRulerEnd(const SampleOptions& options) {
    return sampleRulerStart(options) + QPoint(kRulerLength, 0);
}

QImage sampleFrame(int frame, const SampleOptions& options) {
    QImage image(options.width, options.height, QImage::Format_RGB32);
    QPainter painter(&image);

    QLinearGradient wall(0, 0, 0, options.height);
    wall.setColorAt(0, QColor(58, 66, 82));
    wall.setColorAt(1, QColor(92, 96, 104));
    painter.fillRect(image.rect(), wall);
    painter.fillRect(QRect(0, options.height * 430 / 480, options.width, options.height),
                     QColor(80, 70, 62));

    const QList<QPoint> m = sampleMarkerCentres(frame, options);
    const QPoint head = m[0], lShoulder = m[1], rShoulder = m[2], lHip = m[3], rHip = m[4],
                 lKnee = m[5], rKnee = m[6];
    const int s = options.height;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    const QColor skin(196, 152, 124), shirt(70, 110, 150), shorts(50, 56, 70);
    // Legs: hip to knee to foot.
    painter.setPen(QPen(skin, s * 30 / 480, Qt::SolidLine, Qt::RoundCap));
    for (const auto& [hip, knee] : {std::pair{lHip, lKnee}, std::pair{rHip, rKnee}})
        painter.drawPolyline(QList<QPointF>{hip, knee, QPoint(knee.x(), s * 428 / 480)});
    // Arms hang from the shoulders.
    painter.setPen(QPen(skin, s * 18 / 480, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(lShoulder, lShoulder + QPoint(s * 22 / 480, s * 120 / 480));
    painter.drawLine(rShoulder, rShoulder + QPoint(-s * 22 / 480, s * 120 / 480));
    // Trunk and shorts.
    painter.setPen(Qt::NoPen);
    painter.setBrush(shirt);
    painter.drawPolygon(QPolygon({lShoulder + QPoint(6, -4), rShoulder + QPoint(-6, -4),
                                  rHip + QPoint(-10, 0), lHip + QPoint(10, 0)}));
    painter.setBrush(shorts);
    painter.drawPolygon(QPolygon({lHip + QPoint(12, -8), rHip + QPoint(-12, -8),
                                  rHip + QPoint(-16, 40), lHip + QPoint(16, 40)}));
    // Neck and head.
    painter.setBrush(skin);
    const QPoint neck = (lShoulder + rShoulder) / 2;
    painter.drawRect(QRect(neck.x() - 9, neck.y() - 30, 18, 30));
    painter.drawEllipse(QPointF(head.x(), head.y() + s * 30 / 480), s * 26 / 480.0, s * 32 / 480.0);

    // Ruler on the floor with its two end ticks.
    const QPoint a = sampleRulerStart(options), b = sampleRulerEnd(options);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor(20, 20, 20), 3));
    painter.drawLine(a, b);
    painter.setPen(QPen(QColor(230, 200, 40), 1));
    painter.drawLine(a + QPoint(0, -8), a + QPoint(0, 8));
    painter.drawLine(b + QPoint(0, -8), b + QPoint(0, 8));

    painter.end();

    // Markers: pure white discs with hard edges, symmetric about their centre pixel.
    const int r = options.markerRadius;
    for (const QPoint& centre : m)
        for (int dy = -r; dy <= r; ++dy)
            for (int dx = -r; dx <= r; ++dx)
                if (dx * dx + dy * dy <= r * r + r &&
                    image.rect().contains(centre.x() + dx, centre.y() + dy))
                    image.setPixel(centre.x() + dx, centre.y() + dy, qRgb(255, 255, 255));
    return image;
}

QString sampleFileName(const QString& stem, int frame, const QString& suffix) {
    return QStringLiteral("%1(%2).%3")
        .arg(stem)
        .arg(frame + 1, 3, 10, QLatin1Char('0'))
        .arg(suffix);
}

bool writeSampleSequence(const QString& dir, const QString& stem, const SampleOptions& options,
                         QString* error) {
    if (!QDir().mkpath(dir)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(dir);
        return false;
    }
    for (int frame = 0; frame < options.count; ++frame) {
        const QString path = QDir(dir).filePath(sampleFileName(stem, frame));
        if (!sampleFrame(frame, options).save(path, "BMP")) {
            if (error)
                *error = QStringLiteral("cannot write %1").arg(path);
            return false;
        }
    }
    return true;
}
