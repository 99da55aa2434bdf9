// The icon theme files are what the desktop shows in menus and file managers; they must be the
// icon of the windows, at every size and as SVG.
#include "picture_difference.h"
#include "program_icon.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTest>

#include <cmath>
#include <cstdlib>

namespace {

QString iconFile(const QString& relative) {
    return QStringLiteral(VESTRA_ICON_DIR "/hicolor/") + relative;
}

QImage renderSvg(const QString& file, int size) {
    QSvgRenderer renderer(file);
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    renderer.render(&p);
    p.end();
    return image;
}

} // namespace

class IconFilesTests : public QObject {
    Q_OBJECT

private slots:
    void pngsAreTheDrawingAtTheirSize_data() {
        QTest::addColumn<int>("size");
        for (int size : {16, 32, 48, 64, 128, 256})
            QTest::addRow("%d", size) << size;
    }
    void pngsAreTheDrawingAtTheirSize() {
        QFETCH(int, size);
        const QImage file(iconFile(QStringLiteral("%1x%1/apps/vestra2007.png").arg(size)));
        QCOMPARE(file.size(), QSize(size, size));
        QCOMPARE(file.convertToFormat(QImage::Format_ARGB32_Premultiplied), programIconImage(size));
    }

    void the32PngIsTheWindowIcon() {
        const QImage file(iconFile(QStringLiteral("32x32/apps/vestra2007.png")));
        QCOMPARE(file.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 programIcon().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }

    void svgDrawsTheSameIcon_data() {
        QTest::addColumn<int>("size");
        QTest::newRow("32") << 32;
        QTest::newRow("256") << 256;
    }
    void svgDrawsTheSameIcon() {
        QFETCH(int, size);
        const QString svg = iconFile(QStringLiteral("scalable/apps/vestra2007.svg"));
        QVERIFY(QSvgRenderer(svg).isValid());
        QCOMPARE(QSvgRenderer(svg).defaultSize(), QSize(32, 32));
        const QImage rendered = renderSvg(svg, size);
        const double difference = meanDifference(rendered, programIconImage(size));
        // Anti-aliasing differs a little between the two renderers; a wrong drawing (here the
        // icon upside down) differs by far more.
        const double wrong = meanDifference(rendered, programIconImage(size).mirrored());
        QVERIFY2(difference < 1.0, qPrintable(QString::number(difference)));
        QVERIFY2(wrong > 10.0, qPrintable(QString::number(wrong)));
    }
};

QTEST_MAIN(IconFilesTests)
#include "icon_files_tests.moc"
