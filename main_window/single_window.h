// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QWidget>

// One instance of a secondary window: created when first shown, brought to the front when shown
// again while open, and created afresh from its layout after it was closed (closing deletes it).
template <typename Window, typename Make>
Window* showSingleWindow(QPointer<Window>& slot, Make make) {
    if (!slot) {
        slot = make();
        slot->setAttribute(Qt::WA_DeleteOnClose);
    }
    slot->show();
    slot->raise();
    slot->activateWindow();
    return slot;
}
