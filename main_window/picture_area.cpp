// SPDX-License-Identifier: GPL-3.0-or-later
#include "picture_area.h"

#include "pixel_journal.h"
#include "press.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

PictureArea::PictureArea(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
}

void PictureArea::setInnerSize(QSize size) {
    if (size != mImage.size()) {
        QImage next(size, QImage::Format_RGB32);
        next.fill(palette().color(QPalette::Window));
        if (!mImage.isNull()) {
            QPainter painter(&next);
            painter.drawImage(0, 0, mImage);
        }
        mImage = std::move(next);
    }
    resize(size.width() + 2 * kFrame, size.height() + 2 * kFrame);
    update();
}

void PictureArea::setImage(const QImage& image) {
    mImage = image;
    resize(mImage.width() + 2 * kFrame, mImage.height() + 2 * kFrame);
}

void PictureArea::setBlank(QSize size) {
    mImage = QImage(size, QImage::Format_RGB32);
    mImage.fill(palette().color(QPalette::Window));
    resize(size.width() + 2 * kFrame, size.height() + 2 * kFrame);
    update();
}

void PictureArea::drawStretched(const QImage& picture, QSize size) {
    QPainter painter(&mImage);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(0, 0), size), picture);
    update();
}

void PictureArea::drawLine(QPoint from, QPoint to, uint32_t colour) {
    if (mJournal) {
        // A one-pixel line stays inside the rectangle of its ends; one pixel more for safety.
        const QRect box = QRect(from, to).normalized().adjusted(-1, -1, 1, 1);
        mJournal->noteRect(canvasView(), box.x(), box.y(), box.width(), box.height());
    }
    QPainter painter(&mImage);
    painter.setPen(QPen(QColor::fromRgb(argbFromColour(colour)), 0));
    painter.drawLine(from, to);
    update();
}

void PictureArea::drawText(QPoint topLeft, const QString& text, uint32_t colour) {
    QPainter painter(&mImage);
    painter.setFont(font());
    painter.setPen(QColor::fromRgb(argbFromColour(colour)));
    const QFontMetrics metrics(font());
    const QPoint baseline(topLeft.x(), topLeft.y() + metrics.ascent());
    if (mJournal) {
        // The glyphs' ink and their advance box, with room for smoothed edges.
        const QRect ink = metrics.boundingRect(text).translated(baseline);
        const QRect advance(topLeft, QSize(metrics.horizontalAdvance(text), metrics.height()));
        const QRect box = ink.united(advance).adjusted(-2, -2, 2, 2);
        mJournal->noteRect(canvasView(), box.x(), box.y(), box.width(), box.height());
    }
    painter.drawText(baseline, text);
    update();
}

PhotoView PictureArea::photoView() const {
    PhotoView view;
    if (mImage.isNull())
        return view;
    view.bits = reinterpret_cast<const uint32_t*>(mImage.constBits());
    view.width = mImage.width();
    view.height = mImage.height();
    view.stride = mImage.bytesPerLine() / 4;
    return view;
}

CanvasView PictureArea::canvasView() {
    CanvasView view;
    if (mImage.isNull())
        return view;
    view.bits = reinterpret_cast<uint32_t*>(mImage.bits());
    view.width = mImage.width();
    view.height = mImage.height();
    view.stride = mImage.bytesPerLine() / 4;
    view.journal = mJournal;
    return view;
}

void PictureArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.frameShape = QFrame::Panel;
    frame.state |= QStyle::State_Sunken;
    frame.lineWidth = kFrame;
    frame.midLineWidth = 0;
    painter.fillRect(rect(), palette().color(QPalette::Window));
    style()->drawPrimitive(QStyle::PE_Frame, &frame, &painter, this);
    painter.drawImage(kFrame, kFrame, mImage);
}

void PictureArea::mousePressEvent(QMouseEvent* event) {
    const QPointF inner = event->position() - QPointF(kFrame, kFrame);
    // A press on the frame is not a press on the picture.
    if (inner.x() < 0 || inner.y() < 0 || inner.x() >= mImage.width() ||
        inner.y() >= mImage.height())
        return;
    const PressPosition at =
        clampPressToPicture(inner.x(), inner.y(), mImage.width(), mImage.height());
    emit pressed(QPointF(at.x, at.y), event->modifiers());
}

QString pictureNumberText(int value) {
    return value < 0 ? QStringLiteral("%1 ").arg(value) : QStringLiteral(" %1 ").arg(value);
}
