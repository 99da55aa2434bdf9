// SPDX-License-Identifier: GPL-3.0-or-later
#include "responsive_run.h"

#include <QCoreApplication>
#include <QKeyEvent>

ResponsiveRun::ResponsiveRun() {
    QCoreApplication::instance()->installEventFilter(this);
}

ResponsiveRun::~ResponsiveRun() {
    // Clicks and keys made during the run were aimed at a busy window; handled afterwards they
    // would add points or press buttons nobody meant to press.
    mFinishing = true;
    QCoreApplication::processEvents();
    QCoreApplication::instance()->removeEventFilter(this);
}

bool ResponsiveRun::due() const {
    return !mClock.isValid() || mClock.elapsed() >= kIntervalMs;
}

void ResponsiveRun::breathe() {
    mClock.start();
    QCoreApplication::processEvents();
}

bool ResponsiveRun::eventFilter(QObject*, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
        if (!mFinishing && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            mStopRequested = true;
        return true;
    case QEvent::ShortcutOverride:
        // Accepted, a key is not taken for a menu shortcut; it then arrives as a key press.
        event->accept();
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::InputMethod:
    case QEvent::Drop:
        return true;
    case QEvent::Close:
        // Closing a window from its frame waits for the end of the run like every other input.
        if (event->spontaneous()) {
            event->ignore();
            return true;
        }
        return false;
    default:
        return false;
    }
}
