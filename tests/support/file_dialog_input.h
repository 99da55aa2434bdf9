// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widget_lookup.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>

// Goes to the file's folder in the (non-native) file dialog, puts the name into its name box and
// presses Enter, as a user would. The name is set, not typed key by key: Japanese names cannot
// be typed that way.
inline void typeIntoFileDialog(QWidget* modal, const QString& path, const char* expectedName) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    QVERIFY(dialog);
    QCOMPARE(dialog->objectName(), QLatin1String(expectedName));
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit);
    const QFileInfo file(path);
    dialog->setDirectory(file.absolutePath());
    edit->setText(file.fileName());
    // The name box completes as one types; its suggestion list would take the Enter key.
    if (QCompleter* completer = edit->completer(); completer && completer->popup()->isVisible())
        completer->popup()->hide();
    QTest::keyClick(edit, Qt::Key_Return);
}

// Answers the file dialog that the next action opens with `path`, or cancels it when `path` is
// empty.
inline void answerNextFileDialog(const char* expectedName, const QString& path) {
    onNextModal([expectedName, path](QWidget* modal) {
        if (path.isEmpty())
            qobject_cast<QDialog*>(modal)->reject();
        else
            typeIntoFileDialog(modal, path, expectedName);
    });
}
