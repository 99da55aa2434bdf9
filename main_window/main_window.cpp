// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"

#include "about_window.h"
#include "angles.h"
#include "continuation.h"
#include "end_window.h"
#include "guide_window.h"
#include "number_text.h"
#include "options_window.h"
#include "photo_loader.h"
#include "photo_sequence.h"
#include "photo_sequence_source.h"
#include "picture_area.h"
#include "press.h"
#include "progress_notes.h"
#include "region_search.h"
#include "responsive_run.h"
#include "scale.h"
#include "single_window.h"
#include "source_picture.h"
#include "sway_tracking.h"
#include "sway_trajectory.h"
#include "sway_window.h"
#include "tracking.h"
#include "video_dialogs.h"
#include "video_info.h"
#include "video_source.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>

#include <cmath>
#include <memory>

namespace {

const QString kTitle = QStringLiteral("Vestra2007");

const QStringList kLandmarks = {
    QStringLiteral("頭頂部"),           QStringLiteral("肩峰（矢状面）"),
    QStringLiteral("肩峰（前額左）"),   QStringLiteral("肩峰（前額右）"),
    QStringLiteral("腸骨棘（矢状面）"), QStringLiteral("腸骨棘（前額左）"),
    QStringLiteral("腸骨棘（前額右）"), QStringLiteral("膝関節（矢状面）"),
    QStringLiteral("膝関節（前額左）"), QStringLiteral("膝関節（前額右）"),
};

// The presets write texts of their own: half-width brackets after a blank.
const std::array<QString, 7> kSagittalPreset = {QStringLiteral("頭頂部"),
                                                QStringLiteral("肩峰 (矢状面)"),
                                                QStringLiteral("腸骨棘 (矢状面)"),
                                                QStringLiteral("膝関節 (矢状面)"),
                                                QString(),
                                                QString(),
                                                QString()};
const std::array<QString, 7> kFrontalPreset = {
    QStringLiteral("頭頂部"),          QStringLiteral("肩峰 (前額左)"),
    QStringLiteral("肩峰 (前額右)"),   QStringLiteral("腸骨棘 (前額左)"),
    QStringLiteral("腸骨棘 (前額右)"), QStringLiteral("膝関節 (前額左)"),
    QStringLiteral("膝関節 (前額右)")};

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

QRadioButton* makeOption(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    auto* option = new QRadioButton(text, parent);
    option->setObjectName(QLatin1String(name));
    option->setGeometry(geometry);
    return option;
}

int modifierBits(Qt::KeyboardModifiers modifiers) {
    int bits = 0;
    if (modifiers & Qt::ShiftModifier)
        bits |= modifiers::kShift;
    if (modifiers & Qt::ControlModifier)
        bits |= modifiers::kCtrl;
    if (modifiers & Qt::AltModifier)
        bits |= modifiers::kAlt;
    return bits;
}

// The wait cursor for as long as a long handler runs.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Sets the text of a landmark list and shows it from its start: a long path total would
// otherwise show only its last digits.
void setListText(QComboBox* list, const QString& text) {
    list->setEditText(text);
    if (QLineEdit* edit = list->lineEdit())
        edit->setCursorPosition(0);
}

// What a run of the continuation needs from the window: the clean copy takes each picture, the
// trail goes to the picture on display, and the window repaints with the progress line about
// every 50 ms.
class WindowHost : public ContinuationHost {
public:
    WindowHost(PictureArea* org, PictureArea* shown, QLabel* progress, ResponsiveRun& run,
               AnalysisSource::Kind kind, const VideoLength& length, double& shownSeconds,
               int32_t& shownSequence, std::shared_ptr<SourceFrame>& sourceFrame,
               SourceScale& sourceScale)
        : mOrg(org), mShown(shown), mProgress(progress), mRun(run), mKind(kind), mLength(length),
          mShownSeconds(shownSeconds), mShownSequence(shownSequence), mSourceFrame(sourceFrame),
          mSourceScale(sourceScale) {}

