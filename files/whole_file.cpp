// SPDX-License-Identifier: GPL-3.0-or-later
#include "whole_file.h"

#include <QDir>
#include <QSaveFile>

namespace {

QString reasonOf(const QSaveFile& file) {
    QString what;
    switch (file.error()) {
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
    if (!file.errorString().isEmpty())
        what += QStringLiteral("（%1）").arg(file.errorString());
    return what;
}

WriteResult failed(const QString& path, const QSaveFile& file) {
    return {false, writeFailure(path, reasonOf(file)), file.errorString()};
}

} // namespace

WriteResult writeWholeFile(const QString& path, const QByteArray& bytes, InPlace inPlace) {
    QSaveFile file(path);
    file.setDirectWriteFallback(inPlace == InPlace::InReadOnlyFolder);
    // Unbuffered, so a short write (disk full) shows in the count written, also when writing in
    // place, where commit() does not report a failed final flush.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failed(path, file);
    if (file.write(bytes) != bytes.size()) {
        WriteResult result = failed(path, file);
        file.cancelWriting(); // the temporary file goes; an old file stays as it was
        return result;
    }
    if (!file.commit())
        return failed(path, file);
    return {true, {}, {}};
}

QString writeFailure(const QString& path, const QString& reason) {
    return QStringLiteral("ファイル「%1」を書き込めませんでした。\n理由: %2")
        .arg(QDir::toNativeSeparators(path), reason);
}
