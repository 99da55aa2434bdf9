#include "placement_picture.h"

#include "photo_loader.h"

#include <QDir>
#include <QFileInfo>

namespace {

PlacementPicture withoutPicture(const QString& reason) {
    return {std::nullopt, reason + QStringLiteral("\n解析は画像なしで開きました。")};
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
    std::optional<QImage> image;
    if (!video) {
        // Stretched to the size it was shown at: a photo replaced by one of another size still
        // lines up with the points.
        image = loadPhotoAtSize(path, size);
    }
    // Video frames are not read here yet: the analysis opens without its picture.
    if (!image)
        return withoutPicture((video ? QStringLiteral("動画 %1 のコマを読み込めません。")
                                     : QStringLiteral("写真 %1 を読み込めません。"))
                                  .arg(shown));
    return {std::move(image), QString()};
}
