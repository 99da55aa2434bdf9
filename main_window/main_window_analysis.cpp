// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's analysis files, the history of presses, the fresh start and the question
// about unsaved work.
#include "main_window.h"

#include "analysis_file.h"
#include "end_window.h"
#include "number_text.h"
#include "photo_sequence.h"
#include "picture_area.h"
#include "picture_marks.h"
#include "placement_picture.h"
#include "progress_notes.h"
#include "window_state.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>

namespace {

const QString kTitle = QStringLiteral("Vestra2007");
const QString kFilter = QStringLiteral("解析ファイル (*.vestra)");
const QString kSuffix = QStringLiteral("vestra");

PhotoView viewOf(const QImage& image) {
    return {reinterpret_cast<const uint32_t*>(image.constBits()), image.width(), image.height(),
            image.bytesPerLine() / 4};
}

QString withSuffix(const QString& path) {
    return path.endsWith(QLatin1Char('.') + kSuffix, Qt::CaseInsensitive)
               ? path
               : path + QLatin1Char('.') + kSuffix;
}

} // namespace

void MainWindow::setUpAnalysisKeeping() {
    mStartupWindow = captureWindowState(*centralWidget(), *mKaiseki);
    mStartupSwatch = mPicOld->palette();
    mBasePicture = mPicSource->image();
    // A click on the picture takes the keyboard focus from a list or the distance box, so that
    // Ctrl+Z after it takes back the press, not the typing.
    mPicSource->setFocusPolicy(Qt::ClickFocus);

    for (QComboBox* list : mLists)
        connect(list, &QComboBox::editTextChanged, this, &MainWindow::markUnsaved);
    connect(mText1, &QLineEdit::textEdited, this, &MainWindow::markUnsaved);
    for (QRadioButton* option : {mOption1, mOption2, mOption4})
        connect(option, &QRadioButton::toggled, this, &MainWindow::markUnsaved);
    mUnsavedOutsideHistory = false;
    updateTitle();
    updateEditActions();
}

void MainWindow::addAnalysisFileActions(QMenu* file) {
    QAction* open =
        file->addAction(QStringLiteral("解析を開く..."), this, &MainWindow::openAnalysis);
    open->setObjectName(QStringLiteral("mnuFileOpenAnalysis"));
    QAction* save =
        file->addAction(QStringLiteral("解析を保存..."), this, &MainWindow::saveAnalysis);
    save->setObjectName(QStringLiteral("mnuFileSave"));
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    QAction* saveAs =
        file->addAction(QStringLiteral("名前を付けて保存..."), this, &MainWindow::saveAnalysisAs);
    saveAs->setObjectName(QStringLiteral("mnuFileSaveAs"));
}

void MainWindow::addEditMenu() {
    QMenuBar* bar = menuBar();
    auto* edit = new QMenu(QStringLiteral("編集"), bar);
    edit->setObjectName(QStringLiteral("mnuEdit"));
    // Right after ファイル.
    const QList<QAction*> entries = bar->actions();
    bar->insertMenu(entries.size() > 1 ? entries[1] : nullptr, edit);
    mUndo = edit->addAction(QStringLiteral("元に戻す"), this, &MainWindow::undo);
    mUndo->setObjectName(QStringLiteral("mnuEditUndo"));
    mUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    mRedo = edit->addAction(QStringLiteral("やり直し"), this, &MainWindow::redo);
    mRedo->setObjectName(QStringLiteral("mnuEditRedo"));
    mRedo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    edit->addSeparator();
    mDetect =
        edit->addAction(QStringLiteral("マーカーを自動検出"), this, &MainWindow::detectMarkers);
    mDetect->setObjectName(QStringLiteral("mnuEditDetect"));
    mDetect->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
}

// ---- history

void MainWindow::recordUndoable(const std::function<void()>& change) {
    const UndoState before = undoState();
    PixelJournal journal;
    mPicSource->setJournal(&journal);
    change();
    mPicSource->setJournal(nullptr);
    UndoStep step{before, undoState(), journal.finish(mPicSource->canvasView())};
    if (step.pixels.empty() && sameState(step.before, step.after))
        return; // refused or without effect: nothing to take back
    mHistory.push(std::move(step));
    updateTitle();
    updateEditActions();
}

