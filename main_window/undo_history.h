// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis_source.h"
#include "analysis_state.h"
#include "pixel_journal.h"
#include "subject_record.h"
#include "sway_record.h"

#include <QColor>
#include <QString>

#include <array>
#include <cstddef>
#include <deque>
#include <optional>
#include <vector>

// The fields of the record that a press or a scale confirmation changes.
struct PressFields {
    uint8_t pointCount = 0;
    std::array<int16_t, AnalysisState::kMaxPoints + 1> pointX{};
    std::array<int16_t, AnalysisState::kMaxPoints + 1> pointY{};
    float mmPerPoint = 0.0f;
    float refDistance = 0.0f;
    int16_t refPointX = 0;
    int16_t refPointY = 0;
};
[[nodiscard]] PressFields pressFieldsOf(const AnalysisState& state);
void restorePressFields(AnalysisState& state, const PressFields& fields);

// The newest entry of the trajectory: a press sets a point in it or creates it. A reference
// press or a confirmed distance changes the unit of the measures.
struct SwayTail {
    std::size_t size = 0;
    int seriesStart = 0;
    std::optional<SwayEntry> last;
    bool scaleConfirmed = false;
    SourceScale scale; // set with entry 0
    // The reference points at source resolution (SwayRecord::referenceSource...).
    std::array<double, 3> reference{};
};
[[nodiscard]] SwayTail swayTailOf(const SwayRecord& sway);
void restoreSwayTail(SwayRecord& sway, const SwayTail& tail);

// What a press changes in the window: the angle read-outs, the distance prompt (Label5, Label6,
// Text1, Command4), "解析を続ける" and the colour swatch picOld.
struct PressWindow {
    QString label4;
    QString label7;
    std::array<bool, 5> shown{}; // Label5, Label6, Text1, Command4, Command3
    QColor swatch;
};

struct UndoState {
    PressFields record;
    SwayTail sway;
    PressWindow window;
    // The lost markers placed by hand on the picture where a run lost them.
    std::vector<LostFrame::Placed> placed;
    std::optional<SubjectRecord> subject;
};
// Bit for bit: a NaN equals a NaN.
[[nodiscard]] bool sameState(const UndoState& a, const UndoState& b);

// One step: the state before and after it and the pixels it painted with what was under them.
struct UndoStep {
    UndoState before;
    UndoState after;
    PixelPatch pixels;
};

// The steps since the picture was opened, with the position between done and undone steps and
// the position at which the analysis was last saved.
class UndoHistory {
public:
    // Beyond this the oldest steps are dropped (a press on a picture that is white all over
    // paints every pixel).
    static constexpr std::size_t kBudgetBytes = std::size_t{256} << 20;

    // A smaller budget lets a test reach it with a few steps.
    explicit UndoHistory(std::size_t budgetBytes = kBudgetBytes) : mBudgetBytes(budgetBytes) {}

    // Drops the undone steps and adds the step as done.
    void push(UndoStep step);
    // The step to take back (or make again), moving the position; nothing when there is none.
    [[nodiscard]] const UndoStep* undo();
    [[nodiscard]] const UndoStep* redo();
    [[nodiscard]] bool canUndo() const { return mPosition > 0; }
    [[nodiscard]] bool canRedo() const { return mPosition < mSteps.size(); }

    // An empty history, clean.
    void clear();
    void markClean() { mClean = mPosition; }
    // True at the position of the last markClean (or clear).
    [[nodiscard]] bool isClean() const { return mClean == mPosition; }

private:
    std::size_t mBudgetBytes;
    std::deque<UndoStep> mSteps;
    std::size_t mPosition = 0;
    std::optional<std::size_t> mClean = 0; // none when that position is gone
    std::size_t mBytes = 0;
};