    void showPicture(const SourceItem& item) override {
        mOrg->setImage(item.picture);
        mShownSeconds = item.seconds;
        mShownSequence = item.sequence;
        // A point added after the run is measured on this picture.
        mSourceFrame = item.source;
        mSourceScale = item.source ? item.scale
                                   : SourceScale::same(item.picture.width(), item.picture.height());
    }
    CanvasView canvas() override { return mShown->canvasView(); }
    void tracked(int count, const SourceItem& item) override {
        if (!mRun.due())
            return;
        mProgress->setText(continuationProgressText(mKind, count, item, mLength));
        waiting();
    }
    void waiting() override {
        if (!mRun.due())
            return;
        mShown->update();
        mRun.breathe();
    }
    bool stopRequested() override { return mRun.stopRequested(); }

private:
    PictureArea* mOrg;
    PictureArea* mShown;
    QLabel* mProgress;
    ResponsiveRun& mRun;
    AnalysisSource::Kind mKind;
    VideoLength mLength;
    double& mShownSeconds;
    int32_t& mShownSequence;
    std::shared_ptr<SourceFrame>& mSourceFrame;
    SourceScale& mSourceScale;
};

ArgbPicture argbPicture(const PhotoView& photo) {
    return {photo.bits, photo.width, photo.height, photo.stride};
}

} // namespace

MainWindow::MainWindow(AnalysisState& state, QWidget* parent) : QMainWindow(parent), mState(state) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kTitle);
    buildMenus();
    buildControls();
    // The layout is fixed; the window does not follow a change of size, and so offers no
    // maximise button.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setUpAnalysisKeeping();
}

MainWindow::~MainWindow() {
    delete mSwayWindow; // it shows the trajectory this window owns
}

