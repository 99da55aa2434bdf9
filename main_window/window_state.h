// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis_document.h"

class QAction;
class QWidget;

// What the main window shows beside the record, read from and written to its controls by
// objectName: the mode, the landmark lists, which controls of the column beside and under the
// picture are shown, the read-outs, the typed distance, the progress line and whether
// "解析開始" is enabled.
[[nodiscard]] WindowState captureWindowState(const QWidget& client, const QAction& start);

// Sets the controls from the state. Changing the mode this way draws no grid; controls the
// state does not name are hidden.
void applyWindowState(const WindowState& state, QWidget& client, QAction& start);
