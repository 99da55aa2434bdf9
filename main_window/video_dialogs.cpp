// SPDX-License-Identifier: GPL-3.0-or-later
#include "video_dialogs.h"

#include "responsive_run.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

#include <cmath>
#include <thread>

namespace {

// Numbers with a point whatever the user's locale, without trailing zeros.
QString plainNumber(double value, int decimals) {
    QString text = QString::number(value, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text;
}

QLabel* readOut(const char* name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

const QString kVideoFilter =
    QStringLiteral("動画ファイル (*.mp4;*.mov;*.m4v;*.avi;*.mkv;*.wmv;*.mts)");
const QString kAllFilesFilter = QStringLiteral("すべてのファイル (*.*)");

// The file dialog splits a filter's patterns at blanks only, so a pattern list separated by
// semicolons would match nothing; its file model gets the patterns each time a filter is chosen.
void followFilterPatterns(QFileDialog& dialog) {
    auto* model = dialog.findChild<QFileSystemModel*>();
    if (!model)
        return;
    const auto apply = [&dialog, model] {
        // Camera files are often named in capitals (MVI_0001.MOV), so case is ignored.
        model->setFilter(model->filter() & ~QDir::CaseSensitive);
        model->setNameFilters(nameFilterPatterns(dialog.selectedNameFilter()));
    };
    apply();
    // Queued, so that it runs after the dialog has applied its own reading of the filter.
    QObject::connect(&dialog, &QFileDialog::filterSelected, model, apply, Qt::QueuedConnection);
}

// 開始位置: the arrows move by whole frames of the video, to a time inside the frame.
class StartSecondsBox : public QDoubleSpinBox {
public:
    StartSecondsBox(double frameRate, QWidget* parent)
        : QDoubleSpinBox(parent), mFrameRate(frameRate) {}

    void stepBy(int steps) override {
        if (mFrameRate <= 0)
            return QDoubleSpinBox::stepBy(steps);
        interpretText(); // a typed value counts from where it stands
        setValue(frameStepSeconds(value(), steps, mFrameRate));
        if (style()->styleHint(QStyle::SH_SpinBox_SelectOnStep, nullptr, this))
            selectAll();
    }

private:
    double mFrameRate;
};

} // namespace

double frameStepSeconds(double seconds, int steps, double frameRate) {
    if (!(frameRate > 0) || !std::isfinite(seconds))
        return seconds;
    // The frame on screen at `seconds`; the tolerance keeps a frame's own start in that frame.
    const double frame = std::floor(std::max(0.0, seconds) * frameRate + 1e-6);
    const double to = std::max(0.0, frame + steps);
    // Rounded up to what the box shows, but not past a whole millisecond it starts on.
    return std::ceil(to / frameRate * 1000.0 - 1e-6) / 1000.0;
}

void runWhileWindowsWait(const std::function<void()>& work) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    {
        const ResponsiveRun run; // paints and timers go on; clicks and keys are swallowed
        QEventLoop loop;
        std::thread worker([&] {
            work();
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec();
        worker.join();
    }
    QApplication::restoreOverrideCursor();
}

VideoFrameResult loadVideoStartFrame(const QString& path, double seconds) {
    VideoFrameResult result;
    runWhileWindowsWait([&] { result = loadVideoFrameAtSeconds(path, seconds); });
    return result;
}

QStringList nameFilterPatterns(const QString& filter) {
    const qsizetype open = filter.lastIndexOf(QLatin1Char('('));
    const qsizetype close = filter.lastIndexOf(QLatin1Char(')'));
    const QString inside =
        open >= 0 && close > open ? filter.mid(open + 1, close - open - 1) : filter;
    QStringList patterns =
        inside.split(QRegularExpression(QStringLiteral("[;\\s]+")), Qt::SkipEmptyParts);
    for (QString& pattern : patterns)
        if (pattern == QLatin1String("*.*"))
            pattern = QStringLiteral("*");
    return patterns;
}

QString chooseVideoFile(QWidget* parent) {
    QFileDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("dlgOpenVideo"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters({kVideoFilter, kAllFilesFilter});
    followFilterPatterns(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString videoSizeText(const VideoInfo& info) {
    QString text = QStringLiteral("%1 × %2 ピクセル").arg(info.width).arg(info.height);
    if (info.mirrored && info.rotation == 180)
        text += QStringLiteral("（上下反転して表示）");
    else if (info.mirrored && info.rotation != 0)
        text += QStringLiteral("（%1°回転し左右反転して表示）").arg(info.rotation);
    else if (info.mirrored)
        text += QStringLiteral("（左右反転して表示）");
    else if (info.rotation != 0)
        text += QStringLiteral("（%1°回転して表示）").arg(info.rotation);
    else if (info.width != info.codedWidth)
        text += QStringLiteral("（記録は %1 × %2）").arg(info.codedWidth).arg(info.codedHeight);
    return text;
}

QString videoRateText(const VideoInfo& info) {
    return info.frameRate > 0 ? QStringLiteral("%1 コマ/秒").arg(plainNumber(info.frameRate, 3))
                              : QStringLiteral("不明");
}

QString videoDurationText(const VideoInfo& info) {
    return info.durationSeconds > 0
               ? QStringLiteral("%1 秒").arg(plainNumber(info.durationSeconds, 3))
               : QStringLiteral("不明");
}

QString videoFrameCountText(const VideoInfo& info) {
    if (info.frameCount <= 0)
        return QStringLiteral("不明");
    return info.frameCountEstimated ? QStringLiteral("約 %1").arg(info.frameCount)
                                    : QString::number(info.frameCount);
}

VideoStartDialog::VideoStartDialog(const QString& path, const VideoInfo& info, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("dlgVideoStart"));
    setWindowTitle(QStringLiteral("動画の読み込み"));

    auto* file = readOut("lblVideoFile", QFileInfo(path).fileName(), this);
    file->setToolTip(path);
    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignLeft);
    form->addRow(QStringLiteral("大きさ"), readOut("lblVideoSize", videoSizeText(info), this));
    form->addRow(QStringLiteral("フレームレート"),
                 readOut("lblVideoRate", videoRateText(info), this));
    form->addRow(QStringLiteral("長さ"),
                 readOut("lblVideoDuration", videoDurationText(info), this));
    form->addRow(QStringLiteral("コマ数"),
                 readOut("lblVideoFrames", videoFrameCountText(info), this));

    mStart = new StartSecondsBox(info.frameRate, this);
    mStart->setObjectName(QStringLiteral("spnVideoStart"));
    mStart->setDecimals(3);
    mStart->setRange(0.0, info.durationSeconds > 0 ? info.durationSeconds : 1e6);
    mStart->setSingleStep(info.frameRate > 0 ? 1.0 / info.frameRate : 0.1);
    mStart->setValue(0.0);
    // A decimal point whatever the user's locale, as typed times elsewhere in the program.
    mStart->setLocale(QLocale::c());
    form->addRow(QStringLiteral("開始位置 (秒)"), mStart);

    mDuration = info.durationSeconds;
    mFrameRate = info.frameRate;
    mEnd = new StartSecondsBox(info.frameRate, this);
    mEnd->setObjectName(QStringLiteral("spnVideoEnd"));
    mEnd->setDecimals(3);
    mEnd->setRange(0.0, mStart->maximum());
    mEnd->setSingleStep(mStart->singleStep());
    mEnd->setValue(mEnd->maximum());
    mEnd->setLocale(QLocale::c());
    mEnd->setToolTip(QStringLiteral("この時刻までのコマを追跡します"));
    form->addRow(QStringLiteral("終了位置 (秒)"), mEnd);

    mStep = new QSpinBox(this);
    mStep->setObjectName(QStringLiteral("spnVideoStep"));
    mStep->setRange(1, 1000);
    mStep->setValue(1);
    mStep->setToolTip(QStringLiteral("1 = すべてのコマ、2 = 1コマおき"));
    form->addRow(QStringLiteral("コマ間隔"), mStep);
    mTracked = readOut("lblVideoTracked", QString(), this);
    form->addRow(QStringLiteral("追跡するコマ"), mTracked);
    mRangeError = new QLabel(QStringLiteral("終了位置は開始位置より後にしてください"), this);
    mRangeError->setObjectName(QStringLiteral("lblVideoRangeError"));
    mRangeError->setStyleSheet(QStringLiteral("color: #b00000"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setText(QStringLiteral("OK"));
    ok->setDefault(true);
    mOk = ok;
    QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    cancel->setText(QStringLiteral("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(file);
    layout->addLayout(form);
    layout->addWidget(mRangeError);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    for (QDoubleSpinBox* box : {mStart, mEnd})
        connect(box, &QDoubleSpinBox::valueChanged, this, &VideoStartDialog::updateRange);
    connect(mStep, &QSpinBox::valueChanged, this, &VideoStartDialog::updateRange);
    updateRange();
    mStart->setFocus();
    mStart->selectAll();
}

double VideoStartDialog::startSeconds() const {
    return mStart->value();
}

int VideoStartDialog::frameStep() const {
    return mStep->value();
}

double VideoStartDialog::endSeconds() const {
    return mEnd->value() >= mEnd->maximum() ? std::numeric_limits<double>::infinity()
                                            : mEnd->value();
}

void VideoStartDialog::updateRange() {
    const bool valid = mEnd->value() > mStart->value();
    mRangeError->setVisible(!valid);
    mOk->setEnabled(valid);
    const int64_t frames =
        framesToTrack(startSeconds(), endSeconds(), frameStep(), mFrameRate, mDuration);
    mTracked->setText(!valid       ? QStringLiteral("なし")
                      : frames < 0 ? QStringLiteral("不明")
                                   : QStringLiteral("約 %1 コマ").arg(frames));
}

int64_t framesToTrack(double start, double end, int step, double frameRate, double duration) {
    const bool toTheEnd = std::isinf(end) && end > 0;
    if (!(frameRate > 0) || step < 1 || (toTheEnd ? !(duration > 0) : !std::isfinite(end)))
        return -1;
    // The frames after the one on screen at the start, up to the last that starts by the end:
    // the video's last frame starts one frame before its end.
    const double first = std::floor(std::max(0.0, start) * frameRate + 1e-6);
    const double last =
        toTheEnd ? std::ceil(duration * frameRate - 1e-6) - 1 : std::floor(end * frameRate + 1e-6);
    return last > first ? static_cast<int64_t>((last - first) / step) : 0;
}
