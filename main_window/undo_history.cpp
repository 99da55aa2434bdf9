// SPDX-License-Identifier: GPL-3.0-or-later
#include "undo_history.h"

#include <algorithm>
#include <tuple>

#include <bit>
#include <cstdint>

namespace {

bool sameBits(double a, double b) {
    return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}
bool sameBits(float a, float b) {
    return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b);
}

bool sameEntry(const SwayEntry& a, const SwayEntry& b) {
    for (std::size_t k = 0; k < a.x.size(); ++k)
        if (!sameBits(a.x[k], b.x[k]) || !sameBits(a.y[k], b.y[k]))
            return false;
    return sameBits(a.seconds, b.seconds) && a.sequence == b.sequence && a.fellBack == b.fellBack;
}

std::size_t stepBytes(const UndoStep& step) {
    return sizeof(UndoStep) + step.pixels.bytes();
}

} // namespace

PressFields pressFieldsOf(const AnalysisState& state) {
    return {state.pointCount,  state.pointX,    state.pointY,   state.mmPerPoint,
            state.refDistance, state.refPointX, state.refPointY};
}

void restorePressFields(AnalysisState& state, const PressFields& fields) {
    state.pointCount = fields.pointCount;
    state.pointX = fields.pointX;
    state.pointY = fields.pointY;
    state.mmPerPoint = fields.mmPerPoint;
    state.refDistance = fields.refDistance;
    state.refPointX = fields.refPointX;
    state.refPointY = fields.refPointY;
}

SwayTail swayTailOf(const SwayRecord& sway) {
    SwayTail tail{sway.entries.size(),
                  sway.seriesStart,
                  std::nullopt,
                  sway.scaleConfirmed,
                  sway.scale,
                  {sway.referenceSourceX, sway.referenceSourceY, sway.referenceSourceDistance}};
    if (!sway.entries.empty())
        tail.last = sway.entries.back();
    return tail;
}

void restoreSwayTail(SwayRecord& sway, const SwayTail& tail) {
    sway.entries.resize(tail.size);
    sway.seriesStart = tail.seriesStart;
    sway.scaleConfirmed = tail.scaleConfirmed;
    sway.scale = tail.scale;
    std::tie(sway.referenceSourceX, sway.referenceSourceY, sway.referenceSourceDistance) =
        std::tuple(tail.reference[0], tail.reference[1], tail.reference[2]);
    if (tail.last && !sway.entries.empty())
        sway.entries.back() = *tail.last;
}

bool sameState(const UndoState& a, const UndoState& b) {
    const PressFields& p = a.record;
    const PressFields& q = b.record;
    const bool sameRecord = p.pointCount == q.pointCount && p.pointX == q.pointX &&
                            p.pointY == q.pointY && sameBits(p.mmPerPoint, q.mmPerPoint) &&
                            sameBits(p.refDistance, q.refDistance) && p.refPointX == q.refPointX &&
                            p.refPointY == q.refPointY;
    const bool sameSway =
        a.sway.size == b.sway.size && a.sway.seriesStart == b.sway.seriesStart &&
        a.sway.scaleConfirmed == b.sway.scaleConfirmed && a.sway.scale == b.sway.scale &&
        std::equal(a.sway.reference.begin(), a.sway.reference.end(), b.sway.reference.begin(),
                   [](double x, double y) { return sameBits(x, y); }) &&
        a.sway.last.has_value() == b.sway.last.has_value() &&
        (!a.sway.last || sameEntry(*a.sway.last, *b.sway.last));
    const bool sameWindow = a.window.label4 == b.window.label4 &&
                            a.window.label7 == b.window.label7 &&
                            a.window.shown == b.window.shown && a.window.swatch == b.window.swatch;
    return sameRecord && sameSway && sameWindow && a.placed == b.placed && a.subject == b.subject;
}

void UndoHistory::push(UndoStep step) {
    while (mSteps.size() > mPosition) {
        mBytes -= stepBytes(mSteps.back());
        mSteps.pop_back();
    }
    if (mClean && *mClean > mPosition)
        mClean.reset(); // the saved state was among the undone steps
    mBytes += stepBytes(step);
    mSteps.push_back(std::move(step));
    ++mPosition;
    while (mBytes > mBudgetBytes && mSteps.size() > 1) {
        mBytes -= stepBytes(mSteps.front());
        mSteps.pop_front();
        --mPosition;
        if (mClean)
            mClean = *mClean == 0 ? std::optional<std::size_t>() : *mClean - 1;
    }
}

const UndoStep* UndoHistory::undo() {
    if (!canUndo())
        return nullptr;
    return &mSteps[--mPosition];
}

const UndoStep* UndoHistory::redo() {
    if (!canRedo())
        return nullptr;
    return &mSteps[mPosition++];
}

void UndoHistory::clear() {
    mSteps.clear();
    mPosition = 0;
    mClean = 0;
    mBytes = 0;
}
