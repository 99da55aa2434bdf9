// SPDX-License-Identifier: GPL-3.0-or-later
#include "region_search.h"

#include "marker_pixel.h"
#include "rounding.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <utility>

namespace {

constexpr uint32_t kMarkArgb = argbFromColour(colours::kDarkBlue);

// Spines reach at most 501 pixels from the click.
constexpr int kMaxSpine = 512;
using RunLengths = std::array<int, kMaxSpine>;

// Reads runs of marker pixels from the photo and paints them dark blue on the canvas.
// What a rib contributes to the bounds follows from where it starts and how many of its
// pixels passed, so the walks only count; the bounds are updated from the counts.
// With Journalled, every painted run is first noted in the canvas's journal; without, the scan
// loops are compiled as if there were no journal at all.
template <bool Journalled> class RunWalker {
public:
    RunWalker(const AnalysisState& state, const PhotoView& photo, const CanvasView& canvas)
        : mState(state), mPhoto(photo), mCanvas(canvas) {}

    [[nodiscard]] bool pass(int x, int y) const {
        return marker_detail::passesAt(mState, mPhoto, x, y);
    }

    // Marker pixels (x, y), (x + dir, y), ... up to column `end`, before the first failing one.
    [[nodiscard]] int rowLength(int y, int x, int end, int dir) const {
        if (!mPhoto.contains(x, y))
            return 0;
        // Off the photo every pixel fails, so a run can stop at the photo's edge.
        const int last = dir > 0 ? std::min(end, mPhoto.width - 1) : std::max(end, 0);
        const int length = (last - x) * dir + 1;
        const uint32_t* first = rowOf(y) + x;
        return dir > 0 ? leading<1>(first, length) : leading<-1>(first, length);
    }

    // The same run, painted.
    int row(int y, int x, int end, int dir) {
        const int n = rowLength(y, x, end, dir);
        if (n > 0)
            paint(y, dir > 0 ? x : x - n + 1, dir > 0 ? x + n - 1 : x);
        return n;
    }

    // The vertical runs from row `y` toward row `end` in the `count` columns x, x + columnDir,
    // ..., painted; lengths[k] is that of column x + k * columnDir. Walked row by row: column
    // by column, a big photo would miss the cache on every pixel. The columns still running
    // are kept as spans of neighbouring columns, so each row is tested in contiguous blocks.
    template <int ColumnDir>
    void columns(int x, int count, int y, int end, int dir, RunLengths& lengths) {
        struct Span {
            int begin;
            int end; // indexes k, end excluded
        };
        // Spans are separated by at least one stopped column, so half the spine bounds them.
        std::array<Span, kMaxSpine / 2 + 1> bufferA;
        std::array<Span, kMaxSpine / 2 + 1> bufferB;
        Span* spans = bufferA.data();
        Span* next = bufferB.data();
        int spanCount = 0;
        if (count > 0 && y >= 0 && y < mPhoto.height)
            spans[spanCount++] = {0, count};
        std::fill_n(lengths.begin(), count, 0);

        const int last = dir > 0 ? std::min(end, mPhoto.height - 1) : std::max(end, 0);
        int walked = 0; // rows fully walked so far
        for (int j = y; (last - j) * dir >= 0 && spanCount > 0; j += dir, ++walked) {
            const uint32_t* origin = rowOf(j) + x;
            int nextCount = 0;
            for (int s = 0; s < spanCount; ++s) {
                int k = spans[s].begin;
                while (k < spans[s].end) {
                    const int n = leading<ColumnDir>(origin + k * ColumnDir, spans[s].end - k);
                    if (n > 0) {
                        next[nextCount++] = {k, k + n};
                        const int a = x + k * ColumnDir;
                        const int b = x + (k + n - 1) * ColumnDir;
                        paint(j, std::min(a, b), std::max(a, b));
                        k += n;
                    }
                    if (k < spans[s].end)
                        lengths[k++] = walked; // this column's run ends here
                }
            }
            std::swap(spans, next);
            spanCount = nextCount;
        }
        for (int s = 0; s < spanCount; ++s)
            std::fill(lengths.begin() + spans[s].begin, lengths.begin() + spans[s].end, walked);
    }

private:
    [[nodiscard]] const uint32_t* rowOf(int y) const {
        return mPhoto.bits + static_cast<std::ptrdiff_t>(y) * mPhoto.stride;
    }

    // Number of marker pixels at p[0], p[Dir], p[2 * Dir], ... before the first failing one,
    // at most `length`. Blocks of eight are tested without a branch per pixel.
    template <int Dir> [[nodiscard]] int leading(const uint32_t* p, int length) const {
        constexpr int kBlock = 8;
        int n = 0;
        while (n + kBlock <= length) {
            int32_t sign = 0;
            for (int k = 0; k < kBlock; ++k)
                sign |= marker_detail::failSign(mState, colourFromArgb(p[(n + k) * Dir]));
            if (sign < 0)
                break;
            n += kBlock;
        }
        while (n < length && marker_detail::passes(mState, colourFromArgb(p[n * Dir])))
            ++n;
        return n;
    }

    // Columns from..to of row y, clipped to the canvas.
    void paint(int y, int from, int to) {
        if (y < 0 || y >= mCanvas.height)
            return;
        from = std::max(from, 0);
        to = std::min(to, mCanvas.width - 1);
        if (from > to)
            return;
        if constexpr (Journalled)
            journalRow(*mCanvas.journal, mCanvas, y, from, to);
        uint32_t* row = mCanvas.bits + static_cast<std::ptrdiff_t>(y) * mCanvas.stride;
        std::fill(row + from, row + to + 1, kMarkArgb);
    }

    const AnalysisState& mState;
    // Copies, not references: the views' sizes then stay in registers, where a reference would
    // be reloaded after every painted pixel (a uint32_t store may alias an int).
    const PhotoView mPhoto;
    CanvasView mCanvas;
};

template <bool Journalled>
PixelPoint searchRegion(const AnalysisState& state, const PhotoView& photo, CanvasView& canvas,
                        double clickX, double clickY) {
    // The click and every loop end are rounded once from the floating click, so for a click on
    // a half pixel the negative ribs and spines may start on the click column or row itself.
    // All of them saturate to 16 bits, which keeps every visited position a valid point.
    const int x = nearestInt16(clickX);
    const int y = nearestInt16(clickY);
    const int xFar = nearestInt16(clickX + 500.0);
    const int xBack = nearestInt16(clickX - 1.0);
    const int xBackFar = nearestInt16(clickX - 500.0);
    const int yFar = nearestInt16(clickY + 500.0);
    const int yBack = nearestInt16(clickY - 1.0);
    const int yBackFar = nearestInt16(clickY - 500.0);

    // A bound that is never set counts as not found. Every visited pixel lies on the photo, so
    // -1 can stand for "not set" and a "min" update can never lower a bound that was not set
    // first. (With 0 in that role a marker touching column or row 0 would lose that edge.)
    constexpr int kUnset = -1;
    int left = kUnset;
    int right = kUnset;
    int top = kUnset;
    int bottom = kUnset;

    RunWalker<Journalled> walk(state, photo, canvas);
    // A: rows downward from the click. Right, left and bottom are set by the last row.
    for (int j = y; j <= yFar && walk.pass(x, j); ++j) {
        if (const int n = walk.row(j, x, xFar, +1); n > 0) {
            right = x + n - 1;
            bottom = j;
        }
        if (const int n = walk.row(j, xBack, xBackFar, -1); n > 0) {
            left = xBack - n + 1;
            bottom = j;
        }
    }
    // B: rows upward from the row above the click.
    for (int j = yBack; j >= yBackFar && walk.pass(x, j); --j) {
        if (const int n = walk.row(j, x, xFar, +1); n > 0) {
            right = std::max(right, x + n - 1);
            top = j;
        }
        if (const int n = walk.row(j, xBack, xBackFar, -1); n > 0) {
            left = std::min(left, xBack - n + 1);
            top = j;
        }
    }
    // C and D: columns rightward from the click and leftward from the column left of it. The
    // spine is the run along the click row; each of its columns has a rib down and one up.
    RunLengths down;
    RunLengths up;
    const int rightSpine = walk.rowLength(y, x, xFar, +1);
    walk.template columns<1>(x, rightSpine, y, yFar, +1, down);
    walk.template columns<1>(x, rightSpine, yBack, yBackFar, -1, up);
    for (int k = 0; k < rightSpine; ++k) {
        const int i = x + k;
        if (down[k] > 0) {
            right = std::max(right, i);
            bottom = std::max(bottom, y + down[k] - 1);
        }
        if (up[k] > 0) {
            right = std::max(right, i);
            top = std::min(top, yBack - up[k] + 1);
        }
    }
    const int leftSpine = walk.rowLength(y, xBack, xBackFar, -1);
    walk.template columns<-1>(xBack, leftSpine, y, yFar, +1, down);
    walk.template columns<-1>(xBack, leftSpine, yBack, yBackFar, -1, up);
    for (int k = 0; k < leftSpine; ++k) {
        const int i = xBack - k;
        if (down[k] > 0) {
            left = std::min(left, i);
            bottom = std::max(bottom, y + down[k] - 1);
        }
        if (up[k] > 0) {
            left = std::min(left, i);
            top = std::min(top, yBack - up[k] + 1);
        }
    }

    if (left == kUnset)
        left = x;
    if (right == kUnset)
        right = x;
    if (top == kUnset)
        top = y;
    if (bottom == kUnset)
        bottom = y;
    const int cx = (left + right) / 2;
    const int cy = (top + bottom) / 2;
    canvas.setPixel(cx, cy, colours::kDarkRed);
    return {static_cast<int16_t>(cx), static_cast<int16_t>(cy)};
}

} // namespace

PixelPoint findMarkerCentre(const AnalysisState& state, const PhotoView& photo, CanvasView& canvas,
                            double clickX, double clickY) {
    return canvas.journal ? searchRegion<true>(state, photo, canvas, clickX, clickY)
                          : searchRegion<false>(state, photo, canvas, clickX, clickY);
}

bool pressMeetsMarker(const AnalysisState& state, const PhotoView& photo, double clickX,
                      double clickY) {
    // Rounded as the search rounds them: on a tie the pixel to the left may be the click's own.
    const int x = nearestInt16(clickX);
    const int y = nearestInt16(clickY);
    const int xBack = nearestInt16(clickX - 1.0);
    const int yBack = nearestInt16(clickY - 1.0);
    using marker_detail::passesAt;
    return passesAt(state, photo, x, y) || passesAt(state, photo, x, yBack) ||
           passesAt(state, photo, xBack, y);
}
