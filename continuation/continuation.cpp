// SPDX-License-Identifier: GPL-3.0-or-later
#include "continuation.h"

#include "sway_tracking.h"
#include "tracking.h"

#include <cmath>

namespace {

// How long the run waits for a picture before it lets the window breathe.
constexpr std::chrono::milliseconds kWaitSlice{40};

PhotoView photoViewOf(const QImage& picture) {
    return {reinterpret_cast<const uint32_t*>(picture.constBits()), picture.width(),
            picture.height(), picture.bytesPerLine() / 4};
}

QString secondsText(double seconds) {
    return QString::number(seconds, 'f', 3);
}

QString reasonText(AnalysisSource::Kind kind, const ContinuationOutcome& outcome) {
    const bool video = kind == AnalysisSource::Kind::Video;
    using End = ContinuationOutcome::End;
    switch (outcome.end) {
    case End::NoNextName:
        return QString();
    case End::Capacity:
        return video ? QStringLiteral("記録できるコマの数（%1コマ）に達したため終了しました")
                           .arg(AnalysisState::kSeriesLength)
                     : QStringLiteral("記録できる写真の数（%1枚）に達したため終了しました")
                           .arg(AnalysisState::kSeriesLength);
    case End::Missing:
        return QStringLiteral("次の写真 %1 がないため終了しました").arg(outcome.name);
    case End::Unreadable:
        if (!video)
            return QStringLiteral("%1 を読み込めないため終了しました").arg(outcome.name);
        if (std::isnan(outcome.seconds))
            return QStringLiteral("動画 %1 を読み込めないため終了しました").arg(outcome.name);
        return QStringLiteral("%1秒より後のコマを読み込めないため終了しました")
            .arg(secondsText(outcome.seconds));
    case End::EndOfStream:
        return QStringLiteral("動画の最後に達したため終了しました");
    case End::LostMarker:
        if (video)
            return QStringLiteral("%1秒のコマで点%2のマーカーが見つからないため終了しました")
                .arg(secondsText(outcome.seconds))
                .arg(outcome.lostPoint);
        return QStringLiteral("%1 で点%2のマーカーが見つからないため終了しました")
            .arg(outcome.name)
            .arg(outcome.lostPoint);
    case End::Stopped:
        return QStringLiteral("Escキーで中止しました");
    }
    return QString();
}

// "（全900コマ、Escキーで中止）": what a running line ends with.
QString runningNote(AnalysisSource::Kind kind, const VideoLength& length) {
    if (kind != AnalysisSource::Kind::Video || length.frames <= 0)
        return QStringLiteral("（Escキーで中止）");
    return QStringLiteral("（全%1%2コマ、Escキーで中止）")
        .arg(length.estimated ? QStringLiteral("約") : QString())
        .arg(length.frames);
}

} // namespace

ContinuationOutcome runContinuation(AnalysisState& state, SwayRecord& sway, FrameSource& source,
                                    ContinuationHost& host) {
    using End = ContinuationOutcome::End;
    ContinuationOutcome outcome;
    for (;;) {
        if (!source.advance()) {
            outcome.end = End::NoNextName;
            return outcome;
        }
        if (state.frameCount >= AnalysisState::kSeriesLength) {
            outcome.end = End::Capacity;
            return outcome;
        }
        std::optional<SourceItem> item;
        while (!(item = source.take(kWaitSlice)))
            host.waiting();
        outcome.name = item->name;
        outcome.seconds = item->seconds;
        switch (item->kind) {
        case SourceItem::Kind::Missing:
            outcome.end = End::Missing;
            return outcome;
        case SourceItem::Kind::Unreadable:
            outcome.end = End::Unreadable;
            return outcome;
        case SourceItem::Kind::EndOfStream:
            outcome.end = End::EndOfStream;
            return outcome;
        case SourceItem::Kind::Picture:
            break;
        }

        host.showPicture(*item);
        const PhotoView photo = photoViewOf(item->picture);
        CanvasView canvas = host.canvas();
        const TrackedFrom before = trackedFrom(state);
        const TrackResult result = trackMarkers(state, photo, canvas);
        if (!result.allFound) {
            outcome.end = End::LostMarker;
            outcome.lostPoint = result.lostPoint;
            return outcome;
        }
        recordTrackedFrame(sway, state, {photo.bits, photo.width, photo.height, photo.stride},
                           before, item->seconds, item->sequence);
        ++outcome.tracked;
        host.tracked(outcome.tracked, *item);
        if (host.stopRequested()) {
            outcome.end = End::Stopped;
            return outcome;
        }
    }
}

QString continuationStartText(AnalysisSource::Kind kind, const VideoLength& length) {
    return QStringLiteral("解析中…") + runningNote(kind, length);
}

QString continuationProgressText(AnalysisSource::Kind kind, int tracked, const SourceItem& item,
                                 const VideoLength& length) {
    if (kind == AnalysisSource::Kind::Video)
        return QStringLiteral("解析中… %1コマ目 %2秒").arg(tracked).arg(secondsText(item.seconds)) +
               runningNote(kind, length);
    return QStringLiteral("解析中… %1枚目 %2").arg(tracked).arg(item.name) +
           runningNote(kind, length);
}

QString continuationEndText(AnalysisSource::Kind kind, const ContinuationOutcome& outcome) {
    const QString reason = reasonText(kind, outcome);
    if (kind == AnalysisSource::Kind::Video)
        return QStringLiteral("%1コマを追跡しました。%2").arg(outcome.tracked).arg(reason);
    return QStringLiteral("%1枚の写真を追跡しました。%2").arg(outcome.tracked).arg(reason);
}
