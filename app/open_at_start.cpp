// SPDX-License-Identifier: GPL-3.0-or-later
#include "open_at_start.h"

#include "main_window.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>

namespace {

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// A video given at start opens at its beginning, every frame, as the start dialog suggests.
QString openVideoAtStart(MainWindow& window, const QString& path) {
    QString error;
    if (window.openVideo(path, 0.0, 1, &error))
        return QString();
    return QStringLiteral("動画を開けません。\n%1\n%2").arg(shown(path), error);
}

QString openAnalysisAtStart(MainWindow& window, const QString& path) {
    return window.openAnalysisFileQuietly(path).message;
}

} // namespace

StartFileKind startFileKind(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("vestra"))
        return StartFileKind::Analysis;
    static const QStringList videoSuffixes = {
        QStringLiteral("mp4"), QStringLiteral("m4v"), QStringLiteral("mov"), QStringLiteral("qt"),
        QStringLiteral("avi"), QStringLiteral("mkv"), QStringLiteral("wmv"), QStringLiteral("ts"),
        QStringLiteral("mts"), QStringLiteral("m2ts")};
    if (videoSuffixes.contains(suffix))
        return StartFileKind::Video;
    static const QStringList photoSuffixes = {QStringLiteral("bmp"), QStringLiteral("gif"),
                                              QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                              QStringLiteral("jpe")};
    if (photoSuffixes.contains(suffix))
        return StartFileKind::Photo;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchContent);
    if (type.name().startsWith(QLatin1String("video/")))
        return StartFileKind::Video;
    if (type.inherits(QStringLiteral("application/x-vestra-analysis")))
        return StartFileKind::Analysis;
    return StartFileKind::Photo;
}

QString openAtStart(MainWindow& window, const QString& path) {
    if (!QFileInfo(path).isFile())
        return QStringLiteral("ファイルが見つかりません。\n%1").arg(shown(path));
    switch (startFileKind(path)) {
    case StartFileKind::Video:
        return openVideoAtStart(window, path);
    case StartFileKind::Analysis:
        return openAnalysisAtStart(window, path);
    case StartFileKind::Photo:
        break;
    }
    if (!window.loadPhoto(path))
        return QStringLiteral("写真を開けません。\n%1").arg(shown(path));
    return QString();
}
