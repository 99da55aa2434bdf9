// SPDX-License-Identifier: GPL-3.0-or-later
#include "options_window.h"

#include "analysis_state.h"
#include "plain_decimal.h"
#include "settings_file.h"

#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <optional>

namespace {

const QString kRangeWarning = QStringLiteral("入力できるのは0から255の数字のみです");
const QString kSaveFailed = QStringLiteral("設定ファイルを保存できませんでした");

QLabel* addLabel(QWidget* parent, const char* name, const QString& text, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(x, y);
    label->adjustSize();
    return label;
}

QLineEdit* addTextBox(QWidget* parent, const char* name, int16_t value, int x, int y) {
    auto* edit = new QLineEdit(QString::number(value), parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(x, y, 65, 19);
    // Tolerances are half-width digits: keep the input method out of the way.
    edit->setAttribute(Qt::WA_InputMethodEnabled, false);
    edit->setInputMethodHints(Qt::ImhLatinOnly);
    return edit;
}

// A tolerance as typed: plain decimal in 0..255, stored as the nearest integer.
std::optional<int16_t> toleranceFromText(const QString& text) {
    const auto number = parsePlainDecimal(text.trimmed().toStdString());
    if (!number || number->compare(0) < 0 || number->compare(255) > 0)
        return std::nullopt;
    return static_cast<int16_t>(number->rounded());
}

// Text1 takes digits and control keys (Backspace, Enter, Ctrl+V...). Keys without text, such as
// arrows, Home and Delete, move the cursor or delete and pass too.
bool keyPassesText1Filter(const QKeyEvent& event) {
    const QString text = event.text();
    if (text.isEmpty())
        return true;
    if (text.size() == 1) {
        const char16_t c = text.front().unicode();
        if ((c >= u'0' && c <= u'9') || c < 0x20 || c == 0x7F)
            return true;
    }
    // Some platforms report Ctrl+V as "v". Shortcuts type nothing, so they pass; Ctrl+Alt is
    // AltGr on Windows and does type characters.
    const Qt::KeyboardModifiers mods = event.modifiers();
    return mods.testFlag(Qt::ControlModifier) && !mods.testFlag(Qt::AltModifier);
}

} // namespace

OptionsWindow::OptionsWindow(AnalysisState& state, QWidget* parent)
    : QWidget(parent, Qt::Dialog), mState(state) {
    setObjectName(QStringLiteral("opt1Form"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("オプション"));
    setFixedSize(239, 140);

    auto* label1 = new QLabel(QStringLiteral("マーカーの範囲を自動的に認識する感度を調整します"
                                             "\u3000最小値は0\u3000最大値は255です"),
                              this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setWordWrap(true);
    label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label1->setGeometry(11, 8, 227, 28);

    addLabel(this, "Label2", QStringLiteral("明るさの許容値"), 72, 51);
    mText1 = addTextBox(this, "Text1", mState.brightnessTolerance, 160, 47);
    addLabel(this, "Label3", QStringLiteral("暗さの許容値"), 72, 78);
    mText2 = addTextBox(this, "Text2", mState.darknessTolerance, 160, 77);

    mLabel4 = new QLabel(kRangeWarning, this);
    mLabel4->setObjectName(QStringLiteral("Label4"));
    mLabel4->setWordWrap(true);
    mLabel4->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    mLabel4->setGeometry(15, 106, 117, 26);
    QPalette warningPalette = mLabel4->palette();
    warningPalette.setColor(QPalette::WindowText, QColor(192, 0, 0));
    mLabel4->setPalette(warningPalette);
    mLabel4->hide();

    mCommand4 = new QPushButton(QStringLiteral("OK"), this);
    mCommand4->setObjectName(QStringLiteral("Command4"));
    mCommand4->setGeometry(170, 108, 55, 25);
    // Neither default nor cancel button: Enter and Esc must not save.
    mCommand4->setAutoDefault(false);
    mCommand4->setDefault(false);
    connect(mCommand4, &QPushButton::clicked, this, &OptionsWindow::saveTolerances);

    mText1->installEventFilter(this);
}

bool OptionsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mText1 && event->type() == QEvent::KeyPress &&
        !keyPassesText1Filter(*static_cast<QKeyEvent*>(event))) {
        showWarning(kRangeWarning);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void OptionsWindow::saveTolerances() {
    const auto brightness = toleranceFromText(mText1->text());
    const auto darkness = toleranceFromText(mText2->text());
    if (!brightness || !darkness) {
        showWarning(kRangeWarning);
        return;
    }

    const QString startDir = QString::fromStdString(mState.startDir);
    // The open-file dialog may have moved the current directory; the program stays in the
    // start-up directory from here on.
    QDir::setCurrent(startDir);
    // The record takes the values before the file is written, so they hold even if writing fails.
    mState.brightnessTolerance = *brightness;
    mState.darknessTolerance = *darkness;

    const WriteResult written = writeToleranceFile(startDir, *brightness, *darkness);
    if (!written.ok) {
        showWarning(kSaveFailed, written.error);
        return;
    }
    close();
}

void OptionsWindow::showWarning(const QString& text, const QString& toolTip) {
    mLabel4->setText(text);
    mLabel4->setToolTip(toolTip);
    mLabel4->show();
}
