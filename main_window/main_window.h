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
class SwayWindow;
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
    void showSwayReport();
    // After the trajectory changed: the menu item's enabled state and the open report.
    void updateSwayReport();

    // Opening a photo once its path is known (the part after the open dialog).
    bool loadPhoto(const QString& path);

    // What the window keeps beside the record: the sub-pixel trajectories and the source of
    // the pictures.
    [[nodiscard]] const SwayRecord& sway() const { return mSway; }
    [[nodiscard]] const AnalysisSource& source() const { return mSource; }

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
    QAction* mSwayAction = nullptr;
    QElapsedTimer mProgressClock;

    QPointer<OptionsWindow> mOptions;
    QPointer<AboutWindow> mAbout;
    QPointer<EndWindow> mEnd;
    QPointer<SwayWindow> mSwayWindow;
};
