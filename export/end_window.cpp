// SPDX-License-Identifier: GPL-3.0-or-later
#include "end_window.h"

#include "analysis_state.h"
#include "figures.h"
#include "output_name.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>

namespace {

// The layout is designed in twips; 15 twips make one pixel.
constexpr QRect twips(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
}

struct ButtonLayout {
    const char* name;
    QRect geometry;
    QPixmap (*figure)();
    const char* toolTip;
    AxisMapping mapping;
};

struct CheckLayout {
    const char* name;
    const char* caption;
    QRect geometry;
};

} // namespace

EndWindow::EndWindow(AnalysisState& state, QWidget* parent)
    : QWidget(parent, Qt::Window), mState(state) {
    setObjectName(QStringLiteral("DEnd"));
    setWindowTitle(QStringLiteral("解析終了"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(twips(0, 0, 4275, 2325).size());

    auto* label1 = new QLabel(QStringLiteral("解析が終了しました　データを保存します"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setGeometry(twips(75, 105, 3105, 180));
    auto* label2 =
        new QLabel(QStringLiteral("画像上の被検者の向きに合ったボタンを押してください"), this);
    label2->setObjectName(QStringLiteral("Label2"));
    label2->setGeometry(twips(75, 360, 4080, 180));
    for (QLabel* label : {label1, label2}) {
        label->setWordWrap(true); // a fixed-size label wraps inside its box, as on a classic form
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }

    const ButtonLayout buttons[] = {
        {"Command4", twips(600, 840, 945, 615), standingSideFigure,
         "立った姿勢を横から撮影（右向き）", AxisMapping::StandingSide},
        {"Command1", twips(2760, 840, 945, 615), standingFrontFigure, "立った姿勢を正面から撮影",
         AxisMapping::StandingFront},
        {"Command2", twips(600, 1560, 945, 615), lyingSideFigure,
         "寝た姿勢を横から撮影（頭が左、顔が下）", AxisMapping::LyingSide},
        {"Command5", twips(2760, 1560, 945, 615), lyingFrontFigure,
         "寝た姿勢を正面から撮影（頭が左）", AxisMapping::LyingFront},
    };
    for (const ButtonLayout& layout : buttons) {
        auto* button = new QPushButton(this);
        button->setObjectName(QString::fromLatin1(layout.name));
        button->setGeometry(layout.geometry);
        const QPixmap figure = layout.figure();
        button->setIcon(QIcon(figure));
        button->setIconSize(figure.size());
        button->setToolTip(QString::fromUtf8(layout.toolTip));
        const AxisMapping mapping = layout.mapping;
        // Only the side view facing right also writes the grouped files.
        const bool grouped = mapping == AxisMapping::StandingSide;
        connect(button, &QPushButton::clicked, this,
                [this, mapping, grouped] { press(mapping, grouped); });
    }

    const CheckLayout checks[] = {
        {"Check1", "集計せずにそのまま出力", twips(90, 435, 2250, 255)},
        {"Check2", "2つずつ集計する", twips(90, 750, 1605, 255)},
        {"Check3", "3つずつ集計する", twips(90, 1050, 1605, 255)},
        {"Check4", "4つずつ集計する", twips(90, 1350, 1605, 255)},
        {"Check5", "5つずつ集計する", twips(90, 1620, 1605, 255)},
        {"Check6", "すべて選択", twips(90, 1980, 1230, 255)},
    };
    for (std::size_t i = 0; i < std::size(checks); ++i) {
        auto* box = new QCheckBox(QString::fromUtf8(checks[i].caption), this);
        box->setObjectName(QString::fromLatin1(checks[i].name));
        box->setGeometry(checks[i].geometry);
        box->hide(); // the option boxes are never shown; they keep their start values
        if (i < mFileChecks.size())
            mFileChecks[i] = box;
        else
            mCheck6 = box;
    }
    mFileChecks[0]->setChecked(true);
    connect(mCheck6, &QCheckBox::toggled, this, &EndWindow::selectAll);
}

void EndWindow::selectAll(bool checked) {
    for (QCheckBox* box : mFileChecks)
        box->setChecked(checked);
}

void EndWindow::press(AxisMapping mapping, bool withGroupedFiles) {
    // A dialog of its own per press: the user may press again after a cancel or a failure.
    // On the heap and watched: something may close this window (and so delete its children)
    // while the dialog's event loop runs.
    const QPointer<EndWindow> self(this);
    const QPointer<QFileDialog> dialog = new QFileDialog(this);
    dialog->setObjectName(QStringLiteral("SaveData"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("csv"));
    dialog->setNameFilter(QStringLiteral("カンマ区切りファイル(*.csv)"));
    // The chosen file itself is never written, so there is nothing to confirm.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    if (!self || !dialog)
        return;
    const QStringList files = dialog->selectedFiles();
    delete dialog;
    if (!accepted || files.isEmpty())
        return;
    const Written written = writeFiles(files.constFirst(), mapping, withGroupedFiles);
    if (!written.paths.isEmpty())
        emit filesWritten(written.paths);
    if (!written.error.isEmpty())
        return reportFailure(written.error);
    if (written.complete)
        close();
}

EndWindow::Written EndWindow::writeFiles(const QString& chosen, AxisMapping mapping,
                                         bool withGroupedFiles) const {
    // Each file is written whole before the next one is started; a failure ends the press and
    // leaves the files already written as they are. A name without "." ends it silently.
    Written written;
    if (mFileChecks[0]->checkState() == Qt::Checked) {
        const auto name = outputFileName(chosen, QStringLiteral("_1.csv"));
        if (!name)
            return written;
        const WriteResult result = writeAsIsFile(*name, mState, mapping);
        if (!result.ok) {
            written.error = result.error;
            return written;
        }
        written.paths.append(*name);
    }
    if (withGroupedFiles) {
        for (int n = kSmallestGroup; n <= kLargestGroup; ++n) {
            if (mFileChecks[static_cast<std::size_t>(n - 1)]->checkState() != Qt::Checked)
                continue;
            const auto name = outputFileName(chosen, QStringLiteral("_%1.csv").arg(n));
            if (!name)
                return written;
            const WriteResult result = writeGroupedFile(*name, mState, n);
            if (!result.ok) {
                written.error = result.error;
                return written;
            }
            written.paths.append(*name);
        }
    }
    written.complete = true;
    return written;
}

void EndWindow::reportFailure(const QString& message) {
    QMessageBox::warning(this, QStringLiteral("Vestra2007"), message, QMessageBox::Ok);
}
