// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection_panel.h"

#include "marker_numbering.h"
#include "nearest_marker_pixel.h"
#include "picture_area.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

ArgbPicture argbOf(const QImage& image) {
    return {reinterpret_cast<const uint32_t*>(image.constBits()), image.width(), image.height(),
            image.bytesPerLine() / 4};
}

bool readInPlace(const QImage& image) {
    return image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32 ||
           image.format() == QImage::Format_ARGB32_Premultiplied;
}

} // namespace

DetectionResult detectOnImage(const QImage& image, MarkerBounds bounds,
                              const DetectionLimits& limits) {
    if (image.isNull())
        return {};
    if (readInPlace(image))
        return detectMarkers(argbOf(image), bounds, limits, kMostDetected + 1);
    return detectMarkers(argbOf(image.convertToFormat(QImage::Format_RGB32)), bounds, limits,
                         kMostDetected + 1);
}

// Drawn over the picture area's inner rectangle: a ring and a number for each candidate, a
// crossed grey ring for one left out. Presses pass through it to the picture area, where it
// takes them first: a press on a candidate toggles it, and no press places a point while the
// panel is open, however it reaches the picture.
class DetectionOverlay : public QWidget {
public:
    DetectionOverlay(DetectionPanel& panel, PictureArea* picture)
        : QWidget(picture), mPanel(panel) {
        setObjectName(QStringLiteral("detectionOverlay"));
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(QRect(QPoint(PictureArea::kFrame, PictureArea::kFrame), picture->innerSize()));
        picture->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: // a second click arrives as this, and would press too
            if (const auto* mouse = static_cast<QMouseEvent*>(event);
                mouse->button() == Qt::LeftButton)
                toggleAt(mouse->position() - QPointF(PictureArea::kFrame, PictureArea::kFrame));
            return true;
        case QEvent::MouseButtonRelease:
            return true;
        default:
            return false;
        }
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QFont font = painter.font();
        font.setBold(true);
        painter.setFont(font);
        const QFontMetrics metrics(font);
        const std::vector<int>& numbers = mPanel.numbers();
        for (std::size_t i = 0; i < numbers.size(); ++i) {
            const QPointF centre = mPanel.displayCentre(i);
            const double r = ringRadius(i);
            if (numbers[i] == 0) {
                painter.setPen(QPen(QColor(160, 160, 160), 2, Qt::DashLine));
                painter.setBrush(Qt::NoBrush);
                painter.drawEllipse(centre, r, r);
                const double d = r * 0.6;
                painter.setPen(QPen(QColor(230, 60, 60), 2));
                painter.drawLine(centre + QPointF(-d, -d), centre + QPointF(d, d));
                painter.drawLine(centre + QPointF(-d, d), centre + QPointF(d, -d));
                continue;
            }
            painter.setPen(QPen(QColor(0, 230, 90), 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(centre, r, r);
            // The number on a dark plate up and to the right of the ring, inside the picture.
            const QString text = QString::number(numbers[i]);
            QRectF plate(0, 0, metrics.horizontalAdvance(text) + 6, metrics.height() + 2);
            plate.moveBottomLeft(centre + QPointF(r * 0.7, -r * 0.7));
            plate.moveLeft(std::clamp(plate.left(), 0.0, std::max(0.0, width() - plate.width())));
            plate.moveTop(std::clamp(plate.top(), 0.0, std::max(0.0, height() - plate.height())));
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(0, 0, 0, 190));
            painter.drawRoundedRect(plate, 3, 3);
            painter.setPen(QColor(255, 230, 0));
            painter.drawText(plate, Qt::AlignCenter, text);
        }
    }

private:
    // The nearest candidate whose ring the press falls in.
    void toggleAt(QPointF at) {
        std::optional<std::size_t> hit;
        double nearest = 0;
        for (std::size_t i = 0; i < mPanel.numbers().size(); ++i) {
            const double distance = std::hypot(at.x() - mPanel.displayCentre(i).x(),
                                               at.y() - mPanel.displayCentre(i).y());
            if (distance <= ringRadius(i) + 3 && (!hit || distance < nearest)) {
                hit = i;
                nearest = distance;
            }
        }
        if (hit)
            mPanel.toggle(*hit);
    }

    // A little larger than the marker on display, so the ring does not hide its edge.
    [[nodiscard]] double ringRadius(std::size_t i) const {
        return std::max(mPanel.displayRadius(i), 2.0) + 4;
    }

    DetectionPanel& mPanel;
};

