// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis_state.h"
#include "main_window.h"
#include "picture_area.h"
#include "widget_lookup.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

// What the tests of the main window start from: a temporary folder, a record with the
// tolerances of the default pcol.dat (0, 40) and its main window, shown. A test class derives
// from it and calls setUpWindow() and closeWindows() from its init() and cleanup() slots.
class WindowTest : public QObject {
protected:
    // A fresh folder and main window.
    void setUpWindow() {
        mDir = std::make_unique<QTemporaryDir>();
        openWindow();
    }
    // A fresh record and main window; the windows of the previous one are closed first.
    void openWindow() {
        closeWindows();
        mState = std::make_unique<AnalysisState>();
        mState->darknessTolerance = 40;
        mWindow = std::make_unique<MainWindow>(*mState);
        mWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(mWindow.get()));
    }
    // Every window gone, the main window last; the folder stays until the next openWindow.
    void closeWindows() {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window != mWindow.get())
                window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        mWindow.reset();
        mState.reset();
    }

    [[nodiscard]] QWidget* w() const { return mWindow.get(); }
    // The picture on display, and point k of the record.
    [[nodiscard]] QImage shownPicture() const {
        return child<PictureArea>(w(), "picSource")->image();
    }
    [[nodiscard]] QPoint point(int k) const { return {mState->pointX[k], mState->pointY[k]}; }
    // The texts of the landmark lists Combo1 to Combo7.
    [[nodiscard]] QStringList listTexts() const {
        QStringList texts;
        for (int k = 1; k <= 7; ++k)
            texts << child<QComboBox>(w(), qPrintable(QStringLiteral("Combo%1").arg(k)))
                         ->currentText();
        return texts;
    }
    // The offscreen platform leaves activating a window, for its shortcuts, to the test.
    void activate() {
        w()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w()));
    }
    // A click on the picture at a position inside it.
    void press(QPoint inner, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mouseClick(child(w(), "picSource"), Qt::LeftButton, modifiers,
                          inner + QPoint(PictureArea::kFrame, PictureArea::kFrame));
    }
    // Two reference points `pixels` apart on row 440, and the distance typed and confirmed.
    void confirmScale(int pixels, const QString& millimetres) {
        press({100, 440}, Qt::ShiftModifier);
        press({100 + pixels, 440}, Qt::ShiftModifier);
        child<QLineEdit>(w(), "Text1")->setText(millimetres);
        QTest::mouseClick(child(w(), "Command4"), Qt::LeftButton);
    }
    // The text of the message box that `action` shows, which is then closed.
    static QString nextMessage(const std::function<void()>& action) {
        QString text;
        onNextModal([&text](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            text = box->text();
            box->accept();
        });
        action();
        return text;
    }

    std::unique_ptr<QTemporaryDir> mDir;
    std::unique_ptr<AnalysisState> mState;
    std::unique_ptr<MainWindow> mWindow;
};
