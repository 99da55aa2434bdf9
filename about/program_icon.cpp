// SPDX-License-Identifier: GPL-3.0-or-later
#include "program_icon.h"

#include <QPainter>
#include <QPainterPath>

void paintProgramIcon(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);

    // Tile.
    QLinearGradient tile(0, 0, 0, 32);
    tile.setColorAt(0.0, QColor(40, 110, 190));
    tile.setColorAt(1.0, QColor(15, 55, 120));
    p.setPen(QPen(QColor(10, 35, 80), 1));
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 6, 6);

    // The figure, facing right: head, trunk, an arm, and a leg bent at the knee.
    const QPointF shoulder(14, 10), hip(14, 19), knee(18, 24), ankle(15, 29), hand(19, 16);
    p.setPen(QPen(QColor(225, 235, 245), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(14, 5.5), 2.6, 2.6);
    p.drawPolyline(QList<QPointF>{shoulder, hip, knee, ankle});
    p.drawLine(shoulder, hand);

    // The measured angle at the knee.
    p.setPen(QPen(QColor(255, 200, 40), 1.4));
    QPainterPath arc;
    arc.arcMoveTo(QRectF(knee.x() - 5, knee.y() - 5, 10, 10), 123);
    arc.arcTo(QRectF(knee.x() - 5, knee.y() - 5, 10, 10), 123, 121);
    p.drawPath(arc);

    // White markers on the landmarks, with a dark rim so they stand out on the figure.
    p.setPen(QPen(QColor(10, 35, 80), 0.8));
    p.setBrush(Qt::white);
    for (const QPointF& marker : {shoulder, hip, knee, ankle})
        p.drawEllipse(marker, 1.9, 1.9);
}

QImage programIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.scale(double(size) / kProgramIconGrid, double(size) / kProgramIconGrid);
    paintProgramIcon(p);
    p.end();
    return image;
}

QPixmap programIcon() {
    return QPixmap::fromImage(programIconImage(kProgramIconGrid));
}
