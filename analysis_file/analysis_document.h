// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis_source.h"
#include "analysis_state.h"
#include "subject_record.h"
#include "sway_record.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Everything an analysis file holds: the record and the structures beside it, and what the
// main window shows, so that the user carries on exactly where they were. Plain data; texts
// are UTF-8 and paths absolute (the file stores them relative to itself where it can).

// The mode selected in the main window. Gait cannot be chosen.
enum class AnalysisMode : uint8_t { Rom, StaticBalance, Alignment };

struct WindowState {
    AnalysisMode mode = AnalysisMode::StaticBalance;
    std::array<std::string, AnalysisState::kNamedPoints> listTexts; // Combo1..Combo7
    // objectNames of the controls shown beside and under the picture; the others are hidden.
    std::vector<std::string> shownControls;
    std::string label4; // angle read-outs
    std::string label7;
    std::string distanceText;  // Text1, as typed
    std::string progressText;  // the line under the picture that reports the continuation
    bool startEnabled = false; // the "解析開始" menu item
};

// `length` pixels of one colour from (x, y) to the right.
struct MarkRun {
    int32_t x = 0;
    int32_t y = 0;
    int32_t length = 0;
    uint32_t colour = 0; // 0xRRGGBB
    friend bool operator==(const MarkRun&, const MarkRun&) = default;
};

// The picture on display: its size, and every pixel in which it differs from the clean picture
// the points were placed on (the marks of presses, lines, texts, grid and trails).
struct PictureMarks {
    static constexpr int kMaxWidth = 640;
    static constexpr int kMaxHeight = 480;

    int32_t width = 0;
    int32_t height = 0;
    std::vector<MarkRun> runs;
};

struct AnalysisDocument {
    AnalysisState record;
    SwayRecord sway;
    AnalysisSource source;
    WindowState window;
    PictureMarks picture;
    std::optional<SubjectRecord> subject; // none until entered (and in older files)
};