UndoState MainWindow::undoState() const {
    UndoState state;
    state.record = pressFieldsOf(mState);
    state.sway = swayTailOf(mSway);
    state.window.label4 = mLabel4->text();
    state.window.label7 = mLabel7->text();
    state.window.shown = {!mLabel5->isHidden(), !mLabel6->isHidden(), !mText1->isHidden(),
                          !mCommand4->isHidden(), !mCommand3->isHidden()};
    state.window.swatch = mPicOld->palette().color(QPalette::Window);
    state.placed = mSource.lost.placed;
    state.subject = mSubject;
    return state;
}

void MainWindow::applyUndoState(const UndoState& state) {
    restorePressFields(mState, state.record);
    restoreSwayTail(mSway, state.sway);
    mLabel4->setText(state.window.label4);
    mLabel7->setText(state.window.label7);
    const std::array<QWidget*, 5> controls = {mLabel5, mLabel6, mText1, mCommand4, mCommand3};
    for (std::size_t i = 0; i < controls.size(); ++i)
        controls[i]->setVisible(state.window.shown[i]);
    QPalette swatch = mPicOld->palette();
    swatch.setColor(QPalette::Window, state.window.swatch);
    mPicOld->setPalette(swatch);
    if (mSource.lost.placed != state.placed) {
        mSource.lost.placed = state.placed;
        if (mFrameView)
            showFrameViewPrompt();
    }
    mSubject = state.subject;
}

void MainWindow::undo() {
    const UndoStep* step = mHistory.undo();
    if (!step)
        return;
    CanvasView canvas = mPicSource->canvasView();
    step->pixels.applyBefore(canvas);
    applyUndoState(step->before);
    if (mProgress->text() == noMarkerText(mState.pointCount + 1))
        mProgress->clear(); // the note was about the point just taken back
    mPicSource->update();
    updateTitle();
    updateEditActions();
    updateSwayReport();
}

void MainWindow::redo() {
    const UndoStep* step = mHistory.redo();
    if (!step)
        return;
    CanvasView canvas = mPicSource->canvasView();
    step->pixels.applyAfter(canvas);
    applyUndoState(step->after);
    mPicSource->update();
    updateTitle();
    updateEditActions();
    updateSwayReport();
}

void MainWindow::clearHistory() {
    // The picture is replaced or trails are coming: the panel's candidates no longer apply.
    closeDetectionPanel();
    // What the history held stays unsaved work after it is gone.
    if (!mHistory.isClean())
        mUnsavedOutsideHistory = true;
    mHistory.clear();
    updateEditActions();
}

void MainWindow::markUnsaved() {
    mUnsavedOutsideHistory = true;
    updateTitle();
}

void MainWindow::pictureReplaced() {
    mPointsAtOpening = mState.pointCount;
    mBasePicture = mPicSource->image();
    clearHistory();
    markUnsaved();
}

void MainWindow::updateTitle() {
    if (mFilePath.isEmpty()) {
        setWindowTitle(kTitle);
        return;
    }
    const QString name = QFileInfo(mFilePath).fileName();
    setWindowTitle(kTitle + QStringLiteral(" - ") + name +
                   (hasUnsavedChanges() ? QStringLiteral("*") : QString()));
}

void MainWindow::updateEditActions() {
    mUndo->setEnabled(mHistory.canUndo());
    mRedo->setEnabled(mHistory.canRedo());
    mDetect->setEnabled(detectionAllowed());
}

// ---- documents

AnalysisDocument MainWindow::currentDocument() const {
    AnalysisDocument document;
    document.record = mState;
    document.sway = mSway;
    document.source = mSource;
    document.subject = mSubject;
    document.window = captureWindowState(*centralWidget(), *mKaiseki);
    if (mFrameView) // the line as the run left it, under the trail
        document.window.progressText = mEndText.toStdString();
    const QImage& shown = trailPicture();
    QImage base = mBasePicture;
    if (base.size() != shown.size()) { // not expected: both change together
        base = QImage(shown.size(), QImage::Format_RGB32);
        base.fill(mPicSource->palette().color(QPalette::Window));
    }
    document.picture = marksBetween(viewOf(base), viewOf(shown));
    return document;
}

