// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The sample sequence's frontal figure with what a marker detection must pass over: a white
// stripe across the shirt larger than any marker, highlights of one to four pixels, and white
// discs cut by the left and the top edge. The seven markers stay those of sampleFrame, centred on
// whole pixels, so a click on a marker's centre and a press found for it land on one pixel.

#include "sample_photos.h"

#include <QDir>
#include <QImage>
#include <QPainter>

inline QImage frontalSceneWithDistractors(int frame) {
    QImage image = sampleFrame(frame);
    QPainter painter(&image);
    painter.fillRect(QRect(285, 190, 71, 26), QColor(250, 250, 250)); // 1846 pixels
    for (const QRect& highlight : {QRect(100, 100, 1, 1), QRect(520, 300, 2, 2),
                                   QRect(200, 400, 2, 1), QRect(450, 60, 1, 2)})
        painter.fillRect(highlight, Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(2, 240), 12, 12);
    painter.drawEllipse(QPointF(560, 3), 9, 9);
    return image;
}

// Photos 1 to `count` of the scene as stem(001).bmp … in `folder`; false when one cannot be
// written.
inline bool writeFrontalScenes(const QString& folder, const QString& stem, int count) {
    QDir().mkpath(folder);
    for (int frame = 0; frame < count; ++frame)
        if (!frontalSceneWithDistractors(frame).save(
                QDir(folder).filePath(sampleFileName(stem, frame)), "BMP"))
            return false;
    return true;
}
