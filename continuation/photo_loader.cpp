// SPDX-License-Identifier: GPL-3.0-or-later
#include "photo_loader.h"

#include "display_size.h"

#include <QFile>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <limits>
#include <mutex>

namespace {

// Decoders fill what is missing from a cut-off file with grey or leave it uninitialised and
// still report success, so a truncated photo is recognised here and refused like any photo
// that does not load.
bool bitmapIsComplete(QIODevice& file) {
    const QByteArray head = file.peek(34);
    if (head.size() < 26 || !head.startsWith("BM"))
        return true; // not a bitmap, or too odd to judge: the decoder decides
    // A fixed buffer, so every field read below lies inside it whatever the peek returned.
    std::array<char, 34> bytes{};
    std::copy(head.cbegin(), head.cend(), bytes.begin());
    const auto u16 = [&bytes](int at) { return qFromLittleEndian<quint16>(bytes.data() + at); };
    const auto u32 = [&bytes](int at) { return qFromLittleEndian<quint32>(bytes.data() + at); };
    const qint64 dataOffset = u32(10);
    const quint32 headerSize = u32(14);
    qint64 width = 0, height = 0, bitsPerPixel = 0;
    if (headerSize == 12) {
        width = u16(18);
        height = u16(20);
        bitsPerPixel = u16(24);
    } else if (headerSize >= 40 && head.size() >= 34) {
        width = qint32(u32(18));
        height = std::abs(qint64(qint32(u32(22))));
        bitsPerPixel = u16(28);
        const quint32 compression = u32(30);
        if (compression != 0 && compression != 3 && compression != 6)
            return true; // run-length coded: its length says nothing about completeness
    } else {
        return true;
    }
    if (width <= 0 || height <= 0 || bitsPerPixel <= 0)
        return true; // the decoder refuses these itself
    const qint64 rowBytes = (width * bitsPerPixel + 31) / 32 * 4;
    // A header may claim sizes no file can hold; they must not overflow the arithmetic.
    if (rowBytes > (std::numeric_limits<qint64>::max() - dataOffset) / height)
        return false;
    return file.size() >= dataOffset + rowBytes * height;
}

bool gifIsComplete(QIODevice& file) {
    if (!file.peek(6).startsWith("GIF8"))
        return true;
    // A complete GIF ends with its trailer byte.
    const qint64 at = file.pos();
    char last = 0;
    const bool ok = file.seek(file.size() - 1) && file.getChar(&last);
    file.seek(at);
    return ok && last == 0x3B;
}

// libjpeg reports a cut-off stream only as a warning, on the thread that decodes. Photos are
// decoded on several threads at once, so the catch is per thread; the handler stays installed
// and passes every other message on.
thread_local bool tWatching = false;
thread_local bool tJpegCutOff = false;
std::atomic<QtMessageHandler> gPreviousHandler{nullptr};

void catchJpegCutOff(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (tWatching && context.category && qstrcmp(context.category, "qt.gui.imageio.jpeg") == 0 &&
        text.contains(QLatin1String("premature end"), Qt::CaseInsensitive)) {
        tJpegCutOff = true;
        return;
    }
    if (QtMessageHandler previous = gPreviousHandler.load())
        previous(type, context, text);
}

class JpegCutOffWatch {
public:
    JpegCutOffWatch() {
        // Installed once for good: installing and restoring around each read would race
        // between threads, and re-installing could loop through a handler that chains to us.
        static std::once_flag once;
        std::call_once(once,
                       [] { gPreviousHandler.store(qInstallMessageHandler(catchJpegCutOff)); });
        tJpegCutOff = false;
        tWatching = true;
    }
    ~JpegCutOffWatch() { tWatching = false; }
    JpegCutOffWatch(const JpegCutOffWatch&) = delete;
    JpegCutOffWatch& operator=(const JpegCutOffWatch&) = delete;
    [[nodiscard]] bool cutOff() const { return tJpegCutOff; }
};

void limitAllocation(QImageReader& reader) {
    reader.setAllocationLimit(kPhotoAllocationLimitMb);
    reader.setAutoTransform(false); // pixels as stored, like the rest of the sequence
}

// Decodes at the requested size; scaling inside the decoder makes big JPEGs several times faster
// than decoding them whole.
// `image` may bring memory of the right size and format to decode into.
std::optional<QImage> readScaled(QImageReader& reader, QSize originalSize, QSize target,
                                 QImage image = QImage()) {
    if (target != originalSize)
        reader.setScaledSize(target);
    {
        const JpegCutOffWatch watch;
        if (!reader.read(&image) || watch.cutOff())
            return std::nullopt;
    }
    if (image.isNull())
        return std::nullopt;
    if (image.size() != target)
        image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (image.format() != QImage::Format_RGB32)
        image.convertTo(QImage::Format_RGB32);
    if (image.isNull())
        return std::nullopt;
    return image;
}

// Reads a photo's size; nothing when it is cut off or has no pixels.
bool openPhoto(QIODevice& device, QImageReader& reader, QSize* size) {
    if (!device.isOpen() && !device.open(QIODevice::ReadOnly))
        return false;
    if (!bitmapIsComplete(device) || !gifIsComplete(device))
        return false;
    reader.setDevice(&device);
    limitAllocation(reader);
    *size = reader.size();
    return size->isValid() && !size->isEmpty();
}

} // namespace

std::optional<LoadedPhoto> loadPhotoForDisplay(QIODevice& device) {
    QImageReader reader;
    QSize original;
    if (!openPhoto(device, reader, &original))
        return std::nullopt;
    const auto shown = displaySize(original.width(), original.height());
    if (!shown)
        return std::nullopt;
    auto image = readScaled(reader, original, QSize(shown->width, shown->height));
    if (!image)
        return std::nullopt;
    return LoadedPhoto{std::move(*image), original};
}

std::optional<LoadedPhoto> loadPhotoForDisplay(const QString& path) {
    QFile file(path);
    return loadPhotoForDisplay(file);
}

std::optional<QImage> loadPhotoAtSize(const QString& path, QSize size, QImage reuse) {
    QFile file(path);
    QImageReader reader;
    QSize original;
    if (size.isEmpty() || !openPhoto(file, reader, &original))
        return std::nullopt;
    return readScaled(reader, original, size, std::move(reuse));
}

bool measuredAtSource(QSize source, QSize display) {
    if (source.isEmpty() || display.isEmpty())
        return false;
    const bool larger = source.width() > display.width() || source.height() > display.height();
    return larger && qint64{source.width()} * source.height() <= kMaxSourcePixels;
}

QImage loadPhotoSource(const QString& path, QSize display) {
    QFile file(path);
    QImageReader reader;
    QSize original;
    if (!openPhoto(file, reader, &original) || !measuredAtSource(original, display))
        return {};
    auto image = readScaled(reader, original, original);
    return image ? std::move(*image) : QImage();
}
