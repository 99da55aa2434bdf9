// SPDX-License-Identifier: GPL-3.0-or-later
#include "video_creation_time.h"

#include "ffmpeg_raii.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// The containers the video reader opens; nothing else is probed.
constexpr const char* kContainers = "mov,mp4,avi,matroska,webm,asf,mpegts,mpeg,nut,flv,ogg,"
                                    "h264,hevc,m4v,mjpeg,mpegvideo,ivf,yuv4mpegpipe,mxf,dv";

QString tag(const AVDictionary* metadata, const char* key) {
    const AVDictionaryEntry* entry = av_dict_get(metadata, key, nullptr, 0);
    return entry ? QString::fromUtf8(entry->value) : QString();
}

} // namespace

std::optional<QDateTime> parseCreationTime(const QString& text) {
    // "2024-05-01T09:30:00.000000Z", "2024-05-01 09:30:00", "2024-05-01T18:30:00+0900".
    static const QRegularExpression form(
        QStringLiteral(R"(^\s*(\d{4}-\d{2}-\d{2})[T ](\d{2}:\d{2}:\d{2})(\.\d+)?\s*)"
                       R"((Z|[+-]\d{2}:?\d{2})?\s*$)"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    QString zone = m.captured(4);
    if (zone.size() == 5) // +0900 -> +09:00
        zone.insert(3, QLatin1Char(':'));
    const QString iso = m.captured(1) + QLatin1Char('T') + m.captured(2) +
                        (zone.isEmpty() ? QStringLiteral("Z") : zone);
    const QDateTime time = QDateTime::fromString(iso, Qt::ISODate);
    if (!time.isValid() || time.date().year() < 1990)
        return std::nullopt;
    return time;
}

std::optional<QDateTime> videoCreationTime(const QString& path) {
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    av_log_set_level(AV_LOG_QUIET);
    AVDictionaryHolder options;
    options.set("format_whitelist", kContainers);
    options.set("protocol_whitelist", "file");
    const QByteArray url = "file:" + QFile::encodeName(path);
    AVFormatContext* opened = nullptr;
    if (avformat_open_input(&opened, url.constData(), nullptr, options.address()) < 0)
        return std::nullopt;
    const AVFormatContextPtr format(opened);
    // The header holds the tags; no need to look at the streams' packets.
    for (const char* key : {"com.apple.quicktime.creationdate", "creation_time"}) {
        if (auto time = parseCreationTime(tag(format->metadata, key)))
            return time;
        for (unsigned i = 0; i < format->nb_streams; ++i)
            if (auto time = parseCreationTime(tag(format->streams[i]->metadata, key)))
                return time;
    }
    return std::nullopt;
}
