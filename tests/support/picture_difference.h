// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

#include <cmath>

// Mean absolute difference per channel, 0 to 255, over premultiplied pixels; alpha counts as a
// channel only where a picture has one. Pictures of different sizes differ by 255.
inline double meanDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return 255;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const bool alpha = a.hasAlphaChannel() || b.hasAlphaChannel();
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q)) + (alpha ? std::abs(qAlpha(p) - qAlpha(q)) : 0);
        }
    return sum / ((alpha ? 4.0 : 3.0) * x.width() * x.height());
}
