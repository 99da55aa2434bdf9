// SPDX-License-Identifier: GPL-3.0-or-later
#include "window_state.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <algorithm>

namespace {

// The controls whose visibility an analysis keeps: those the handlers show.
const char* const kKeptControls[] = {
    "Label1", "Mpoi1",    "Mpoi2",    "Mpoi3",    "Mpoi4",  "Mpoi5",      "Mpoi6",
    "Mpoi7",  "Combo1",   "Combo2",   "Combo3",   "Combo4", "Combo5",     "Combo6",
    "Combo7", "Label2",   "Command1", "Command2", "Label3", "Label5",     "Text1",
    "Label6", "Command4", "Command3", "Label4",   "Label7", "lblProgress"};

const struct {
    const char* option;
    AnalysisMode mode;
} kModes[] = {
    {"Option1", AnalysisMode::Rom},
    {"Option2", AnalysisMode::StaticBalance},
    {"Option4", AnalysisMode::Alignment},
};

template <typename T> T* control(const QWidget& client, const char* name) {
    return client.findChild<T*>(QLatin1String(name));
}

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

} // namespace

WindowState captureWindowState(const QWidget& client, const QAction& start) {
    WindowState state;
    for (const auto& entry : kModes)
        if (auto* option = control<QRadioButton>(client, entry.option);
            option && option->isChecked())
            state.mode = entry.mode;
    for (int k = 0; k < AnalysisState::kNamedPoints; ++k) {
        const QByteArray name = "Combo" + QByteArray::number(k + 1);
        if (auto* list = control<QComboBox>(client, name.constData()))
            state.listTexts[static_cast<std::size_t>(k)] = list->currentText().toStdString();
    }
    for (const char* name : kKeptControls)
        if (auto* widget = control<QWidget>(client, name); widget && !widget->isHidden())
            state.shownControls.emplace_back(name);
    if (auto* label = control<QLabel>(client, "Label4"))
        state.label4 = label->text().toStdString();
    if (auto* label = control<QLabel>(client, "Label7"))
        state.label7 = label->text().toStdString();
    if (auto* edit = control<QLineEdit>(client, "Text1"))
        state.distanceText = edit->text().toStdString();
    if (auto* label = control<QLabel>(client, "lblProgress"))
        state.progressText = label->text().toStdString();
    state.startEnabled = start.isEnabled();
    return state;
}

void applyWindowState(const WindowState& state, QWidget& client, QAction& start) {
    for (const auto& entry : kModes)
        if (auto* option = control<QRadioButton>(client, entry.option);
            option && entry.mode == state.mode)
            option->setChecked(true);
    for (int k = 0; k < AnalysisState::kNamedPoints; ++k) {
        const QByteArray name = "Combo" + QByteArray::number(k + 1);
        if (auto* list = control<QComboBox>(client, name.constData())) {
            list->setCurrentIndex(-1);
            list->setEditText(text(state.listTexts[static_cast<std::size_t>(k)]));
            // Shown from its start, as the handlers show a long path total.
            if (QLineEdit* edit = list->lineEdit())
                edit->setCursorPosition(0);
        }
    }
    for (const char* name : kKeptControls) {
        const bool shown = std::find(state.shownControls.begin(), state.shownControls.end(),
                                     name) != state.shownControls.end();
        if (auto* widget = control<QWidget>(client, name))
            widget->setVisible(shown);
    }
    if (auto* label = control<QLabel>(client, "Label4"))
        label->setText(text(state.label4));
    if (auto* label = control<QLabel>(client, "Label7"))
        label->setText(text(state.label7));
    if (auto* edit = control<QLineEdit>(client, "Text1"))
        edit->setText(text(state.distanceText));
    if (auto* label = control<QLabel>(client, "lblProgress"))
        label->setText(text(state.progressText));
    start.setEnabled(state.startEnabled);
}
