// SPDX-License-Identifier: GPL-3.0-or-later
// The main window after a run lost a marker: the picture where it was lost, shown in place of
// the trail so that the user can click the lost markers and go on from it, or leave it out.
#include "main_window.h"

#include "photo_loader.h"
#include "photo_sequence.h"
#include "picture_area.h"
#include "region_search.h"
#include "sway_tracking.h"
#include "tracking.h"
#include "video_info.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>

#include <algorithm>

namespace {

const QString kPlaceLink = QStringLiteral("<a href=\"place\">このコマで指定して続ける</a>");
const QString kSkipLink = QStringLiteral("<a href=\"skip\">このコマを飛ばす</a>");
// The marks of the points found on the frame: yellow stands out on skin, clothes and walls.
constexpr uint32_t kFoundMark = 0x00FFFF; // 0x00BBGGRR

ArgbPicture argbOf(const PhotoView& photo) {
    return {photo.bits, photo.width, photo.height, photo.stride};
}

// A small cross with the point's number beside it, on the lost frame.
void markPoint(PictureArea* picture, int x, int y, int k, uint32_t colour) {
    picture->drawLine(QPoint(x - 4, y), QPoint(x + 4, y), colour);
    picture->drawLine(QPoint(x, y - 4), QPoint(x, y + 4), colour);
    picture->drawText(QPoint(x + 5, y - 14), QString::number(k), colour);
}

} // namespace

const QImage& MainWindow::trailPicture() const {
    return mFrameView ? mTrailPicture : mPicSource->image();
}

bool MainWindow::ensureLostFramePicture() {
    const LostFrame& lost = mSource.lost;
    if (lost.lostPoint == 0)
        return false;
    if (mOrgIsLostFrame)
        return true;
    // Opened again from a file: the picture is read anew, at the size of the display.
    const QSize size = mPicSource->innerSize();
    QImage picture;
    QImage source;
    if (mSource.kind == AnalysisSource::Kind::Video) {
        VideoFrameResult frame =
            loadVideoFrameAt(QString::fromStdString(mSource.placementPath), lost.pts, size);
        if (!frame.frame)
            return false;
        picture = frame.frame->picture;
        source = frame.frame->source;
    } else {
        const QString path = QString::fromStdString(lost.photoPath);
        auto loaded = loadPhotoAtSize(path, size);
        if (!loaded)
            return false;
        picture = *loaded;
        source = loadPhotoSource(path, size);
    }
    mPicOrg->setImage(picture);
    setSourcePicture(source);
    mShownSeconds = lost.seconds;
    mShownSequence = lost.sequence;
    mOrgIsLostFrame = true;
    return true;
}

std::vector<int> MainWindow::pointsToPlace() const {
    const LostFrame& lost = mSource.lost;
    std::vector<int> points;
    if (lost.lostPoint == 0 || !mOrgIsLostFrame)
        return points;
    const bool placedAlready =
        std::any_of(lost.placed.begin(), lost.placed.end(),
                    [&](const auto& p) { return p.point == lost.lostPoint; });
    if (!placedAlready)
        points.push_back(lost.lostPoint);
    // The points after the lost one were not tracked yet: the ones the tracking would not find
    // from where they are need a click too.
    const PhotoView photo = mPicOrg->photoView();
    const SwayPictures pictures = swayPictures();
    const bool atSource = mSource.kind == AnalysisSource::Kind::Video && pictures.atSource();
    const int n = std::min<int>(mState.pointCount, AnalysisState::kMaxPoints);
    for (int k = lost.lostPoint + 1; k <= n; ++k) {
        if (std::any_of(lost.placed.begin(), lost.placed.end(),
                        [k](const auto& p) { return p.point == k; }))
            continue;
        const bool found = atSource ? followPointAtSource(mState, mSway, pictures, k).has_value()
                                    : trackMarker(mState, photo, k).has_value();
        if (!found)
            points.push_back(k);
    }
    return points;
}

void MainWindow::offerLostFrame() {
    const bool lost = mSource.lost.lostPoint != 0;
    mLostFrame->setVisible(lost);
    if (!lost)
        return;
    mLostFrame->setText(mFrameView ? kSkipLink : kPlaceLink + QStringLiteral("　") + kSkipLink);
    // Room for the offer under the line, which then keeps two lines.
    mProgress->setFixedHeight(lost ? 36 : 54);
}

void MainWindow::showFrameViewPrompt() {
    const std::vector<int> points = pointsToPlace();
    const LostFrame& lost = mSource.lost;
    const QString frame = mSource.kind == AnalysisSource::Kind::Video
                              ? QStringLiteral("%1秒のコマ").arg(lost.seconds, 0, 'f', 3)
                              : QFileInfo(QString::fromStdString(lost.photoPath)).fileName();
    if (points.empty()) {
        mProgress->setText(
            QStringLiteral("%1：解析を続けるを押すと、このコマから続けます").arg(frame));
        return;
    }
    QStringList names;
    for (const int k : points) {
        const std::string& name = k <= AnalysisState::kNamedPoints
                                      ? mState.landmarkNames[static_cast<std::size_t>(k)]
                                      : std::string();
        names << (name.empty()
                      ? QStringLiteral("点%1").arg(k)
                      : QStringLiteral("点%1（%2）").arg(k).arg(QString::fromStdString(name)));
    }
    mProgress->setText(QStringLiteral("%1：%2のマーカーを順にクリックしてください")
                           .arg(frame, names.join(QStringLiteral("、"))));
}

