// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis_state.h"

#include <QString>

class QApplication;

struct StartupResult {
    bool ok = false;
    QString error; // for the user: names the settings file and what is wrong with it
};

// Records the current directory as startDir and reads the two marker tolerances from pcol.dat
// there. Nothing else in the record changes.
[[nodiscard]] StartupResult loadStartupSettings(AnalysisState& state);

// Application-wide look: style, a font that shows Japanese and fits the fixed layouts, the
// program's icon and names.
void configureApplication(QApplication& app);
