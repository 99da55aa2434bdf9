// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes opened as a photo through the program's own loader: it either refuses them
// or returns a picture at a display size that fits 640 x 480.
#include "photo_loader.h"

#include <QBuffer>
#include <QGuiApplication>

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    const auto photo = loadPhotoForDisplay(buffer);
    if (!photo)
        return 0;
    const QSize shown = photo->image.size();
    if (shown.width() < 1 || shown.height() < 1 || shown.width() > 640 || shown.height() > 480 ||
        photo->image.format() != QImage::Format_RGB32)
        std::abort();
    return 0;
}
