// SPDX-License-Identifier: GPL-3.0-or-later
#include "data_folder.h"

#include "sample_photos.h"
#include "sample_video.h"
#include "settings_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace {

QString reasonText(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("このユーザーには書き込みの権限がありません。");
    case EROFS:
        return QStringLiteral("読み取り専用のファイルシステムにあります。");
    case ENOTDIR:
        return QStringLiteral("パスの途中にフォルダではないファイルがあります。");
    case EEXIST:
        return QStringLiteral("同じ名前のファイルがあります。");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("ディスクに空きがありません。");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

QString cannotCreate(const QString& dir, int error) {
    return QStringLiteral("データフォルダを作成できません。\n%1\n%2")
        .arg(QDir::toNativeSeparators(dir), reasonText(error));
}

QString cannotWrite(const QString& dir, const QString& reason) {
    return QStringLiteral("データフォルダに書き込めません。\n%1\n%2")
        .arg(QDir::toNativeSeparators(dir), reason);
}

// The errno of creating dir and its parents; 0 when it is a folder afterwards.
int createFolder(const QString& dir) {
    namespace fs = std::filesystem;
    const fs::path path(QFile::encodeName(dir).toStdString());
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (fs::exists(status))
        return fs::is_directory(status) ? 0 : EEXIST;
    fs::create_directories(path, ec);
    return ec ? ec.value() : 0;
}

// Whether a new file can be made in dir, as errno (0: yes). Asked before anything is written,
// so a read-only folder is reported with its real reason and gets no partial content.
int probeWritable(const QString& dir) {
    QByteArray probe = QFile::encodeName(QDir(dir).filePath(QStringLiteral(".write-test-XXXXXX")));
    const int fd = ::mkstemp(probe.data());
    if (fd < 0)
        return errno;
    ::close(fd);
    ::unlink(probe.constData());
    return 0;
}

// Writes the photos that are missing; an existing file may be the user's and stays.
bool writeMissingSamples(const QString& folder, int count, QString* error) {
    for (int frame = 0; frame < count; ++frame) {
        const QString path =
            QDir(folder).filePath(sampleFileName(QLatin1String(kSampleStem), frame));
        if (QFileInfo::exists(path))
            continue;
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !sampleFrame(frame).save(&file, "BMP") ||
            !file.commit()) {
            *error = file.errorString();
            return false;
        }
    }
    return true;
}

// The sample video, unless it is there already. The encoder writes a file of its own, so it
// goes to a temporary name first and takes the real one only once complete.
bool writeMissingVideo(const QString& folder, int frames, QString* error) {
    const QString path = QDir(folder).filePath(QLatin1String(kSampleVideoName));
    if (frames <= 0 || QFileInfo::exists(path))
        return true;
    const QString partial = QDir(folder).filePath(QStringLiteral(".sample-partial.mp4"));
    VideoWriteOptions options;
    options.encoderOptions = {{"preset", "veryfast"}, {"crf", "20"}};
    if (!writeSampleVideo(partial, frames, SampleOptions(), options, error) ||
        !QFile::rename(partial, path)) {
        QFile::remove(partial);
        if (error->isEmpty())
            *error = QStringLiteral("%1 を作れません").arg(QDir::toNativeSeparators(path));
        return false;
    }
    return true;
}

} // namespace

QString userDataFolder(const QString& xdgDataHome, const QString& home) {
    const QString base = QDir::isAbsolutePath(xdgDataHome)
                             ? xdgDataHome
                             : QDir(home).filePath(QStringLiteral(".local/share"));
    return QDir::cleanPath(QDir(base).filePath(QStringLiteral("vestra2007")));
}

DataFolderResult prepareDataFolder(const QString& dir, int sampleCount, int videoFrames) {
    if (const int error = createFolder(dir))
        return {false, false, cannotCreate(dir, error)};
    if (QFileInfo::exists(QDir(dir).filePath(QLatin1String(kToleranceFileName))))
        return {true, false, QString()};
    if (const int error = probeWritable(dir))
        return {false, false, cannotWrite(dir, reasonText(error))};

    const QString samples = QDir(dir).filePath(QLatin1String(kSampleFolderName));
    if (const int error = createFolder(samples))
        return {false, false, cannotCreate(samples, error)};
    QString reason;
    if (!writeMissingSamples(samples, sampleCount, &reason))
        return {false, false, cannotWrite(dir, reason)};
    if (!writeMissingVideo(samples, videoFrames, &reason))
        return {false, false, cannotWrite(dir, reason)};

    const WriteResult written = writeToleranceFile(dir, kDefaultBrightness, kDefaultDarkness);
    if (!written.ok)
        return {false, false, written.error};
    return {true, true, QString()};
}
