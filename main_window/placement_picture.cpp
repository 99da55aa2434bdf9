// SPDX-License-Identifier: GPL-3.0-or-later
#include "placement_picture.h"

#include "photo_loader.h"
#include "sway_record.h"
#include "video_info.h"

#include <QDir>
#include <QFileInfo>

namespace {

PlacementPicture withoutPicture(const QString& reason) {
    return {std::nullopt, reason + QStringLiteral("\n解析は画像なしで開きました。"),
            SwayEntry::kNone, QImage()};
}

} // namespace

PlacementPicture loadPlacementPicture(const AnalysisSource& source, QSize size) {
    if (source.kind == AnalysisSource::Kind::None || source.placementPath.empty())
        return {};
    const QString path = QString::fromStdString(source.placementPath);
    const QString shown = QDir::toNativeSeparators(path);
    const bool video = source.kind == AnalysisSource::Kind::Video;
    if (!QFileInfo(path).isFile())
        return withoutPicture((video ? QStringLiteral("動画 %1 が見つかりません。")
                                     : QStringLiteral("写真 %1 が見つかりません。"))
                                  .arg(shown));
    if (video) {
        VideoFrameResult frame = loadVideoFrameAt(path, source.placementPts, size);
        if (!frame.frame)
            return withoutPicture(
                QStringLiteral("動画 %1 のコマを読み込めません。").arg(shown) +
                (frame.error.isEmpty() ? QString() : QLatin1Char('\n') + frame.error));
        return {std::move(frame.frame->picture), QString(), frame.frame->seconds,
                std::move(frame.frame->source)};
    }
    // Stretched to the size it was shown at: a photo replaced by one of another size still
    // lines up with the points.
    std::optional<QImage> image = loadPhotoAtSize(path, size);
    if (!image)
        return withoutPicture(QStringLiteral("写真 %1 を読み込めません。").arg(shown));
    return {std::move(image), QString(), SwayEntry::kNone, loadPhotoSource(path, size)};
}
