// SPDX-License-Identifier: GPL-3.0-or-later
#include "pixel_journal.h"

#include <algorithm>

void journalRow(PixelJournal& journal, const CanvasView& canvas, int y, int from, int to) {
    journal.noteRow(canvas, y, from, to);
}

std::size_t PixelPatch::bytes() const {
    return runs.size() * sizeof(Run) + (before.size() + after.size()) * sizeof(uint32_t);
}

namespace {

void applyValues(const PixelPatch& patch, const std::vector<uint32_t>& values, CanvasView& canvas) {
    for (const PixelPatch::Run& run : patch.runs) {
        // A patch only ever meets the canvas it was taken from; still, stay inside it.
        if (run.y < 0 || run.y >= canvas.height || run.x < 0 || run.x + run.length > canvas.width)
            continue;
        std::copy_n(values.begin() + static_cast<std::ptrdiff_t>(run.offset), run.length,
                    canvas.bits + static_cast<std::ptrdiff_t>(run.y) * canvas.stride + run.x);
    }
}

} // namespace

void PixelPatch::applyBefore(CanvasView& canvas) const {
    applyValues(*this, before, canvas);
}

void PixelPatch::applyAfter(CanvasView& canvas) const {
    applyValues(*this, after, canvas);
}

void PixelJournal::noteRow(const CanvasView& canvas, int y, int from, int to) {
    const uint32_t* row = canvas.bits + static_cast<std::ptrdiff_t>(y) * canvas.stride;
    mRuns.push_back({y, from, to, mOld.size()});
    mOld.insert(mOld.end(), row + from, row + to + 1);
}

void PixelJournal::noteRect(const CanvasView& canvas, int x, int y, int width, int height) {
    const int left = std::max(x, 0);
    const int right = std::min(x + width - 1, canvas.width - 1);
    const int top = std::max(y, 0);
    const int bottom = std::min(y + height - 1, canvas.height - 1);
    if (left > right)
        return;
    for (int row = top; row <= bottom; ++row)
        noteRow(canvas, row, left, right);
}

PixelPatch PixelJournal::finish(const CanvasView& canvas) const {
    // The first note of each pixel, in picture order.
    struct Pixel {
        std::size_t index; // y * width + x
        uint32_t old;
    };
    std::vector<Pixel> pixels;
    pixels.reserve(mOld.size());
    std::vector<bool> seen(static_cast<std::size_t>(canvas.width) * canvas.height);
    for (const Noted& run : mRuns) {
        if (run.y < 0 || run.y >= canvas.height || run.from < 0 || run.to >= canvas.width)
            continue;
        for (int x = run.from; x <= run.to; ++x) {
            const std::size_t index = static_cast<std::size_t>(run.y) * canvas.width + x;
            if (seen[index])
                continue;
            seen[index] = true;
            pixels.push_back({index, mOld[run.offset + static_cast<std::size_t>(x - run.from)]});
        }
    }
    std::sort(pixels.begin(), pixels.end(),
              [](const Pixel& a, const Pixel& b) { return a.index < b.index; });

    PixelPatch patch;
    std::size_t previous = 0;
    for (const Pixel& pixel : pixels) {
        const auto y = static_cast<int32_t>(pixel.index / static_cast<std::size_t>(canvas.width));
        const auto x = static_cast<int32_t>(pixel.index % static_cast<std::size_t>(canvas.width));
        const uint32_t now = canvas.bits[static_cast<std::ptrdiff_t>(y) * canvas.stride + x];
        if (now == pixel.old)
            continue;
        const bool extends =
            !patch.runs.empty() && pixel.index == previous + 1 && patch.runs.back().y == y;
        if (!extends)
            patch.runs.push_back({x, y, 0, patch.before.size()});
        ++patch.runs.back().length;
        patch.before.push_back(pixel.old);
        patch.after.push_back(now);
        previous = pixel.index;
    }
    return patch;
}
