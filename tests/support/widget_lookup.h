// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

// Finds a child by objectName and fails the test loudly when it is missing.
template <typename T = QWidget> T* child(const QObject* parent, const char* name) {
    T* found = parent->findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no child named %s", name);
    return found;
}

// Runs `handle` on the modal dialog that the next action opens. The dialog is looked for after
// the event loop has started it; `handle` must close it.
inline void onNextModal(std::function<void(QWidget*)> handle) {
    QTimer::singleShot(0, [handle = std::move(handle)] {
        QWidget* modal = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((modal = QApplication::activeModalWidget()) != nullptr, 5000);
        handle(modal);
    });
}

// The visible top-level window of that objectName, or null.
inline QWidget* topLevel(const char* name) {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QLatin1String(name) && window->isVisible())
            return window;
    return nullptr;
}
