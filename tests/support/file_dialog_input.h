#pragma once

#include <QAbstractItemView>
#include <QCompleter>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>

// Goes to the file's folder in the (non-native) file dialog, types the name into its name box
// and presses Enter, as a user would.
inline void typeIntoFileDialog(QWidget* modal, const QString& path, const char* expectedName) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    QVERIFY(dialog);
    QCOMPARE(dialog->objectName(), QLatin1String(expectedName));
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit);
    const QFileInfo file(path);
    dialog->setDirectory(file.absolutePath());
    edit->clear();
    QTest::keyClicks(edit, file.fileName());
    // The name box completes as one types; its suggestion list would take the Enter key.
    if (QCompleter* completer = edit->completer(); completer && completer->popup()->isVisible())
        completer->popup()->hide();
    QTest::keyClick(edit, Qt::Key_Return);
}
