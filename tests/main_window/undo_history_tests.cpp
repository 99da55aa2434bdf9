// SPDX-License-Identifier: GPL-3.0-or-later
// The undo history on its own: the memory budget, the saved position, and which states count
// as the same.
#include "undo_history.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kStep = sizeof(UndoStep); // a step that painted nothing

// A step told apart by the point count it leaves, holding `extra` bytes of painted pixels.
UndoStep step(int id, std::size_t extra = 0) {
    UndoStep s;
    s.after.record.pointCount = static_cast<uint8_t>(id);
    s.pixels.before.resize(extra / sizeof(uint32_t));
    return s;
}

// The ids of the steps the history takes back, newest first, undoing all.
std::vector<int> undoAll(UndoHistory& h) {
    std::vector<int> ids;
    while (const UndoStep* s = h.undo())
        ids.push_back(s->after.record.pointCount);
    return ids;
}

TEST(UndoHistory, TheBudgetDropsTheOldestStepsAndKeepsTheSavedPosition) {
    UndoHistory h(3 * kStep); // three steps fit
    for (int id = 1; id <= 3; ++id)
        h.push(step(id));
    h.markClean();
    h.push(step(4)); // step 1 goes
    EXPECT_FALSE(h.isClean());
    EXPECT_EQ(h.undo()->after.record.pointCount, 4);
    EXPECT_TRUE(h.isClean()); // saved after step 3, which is still there
    EXPECT_EQ(undoAll(h), (std::vector<int>{3, 2}));
    EXPECT_FALSE(h.isClean());

    // Saved before the first step, which the budget dropped: the saved state is gone for good.
    h.clear();
    for (int id = 1; id <= 4; ++id)
        h.push(step(id));
    EXPECT_EQ(undoAll(h), (std::vector<int>{4, 3, 2}));
    EXPECT_FALSE(h.isClean());

    // Undone steps give back their bytes when a new step replaces them.
    h.clear();
    for (int id = 1; id <= 3; ++id)
        h.push(step(id));
    (void)h.undo();
    (void)h.undo();
    h.push(step(4));
    h.push(step(5));
    EXPECT_EQ(undoAll(h), (std::vector<int>{5, 4, 1}));

    // One step over the budget on its own is still undoable; the next one replaces it.
    h.clear();
    h.push(step(1, 3 * kStep));
    EXPECT_TRUE(h.canUndo());
    h.push(step(2, 3 * kStep));
    EXPECT_EQ(undoAll(h), (std::vector<int>{2}));
}

TEST(UndoHistory, StatesAreTheSameBitForBit) {
    UndoState base;
    base.record.pointCount = 2;
    base.record.mmPerPoint = NAN;
    base.sway.size = 3;
    base.sway.last = SwayEntry{};
    base.sway.last->x[1] = 10.25;
    base.sway.last->sequence = 7;
    base.window.label4 = QStringLiteral("90°");
    // {what changes, the same afterwards}
    const std::pair<std::function<void(UndoState&)>, bool> rows[] = {
        {[](UndoState&) {}, true},
        {[](UndoState& s) { s.record.mmPerPoint = NAN; }, true}, // NaN equals NaN
        {[](UndoState& s) { s.sway.last->sequence = 8; }, false},
        {[](UndoState& s) { s.sway.last->seconds = 0; }, false},
        {[](UndoState& s) { s.sway.last->x[1] = 10.250000001; }, false},
        {[](UndoState& s) { s.sway.last->y[7] = -0.0; }, false},
        {[](UndoState& s) { s.sway.last.reset(); }, false},
        {[](UndoState& s) { s.sway.size = 4; }, false},
        {[](UndoState& s) { s.sway.seriesStart = 1; }, false},
        {[](UndoState& s) { s.sway.scaleConfirmed = true; }, false},
        {[](UndoState& s) { s.record.refDistance = -0.0f; }, false},
        {[](UndoState& s) { s.record.pointY[60] = 1; }, false},
        {[](UndoState& s) { s.window.label4 = QStringLiteral("90"); }, false},
        {[](UndoState& s) { s.window.shown[4] = true; }, false},
        {[](UndoState& s) { s.window.swatch = Qt::black; }, false}};
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        UndoState changed = base;
        rows[i].first(changed);
        EXPECT_EQ(sameState(base, changed), rows[i].second) << "row " << i;
        EXPECT_EQ(sameState(changed, base), rows[i].second) << "row " << i;
    }
}

// The window's undo tests restore the newest entry; here entries added after the tail go.
TEST(UndoHistory, ATailTakesBackTheEntriesAddedAfterIt) {
    SwayRecord sway;
    sway.entries.resize(2);
    const SwayTail tail = swayTailOf(sway);
    sway.entries.resize(5);
    restoreSwayTail(sway, tail);
    EXPECT_EQ(sway.entries.size(), 2u);
    restoreSwayTail(sway, swayTailOf(SwayRecord{})); // before entry 0 was created
    EXPECT_TRUE(sway.entries.empty());
}

} // namespace