QString MainWindow::applyDocument(const AnalysisDocument& document) {
    mFrameView = false;
    mTrailPicture = QImage();
    mOrgIsLostFrame = false;
    const QSize size(document.picture.width, document.picture.height);
    const PlacementPicture placement = loadPlacementPicture(document.source, size);
    if (placement.image) {
        // As a photo is shown when it is opened.
        mPicOrg->setImage(*placement.image);
        mPicSource->setInnerSize(size);
        mPicSource->drawStretched(*placement.image, size);
    } else {
        mPicOrg->setImage(QImage());
        mPicSource->setBlank(size);
    }
    setSourcePicture(placement.source);
    mBasePicture = mPicSource->image();
    paintMarks(document.picture, mPicSource->canvasView());
    mPicSource->update();

    // The tolerances and startDir belong to the program and its settings file, not to one
    // analysis.
    AnalysisState record = document.record;
    record.brightnessTolerance = mState.brightnessTolerance;
    record.darknessTolerance = mState.darknessTolerance;
    record.startDir = mState.startDir;
    mState = record;
    mSway = document.sway;
    mSource = document.source;
    mSubject = document.subject;
    // A press on the placement picture is timed like it.
    mShownSeconds = placement.seconds;
    mShownSequence =
        mSource.kind == AnalysisSource::Kind::Photo
            ? photoSequenceNumber(mSource.placementPath).value_or(SwayEntry::kNoSequence)
            : SwayEntry::kNoSequence;
    applyWindowState(document.window, *centralWidget(), *mKaiseki);
    // The lists show the path totals of the last end as that end wrote them, unless the user
    // typed over them since: the totals have not changed after it.
    for (int k = 1; k <= AnalysisState::kNamedPoints; ++k) {
        const QString total = QString::fromStdString(
            generalNumberText(mState.pathLength[k] / 10 * mState.mmPerPoint));
        auto& written = mWrittenTotals[static_cast<std::size_t>(k - 1)];
        written.reset();
        if (mLists[k - 1]->currentText() == total)
            written = total;
    }
    mPicOld->setPalette(mStartupSwatch);
    offerLostFrame();
    closeAnalysisWindows();
    closeDetectionPanel();
    mPointsAtOpening = mState.pointCount;
    mHistory.clear();
    mUnsavedOutsideHistory = false;
    updateEditActions();
    updateSwayReport();
    return placement.problem;
}

void MainWindow::resetToStartup() {
    mFrameView = false;
    mTrailPicture = QImage();
    mOrgIsLostFrame = false;
    AnalysisState fresh;
    fresh.brightnessTolerance = mState.brightnessTolerance;
    fresh.darknessTolerance = mState.darknessTolerance;
    fresh.startDir = mState.startDir;
    mState = fresh;
    mSway = SwayRecord{};
    mSource = AnalysisSource{};
    mSubject.reset();
    mShownSeconds = SwayEntry::kNone;
    mShownSequence = SwayEntry::kNoSequence;
    mPicOrg->setImage(QImage());
    setSourcePicture(QImage());
    mWrittenTotals = {};
    mPicSource->setBlank(QSize(640, 480));
    mBasePicture = mPicSource->image();
    applyWindowState(mStartupWindow, *centralWidget(), *mKaiseki);
    mPicOld->setPalette(mStartupSwatch);
    offerLostFrame();
    closeAnalysisWindows();
    closeDetectionPanel();
    mPointsAtOpening = -1;
    mHistory.clear();
    mUnsavedOutsideHistory = false;
    mFilePath.clear();
    updateTitle();
    updateEditActions();
    updateSwayReport();
}

void MainWindow::closeAnalysisWindows() {
    // The export window would write the analysis that is gone.
    if (mEnd)
        mEnd->close();
}

// ---- menu items

