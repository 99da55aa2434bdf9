#include "placement_picture.h"

#include "photo_loader.h"

#include <QDir>
#include <QFileInfo>

PlacementPicture loadPlacementPicture(const AnalysisSource& source, QSize size) {
    if (source.kind == AnalysisSource::Kind::None || source.placementPath.empty())
        return {};
    const QString path = QString::fromStdString(source.placementPath);
    const QString shown = QDir::toNativeSeparators(path);
    const bool video = source.kind == AnalysisSource::Kind::Video;
    if (!QFileInfo(path).isFile())
        return {std::nullopt, (video ? QStringLiteral("動画 %1 が見つかりません。")
                                     : QStringLiteral("写真 %1 が見つかりません。"))
                                      .arg(shown) +
                                  QStringLiteral("解析は画像なしで開きました。")};
    std::optional<QImage> image;
    if (!video) {
        // Stretched to the size it was shown at: a photo replaced by one of another size still
        // lines up with the points.
        image = loadPhotoAtSize(path, size);
    }
    // Video frames are not read here yet: the analysis opens without its picture.
    if (!image)
        return {std::nullopt, (video ? QStringLiteral("動画 %1 のコマを読み込めません。")
                                     : QStringLiteral("写真 %1 を読み込めません。"))
                                      .arg(shown) +
                                  QStringLiteral("解析は画像なしで開きました。")};
    return {std::move(image), QString()};
}
