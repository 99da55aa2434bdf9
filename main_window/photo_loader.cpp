#include "photo_loader.h"

#include "display_size.h"

#include <QImageReader>

namespace {

// Decodes at the requested size; scaling inside the decoder makes big JPEGs several times faster
// than decoding them whole.
std::optional<QImage> readScaled(QImageReader& reader, QSize originalSize, QSize target) {
    if (target != originalSize)
        reader.setScaledSize(target);
    QImage image = reader.read();
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

void limitAllocation(QImageReader& reader) {
    reader.setAllocationLimit(kPhotoAllocationLimitMb);
    reader.setAutoTransform(false); // pixels as stored, like the rest of the sequence
}

} // namespace

std::optional<LoadedPhoto> loadPhotoForDisplay(const QString& path) {
    QImageReader reader(path);
    limitAllocation(reader);
    const QSize original = reader.size();
    if (!original.isValid() || original.isEmpty())
        return std::nullopt;
    const auto shown = displaySize(original.width(), original.height());
    if (!shown)
        return std::nullopt;
    auto image = readScaled(reader, original, QSize(shown->width, shown->height));
    if (!image)
        return std::nullopt;
    return LoadedPhoto{std::move(*image), original};
}

std::optional<QImage> loadPhotoAtSize(const QString& path, QSize size) {
    QImageReader reader(path);
    limitAllocation(reader);
    const QSize original = reader.size();
    if (!original.isValid() || original.isEmpty() || size.isEmpty())
        return std::nullopt;
    return readScaled(reader, original, size);
}
