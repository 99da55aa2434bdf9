// SPDX-License-Identifier: GPL-3.0-or-later
#include "sway_figure.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <QWidget>

namespace {
constexpr qreal kPngScale = 2.0;
}

WriteResult saveFigureFile(const QString& path, QWidget* figure) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QSize size = figure->size();
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(QStringLiteral("動揺解析"));
        // Text is laid out at the screen's resolution; at the generator's default of 72 dpi
        // the fonts would come out smaller than the gaps left for them.
        svg.setResolution(figure->logicalDpiX());
        QPainter painter(&svg);
        figure->render(&painter);
    } else {
        QImage image(size * kPngScale, QImage::Format_RGB32);
        image.setDevicePixelRatio(kPngScale);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            figure->render(&painter);
        }
        image.save(&buffer, "PNG");
    }
    buffer.close();
    return writeWholeFile(path, bytes);
}
