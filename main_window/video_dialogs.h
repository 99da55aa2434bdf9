// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "video_info.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class QDoubleSpinBox;
class QSpinBox;
class QLabel;
class QPushButton;

// The open dialog "dlgOpenVideo" for videos; an empty text when cancelled.
[[nodiscard]] QString chooseVideoFile(QWidget* parent);

// The patterns a name filter such as "動画ファイル (*.mp4;*.mov)" stands for: separated by
// semicolons or blanks, and "*.*" meaning every file.
[[nodiscard]] QStringList nameFilterPatterns(const QString& filter);

// "動画の読み込み": what the chosen video is, where to start and how many frames apart the
// tracked frames lie. OK is the default button.
class VideoStartDialog : public QDialog {
    Q_OBJECT
public:
    VideoStartDialog(const QString& path, const VideoInfo& info, QWidget* parent = nullptr);

    [[nodiscard]] double startSeconds() const;
    // Infinity while the end position stands at the end of the video.
    [[nodiscard]] double endSeconds() const;
    [[nodiscard]] int frameStep() const;

private:
    void updateRange();

    double mDuration = 0.0;
    double mFrameRate = 0.0;
    QDoubleSpinBox* mStart = nullptr;
    QDoubleSpinBox* mEnd = nullptr;
    QSpinBox* mStep = nullptr;
    QLabel* mTracked = nullptr;
    QLabel* mRangeError = nullptr;
    QPushButton* mOk = nullptr;
};

// Frames a run tracks from the frame at `start` to `end` seconds (infinity: the end of a video of
// `duration`), every `step`-th, at `frameRate`; -1 while the rate or the length is unknown.
[[nodiscard]] int64_t framesToTrack(double start, double end, int step, double frameRate,
                                    double duration);

// Where 開始位置's arrows go: `steps` frames on (or back, when negative) from the frame on screen
// at `seconds`, for a video of `frameRate` frames a second. The time is rounded up to the
// millisecond the box shows, so that it still lies inside that frame and picks it.
[[nodiscard]] double frameStepSeconds(double seconds, int steps, double frameRate);

// Runs `work` on a worker thread and waits for it; meanwhile the windows stay painted and show
// the wait cursor, and clicks and keys are swallowed.
void runWhileWindowsWait(const std::function<void()>& work);

// The start frame of 動画を開く, loaded as loadVideoFrameAtSeconds does, off the user-interface
// thread through runWhileWindowsWait.
[[nodiscard]] VideoFrameResult loadVideoStartFrame(const QString& path, double seconds);

// Texts of the dialog's read-outs, locale-independent.
[[nodiscard]] QString videoSizeText(const VideoInfo& info);
[[nodiscard]] QString videoRateText(const VideoInfo& info);
[[nodiscard]] QString videoDurationText(const VideoInfo& info);
[[nodiscard]] QString videoFrameCountText(const VideoInfo& info);
