// SPDX-License-Identifier: GPL-3.0-or-later
#include "figures.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>

namespace {

// Crisp one-pixel lines: the figures are tiny and must not blur into grey.
template <typename Draw> QPixmap drawFigure(int width, int height, Draw draw) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(Qt::NoBrush);
        draw(painter);
    }
    return QPixmap::fromImage(image);
}

} // namespace

QPixmap standingSideFigure() {
    return drawFigure(14, 36, [](QPainter& p) {
        p.drawEllipse(2, 0, 7, 7); // head
        p.drawLine(10, 3, 11, 4);  // nose, to the right
        p.drawLine(6, 8, 6, 34);   // body
        p.drawLine(6, 35, 12, 35); // foot, to the right
    });
}

QPixmap standingFrontFigure() {
    return drawFigure(11, 36, [](QPainter& p) {
        p.drawEllipse(1, 0, 8, 8); // head
        p.drawPoint(3, 3);         // eyes
        p.drawPoint(7, 3);
        p.drawLine(4, 6, 6, 6);   // mouth
        p.drawLine(5, 9, 5, 34);  // body
        p.drawLine(1, 35, 9, 35); // base
    });
}

QPixmap lyingSideFigure() {
    return drawFigure(50, 19, [](QPainter& p) {
        p.drawEllipse(0, 4, 7, 7); // head, at the left
        p.drawLine(4, 12, 3, 13);  // nose, pointing down
        p.drawLine(8, 8, 47, 8);   // body
        p.drawLine(48, 8, 48, 15); // foot, pointing down
    });
}

QPixmap lyingFrontFigure() {
    return drawFigure(50, 15, [](QPainter& p) {
        p.drawEllipse(0, 3, 8, 8); // head, at the left
        p.drawPoint(3, 5);         // eyes
        p.drawPoint(3, 9);
        p.drawLine(6, 6, 6, 8);    // mouth
        p.drawLine(9, 7, 46, 7);   // body
        p.drawLine(47, 3, 47, 11); // base, at the right
    });
}
