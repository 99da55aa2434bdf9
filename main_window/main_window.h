#pragma once

#include "analysis_source.h"
#include "analysis_state.h"
#include "sway_record.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>

#include <array>

class AboutWindow;
class EndWindow;
class OptionsWindow;
class PictureArea;
class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The main window: the photo, the landmark column, the mode selector and the menus.
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

    // Opening a photo once its path is known (the part after the open dialog).
    bool loadPhoto(const QString& path);
    // Opening a video once its path, start and step are known (the part after the dialogs): the
    // frame at `startSeconds` is shown as an opened photo is. False, with the reason in `error`,
    // when the file cannot be opened as a video or that frame cannot be decoded; nothing changes
    // then.
    bool openVideo(const QString& path, double startSeconds, int frameStep,
                   QString* error = nullptr);

    // What the window keeps beside the record: the sub-pixel trajectories and the source of
    // the pictures.
    [[nodiscard]] const SwayRecord& sway() const { return mSway; }
    [[nodiscard]] const AnalysisSource& source() const { return mSource; }
    // For reopening a saved analysis after loadPhoto or openVideo: where a continuation goes on.
    void restoreSource(const AnalysisSource& source) { mSource = source; }

private:
    void buildMenus();
    void buildControls();
    void pressMarkerPoint(QPointF position);
    void pressReferencePoint(QPointF position);
    void pressAnglePoint(QPointF position);
    void showMessage(const QString& text);
    void showProgress(const QString& text, bool immediately);

    AnalysisState& mState;
    SwayRecord mSway;
    AnalysisSource mSource;
    // Time of the video frame in picOrg, NaN for a photo.
    double mShownSeconds = SwayEntry::kNone;

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
    QElapsedTimer mProgressClock;

    QPointer<OptionsWindow> mOptions;
    QPointer<AboutWindow> mAbout;
    QPointer<EndWindow> mEnd;
};
