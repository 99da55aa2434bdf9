// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis_document.h"
#include "analysis_source.h"
#include "analysis_state.h"
#include "report_document.h"
#include "source_scale.h"
#include "subject_record.h"
#include "sway_record.h"
#include "undo_history.h"

#include <QElapsedTimer>
#include <QImage>
#include <QMainWindow>
#include <QPalette>
#include <QPointer>

#include <array>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

class AboutWindow;
class DetectionPanel;
class SourceFrame;
struct SwayPictures;
class EndWindow;
class GuideWindow;
class OptionsWindow;
class PictureArea;
class SwayWindow;
class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;

// The main window: the photo, the landmark column, the mode selector and the menus.
struct AnalysisOpenOutcome {
    bool opened = false;
    QString message; // empty when there is nothing to tell
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 782;
    static constexpr int kClientHeight = 551;

    explicit MainWindow(AnalysisState& state, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Handlers, public so that tests can drive them like the user does.
    void openPhoto();
    void openVideoFile();
    void startAnalysis();
    void applySagittalPreset();
    void applyFrontalPreset();
    void drawAlignmentGrid();
    void confirmDistance();
    void continueAnalysis();
    void finishAnalysis();
    void pressOnPicture(QPointF position, int modifierBits);
    void showOptions();
    void showVersion();
    void showGuide();
    void showSwayReport();
    // マーカーを自動検出: the panel of candidates, or a message when there are none or too many
    // (main_window_detection.cpp).
    void detectMarkers();
    // After a run lost a marker (lost_frame_view.cpp): the picture where it was lost, shown in
    // place of the trail to place the lost markers by hand ("このコマで指定して続ける"), or left
    // out ("このコマを飛ばす").
    void showLostFrame();
    void skipLostFrame();
    // After the trajectory changed: the menu item's enabled state and the open report.
    void updateSwayReport();

    // Opening a photo once its path is known (the part after the open dialog).
    bool loadPhoto(const QString& path);
    // Opening a video once its path, start and step are known (the part after the dialogs): the
    // frame at `startSeconds` is shown as an opened photo is. False, with the reason in `error`,
    // when the file cannot be opened as a video or that frame cannot be decoded; nothing changes
    // then.
    bool openVideo(const QString& path, double startSeconds, int frameStep,
                   QString* error = nullptr,
                   double endSeconds = std::numeric_limits<double>::infinity());

    // What the window keeps beside the record: the sub-pixel trajectories and the source of
    // the pictures.
    [[nodiscard]] const SwayRecord& sway() const { return mSway; }
    [[nodiscard]] const AnalysisSource& source() const { return mSource; }
    // For reopening a saved analysis after loadPhoto or openVideo: where a continuation goes on.
    void restoreSource(const AnalysisSource& source) { mSource = source; }
    // The picture the sway trajectory is measured on: the opened photo or frame at its own size,
    // and how its pixels relate to the picture on display.
    [[nodiscard]] const QImage& sourcePicture() const;
    [[nodiscard]] SourceScale sourceScale() const;

    // Analysis files, the history of presses and a fresh start (main_window_analysis.cpp).
    void newAnalysis();    // 新しい解析: asks about unsaved work first
    void openAnalysis();   // 解析を開く...: asks about unsaved work, then the open dialog
    bool saveAnalysis();   // 解析を保存...: asks for a name the first time
    bool saveAnalysisAs(); // 名前を付けて保存...
    void undo();
    void redo();
    // After the dialogs: false, with a message to the user, when refused or not written.
    bool openAnalysisFile(const QString& path);
    // The same without a message box: what would have been said is in the outcome (a refusal,
    // or a missing photo of an analysis that did open).
    AnalysisOpenOutcome openAnalysisFileQuietly(const QString& path);
    bool saveAnalysisFile(const QString& path);
    [[nodiscard]] bool hasUnsavedChanges() const {
        return mUnsavedOutsideHistory || !mHistory.isClean();
    }
    [[nodiscard]] const QString& analysisFilePath() const { return mFilePath; }

    // The subject and test conditions, and the printed report (main_window_report.cpp).
    void editSubject(QWidget* parent = nullptr); // one step of the history per OK
    void makeReportPdf();                        // レポートを作成...
    void printSwayReport();                      // 印刷...
    [[nodiscard]] const std::optional<SubjectRecord>& subject() const { return mSubject; }
    // What the printed report takes from this window: the subject, the recording, the
    // placement picture with the points on it.
    [[nodiscard]] ReportContext reportContext() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void buildControls();
    // An opened photo or video frame becomes the clean picture and the one on display; 解析開始
    // is enabled by the mode, and the source starts afresh with the picture.
    void showOpenedPicture(const QImage& picture, const QString& path, AnalysisSource::Kind kind,
                           QImage source = QImage());
    // The source picture at its own size beside the clean picture (null: the clean picture is
    // measured as it is).
    void setSourcePicture(QImage source);
    [[nodiscard]] SwayPictures swayPictures() const;
    void pressMarkerPoint(QPointF position);
    void pressReferencePoint(QPointF position);
    void pressAnglePoint(QPointF position);
    // The lost frame: whether picOrg holds it (loading it when not), the lost points still to
    // place, a press placing the next, the offer on the line under the picture, and back to the
    // trail.
    bool ensureLostFramePicture();
    [[nodiscard]] std::vector<int> pointsToPlace() const;
    void pressInFrameView(QPointF position);
    void offerLostFrame();
    void showFrameViewPrompt();
    void leaveFrameView();
    [[nodiscard]] const QImage& trailPicture() const;
    // A message box with the program's title: the plain ones of the analysis, or with the
    // warning icon for a file that could not be opened or saved.
    enum class MessageKind { Plain, Warning };
    void showMessage(const QString& text, MessageKind kind = MessageKind::Plain);
    void showProgress(const QString& text, bool immediately);
    // A line for the user under the picture (lblProgress), where the continuation reports.
    void showNote(const QString& text);
    void showWrittenFiles(const QStringList& paths);

    void setUpAnalysisKeeping();
    void addAnalysisFileActions(QMenu* file);
    void addEditMenu();
    // Runs a change of the picture or the record as one step of the history.
    void recordUndoable(const std::function<void()>& change);
    [[nodiscard]] UndoState undoState() const;
    void applyUndoState(const UndoState& state);
    void clearHistory();
    void markUnsaved();
    // After a new photo or frame has been drawn as the clean picture on display.
    void pictureReplaced();
    [[nodiscard]] AnalysisDocument currentDocument() const;
    [[nodiscard]] QString applyDocument(const AnalysisDocument& document);
    void resetToStartup();
    void closeAnalysisWindows();
    [[nodiscard]] bool askToSaveChanges();
    void updateTitle();
    void updateEditActions();
    // A picture is open, no point has been placed on it since, no panel is open and no lost
    // frame is shown.
    [[nodiscard]] bool detectionAllowed() const;
    // The panel's presses, each as a plain click on the picture.
    void placeDetectedMarkers(const QList<QPointF>& presses);
    void closeDetectionPanel();
    void addReportActions(QMenu* results);
    void attachReportPanel(SwayWindow* window);

    AnalysisState& mState;
    SwayRecord mSway;
    AnalysisSource mSource;
    std::optional<SubjectRecord> mSubject; // none until entered
    // Of the picture in picOrg, for entry 0 of the trajectory: the time of a video frame (NaN
    // for a photo) and the sequence number of a photo. After a continuation photoPath names the
    // photo that ended it, which need not be the one shown.
    double mShownSeconds = SwayEntry::kNone;
    int32_t mShownSequence = SwayEntry::kNoSequence;
    // The picture in picOrg at its own size, for the sway measurement: the opened photo or frame
    // (kept whole, also for the marker detection) or a picture of the last continuation.
    QImage mSourcePicture;
    std::shared_ptr<SourceFrame> mSourceFrame;
    SourceScale mSourceScale;
    // The path totals finishAnalysis wrote into the lists: a list still showing one holds no
    // name of the user's.
    std::array<std::optional<QString>, 7> mWrittenTotals;
    // picSource shows the lost frame instead of the trail, which waits in mTrailPicture.
    bool mFrameView = false;
    QImage mTrailPicture;
    bool mOrgIsLostFrame = false; // picOrg holds the picture the last run lost a marker in
    QString mEndText;             // the line under the picture as the last run left it
    PictureArea* mPicSource = nullptr;
    PictureArea* mPicOrg = nullptr;
    QWidget* mPicOld = nullptr;
    QLabel* mLabel1 = nullptr;
    QLabel* mLabel2 = nullptr;
    QLabel* mLabel3 = nullptr;
    QLabel* mLabel4 = nullptr;
    QLabel* mLabel5 = nullptr;
    QLabel* mLabel6 = nullptr;
    QLabel* mLabel7 = nullptr;
    QLabel* mProgress = nullptr;
    QLabel* mLostFrame = nullptr;
    std::array<QLabel*, 7> mNumberLabels{};
    std::array<QComboBox*, 7> mLists{};
    QPushButton* mCommand1 = nullptr;
    QPushButton* mCommand2 = nullptr;
    QPushButton* mCommand3 = nullptr;
    QPushButton* mCommand4 = nullptr;
    QLineEdit* mText1 = nullptr;
    QGroupBox* mFrame1 = nullptr;
    QRadioButton* mOption1 = nullptr;
    QRadioButton* mOption2 = nullptr;
    QRadioButton* mOption3 = nullptr;
    QRadioButton* mOption4 = nullptr;
    QAction* mKaiseki = nullptr;
    QAction* mUndo = nullptr;
    QAction* mRedo = nullptr;
    QAction* mSwayAction = nullptr;
    QAction* mDetect = nullptr;
    QAction* mReportPdfAction = nullptr;
    QAction* mPrintAction = nullptr;
    QElapsedTimer mProgressClock;
    QString mPressNote; // the last marker press's note, until the line says something else

    UndoHistory mHistory;
    QImage mBasePicture; // the clean picture under the marks of picSource
    QString mFilePath;   // the analysis file, absolute; empty until saved or opened
    bool mUnsavedOutsideHistory = false;
    WindowState mStartupWindow;
    QPalette mStartupSwatch;

    QPointer<OptionsWindow> mOptions;
    QPointer<AboutWindow> mAbout;
    QPointer<GuideWindow> mGuide;
    QPointer<EndWindow> mEnd;
    QPointer<SwayWindow> mSwayWindow;
    QPointer<DetectionPanel> mDetectionPanel;
    // The record's points when the picture was opened; -1 before one is.
    int mPointsAtOpening = -1;
};