void MainWindow::showLostFrame() {
    if (mFrameView)
        return;
    if (!ensureLostFramePicture()) {
        showMessage(QStringLiteral("マーカーを見失ったコマを読み込めません。"),
                    MessageKind::Warning);
        return;
    }
    // The presses so far were made on the trail; they cannot be taken back on the frame.
    clearHistory();
    mTrailPicture = mPicSource->image();
    mEndText = mProgress->text();
    mFrameView = true;
    mPicSource->drawStretched(mPicOrg->image(), mPicSource->innerSize());
    const LostFrame& lost = mSource.lost;
    const std::vector<int> toPlace = pointsToPlace();
    const int n = std::min<int>(mState.pointCount, AnalysisState::kMaxPoints);
    const PhotoView photo = mPicOrg->photoView();
    for (int k = 1; k <= n; ++k) {
        if (std::find(toPlace.begin(), toPlace.end(), k) != toPlace.end())
            continue;
        const auto placed = std::find_if(lost.placed.begin(), lost.placed.end(),
                                         [k](const auto& p) { return p.point == k; });
        if (placed != lost.placed.end()) {
            // As the press painted it.
            CanvasView canvas = mPicSource->canvasView();
            (void)findMarkerCentre(mState, photo, canvas, placed->pressX, placed->pressY);
            continue;
        }
        // Where the tracking found it on this frame: moved already before the lost point, at
        // its last place after it.
        int x = mState.pointX[static_cast<std::size_t>(k)];
        int y = mState.pointY[static_cast<std::size_t>(k)];
        if (k > lost.lostPoint)
            if (const auto at = trackMarker(mState, photo, k))
                std::tie(x, y) = std::pair(int(at->x), int(at->y));
        markPoint(mPicSource, x, y, k, kFoundMark);
    }
    mPicSource->update();
    offerLostFrame();
    showFrameViewPrompt();
}

void MainWindow::pressInFrameView(QPointF position) {
    const std::vector<int> toPlace = pointsToPlace();
    if (toPlace.empty()) {
        QApplication::beep();
        return;
    }
    const int k = toPlace.front();
    const PhotoView photo = mPicOrg->photoView();
    if (!clickedCentre(argbOf(photo), mState, position.x(), position.y())) {
        mProgress->setText(QStringLiteral("そこにはマーカーがありません。点%1のマーカーをクリック"
                                          "してください")
                               .arg(k));
        return;
    }
    recordUndoable([&] {
        CanvasView canvas = mPicSource->canvasView();
        PixelPoint centre = findMarkerCentre(mState, photo, canvas, position.x(), position.y());
        // A video followed at source resolution keeps its points at the display pixels of the
        // source centres.
        const SwayPictures pictures = swayPictures();
        if (mSource.kind == AnalysisSource::Kind::Video && pictures.atSource()) {
            SwayRecord probe;
            AnalysisState placed = mState;
            placed.pointCount = 1;
            placed.pointX[1] = centre.x;
            placed.pointY[1] = centre.y;
            recordPlacedPoint(probe, placed, pictures, 1, position.x(), position.y(),
                              SwayEntry::kNone, SwayEntry::kNoSequence);
            const auto pixel =
                displayPixelOf({probe.entries[0].x[1], probe.entries[0].y[1]}, pictures.scale);
            centre = {pixel[0], pixel[1]};
        }
        mSource.lost.placed.push_back({k, position.x(), position.y(), centre.x, centre.y});
    });
    mPicSource->update();
    showFrameViewPrompt();
}

void MainWindow::leaveFrameView() {
    if (!mFrameView)
        return;
    mFrameView = false;
    mPicSource->setImage(mTrailPicture);
    mTrailPicture = QImage();
    mProgress->setText(mEndText);
    clearHistory();
    mPicSource->update();
    offerLostFrame();
}

void MainWindow::skipLostFrame() {
    LostFrame& lost = mSource.lost;
    if (lost.lostPoint == 0)
        return;
    leaveFrameView();
    // The points found in the frame before the lost one go back, so the next frame records one
    // move from the last frame tracked whole.
    const int n = std::min<int>(
        {mState.pointCount, AnalysisState::kMaxPoints, static_cast<int>(lost.pointX.size())});
    for (int k = 1; k <= n; ++k) {
        mState.pointX[static_cast<std::size_t>(k)] = lost.pointX[static_cast<std::size_t>(k - 1)];
        mState.pointY[static_cast<std::size_t>(k)] = lost.pointY[static_cast<std::size_t>(k - 1)];
    }
    mState.pathLength = lost.pathLength;
    const QString frame = mSource.kind == AnalysisSource::Kind::Video
                              ? QStringLiteral("%1秒のコマ").arg(lost.seconds, 0, 'f', 3)
                              : QFileInfo(QString::fromStdString(lost.photoPath)).fileName();
    mSource.lost = LostFrame{};
    mProgress->setText(
        QStringLiteral("%1を飛ばしました。解析を続けるを押すと次のコマから続けます").arg(frame));
    clearHistory();
    markUnsaved();
    offerLostFrame();
}
