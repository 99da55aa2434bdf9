// SPDX-License-Identifier: GPL-3.0-or-later
#include "whole_file.h"

#include <QDir>
#include <QSaveFile>

namespace {

WriteResult failed(const QString& path, const QSaveFile& file) {
    const QString reason = writeReason(file.error(), file.errorString());
    return {false, writeFailure(path, reason), file.errorString(), reason};
}

} // namespace

WriteResult writeWholeFile(const QString& path, const QByteArray& bytes, InPlace inPlace) {
    QSaveFile file(path);
    file.setDirectWriteFallback(inPlace == InPlace::InReadOnlyFolder);
    // Unbuffered, so a short write (disk full) shows in the count written, also when writing in
    // place, where commit() does not report a failed final flush.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failed(path, file);
    // A write may stop short, as on a disk that takes only part of the bytes; only the next
    // one fails and tells why.
    for (qint64 written = 0; written < bytes.size();) {
        const qint64 n = file.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0) {
            WriteResult result = failed(path, file);
            file.cancelWriting(); // the temporary file goes; an old file stays as it was
            return result;
        }
        written += n;
    }
    if (!file.commit())
        return failed(path, file);
    return {true, {}, {}, {}};
}

QString writeFailure(const QString& path, const QString& reason) {
    return QStringLiteral("ファイル「%1」を書き込めませんでした。\n理由: %2")
        .arg(QDir::toNativeSeparators(path), reason);
}

QString writeReason(QFileDevice::FileError error, const QString& systemText) {
    QString what;
    switch (error) {
    case QFileDevice::OpenError:
        what = QStringLiteral("ファイルを作成できません");
        break;
    case QFileDevice::RenameError:
        what = QStringLiteral("書き込んだ内容をこの名前で保存できません");
        break;
    case QFileDevice::PermissionsError:
        what = QStringLiteral("書き込みが許可されていません");
        break;
    case QFileDevice::ResourceError:
        what = QStringLiteral("ディスクの空きが足りません");
        break;
    default:
        what = QStringLiteral("書き込みに失敗しました");
        break;
    }
    // The system's own words help when the user asks someone for help.
    if (!systemText.isEmpty())
        what += QStringLiteral("（%1）").arg(systemText);
    return what;
}
