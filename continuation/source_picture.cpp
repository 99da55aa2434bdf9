// SPDX-License-Identifier: GPL-3.0-or-later
#include "source_picture.h"

std::shared_ptr<SourceFrame> sourceFrameOf(QImage picture) {
    if (picture.isNull())
        return nullptr;
    if (picture.format() != QImage::Format_RGB32)
        picture.convertTo(QImage::Format_RGB32);
    auto owner = std::make_shared<const QImage>(std::move(picture));
    const ArgbPicture pixels{reinterpret_cast<const uint32_t*>(owner->constBits()), owner->width(),
                             owner->height(), owner->bytesPerLine() / 4};
    return std::make_shared<PictureSourceFrame>(pixels, owner);
}

void attachSource(SourceItem& item, QImage source) {
    if (source.isNull() || item.picture.isNull())
        return;
    item.scale = {source.width(), source.height(), item.picture.width(), item.picture.height()};
    item.source = sourceFrameOf(std::move(source));
}
