// SPDX-License-Identifier: GPL-3.0-or-later
#include "video_orientation.h"

#include <cmath>

QSize VideoOrientation::uprightSize(QSize stored) const {
    return turned() ? stored.transposed() : stored;
}

QSize VideoOrientation::storedSize(QSize upright) const {
    return turned() ? upright.transposed() : upright;
}

QTransform VideoOrientation::transform(QSize stored) const {
    // Turned about the origin, then moved back into the first quadrant; mirrored last.
    const QSize upright = uprightSize(stored);
    QTransform turn;
    switch (rotation) {
    case 90:
        turn = QTransform(0, 1, -1, 0, upright.width(), 0);
        break;
    case 180:
        turn = QTransform(-1, 0, 0, -1, upright.width(), upright.height());
        break;
    case 270:
        turn = QTransform(0, -1, 1, 0, 0, upright.height());
        break;
    default:
        break;
    }
    if (mirrored)
        turn *= QTransform(-1, 0, 0, 1, upright.width(), 0);
    return turn;
}

QImage VideoOrientation::apply(const QImage& stored) const {
    if (isIdentity() || stored.isNull())
        return stored;
    // Qt's quarter turns and mirrors move whole pixels without filtering.
    QImage turned = rotation == 0 ? stored : stored.transformed(QTransform().rotate(rotation));
    return mirrored ? turned.mirrored(true, false) : turned;
}

VideoOrientation orientationOfDisplayMatrix(const int32_t matrix[9]) {
    // (x', y') = (a x + c y, b x + d y) in pixels with y pointing down.
    const double a = matrix[0] / 65536.0;
    const double b = matrix[1] / 65536.0;
    const double c = matrix[3] / 65536.0;
    const double d = matrix[4] / 65536.0;
    if (!std::isfinite(a + b + c + d) || std::hypot(a, b) == 0 || std::hypot(c, d) == 0)
        return {};
    VideoOrientation best;
    double bestScore = -INFINITY;
    for (const bool mirrored : {false, true}) {
        for (int rotation = 0; rotation < 360; rotation += 90) {
            // A clockwise quarter turn on screen, then the mirror negating x'.
            const int cosine = rotation == 0 ? 1 : rotation == 180 ? -1 : 0;
            const int sine = rotation == 90 ? 1 : rotation == 270 ? -1 : 0;
            const int flip = mirrored ? -1 : 1;
            const double score = a * flip * cosine + c * flip * -sine + b * sine + d * cosine;
            if (score > bestScore + 1e-9) {
                bestScore = score;
                best = {rotation, mirrored};
            }
        }
    }
    return best;
}

QRect storedRectFor(const VideoOrientation& orientation, QSize stored, QSize uprightSize,
                    const QRectF& upright) {
    if (stored.isEmpty() || uprightSize.isEmpty())
        return {};
    // To the upright picture at stored scale, then back through the inverse mapping.
    const QSize full = orientation.uprightSize(stored);
    const QRectF scaled(upright.x() * full.width() / uprightSize.width(),
                        upright.y() * full.height() / uprightSize.height(),
                        upright.width() * full.width() / uprightSize.width(),
                        upright.height() * full.height() / uprightSize.height());
    const QRectF back = orientation.transform(stored).inverted().mapRect(scaled);
    const QRectF frame(QPointF(0, 0), QSizeF(stored));
    const QRectF inside = back.intersected(frame);
    if (inside.isEmpty())
        return {};
    const int left = static_cast<int>(std::floor(inside.left() + 1e-9));
    const int top = static_cast<int>(std::floor(inside.top() + 1e-9));
    const int right = static_cast<int>(std::ceil(inside.right() - 1e-9));
    const int bottom = static_cast<int>(std::ceil(inside.bottom() - 1e-9));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}
