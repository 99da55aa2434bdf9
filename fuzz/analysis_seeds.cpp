// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the seeds of fuzz_analysis_file: analyses as the main window saves them after a user's
// presses, one per mode: ROM, static balance followed through photos (with the subject entered),
// alignment, and a video followed through its frames. Short sequences keep the seeds small.
//   cmake --build build-fuzz --target analysis_seeds
//   QT_QPA_PLATFORM=offscreen build-fuzz/fuzz/analysis_seeds fuzz/corpus/fuzz_analysis_file
#include "main_window.h"
#include "sample_photos.h"
#include "sample_video.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

template <typename T = QWidget> T* control(QWidget* window, const char* name) {
    auto* found = window->findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

// The two ends of the sample's ruler as reference presses, and its length typed in.
void confirmRuler(MainWindow& window) {
    window.pressOnPicture(sampleRulerStart(), 1);
    window.pressOnPicture(sampleRulerEnd(), 1);
    control<QLineEdit>(&window, "Text1")->setText(QStringLiteral("500"));
    window.confirmDistance();
}

// The subject and test conditions typed into their dialog; the test date too, which would
// otherwise follow the photo's file time.
void enterSubject(MainWindow& window) {
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            qFatal("no subject dialog");
        const std::pair<const char*, const char*> texts[] = {{"txtName", "山田 太郎"},
                                                             {"txtId", "A-0012"},
                                                             {"txtBirthDate", "1950/04/01"},
                                                             {"txtTestDate", "2024/05/01"},
                                                             {"txtExaminer", "佐藤"}};
        for (const auto& [name, text] : texts)
            control<QLineEdit>(dialog, name)->setText(QString::fromUtf8(text));
        control<QComboBox>(dialog, "cboStance")->setCurrentIndex(2);
        control<QPlainTextEdit>(dialog, "txtMemo")->setPlainText(QStringLiteral("閉眼\n2回目"));
        dialog->accept();
    });
    window.editSubject();
}

void pressMarkers(MainWindow& window, int frame) {
    for (const QPoint& marker : sampleMarkerCentres(frame))
        window.pressOnPicture(marker, 0);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: analysis_seeds FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir work;
    SampleOptions few;
    few.count = 5;
    QString error;
    const QString video = QDir(work.path()).filePath(QStringLiteral("v.mkv"));
    if (!writeSampleSequence(work.path(), QStringLiteral("s"), few, &error) ||
        !writeSampleVideo(video, 8, few, VideoWriteOptions(), &error))
        qFatal("%s", qPrintable(error));
    const QString firstPhoto = QDir(work.path()).filePath(sampleFileName(QStringLiteral("s"), 0));

    const std::pair<const char*, std::function<void(MainWindow&)>> analyses[] = {
        {"rom",
         [&](MainWindow& window) {
             window.loadPhoto(firstPhoto);
             control<QRadioButton>(&window, "Option1")->click();
             for (const QPointF p : {QPointF(100, 100), QPointF(100, 200), QPointF(200, 200),
                                     QPointF(300.5, 200), QPointF(350, 100), QPointF(400, 200.5)})
                 window.pressOnPicture(p, 0);
             control<QAction>(&window, "kaiseki")->setEnabled(true);
             window.startAnalysis();
             confirmRuler(window);
         }},
        {"balance",
         [&](MainWindow& window) {
             window.loadPhoto(firstPhoto);
             pressMarkers(window, 0);
             window.startAnalysis();
             window.applyFrontalPreset();
             confirmRuler(window);
             window.continueAnalysis(); // through the sequence to its end
             enterSubject(window);
         }},
        {"alignment",
         [&](MainWindow& window) {
             window.loadPhoto(firstPhoto);
             control<QRadioButton>(&window, "Option4")->click(); // draws the grid
             pressMarkers(window, 0);
             window.applySagittalPreset();
         }},
        {"video",
         [&](MainWindow& window) {
             if (!window.openVideo(video, 0.0, 2, &error))
                 qFatal("%s", qPrintable(error));
             pressMarkers(window, 0);
             window.startAnalysis();
             window.applyFrontalPreset();
             confirmRuler(window);
             window.continueAnalysis();
         }},
    };
    for (const auto& [name, steps] : analyses) {
        AnalysisState state;
        state.darknessTolerance = 40; // the default pcol.dat
        MainWindow window(state);
        window.show();
        steps(window);
        // Saved beside the photos, so that their paths are stored relative to it, the same
        // whatever the temporary folder is called.
        const QString saved = QDir(work.path()).filePath(QStringLiteral("seed.vestra"));
        const QString path = out.filePath(QLatin1String(name));
        QFile::remove(path);
        if (!window.saveAnalysisFile(saved) || !QFile::rename(saved, path))
            qFatal("cannot save %s", qPrintable(path));
        std::printf("%s\n", qPrintable(path));
        for (QWidget* other : QApplication::topLevelWidgets())
            if (other != &window)
                other->close();
    }
    return 0;
}
