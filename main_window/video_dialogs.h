// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "video_info.h"

#include <QDialog>
#include <QStringList>

class QDoubleSpinBox;
class QSpinBox;

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
    [[nodiscard]] int frameStep() const;

private:
    QDoubleSpinBox* mStart = nullptr;
    QSpinBox* mStep = nullptr;
};

// Texts of the dialog's read-outs, locale-independent.
[[nodiscard]] QString videoSizeText(const VideoInfo& info);
[[nodiscard]] QString videoRateText(const VideoInfo& info);
[[nodiscard]] QString videoDurationText(const VideoInfo& info);
[[nodiscard]] QString videoFrameCountText(const VideoInfo& info);
