// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the program's icon theme files from the drawing the windows use:
//   vestra2007-icons <folder>
// gives <folder>/hicolor/<n>x<n>/apps/vestra2007.png for each installed size and
// <folder>/hicolor/scalable/apps/vestra2007.svg.
#include "program_icon.h"

#include <QBuffer>
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSvgGenerator>

#include <cstdio>

namespace {

constexpr int kSizes[] = {16, 32, 48, 64, 128, 256};

QByteArray svgIcon() {
    QBuffer buffer;
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(QSize(kProgramIconGrid, kProgramIconGrid));
    generator.setViewBox(QRect(0, 0, kProgramIconGrid, kProgramIconGrid));
    generator.setTitle(QStringLiteral("Vestra2007"));
    generator.setDescription(QStringLiteral("Vestra2007 program icon"));
    QPainter p(&generator);
    paintProgramIcon(p);
    p.end();
    // The generator gives the size in millimetres at its resolution; icon themes expect the
    // design size in pixels.
    QString svg = QString::fromUtf8(buffer.data());
    svg.replace(QRegularExpression(QStringLiteral(R"(width="[0-9.]+mm" height="[0-9.]+mm")")),
                QStringLiteral(R"(width="%1" height="%1")").arg(kProgramIconGrid));
    return svg.toUtf8();
}

bool save(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(file.errorString()));
    return false;
}

QByteArray png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    // Painting into images and SVG needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir root(QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("hicolor")));
    bool ok = true;
    for (int size : kSizes) {
        const QString path = root.filePath(QStringLiteral("%1x%1/apps/vestra2007.png").arg(size));
        ok = save(path, png(programIconImage(size))) && ok;
    }
    ok = save(root.filePath(QStringLiteral("scalable/apps/vestra2007.svg")), svgIcon()) && ok;
    return ok ? 0 : 1;
}
