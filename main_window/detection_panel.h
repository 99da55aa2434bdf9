// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "marker_detection.h"
#include "source_scale.h"

#include <QDialog>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QPointer>

#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class DetectionOverlay;
class PictureArea;

// Detection on a picture of any format; 32-bit pictures are read in place.
[[nodiscard]] DetectionResult detectOnImage(const QImage& image, MarkerBounds bounds,
                                            const DetectionLimits& limits);

// What the detection works on: the source picture at its own size and how it relates to the
// clean picture on display, where the presses land.
struct DetectionInput {
    QImage source;
    SourceScale scale;
    QImage display;
    MarkerBounds bounds;
    int room = 0; // points that still fit in the record
};

// The most candidates the panel offers: the record holds 60 points.
inline constexpr int kMostDetected = 60;

// "マーカーを自動検出": the candidates found, numbered beside the markers on an overlay over the
// picture (the picture itself is not drawn on). A click on a candidate leaves it out or puts it
// back; clicks elsewhere on the picture do nothing while the panel is open. 配置 (Enter) asks
// for the presses, キャンセル (Esc) closes without any. Deletes itself when closed.
class DetectionPanel : public QDialog {
    Q_OBJECT
public:
    DetectionPanel(DetectionInput input, DetectionResult found, PictureArea* picture,
                   QWidget* parent);
    ~DetectionPanel() override;

    [[nodiscard]] const std::vector<MarkerCandidate>& candidates() const { return mCandidates; }
    // The number each candidate gets, 0 for one left out.
    [[nodiscard]] const std::vector<int>& numbers() const { return mNumbers; }
    // Where the presses go, in the order of the numbers: on the display pixel nearest the
    // candidate's centre that passes the colour test, or on the centre's own pixel when the
    // marker left no such pixel on display.
    [[nodiscard]] QList<QPointF> presses() const;
    // A candidate's centre and radius on display.
    [[nodiscard]] QPointF displayCentre(std::size_t candidate) const;
    [[nodiscard]] double displayRadius(std::size_t candidate) const;

    void toggle(std::size_t candidate);

signals:
    void placeRequested(const QList<QPointF>& presses);

protected:
    void accept() override;
    void done(int result) override;

private:
    void detectAgain();
    void renumber();

    DetectionInput mInput;
    DetectionLimits mLimits;
    int64_t mFound = 0;
    std::vector<MarkerCandidate> mCandidates;
    std::vector<bool> mLeftOut;
    std::vector<MarkerCandidate> mLeftOutAt; // as they were when left out
    std::vector<int> mNumbers;
    int mPlaced = 0;

    QLabel* mCount = nullptr;
    QLabel* mToPlace = nullptr;
    QCheckBox* mSwap = nullptr;
    QSpinBox* mMinArea = nullptr;
    QSpinBox* mMaxArea = nullptr;
    QPushButton* mPlace = nullptr;
    QPointer<DetectionOverlay> mOverlay;
};
