// Writes the sample photo sequence: vestra2007-samples <folder> [count]
#include "sample_photos.h"

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <folder> [count]\n", argv[0]);
        return 2;
    }
    // Painting text-free pictures needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    SampleOptions options;
    if (argc > 2)
        options.count = QString::fromLocal8Bit(argv[2]).toInt();
    QString error;
    if (!writeSampleSequence(QString::fromLocal8Bit(argv[1]), QStringLiteral("sample"), options,
                             &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
