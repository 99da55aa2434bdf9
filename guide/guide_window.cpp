// SPDX-License-Identifier: GPL-3.0-or-later
#include "guide_window.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

QString missingGuidePage(const QString& guideFile) {
    return QStringLiteral("<h2>使い方のファイルが見つかりません</h2>"
                          "<p>次の場所を探しましたが、ファイルがありませんでした。</p>"
                          "<p><code>%1</code></p>"
                          "<p>Vestra2007 のパッケージを入れ直すと、使い方も入ります。"
                          "/usr/share/doc を入れないように設定したシステム（dpkg の "
                          "path-exclude）では、使い方も入りません。</p>")
        .arg(QDir::toNativeSeparators(guideFile).toHtmlEscaped());
}

} // namespace

QString guideFileFor(const QString& programDir) {
    return QDir::cleanPath(
        QDir(programDir).filePath(QStringLiteral(VESTRA_GUIDE_FROM_PROGRAM "/index.html")));
}

QString installedGuideFile() {
    return guideFileFor(QCoreApplication::applicationDirPath());
}

GuideWindow::GuideWindow(const QString& guideFile, QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmGuide"));
    setWindowTitle(QStringLiteral("Vestra2007 の使い方"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* findCaption = new QLabel(QStringLiteral("検索:"), this);
    findCaption->setObjectName(QStringLiteral("lblFind"));
    mFindText = new QLineEdit(this);
    mFindText->setObjectName(QStringLiteral("txtFind"));
    mFindText->setClearButtonEnabled(true);
    mFindText->setPlaceholderText(QStringLiteral("探す言葉（Ctrl+F）"));
    findCaption->setBuddy(mFindText);
    QPushButton* previous = makeButton(this, "cmdFindPrevious", QStringLiteral("前へ"));
    QPushButton* next = makeButton(this, "cmdFindNext", QStringLiteral("次へ"));
    mFindStatus = new QLabel(this);
    mFindStatus->setObjectName(QStringLiteral("lblFindStatus"));
    mFindStatus->setMinimumWidth(
        fontMetrics().horizontalAdvance(QStringLiteral("末尾に戻って検索しました")));

    mBrowser = new QTextBrowser(this);
    mBrowser->setObjectName(QStringLiteral("txtGuide"));
    mBrowser->setOpenExternalLinks(false);
    // Larger than the fixed forms' 8 points: this is text to read.
    QFont text = mBrowser->font();
    text.setPointSizeF(std::max(text.pointSizeF(), 10.0));
    mBrowser->setFont(text);
    if (QFileInfo(guideFile).isFile())
        mBrowser->setSource(QUrl::fromLocalFile(guideFile));
    else
        mBrowser->setHtml(missingGuidePage(guideFile));

    auto* findBar = new QHBoxLayout;
    findBar->addWidget(findCaption);
    findBar->addWidget(mFindText, 1);
    findBar->addWidget(previous);
    findBar->addWidget(next);
    findBar->addWidget(mFindStatus);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(findBar);
    layout->addWidget(mBrowser, 1);

    connect(next, &QPushButton::clicked, this, &GuideWindow::findNext);
    connect(previous, &QPushButton::clicked, this, &GuideWindow::findPrevious);
    // Typing finds as one goes, from where the last match began.
    connect(mFindText, &QLineEdit::textEdited, this, [this] { find(false, true); });
    mFindText->installEventFilter(this);
    auto* focusFind = new QShortcut(QKeySequence::Find, this);
    connect(focusFind, &QShortcut::activated, this, &GuideWindow::focusFindField);
    auto* findNextKey = new QShortcut(QKeySequence::FindNext, this);
    connect(findNextKey, &QShortcut::activated, this, &GuideWindow::findNext);
    auto* findPreviousKey = new QShortcut(QKeySequence::FindPrevious, this);
    connect(findPreviousKey, &QShortcut::activated, this, &GuideWindow::findPrevious);
    auto* closeKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(closeKey, &QShortcut::activated, this, &QWidget::close);

    // Room for the text, in the middle of the screen and never taller than it; a window manager
    // left to place it may put it half off the screen.
    QSize size(760, 680);
    if (const QScreen* shown = screen()) {
        const QRect available = shown->availableGeometry();
        size = size.boundedTo(available.size() * 0.9);
        move(available.center() - QPoint(size.width() / 2, size.height() / 2));
    }
    resize(size);
    mFindText->setFocus();
}

bool GuideWindow::findNext() {
    return find(false, false);
}

bool GuideWindow::findPrevious() {
    return find(true, false);
}

bool GuideWindow::eventFilter(QObject* watched, QEvent* event) {
    // Enter in the find field goes on to the next match, Shift+Enter back to the one before.
    if (watched == mFindText && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            find(key->modifiers() & Qt::ShiftModifier, false);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void GuideWindow::focusFindField() {
    mFindText->setFocus(Qt::ShortcutFocusReason);
    mFindText->selectAll();
}

bool GuideWindow::find(bool backward, bool fromSelectionStart) {
    const QString typed = mFindText->text();
    mFindStatus->clear();
    QTextCursor cursor = mBrowser->textCursor();
    if (typed.isEmpty()) {
        cursor.clearSelection();
        mBrowser->setTextCursor(cursor);
        return false;
    }
    if (fromSelectionStart)
        cursor.setPosition(cursor.selectionStart());
    const QTextDocument::FindFlags flags =
        backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    // As typed, then with full-width letters and digits read as half-width (an input method
    // left on gives "ＲＭＳ" for "RMS").
    QStringList queries{typed};
    if (const QString narrow = typed.normalized(QString::NormalizationForm_KC); narrow != typed)
        queries.append(narrow);
    const auto findFrom = [&](const QTextCursor& from) {
        for (const QString& query : queries) {
            const QTextCursor found = mBrowser->document()->find(query, from, flags);
            if (!found.isNull())
                return found;
        }
        return QTextCursor();
    };
    QTextCursor found = findFrom(cursor);
    if (found.isNull()) {
        QTextCursor edge(mBrowser->document());
        edge.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
        found = findFrom(edge);
        if (!found.isNull())
            mFindStatus->setText(backward ? QStringLiteral("末尾に戻って検索しました")
                                          : QStringLiteral("先頭に戻って検索しました"));
    }
    if (found.isNull()) {
        mFindStatus->setText(QStringLiteral("見つかりません"));
        return false;
    }
    mBrowser->setTextCursor(found);
    mBrowser->ensureCursorVisible();
    return true;
}