void MainWindow::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menuBar"));
    // A menu bar inside the window on every desktop, as the fixed layout expects.
    bar->setNativeMenuBar(false);

    QMenu* file = bar->addMenu(QStringLiteral("ファイル"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction* newAnalysis =
        file->addAction(QStringLiteral("新しい解析"), this, &MainWindow::newAnalysis);
    newAnalysis->setObjectName(QStringLiteral("mnuFileNew"));
    newAnalysis->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    QAction* open = file->addAction(QStringLiteral("開く"), this, &MainWindow::openPhoto);
    open->setObjectName(QStringLiteral("mnuFileOpen"));
    QAction* openVideo =
        file->addAction(QStringLiteral("動画を開く..."), this, &MainWindow::openVideoFile);
    openVideo->setObjectName(QStringLiteral("mnuFileOpenVideo"));
    addAnalysisFileActions(file);
    file->addSeparator()->setObjectName(QStringLiteral("mnuFileStep"));
    QAction* quit = file->addAction(QStringLiteral("終了"), this, &QWidget::close);
    quit->setObjectName(QStringLiteral("mnuFileQuit"));
    addEditMenu();

    mKaiseki = bar->addAction(QStringLiteral("解析開始"), this, &MainWindow::startAnalysis);
    mKaiseki->setObjectName(QStringLiteral("kaiseki"));
    mKaiseki->setEnabled(false);

    // The sway report, offered once the trajectory has enough photos.
    QMenu* results = bar->addMenu(QStringLiteral("解析結果"));
    results->setObjectName(QStringLiteral("mnuResults"));
    mSwayAction =
        results->addAction(QStringLiteral("動揺解析..."), this, &MainWindow::showSwayReport);
    mSwayAction->setObjectName(QStringLiteral("mnuSway"));
    mSwayAction->setEnabled(false);
    addReportActions(results);
    // Whatever changed the trajectory, the menu shows the state of the moment.
    connect(results, &QMenu::aboutToShow, this, &MainWindow::updateSwayReport);

    QAction* options = bar->addAction(QStringLiteral("オプション"), this, &MainWindow::showOptions);
    options->setObjectName(QStringLiteral("option"));

    QMenu* help = bar->addMenu(QStringLiteral("ヘルプ"));
    help->setObjectName(QStringLiteral("Help"));
    QAction* guide = help->addAction(QStringLiteral("使い方"), this, &MainWindow::showGuide);
    guide->setObjectName(QStringLiteral("mnuHelpGuide"));
    guide->setShortcut(QKeySequence::HelpContents);
    QAction* version =
        help->addAction(QStringLiteral("バージョン情報"), this, &MainWindow::showVersion);
    version->setObjectName(QStringLiteral("Ver"));
}

void MainWindow::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);

    mPicOrg = new PictureArea(client);
    mPicOrg->setObjectName(QStringLiteral("picOrg"));
    mPicOrg->move(3, 0);
    mPicOrg->setInnerSize(QSize(0, 0));
    mPicOrg->hide();

    mPicSource = new PictureArea(client);
    mPicSource->setObjectName(QStringLiteral("picSource"));
    mPicSource->move(3, 0);
    mPicSource->setInnerSize(QSize(640, 480));
    connect(mPicSource, &PictureArea::pressed, this,
            [this](QPointF position, Qt::KeyboardModifiers modifiers) {
                pressOnPicture(position, modifierBits(modifiers));
            });

    mPicOld = new QWidget(client);
    mPicOld->setObjectName(QStringLiteral("picOld"));
    mPicOld->setGeometry(164, 193, 49, 49);
    mPicOld->setAutoFillBackground(true);
    mPicOld->hide();

    mLabel1 =
        makeLabel(client, "Label1",
                  QStringLiteral("ポインタがそれぞれどの部位を指しているのか入力してください"),
                  QRect(654, 0, 122, 37));
    for (int k = 0; k < 7; ++k) {
        const QByteArray number = QByteArray::number(k + 1);
        auto* label = new QLabel(QString::fromLatin1(number), client);
        label->setObjectName(QLatin1String("Mpoi" + number));
        label->move(652, 51 + 24 * k);
        label->adjustSize(); // sized to its text
        mNumberLabels[k] = label;

        auto* list = new QComboBox(client);
        list->setObjectName(QLatin1String("Combo" + number));
        list->setGeometry(665, 47 + 24 * k, 112, 20);
        list->setEditable(true);
        list->setCompleter(nullptr); // a typed prefix of an item stays as typed
        list->setInsertPolicy(QComboBox::NoInsert);
        list->addItems(kLandmarks);
        list->setCurrentIndex(-1);
        list->setEditText(QString());
        mLists[k] = list;
    }
    mLabel2 = makeLabel(
        client, "Label2",
        QStringLiteral("システムの既定値でバランステストを行った場合は下のボタンを押してください"),
        QRect(654, 223, 128, 48));
    mCommand1 =
        makeButton(client, "Command1", QStringLiteral("矢状面バランス"), QRect(675, 277, 101, 26));
    mCommand2 =
        makeButton(client, "Command2", QStringLiteral("前額面バランス"), QRect(675, 309, 101, 25));
    mLabel3 =
        makeLabel(client, "Label3",
                  QStringLiteral("Shiftキーを押しながら距離の基準点を２つクリックしてください"),
                  QRect(654, 356, 122, 38));
    mLabel5 = makeLabel(client, "Label5", QStringLiteral("基準点の距離は何㎜ですか"),
                        QRect(654, 400, 115, 26));
    mText1 = new QLineEdit(client);
    mText1->setObjectName(QStringLiteral("Text1"));
    mText1->setGeometry(653, 429, 90, 17);
    mText1->setAttribute(Qt::WA_InputMethodEnabled, false);
    mText1->setInputMethodHints(Qt::ImhLatinOnly | Qt::ImhPreferNumbers);
    mLabel6 = new QLabel(QStringLiteral("㎜"), client);
    mLabel6->setObjectName(QStringLiteral("Label6"));
    mLabel6->move(747, 435);
    mLabel6->adjustSize();
    mCommand4 = makeButton(client, "Command4", QStringLiteral("OK"), QRect(721, 453, 55, 25));
    mCommand3 =
        makeButton(client, "Command3", QStringLiteral("解析を続ける"), QRect(674, 516, 101, 25));

    mFrame1 = new QGroupBox(QStringLiteral("解析モード設定"), client);
    mFrame1->setObjectName(QStringLiteral("Frame1"));
    mFrame1->setGeometry(2, 489, 201, 59);
    mOption1 = makeOption(mFrame1, "Option1", QStringLiteral("ROM"), QRect(8, 14, 51, 19));
    mOption2 = makeOption(mFrame1, "Option2", QStringLiteral("静的バランス"), QRect(8, 33, 93, 19));
    mOption3 = makeOption(mFrame1, "Option3", QStringLiteral("歩行"), QRect(111, 14, 44, 20));
    mOption4 =
        makeOption(mFrame1, "Option4", QStringLiteral("アライメント"), QRect(111, 33, 81, 17));
    mOption2->setChecked(true);
    mOption3->setEnabled(false); // gait mode is shown but cannot be chosen

    mLabel4 = makeLabel(client, "Label4", QString(), QRect(544, 496, 105, 17));
    mLabel7 = makeLabel(client, "Label7", QString(), QRect(544, 520, 105, 17));

    // Where the continuation reports how far it got; not part of the classic form.
    mProgress = makeLabel(client, "lblProgress", QString(), QRect(210, 494, 328, 54));
    mProgress->hide();
    // Under it, after a run that lost a marker: what the user can do about that picture.
    mLostFrame = makeLabel(client, "lblLostFrame", QString(), QRect(210, 530, 328, 18));
    mLostFrame->setTextFormat(Qt::RichText);
    mLostFrame->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    mLostFrame->hide();
    connect(mLostFrame, &QLabel::linkActivated, this, [this](const QString& link) {
        if (link == QLatin1String("place"))
            showLostFrame();
        else if (link == QLatin1String("skip"))
            skipLostFrame();
    });

    for (QWidget* hidden :
         std::initializer_list<QWidget*>{mLabel1, mLabel2, mLabel3, mLabel5, mLabel6, mText1,
                                         mCommand1, mCommand2, mCommand3, mCommand4}) {
        hidden->hide();
    }
    for (int k = 0; k < 7; ++k) {
        mNumberLabels[k]->hide();
        mLists[k]->hide();
    }

    connect(mCommand1, &QPushButton::clicked, this, &MainWindow::applySagittalPreset);
    connect(mCommand2, &QPushButton::clicked, this, &MainWindow::applyFrontalPreset);
    connect(mCommand3, &QPushButton::clicked, this, &MainWindow::continueAnalysis);
    connect(mCommand4, &QPushButton::clicked, this, &MainWindow::confirmDistance);
    connect(mOption4, &QRadioButton::clicked, this, &MainWindow::drawAlignmentGrid);
}

