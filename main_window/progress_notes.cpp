// SPDX-License-Identifier: GPL-3.0-or-later
#include "progress_notes.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>

#include <algorithm>

QString unreadablePhotoText(const QString& path) {
    const QFileInfo file(path);
    if (!file.exists())
        return QStringLiteral("写真 %1 が見つかりません").arg(file.fileName());
    return QStringLiteral("写真 %1 を読み込めません（BMP、GIF、JPEG の写真ではないか、"
                          "壊れているか、大きすぎます）")
        .arg(file.fileName());
}

QString noMarkerText(int point) {
    return QStringLiteral("点%1はマーカーが見つからないため、押した位置に置きました"
                          "（Ctrl+Zで取り消せます）")
        .arg(point);
}

QString writtenFilesText(const QStringList& paths, const QFontMetrics& metrics, int width) {
    if (paths.isEmpty())
        return QString();
    QStringList names;
    for (const QString& path : paths)
        names.append(QFileInfo(path).fileName());
    const QString folder = QDir::toNativeSeparators(QFileInfo(paths.constFirst()).absolutePath());
    const QString where = QStringLiteral("保存先: ");
    return QStringLiteral("解析結果を %1 に保存しました\n%2%3")
        .arg(names.join(QStringLiteral("、")), where,
             metrics.elidedText(folder, Qt::ElideMiddle,
                                std::max(0, width - metrics.horizontalAdvance(where))));
}