DetectionPanel::DetectionPanel(DetectionInput input, DetectionResult found, PictureArea* picture,
                               QWidget* parent)
    : QDialog(parent), mInput(std::move(input)), mFound(found.count),
      mCandidates(std::move(found.candidates)) {
    setObjectName(QStringLiteral("frmDetect"));
    setWindowTitle(QStringLiteral("マーカーを自動検出"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    mCount = new QLabel(this);
    mCount->setObjectName(QStringLiteral("lblDetectCount"));
    mToPlace = new QLabel(this);
    mToPlace->setObjectName(QStringLiteral("lblDetectPlace"));
    auto* hint = new QLabel(
        QStringLiteral("画像上の候補をクリックすると、\n外したり戻したりできます。"), this);
    hint->setObjectName(QStringLiteral("lblDetectHint"));

    mSwap = new QCheckBox(QStringLiteral("左右を入れ替える"), this);
    mSwap->setObjectName(QStringLiteral("chkSwap"));
    mSwap->setToolTip(QStringLiteral("後ろから撮った写真では、組になった左右の番号を入れ替えます"));

    const auto makeArea = [this](const char* name, int value) {
        auto* box = new QSpinBox(this);
        box->setObjectName(QLatin1String(name));
        box->setRange(1, 10000000);
        box->setValue(value);
        box->setSuffix(QStringLiteral(" ピクセル"));
        box->setKeyboardTracking(false); // detect again once the number is complete
        return box;
    };
    mMinArea = makeArea("spnMinArea", int(mLimits.minArea));
    mMaxArea = makeArea("spnMaxArea", int(mLimits.maxArea));
    auto* areas = new QFormLayout;
    areas->addRow(QStringLiteral("最小面積"), mMinArea);
    areas->addRow(QStringLiteral("最大面積"), mMaxArea);

    mPlace = new QPushButton(QStringLiteral("配置"), this);
    mPlace->setObjectName(QStringLiteral("cmdPlace"));
    mPlace->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(mPlace);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(mCount);
    layout->addWidget(mToPlace);
    layout->addWidget(hint);
    layout->addWidget(mSwap);
    layout->addLayout(areas);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(mPlace, &QPushButton::clicked, this, &DetectionPanel::accept);
    connect(cancel, &QPushButton::clicked, this, &DetectionPanel::reject);
    connect(mSwap, &QCheckBox::toggled, this, &DetectionPanel::renumber);
    // The minimum never above the maximum.
    mMinArea->setMaximum(mMaxArea->value());
    mMaxArea->setMinimum(mMinArea->value());
    connect(mMinArea, &QSpinBox::valueChanged, mMaxArea, &QSpinBox::setMinimum);
    connect(mMaxArea, &QSpinBox::valueChanged, mMinArea, &QSpinBox::setMaximum);
    connect(mMinArea, &QSpinBox::valueChanged, this, &DetectionPanel::detectAgain);
    connect(mMaxArea, &QSpinBox::valueChanged, this, &DetectionPanel::detectAgain);

    if (picture) {
        mOverlay = new DetectionOverlay(*this, picture);
        mOverlay->setGeometry(
            QRect(QPoint(PictureArea::kFrame, PictureArea::kFrame), picture->innerSize()));
        mOverlay->show();
        mOverlay->raise();
        // Enter and Esc also when the main window has the focus after a click on the picture.
        const auto shortcut = [this](QKeySequence key, void (DetectionPanel::*slot)()) {
            auto* s = new QShortcut(key, mOverlay);
            s->setContext(Qt::WindowShortcut);
            connect(s, &QShortcut::activated, this, slot);
        };
        shortcut(QKeySequence(Qt::Key_Return), &DetectionPanel::accept);
        shortcut(QKeySequence(Qt::Key_Enter), &DetectionPanel::accept);
        shortcut(QKeySequence(Qt::Key_Escape), &DetectionPanel::reject);
    }
    mLeftOut.assign(mCandidates.size(), false);
    renumber();

    // Beside the main window where the screen has room, else over its right-hand column.
    adjustSize();
    if (parent) {
        const QRect main = parent->frameGeometry();
        const QScreen* screen = parent->screen();
        const QRect room = screen ? screen->availableGeometry() : QRect();
        QPoint at(main.right() + 8, main.top());
        if (!room.isEmpty() && at.x() + frameGeometry().width() > room.right())
            at = QPoint(main.right() - frameGeometry().width(), main.top() + 40);
        move(at);
    }
}

DetectionPanel::~DetectionPanel() {
    delete mOverlay;
}

void DetectionPanel::done(int result) {
    // Off the picture at once, presses included; deleted later, as its shortcut may be what
    // closes the panel.
    if (mOverlay) {
        mOverlay->parentWidget()->removeEventFilter(mOverlay);
        mOverlay->hide();
        mOverlay->deleteLater();
    }
    QDialog::done(result);
}

QPointF DetectionPanel::displayCentre(std::size_t candidate) const {
    const PointD c = mCandidates[candidate].centre;
    return {mInput.scale.toDisplayX(c.x), mInput.scale.toDisplayY(c.y)};
}

double DetectionPanel::displayRadius(std::size_t candidate) const {
    return mCandidates[candidate].diameter() / 2 / std::max(mInput.scale.sx(), 1e-9);
}

namespace {

// The same marker found again: its centre within the radius of where it was.
bool sameMarker(const MarkerCandidate& before, const MarkerCandidate& now) {
    return std::hypot(before.centre.x - now.centre.x, before.centre.y - now.centre.y) <=
           before.diameter() / 2;
}

} // namespace

void DetectionPanel::toggle(std::size_t candidate) {
    if (candidate >= mLeftOut.size())
        return;
    const MarkerCandidate& c = mCandidates[candidate];
    if (mLeftOut[candidate])
        std::erase_if(mLeftOutAt, [&](const MarkerCandidate& at) { return sameMarker(at, c); });
    else
        mLeftOutAt.push_back(c);
    mLeftOut[candidate] = !mLeftOut[candidate];
    renumber();
}

void DetectionPanel::renumber() {
    std::vector<MarkerCandidate> kept;
    std::vector<std::size_t> index;
    for (std::size_t i = 0; i < mCandidates.size(); ++i)
        if (!mLeftOut[i]) {
            kept.push_back(mCandidates[i]);
            index.push_back(i);
        }
    mNumbers.assign(mCandidates.size(), 0);
    const std::vector<std::size_t> order = numberMarkers(kept, mSwap->isChecked());
    for (std::size_t n = 0; n < order.size(); ++n)
        mNumbers[index[order[n]]] = int(n) + 1;
    mPlaced = int(order.size());

    if (mFound > kMostDetected)
        mCount->setText(QStringLiteral("マーカーの候補が多すぎます（%1 個、上限 %2 個）。")
                            .arg(mFound)
                            .arg(kMostDetected));
    else if (mFound == 0)
        mCount->setText(QStringLiteral("マーカーが見つかりませんでした。"));
    else
        mCount->setText(QStringLiteral("見つかったマーカー: %1 個").arg(mFound));
    const bool fits = mPlaced <= mInput.room;
    mToPlace->setText(fits ? QStringLiteral("配置する点: %1 個").arg(mPlaced)
                           : QStringLiteral("配置する点: %1 個（点はあと %2 個までしか置けません）")
                                 .arg(mPlaced)
                                 .arg(mInput.room));
    mPlace->setEnabled(mFound <= kMostDetected && mPlaced > 0 && fits);
    if (mOverlay)
        mOverlay->update();
}

void DetectionPanel::detectAgain() {
    mLimits.minArea = mMinArea->value();
    mLimits.maxArea = mMaxArea->value();
    DetectionResult found = detectOnImage(mInput.source, mInput.bounds, mLimits);
    mFound = found.count;
    mCandidates = std::move(found.candidates);
    // What was left out stays out when found again, also after limits that had lost it.
    mLeftOut.assign(mCandidates.size(), false);
    for (std::size_t i = 0; i < mCandidates.size(); ++i)
        mLeftOut[i] =
            std::any_of(mLeftOutAt.begin(), mLeftOutAt.end(),
                        [&](const MarkerCandidate& at) { return sameMarker(at, mCandidates[i]); });
    renumber();
}

QList<QPointF> DetectionPanel::presses() const {
    std::vector<std::pair<int, std::size_t>> numbered;
    for (std::size_t i = 0; i < mNumbers.size(); ++i)
        if (mNumbers[i] > 0)
            numbered.emplace_back(mNumbers[i], i);
    std::sort(numbered.begin(), numbered.end());
    const ArgbPicture display = argbOf(mInput.display);
    QList<QPointF> presses;
    for (const auto& [number, i] : numbered) {
        const QPointF centre = displayCentre(i);
        const auto pixel = nearestMarkerPixel(display, mInput.bounds, {centre.x(), centre.y()},
                                              displayRadius(i) + 1);
        if (pixel) {
            presses.append(QPointF(pixel->x, pixel->y));
        } else {
            const auto onPicture = [](double v, int size) {
                return double(std::clamp(int(std::lround(v)), 0, std::max(size - 1, 0)));
            };
            presses.append(QPointF(onPicture(centre.x(), display.width),
                                   onPicture(centre.y(), display.height)));
        }
    }
    return presses;
}

void DetectionPanel::accept() {
    if (!mPlace->isEnabled())
        return;
    const QList<QPointF> places = presses();
    QDialog::accept();
    emit placeRequested(places);
}