void MainWindow::openPhoto() {
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("dlgOpen"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters({QStringLiteral("ﾋﾞｯﾄﾏｯﾌﾟ(*.bmp)"), QStringLiteral("GIF(*.gif)"),
                           QStringLiteral("JPEG(*.jpg)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return; // cancelled: the photo on display stays
    loadPhoto(dialog.selectedFiles().constFirst());
}

bool MainWindow::loadPhoto(const QString& path) {
    auto photo = loadPhotoForDisplay(path);
    if (!photo) {
        // Nothing else changes and no message box comes up; the line says why nothing happened.
        showNote(unreadablePhotoText(path));
        return false;
    }
    showOpenedPicture(photo->image, path, AnalysisSource::Kind::Photo,
                      loadPhotoSource(path, photo->image.size()));
    mShownSeconds = SwayEntry::kNone;
    mShownSequence = photoSequenceNumber(mState.photoPath).value_or(SwayEntry::kNoSequence);
    return true;
}

void MainWindow::showOpenedPicture(const QImage& picture, const QString& path,
                                   AnalysisSource::Kind kind, QImage source) {
    leaveFrameView();
    const QSize shown = picture.size();
    mPicOrg->setImage(picture);
    setSourcePicture(std::move(source));
    mState.photoPath = path.toStdString();
    mPicSource->setInnerSize(shown);
    mPicSource->drawStretched(picture, shown);
    if (mOption1->isChecked())
        mKaiseki->setEnabled(false);
    if (mOption2->isChecked())
        mKaiseki->setEnabled(true);
    mSource = AnalysisSource{};
    mSource.kind = kind;
    mSource.placementPath = mState.photoPath;
    mOrgIsLostFrame = false;
    offerLostFrame();
    pictureReplaced();
}

void MainWindow::openVideoFile() {
    const QString path = chooseVideoFile(this);
    if (path.isEmpty())
        return; // cancelled
    const auto refuse = [this, &path](const QString& reason) {
        showMessage(QStringLiteral("%1 を動画として開けません。\n%2")
                        .arg(QDir::toNativeSeparators(path), reason));
    };
    const VideoProbeResult probe = probeVideo(path);
    if (!probe.info)
        return refuse(probe.error);
    if (const QString tooLarge = tooLargeToMeasure(*probe.info); !tooLarge.isEmpty())
        return refuse(tooLarge);
    VideoStartDialog start(path, *probe.info, this);
    if (start.exec() != QDialog::Accepted)
        return;
    QString error;
    if (!openVideo(path, start.startSeconds(), start.frameStep(), &error, start.endSeconds()))
        refuse(error);
}

bool MainWindow::openVideo(const QString& path, double startSeconds, int frameStep, QString* error,
                           double endSeconds) {
    VideoFrameResult loaded = loadVideoStartFrame(path, startSeconds);
    if (loaded.frame)
        if (const QString tooLarge = tooLargeToMeasure(loaded.info); !tooLarge.isEmpty()) {
            loaded.frame.reset();
            loaded.error = tooLarge;
        }
    if (!loaded.frame) {
        if (error)
            *error = loaded.error;
        return false; // nothing changes
    }
    showOpenedPicture(loaded.frame->picture, path, AnalysisSource::Kind::Video,
                      std::move(loaded.frame->source));
    mSource.startSeconds = startSeconds;
    mSource.frameStep = std::max(1, frameStep);
    mSource.placementPts = loaded.frame->pts;
    mSource.endSeconds = endSeconds;
    mShownSeconds = loaded.frame->seconds;
    mShownSequence = SwayEntry::kNoSequence;
    return true;
}

void MainWindow::startAnalysis() {
    if (mOption1->isChecked() || mOption3->isChecked()) {
        mLabel4->show();
        const TripleNumbering numbering = numberAngleTriples(mState);
        if (!numbering.message.empty()) {
            showMessage(QString::fromStdString(numbering.message));
        } else {
            recordUndoable([&] {
                for (const PictureNumber& number : numbering.numbers)
                    mPicSource->drawText(QPoint(number.x, number.y),
                                         pictureNumberText(number.value), colours::kWhite);
            });
        }
    }
    if (mOption2->isChecked()) {
        markUnsaved();
        for (QComboBox* list : mLists)
            list->show();
        for (QLabel* label : mNumberLabels)
            label->show();
        mCommand1->show();
        mCommand2->show();
        mLabel1->show();
        mLabel2->show();
        mLabel3->show();
    }
}

void MainWindow::applySagittalPreset() {
    for (int k = 0; k < 7; ++k)
        setListText(mLists[k], kSagittalPreset[k]);
}

void MainWindow::applyFrontalPreset() {
    for (int k = 0; k < 7; ++k)
        setListText(mLists[k], kFrontalPreset[k]);
}

void MainWindow::drawAlignmentGrid() {
    recordUndoable([this] {
        for (int x = 40; x <= 640; x += 40)
            mPicSource->drawLine(QPoint(x, 0), QPoint(x, 480), colours::kWhite);
        for (int y = 40; y <= 480; y += 40)
            mPicSource->drawLine(QPoint(0, y), QPoint(640, y), colours::kWhite);
    });
}

void MainWindow::confirmDistance() {
    const auto distance = parseDistance(mText1->text().toStdString());
    ScaleRefusal refusal = ScaleRefusal::NotAPositiveNumber;
    // A step of its own in the history: the scale goes back before the reference press it uses.
    recordUndoable([&] {
        if (distance)
            refusal = confirmScale(mState, *distance);
        if (refusal == ScaleRefusal::None) {
            mCommand3->show();
            mSway.scaleConfirmed = true;
        }
    });
    updateSwayReport(); // now in mm
    switch (refusal) {
    case ScaleRefusal::NotAPositiveNumber:
        showMessage(QStringLiteral("基準点の距離を0より大きい半角の数値（㎜）で入力してください"));
        return;
    case ScaleRefusal::NoReferenceDistance:
        showMessage(QStringLiteral("2つの基準点が同じ位置です。Shiftキーを押しながら"
                                   "離れた2点をクリックし直してください"));
        return;
    case ScaleRefusal::None:
        break;
    }
}

void MainWindow::continueAnalysis() {
    const AnalysisSource::Kind kind = mSource.kind;
    const bool video = kind == AnalysisSource::Kind::Video;
    if (!video && !nextPhotoName(mState.photoPath)) {
        showMessage(QStringLiteral("写真のファイル名に連番がないため、解析を続けられません。"
                                   "a(001).bmp のように括弧の中に番号のある写真を開いてください"));
        return;
    }
    // Taken up again from the picture that lost a marker, once the lost markers were placed.
    std::optional<ResumedFrame> resumed;
    if (mSource.lost.lostPoint != 0 && !mSource.lost.placed.empty()) {
        if (!ensureLostFramePicture()) {
            showMessage(QStringLiteral("マーカーを見失ったコマを読み込めません。"),
                        MessageKind::Warning);
            return;
        }
        resumed.emplace();
        resumed->lost = mSource.lost;
        SourceItem& item = resumed->item;
        item.picture = mPicOrg->image();
        item.name = video ? QFileInfo(QString::fromStdString(mSource.placementPath)).fileName()
                          : QFileInfo(QString::fromStdString(mSource.lost.photoPath)).fileName();
        item.seconds = mSource.lost.seconds;
        item.sequence = mSource.lost.sequence;
        item.source = mSourceFrame;
        item.scale = mSourceScale;
        item.followAtSource = video && swayPictures().atSource();
    }
    leaveFrameView();
    mSource.lost = LostFrame{};
    // picOrg takes the run's pictures: the opened picture at its own size goes with it (the
    // measurement keeps each picture's source beside it).
    mSourcePicture = QImage();
    // The trails painted from here on are not presses to take back.
    clearHistory();
    markUnsaved();
    const WaitCursor wait;
    const QSize size = mPicSource->innerSize();
    VideoLength length;
    if (video)
        if (const VideoProbeResult probe =
                probeVideo(QString::fromStdString(mSource.placementPath));
            probe.info)
            length = {probe.info->frameCount, probe.info->frameCountEstimated};
    mProgress->show();
    showProgress(continuationStartText(kind, length), true);
    {
        // Until the end only paint events and Esc get through; input queued meanwhile is dropped
        // when the run is over.
        ResponsiveRun run;
        std::unique_ptr<FrameSource> source;
        if (video)
            source = std::make_unique<VideoSource>(
                mSource, QString::fromStdString(mSource.placementPath), size);
        else
            source = std::make_unique<PhotoSequenceSource>(
                mState.photoPath, size, QThread::idealThreadCount(),
                QSize(mSourceScale.sourceWidth, mSourceScale.sourceHeight));
        WindowHost host(mPicOrg, mPicSource, mProgress, run, kind, length, mShownSeconds,
                        mShownSequence, mSourceFrame, mSourceScale);
        const ContinuationOutcome outcome =
            runContinuation(mState, mSway, *source, host, resumed ? &*resumed : nullptr);
        mPicSource->update();
        mProgress->setText(continuationEndText(kind, outcome));
        if (outcome.end == ContinuationOutcome::End::LostMarker) {
            // picOrg holds the picture the marker was lost in.
            mSource.lost = outcome.lost;
            mSource.lost.photoPath = mState.photoPath;
            mSource.lost.pts = mSource.lastPts;
            mOrgIsLostFrame = true;
        }
        offerLostFrame();
    }
    finishAnalysis();
}

void MainWindow::finishAnalysis() {
    for (int k = 1; k <= AnalysisState::kNamedPoints; ++k) {
        // A list still showing the total of the last end holds no new name: the earlier stays.
        const QString text = mLists[k - 1]->currentText();
        const auto& written = mWrittenTotals[static_cast<std::size_t>(k - 1)];
        if (!written || text != *written)
            mState.landmarkNames[k] = text.toStdString();
    }
    for (int k = 1; k <= AnalysisState::kNamedPoints; ++k) {
        const double millimetres = mState.pathLength[k] / 10 * mState.mmPerPoint;
        const QString total = QString::fromStdString(generalNumberText(millimetres));
        setListText(mLists[k - 1], total);
        mWrittenTotals[static_cast<std::size_t>(k - 1)] = total;
    }
    updateSwayReport();
    showSingleWindow(mEnd, [this] {
        auto* window = new EndWindow(mState);
        connect(window, &EndWindow::filesWritten, this, &MainWindow::showWrittenFiles);
        return window;
    });
}

void MainWindow::pressOnPicture(QPointF position, int bits) {
    if (mFrameView) {
        pressInFrameView(position);
        return;
    }
    recordUndoable([&] {
        switch (classifyPress(bits, mOption1->isChecked())) {
        case PressAction::MarkerPoint:
            pressMarkerPoint(position);
            break;
        case PressAction::ReferencePoint:
            pressReferencePoint(position);
            break;
        case PressAction::AnglePoint:
            pressAnglePoint(position);
            break;
        case PressAction::Nothing:
            break;
        }
    });
    updateSwayReport(); // a further point, or a reference press that undoes the unit
}

void MainWindow::pressMarkerPoint(QPointF position) {
    if (!canAddPoint(mState)) {
        QApplication::beep(); // the record holds 60 points
        return;
    }
    const PhotoView photo = mPicOrg->photoView();
    const int px = static_cast<int>(std::floor(position.x()));
    const int py = static_cast<int>(std::floor(position.y()));
    // Off the photo (or before one is open) the swatch shows white, as such pixels read.
    const uint32_t colour = photo.contains(px, py) ? photo.colourAt(px, py) : colours::kWhite;
    QPalette swatch = mPicOld->palette();
    swatch.setColor(QPalette::Window, QColor::fromRgb(argbFromColour(colour)));
    mPicOld->setPalette(swatch);

    CanvasView canvas = mPicSource->canvasView();
    const bool marker = pressMeetsMarker(mState, photo, position.x(), position.y());
    if (placeMarkerPoint(mState, photo, canvas, position.x(), position.y())) {
        recordPlacedPoint(mSway, mState, swayPictures(), mState.pointCount, position.x(),
                          position.y(), mShownSeconds, mShownSequence);
        if (!marker) {
            showNote(noMarkerText(mState.pointCount));
            mPressNote = mProgress->text();
        } else if (!mPressNote.isEmpty() && mProgress->text() == mPressNote) {
            mProgress->clear(); // the note was about an earlier point
        }
    }
    mPicSource->update();
}

void MainWindow::pressReferencePoint(QPointF position) {
    CanvasView canvas = mPicSource->canvasView();
    // Every reference press stores a pixel distance in mmPerPoint.
    mSway.scaleConfirmed = false;
    recordReferencePress(mSway, mState, swayPictures(), position.x(), position.y());
    if (placeReferencePoint(mState, canvas, position.x(), position.y())) {
        mLabel5->show();
        mLabel6->show();
        mText1->show();
        mCommand4->show();
    }
    mPicSource->update();
}

void MainWindow::pressAnglePoint(QPointF position) {
    CanvasView canvas = mPicSource->canvasView();
    const auto placed = placeAnglePoint(mState, canvas, position.x(), position.y());
    if (!placed) {
        QApplication::beep();
        return;
    }
    if (placed->lineNeeded)
        mPicSource->drawLine(QPoint(placed->lineFrom.x, placed->lineFrom.y),
                             QPoint(placed->lineTo.x, placed->lineTo.y), colours::kRed);
    if (placed->angle) {
        for (const PictureNumber& text : placed->angle->texts)
            mPicSource->drawText(QPoint(text.x, text.y), pictureNumberText(text.value),
                                 colours::kWhite);
        mLabel4->setText(QString::number(placed->angle->label4));
        mLabel7->setText(QString::number(placed->angle->label7));
    }
    mPicSource->update();
}

const QImage& MainWindow::sourcePicture() const {
    return mSourcePicture.isNull() ? mPicOrg->image() : mSourcePicture;
}

SourceScale MainWindow::sourceScale() const {
    if (!mSourcePicture.isNull())
        return mSourceScale;
    const QImage& shown = mPicOrg->image();
    return SourceScale::same(shown.width(), shown.height());
}

void MainWindow::setSourcePicture(QImage source) {
    const QImage& shown = mPicOrg->image();
    if (source.isNull() || shown.isNull()) {
        mSourcePicture = QImage();
        mSourceFrame.reset();
        mSourceScale = SourceScale::same(shown.width(), shown.height());
        return;
    }
    if (source.format() != QImage::Format_RGB32)
        source.convertTo(QImage::Format_RGB32);
    mSourceScale = {source.width(), source.height(), shown.width(), shown.height()};
    mSourcePicture = source;
    mSourceFrame = sourceFrameOf(std::move(source));
}

SwayPictures MainWindow::swayPictures() const {
    return SwayPictures(argbPicture(mPicOrg->photoView()), mSourceFrame.get(), mSourceScale);
}

void MainWindow::showOptions() {
    showSingleWindow(mOptions, [this] { return new OptionsWindow(mState); });
}

void MainWindow::showVersion() {
    showSingleWindow(mAbout, [] { return new AboutWindow(); });
}

void MainWindow::showGuide() {
    showSingleWindow(mGuide, [] { return new GuideWindow(installedGuideFile()); });
}

void MainWindow::showSwayReport() {
    if (!swayReportAvailable(mSway))
        return;
    showSingleWindow(mSwayWindow, [this] {
        auto* window = new SwayWindow(mState, mSway);
        connect(window, &SwayWindow::frameIntervalChanged, this, &MainWindow::markUnsaved);
        attachReportPanel(window);
        return window;
    })->refresh();
}

void MainWindow::updateSwayReport() {
    const bool available = swayReportAvailable(mSway);
    mSwayAction->setEnabled(available);
    mReportPdfAction->setEnabled(available);
    mPrintAction->setEnabled(available);
    if (!mSwayWindow)
        return;
    // After a new analysis, an opened file or an undo the trajectory may be too short to report.
    if (available)
        mSwayWindow->refresh();
    else
        mSwayWindow->close();
}

void MainWindow::showMessage(const QString& text, MessageKind kind) {
    QMessageBox box(kind == MessageKind::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                    kTitle, text, QMessageBox::Ok, this);
    box.exec();
}

void MainWindow::showProgress(const QString& text, bool immediately) {
    // The sequence runs inside one handler; repainting the read-out directly, at most about ten
    // times a second, shows progress without letting user input in.
    if (!immediately && mProgressClock.isValid() && mProgressClock.elapsed() < 100)
        return;
    mProgressClock.start();
    mProgress->setText(text);
    mProgress->repaint();
}

void MainWindow::showNote(const QString& text) {
    mProgress->setText(text);
    mProgress->show();
}

void MainWindow::showWrittenFiles(const QStringList& paths) {
    showNote(writtenFilesText(paths, mProgress->fontMetrics(), mProgress->width()));
}
