// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// A data folder is where the program starts when run from the desktop menu (--user-data) or
// with --data-dir: it holds pcol.dat, the sample photos, and the user's photos and exports.

inline constexpr int kSamplePhotoCount = 30;
inline constexpr int kSampleVideoFrames = 300; // ten seconds at 30 frames per second
inline constexpr char kSampleVideoName[] = "sample.mp4";
inline constexpr char kSampleFolderName[] = "samples";
inline constexpr char kSampleStem[] = "sample";
// The tolerances of a new pcol.dat: white from 215 up (darkness 40); a brightness tolerance
// only matters when negative.
inline constexpr int kDefaultBrightness = 0;
inline constexpr int kDefaultDarkness = 40;

// The per-user data folder: $XDG_DATA_HOME/vestra2007, or home/.local/share/vestra2007 when
// XDG_DATA_HOME is unset, empty or relative (relative values are invalid by the XDG base
// directory rules and must be ignored).
[[nodiscard]] QString userDataFolder(const QString& xdgDataHome, const QString& home);

struct DataFolderResult {
    bool ok = false;
    bool filled = false; // the folder had no pcol.dat and was given the defaults
    QString error;       // Japanese, names the folder and the reason; empty when ok
};

// Makes dir ready to start in. It is created if missing. A folder without pcol.dat is new: it
// gets the sample sequence and the sample video (of videoFrames frames; none for 0) in samples/
// and then the default pcol.dat, written last so that a first start cut short is completed by
// the next one. Files already there are never replaced, every file is written whole or not at
// all, and a folder that has pcol.dat is not written to.
[[nodiscard]] DataFolderResult prepareDataFolder(const QString& dir,
                                                 int sampleCount = kSamplePhotoCount,
                                                 int videoFrames = kSampleVideoFrames);
