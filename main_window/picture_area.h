// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pixel_view.h"

#include <QImage>
#include <QWidget>

class PixelJournal;

// A picture box with a persistent image: what is drawn into it stays until it is drawn over.
// Works in pixels of its inner area; a two-pixel sunken frame lies outside that area.
class PictureArea : public QWidget {
    Q_OBJECT
public:
    static constexpr int kFrame = 2;

    explicit PictureArea(QWidget* parent = nullptr);

    // Sets the inner size; the widget grows by the frame. Previous content is kept where it fits.
    void setInnerSize(QSize size);
    [[nodiscard]] QSize innerSize() const { return mImage.size(); }

    // Replaces the picture, taking its size (the clean copy of a photo).
    void setImage(const QImage& image);
    // An empty picture of the given size in the background colour, as at start-up.
    void setBlank(QSize size);
    [[nodiscard]] const QImage& image() const { return mImage; }

    // The whole picture stretched into (0, 0, width, height) of the inner area.
    void drawStretched(const QImage& picture, QSize size);
    // A one-pixel line, end points included. Colours are 0x00BBGGRR.
    void drawLine(QPoint from, QPoint to, uint32_t colour);
    // Text with its top-left corner at (x, y), transparent background.
    void drawText(QPoint topLeft, const QString& text, uint32_t colour);

    [[nodiscard]] PhotoView photoView() const;
    [[nodiscard]] CanvasView canvasView();

    // While set, every pixel that a drawing call or a canvas view overwrites is noted in the
    // journal first.
    void setJournal(PixelJournal* journal) { mJournal = journal; }

signals:
    // A mouse press inside the inner area, in inner pixels.
    void pressed(QPointF position, Qt::KeyboardModifiers modifiers);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QImage mImage;
    PixelJournal* mJournal = nullptr;
};

// Text for a number as the picture writes it: a blank or minus sign in front, a blank behind.
[[nodiscard]] QString pictureNumberText(int value);
