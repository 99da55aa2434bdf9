// SPDX-License-Identifier: GPL-3.0-or-later
// The icon theme files are what the desktop shows in menus and file managers; they must be the
// icon of the windows, at every size and as SVG.
#include "picture_difference.h"
#include "program_icon.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTest>

class IconFilesTests : public QObject {
    Q_OBJECT

    static QString iconFile(const QString& relative) {
        return QStringLiteral(VESTRA_ICON_DIR "/hicolor/") + relative;
    }

private slots:
    void pngsAreTheDrawingAtTheirSize() {
        for (const int size : {16, 32, 48, 64, 128, 256}) {
            const QImage file(iconFile(QStringLiteral("%1x%1/apps/vestra2007.png").arg(size)));
            QCOMPARE(file.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                     programIconImage(size));
        }
        QCOMPARE(programIcon().toImage(), programIconImage(32)); // the windows' icon
    }

    void svgDrawsTheSameIcon() {
        const QString svg = iconFile(QStringLiteral("scalable/apps/vestra2007.svg"));
        QSvgRenderer renderer(svg);
        QCOMPARE(renderer.defaultSize(), QSize(32, 32));
        for (const int size : {32, 256}) {
            QImage rendered(size, size, QImage::Format_ARGB32_Premultiplied);
            rendered.fill(Qt::transparent);
            QPainter painter(&rendered);
            renderer.render(&painter);
            painter.end();
            // Anti-aliasing differs a little between the two renderers; a wrong drawing (here the
            // icon upside down) differs by far more.
            const double difference = meanDifference(rendered, programIconImage(size));
            const double wrong = meanDifference(rendered, programIconImage(size).mirrored());
            QVERIFY2(
                difference < 1.0 && wrong > 10.0,
                qPrintable(QStringLiteral("%1: %2 and %3").arg(size).arg(difference).arg(wrong)));
        }
    }
};

QTEST_MAIN(IconFilesTests)
#include "icon_files_tests.moc"