void MainWindow::newAnalysis() {
    if (!askToSaveChanges())
        return;
    resetToStartup();
}

void MainWindow::openAnalysis() {
    if (!askToSaveChanges())
        return;
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("dlgOpenAnalysis"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(kFilter);
    if (!mFilePath.isEmpty())
        dialog.setDirectory(QFileInfo(mFilePath).absolutePath());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    openAnalysisFile(dialog.selectedFiles().constFirst());
}

bool MainWindow::openAnalysisFile(const QString& path) {
    const AnalysisOpenOutcome outcome = openAnalysisFileQuietly(path);
    if (!outcome.message.isEmpty())
        showMessage(outcome.message, MessageKind::Warning);
    return outcome.opened;
}

AnalysisOpenOutcome MainWindow::openAnalysisFileQuietly(const QString& path) {
    const AnalysisReadResult read = readAnalysisFile(path);
    if (!read.document)
        return {false, read.error};
    const QString problem = applyDocument(*read.document);
    mFilePath = QFileInfo(path).absoluteFilePath();
    updateTitle();
    return {true, problem};
}

bool MainWindow::saveAnalysis() {
    if (mFilePath.isEmpty())
        return saveAnalysisAs();
    return saveAnalysisFile(mFilePath);
}

bool MainWindow::saveAnalysisAs() {
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("dlgSaveAnalysis"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // Asked below, once the suffix is in place.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(kFilter);
    dialog.setDefaultSuffix(kSuffix);
    if (!mFilePath.isEmpty()) {
        dialog.selectFile(mFilePath);
    } else if (!mSource.placementPath.empty()) {
        // Beside the photo, named after its sequence: sample(001).bmp suggests sample.vestra.
        const QFileInfo photo(QString::fromStdString(mSource.placementPath));
        QString name = photo.completeBaseName();
        name.remove(QRegularExpression(QStringLiteral("\\([^()]*\\)$")));
        dialog.setDirectory(photo.absolutePath());
        dialog.selectFile((name.isEmpty() ? photo.completeBaseName() : name) + QLatin1Char('.') +
                          kSuffix);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    const QString path = withSuffix(dialog.selectedFiles().constFirst());
    if (QFileInfo::exists(path)) {
        QMessageBox box(QMessageBox::Warning, kTitle,
                        QStringLiteral("%1 は既にあります。\n上書きしますか?")
                            .arg(QDir::toNativeSeparators(path)),
                        QMessageBox::NoButton, this);
        box.setObjectName(QStringLiteral("msgOverwrite"));
        QPushButton* overwrite = box.addButton(QStringLiteral("上書き"), QMessageBox::AcceptRole);
        box.setEscapeButton(box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole));
        box.exec();
        if (box.clickedButton() != overwrite)
            return false;
    }
    return saveAnalysisFile(path);
}

bool MainWindow::saveAnalysisFile(const QString& path) {
    const WriteResult written = writeAnalysisFile(path, currentDocument());
    if (!written.ok) {
        showMessage(written.error, MessageKind::Warning);
        return false;
    }
    mFilePath = QFileInfo(path).absoluteFilePath();
    mHistory.markClean();
    mUnsavedOutsideHistory = false;
    updateTitle();
    return true;
}

bool MainWindow::askToSaveChanges() {
    if (!hasUnsavedChanges())
        return true;
    QMessageBox box(QMessageBox::Question, kTitle, QStringLiteral("保存しますか"),
                    QMessageBox::NoButton, this);
    box.setObjectName(QStringLiteral("msgSaveChanges"));
    QPushButton* save = box.addButton(QStringLiteral("保存"), QMessageBox::AcceptRole);
    save->setObjectName(QStringLiteral("btnSave"));
    QPushButton* discard =
        box.addButton(QStringLiteral("保存しない"), QMessageBox::DestructiveRole);
    discard->setObjectName(QStringLiteral("btnDiscard"));
    QPushButton* cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save)
        return saveAnalysis(); // a cancelled or failed save cancels the action
    return box.clickedButton() == discard;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (askToSaveChanges())
        event->accept();
    else
        event->ignore();
}
