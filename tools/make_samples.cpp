// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the sample photo sequence or the sample video:
//   vestra2007-samples <folder> [count]         stem(001).bmp ... into the folder
//   vestra2007-samples --video <file> [frames]  the same figure as an H.264 video, 30 per second
//   vestra2007-samples --help                   the usage
#include "sample_photos.h"
#include "sample_video.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstring>

namespace {

void printUsage(std::FILE* stream, const char* program) {
    std::fprintf(stream,
                 "usage: %s <folder> [count]\n"
                 "       %s --video <file> [frames]\n"
                 "Writes the sample photos sample(001).bmp ... (30 unless count is given) into\n"
                 "the folder, or the sample video (300 frames unless given) to the file.\n",
                 program, program);
}

} // namespace

int main(int argc, char* argv[]) {
    const bool video = argc > 1 && std::strcmp(argv[1], "--video") == 0;
    const int first = video ? 2 : 1;
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        printUsage(stdout, argv[0]);
        return 0;
    }
    // Any other option is a mistake, not a folder to write into (./-x names such a folder).
    if (argc <= first || argv[first][0] == '-') {
        printUsage(stderr, argv[0]);
        return 2;
    }
    // Painting text-free pictures needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString target = QString::fromLocal8Bit(argv[first]);
    const int count = argc > first + 1 ? QString::fromLocal8Bit(argv[first + 1]).toInt() : 0;
    QString error;
    bool written = false;
    if (video) {
        VideoWriteOptions options;
        options.encoderOptions = {{"preset", "medium"}, {"crf", "20"}};
        written =
            writeSampleVideo(target, count > 0 ? count : 300, SampleOptions(), options, &error);
    } else {
        SampleOptions options;
        if (count > 0)
            options.count = count;
        written = writeSampleSequence(target, QStringLiteral("sample"), options, &error);
    }
    if (!written) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
