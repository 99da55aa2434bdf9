// SPDX-License-Identifier: GPL-3.0-or-later
#include "continuation.h"

#include "sway_tracking.h"
#include "tracking.h"

#include <algorithm>
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
                           .arg(SwayRecord::kMaxEntries - 1)
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
    case End::EndPosition:
        return QStringLiteral("終了位置に達したため終了しました");
    case End::SizeChanged:
        return QStringLiteral("%1秒のコマで映像の大きさが変わったため終了しました")
            .arg(secondsText(outcome.seconds));
    }
    return QString();
}

// Follows every point into a video frame larger than the display at source resolution and
// moves the classic points to the display pixels of the centres found.
TrackResult followAtSource(AnalysisState& state, SwayRecord& sway, const SwayPictures& pictures,
                           CanvasView& canvas, const SourceItem& item) {
    const SourceTrack track = trackAtSource(state, sway, pictures);
    const int n = static_cast<int>(track.centres.size()) - 1;
    const int moved = track.lostPoint ? track.lostPoint - 1 : n;
    for (int k = 1; k <= moved; ++k) {
        const auto pixel = displayPixelOf(track.centres[static_cast<std::size_t>(k)], item.scale);
        moveTrackedPoint(state, k, pixel[0], pixel[1], canvas);
    }
    if (track.lostPoint)
        return {false, track.lostPoint};
    finishTrackedPicture(state);
    recordSourceTrack(sway, state, pictures, track, item.seconds, item.sequence);
    return {};
}

// The record before a picture is tracked, kept for a lost marker: the points found before it
// have moved already.
LostFrame snapshot(const AnalysisState& state, const SourceItem& item) {
    LostFrame lost;
    const int n = std::min<int>(state.pointCount, AnalysisState::kMaxPoints);
    lost.pointX.assign(state.pointX.begin() + 1, state.pointX.begin() + 1 + n);
    lost.pointY.assign(state.pointY.begin() + 1, state.pointY.begin() + 1 + n);
    lost.pathLength = state.pathLength;
    lost.seconds = item.seconds;
    lost.sequence = item.sequence;
    return lost;
}

// Takes up the picture on which the last run lost a marker: the points found before the lost
// one have moved already; the ones placed by hand move to their centres, the others are tracked.
TrackResult trackResumed(AnalysisState& state, SwayRecord& sway, const SwayPictures& pictures,
                         CanvasView& canvas, const SourceItem& item, const LostFrame& lost) {
    const int n = std::min<int>(state.pointCount, AnalysisState::kMaxPoints);
    const bool atSource = item.followAtSource && pictures.atSource();
    std::array<std::optional<PointD>, 8> presses;
    std::array<std::optional<FollowedPoint>, 8> followed;
    TrackedFrom before;
    for (int k = 1; k <= std::min(n, AnalysisState::kNamedPoints); ++k) {
        const auto i = static_cast<std::size_t>(k);
        const bool known = i <= lost.pointX.size();
        before.x[i] = known ? lost.pointX[i - 1] : state.pointX[i];
        before.y[i] = known ? lost.pointY[i - 1] : state.pointY[i];
    }
    const PhotoView photo{pictures.display.bits, pictures.display.width, pictures.display.height,
                          pictures.display.stride};
    for (int k = 1; k <= n; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const auto placed = std::find_if(lost.placed.begin(), lost.placed.end(),
                                         [k](const LostFrame::Placed& p) { return p.point == k; });
        if (placed != lost.placed.end()) {
            if (k >= lost.lostPoint)
                moveTrackedPoint(state, k, placed->x, placed->y, canvas);
            if (i < presses.size())
                presses[i] = PointD{placed->pressX, placed->pressY};
            continue;
        }
        if (atSource) {
            // Followed again from the last entry, as the run did before it lost the marker.
            const auto at = followPointAtSource(state, sway, pictures, k);
            if (!at)
                return {false, k};
            if (i < followed.size())
                followed[i] = at;
            if (k >= lost.lostPoint) {
                const auto pixel = displayPixelOf(at->centre, item.scale);
                moveTrackedPoint(state, k, pixel[0], pixel[1], canvas);
            }
            continue;
        }
        if (k < lost.lostPoint)
            continue; // moved when the run met the picture
        const auto centre = trackMarker(state, photo, k);
        if (!centre)
            return {false, k};
        moveTrackedPoint(state, k, centre->x, centre->y, canvas);
    }
    finishTrackedPicture(state);
    recordResumedFrame(sway, state, pictures, before, presses, followed, item.seconds,
                       item.sequence);
    return {};
}

// Tracks one picture (or takes up a resumed one) and records its centres.
TrackResult trackPicture(AnalysisState& state, SwayRecord& sway, const SourceItem& item,
                         CanvasView& canvas, const LostFrame* resumed) {
    const PhotoView photo = photoViewOf(item.picture);
    const SwayPictures pictures(ArgbPicture{photo.bits, photo.width, photo.height, photo.stride},
                                item.source.get(), item.scale);
    if (resumed)
        return trackResumed(state, sway, pictures, canvas, item, *resumed);
    if (item.followAtSource && pictures.atSource())
        return followAtSource(state, sway, pictures, canvas, item);
    const TrackedFrom before = trackedFrom(state);
    const TrackResult result = trackMarkers(state, photo, canvas);
    if (result.allFound)
        recordTrackedFrame(sway, state, pictures, before, item.seconds, item.sequence);
    return result;
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
                                    ContinuationHost& host, const ResumedFrame* resumed) {
    using End = ContinuationOutcome::End;
    ContinuationOutcome outcome;
    for (bool first = true;; first = false) {
        const bool resuming = first && resumed;
        if (!resuming && !source.advance()) {
            outcome.end = End::NoNextName;
            return outcome;
        }
        const bool seriesFull = state.frameCount >= AnalysisState::kSeriesLength;
        if ((seriesFull && source.endsWithSeries()) ||
            sway.entries.size() >= static_cast<std::size_t>(SwayRecord::kMaxEntries)) {
            outcome.end = End::Capacity;
            return outcome;
        }
        std::optional<SourceItem> item;
        if (resuming)
            item = resumed->item;
        while (!item && !(item = source.take(kWaitSlice)))
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
        case SourceItem::Kind::EndPosition:
            outcome.end = End::EndPosition;
            return outcome;
        case SourceItem::Kind::SizeChanged:
            outcome.end = End::SizeChanged;
            return outcome;
        case SourceItem::Kind::Picture:
            break;
        }

        host.showPicture(*item);
        CanvasView canvas = host.canvas();
        const LostFrame before = resuming ? resumed->lost : snapshot(state, *item);
        const TrackResult result =
            trackPicture(state, sway, *item, canvas, resuming ? &resumed->lost : nullptr);
        if (!result.allFound) {
            outcome.end = End::LostMarker;
            outcome.lostPoint = result.lostPoint;
            outcome.lost = before;
            outcome.lost.lostPoint = result.lostPoint;
            return outcome;
        }
        ++outcome.tracked;
        if (!seriesFull)
            ++outcome.inSeries;
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
    if (kind == AnalysisSource::Kind::Video && outcome.inSeries < outcome.tracked)
        return QStringLiteral("%1コマを追跡しました（解析終了のCSVは最初の%2コマ）。%3")
            .arg(outcome.tracked)
            .arg(outcome.inSeries)
            .arg(reason);
    if (kind == AnalysisSource::Kind::Video)
        return QStringLiteral("%1コマを追跡しました。%2").arg(outcome.tracked).arg(reason);
    return QStringLiteral("%1枚の写真を追跡しました。%2").arg(outcome.tracked).arg(reason);
}
