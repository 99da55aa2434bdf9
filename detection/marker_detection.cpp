// SPDX-License-Identifier: GPL-3.0-or-later
#include "marker_detection.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// The six comparisons as differences that must not be negative, or-ed: negative exactly when the
// pixel fails. Without a branch per pixel, a block of pixels is tested in vector registers.
inline int32_t failSign(uint32_t argb, MarkerBounds bounds) {
    const auto r = static_cast<int32_t>((argb >> 16) & 0xFFu);
    const auto g = static_cast<int32_t>((argb >> 8) & 0xFFu);
    const auto b = static_cast<int32_t>(argb & 0xFFu);
    return (r - bounds.low) | (bounds.high - r) | (g - bounds.low) | (bounds.high - g) |
           (b - bounds.low) | (bounds.high - b);
}

constexpr int kBlock = 16;

inline bool blockFails(const uint32_t* p, MarkerBounds bounds) {
    int32_t all = -1;
    for (int k = 0; k < kBlock; ++k)
        all &= failSign(p[k], bounds);
    return all < 0;
}

inline bool blockPasses(const uint32_t* p, MarkerBounds bounds) {
    int32_t any = 0;
    for (int k = 0; k < kBlock; ++k)
        any |= failSign(p[k], bounds);
    return any >= 0;
}

struct Run {
    int x0;
    int x1;
    int blob; // index in the pool
};

// Runs of passing pixels in one row, left to right. Most pixels of a photo fail and most of a
// marker pass, so both are skipped a block at a time.
void findRuns(const uint32_t* row, int width, MarkerBounds bounds, std::vector<Run>& runs) {
    runs.clear();
    int x = 0;
    while (x < width) {
        while (x + kBlock <= width && blockFails(row + x, bounds))
            x += kBlock;
        while (x < width && failSign(row[x], bounds) < 0)
            ++x;
        if (x == width)
            break;
        const int start = x;
        while (x + kBlock <= width && blockPasses(row + x, bounds))
            x += kBlock;
        while (x < width && failSign(row[x], bounds) >= 0)
            ++x;
        runs.push_back({start, x - 1, -1});
    }
}

// A region growing row by row. Sums in double: a region's sums of squares may pass 64 bits on a
// very wide picture, and only their ratios matter.
struct Blob {
    double area = 0.0;
    double sumX = 0.0;
    double sumY = 0.0;
    double sumXX = 0.0;
    double sumYY = 0.0;
    PixelRect box{};
    bool cut = false; // a pixel on the outermost rows or columns
    int parent = 0;   // itself for a root
    int remap = -1;   // its index in the next row's pool
    bool alive = false;
    bool done = false;

    void addRun(int x0, int x1, int y) {
        const double n = x1 - x0 + 1;
        // Sums of x and x^2 over x0..x1 in closed form.
        const auto squares = [](double k) { return k * (k + 1) * (2 * k + 1) / 6; };
        area += n;
        sumX += n * (x0 + x1) / 2;
        sumXX += squares(x1) - squares(x0 - 1.0);
        sumY += n * y;
        sumYY += n * y * double(y);
        if (area == n) {
            box = {x0, y, x1, y};
        } else {
            box.left = std::min(box.left, x0);
            box.right = std::max(box.right, x1);
            box.top = std::min(box.top, y);
            box.bottom = std::max(box.bottom, y);
        }
    }
    void absorb(const Blob& other) {
        area += other.area;
        sumX += other.sumX;
        sumY += other.sumY;
        sumXX += other.sumXX;
        sumYY += other.sumYY;
        box = {std::min(box.left, other.box.left), std::min(box.top, other.box.top),
               std::max(box.right, other.box.right), std::max(box.bottom, other.box.bottom)};
        cut = cut || other.cut;
    }
};

class Labeller {
public:
    Labeller(int width, MarkerBounds bounds, const DetectionLimits& limits, std::size_t keep)
        : mBounds(bounds), mLimits(limits), mKeep(keep) {
        // Runs in one row; the pool holds the regions of two rows.
        const auto most = static_cast<std::size_t>(width / 2 + 1);
        mPrev.reserve(most);
        mCur.reserve(most);
        mPool.reserve(2 * most);
        mNext.reserve(2 * most);
    }

    void row(const uint32_t* pixels, int width, int y, bool outermost) {
        findRuns(pixels, width, mBounds, mCur);
        std::size_t p = 0;
        for (Run& run : mCur) {
            // Runs of the previous row that share a column (4-connected).
            while (p < mPrev.size() && mPrev[p].x1 < run.x0)
                ++p;
            int root = -1;
            for (std::size_t q = p; q < mPrev.size() && mPrev[q].x0 <= run.x1; ++q)
                root = root < 0 ? find(mPrev[q].blob) : unite(root, find(mPrev[q].blob));
            if (root < 0) {
                root = static_cast<int>(mPool.size());
                mPool.emplace_back().parent = root;
            }
            Blob& blob = mPool[static_cast<std::size_t>(root)];
            blob.addRun(run.x0, run.x1, y);
            blob.cut = blob.cut || outermost || run.x0 == 0 || run.x1 == width - 1;
            run.blob = root;
        }
        for (Run& run : mCur) {
            run.blob = find(run.blob);
            mPool[static_cast<std::size_t>(run.blob)].alive = true;
        }
        // Regions of the previous row that no run continues are complete.
        for (const Run& run : mPrev) {
            Blob& blob = mPool[static_cast<std::size_t>(find(run.blob))];
            if (!blob.alive && !blob.done) {
                finish(blob);
                blob.done = true;
            }
        }
        // The next row needs only the regions of this one.
        mNext.clear();
        for (Run& run : mCur) {
            Blob& blob = mPool[static_cast<std::size_t>(run.blob)];
            if (blob.remap < 0) {
                blob.remap = static_cast<int>(mNext.size());
                mNext.push_back(blob);
                Blob& moved = mNext.back();
                moved.parent = blob.remap;
                moved.remap = -1;
                moved.alive = false;
            }
            run.blob = blob.remap;
        }
        mPool.swap(mNext);
        mPrev.swap(mCur);
    }

    // After the last row: the regions still open end there.
    DetectionResult end() {
        for (Blob& blob : mPool)
            finish(blob);
        std::sort(mResult.candidates.begin(), mResult.candidates.end(),
                  [](const MarkerCandidate& a, const MarkerCandidate& b) {
                      return a.centre.y != b.centre.y ? a.centre.y < b.centre.y
                                                      : a.centre.x < b.centre.x;
                  });
        return std::move(mResult);
    }

private:
    int find(int i) {
        while (mPool[static_cast<std::size_t>(i)].parent != i) {
            int& parent = mPool[static_cast<std::size_t>(i)].parent;
            parent = mPool[static_cast<std::size_t>(parent)].parent; // halve the path
            i = parent;
        }
        return i;
    }
    // Joins two roots; the lower index stays the root.
    int unite(int a, int b) {
        if (a == b)
            return a;
        if (b < a)
            std::swap(a, b);
        mPool[static_cast<std::size_t>(a)].absorb(mPool[static_cast<std::size_t>(b)]);
        mPool[static_cast<std::size_t>(b)].parent = a;
        return a;
    }

    void finish(const Blob& blob) {
        if (blob.cut || blob.area < double(mLimits.minArea) || blob.area > double(mLimits.maxArea))
            return;
        MarkerCandidate candidate;
        candidate.area = static_cast<int64_t>(blob.area);
        candidate.centre = {blob.sumX / blob.area, blob.sumY / blob.area};
        candidate.box = blob.box;
        // Each pixel a unit square adds 1/12 to the variance of each axis.
        const double varX = blob.sumXX / blob.area - candidate.centre.x * candidate.centre.x;
        const double varY = blob.sumYY / blob.area - candidate.centre.y * candidate.centre.y;
        candidate.circularity = blob.area / (2 * std::numbers::pi * (varX + varY + 2.0 / 12.0));
        if (!(candidate.circularity >= mLimits.minCircularity))
            return;
        ++mResult.count;
        if (mResult.candidates.size() < mKeep)
            mResult.candidates.push_back(candidate);
    }

    MarkerBounds mBounds;
    DetectionLimits mLimits;
    std::size_t mKeep;
    std::vector<Run> mPrev;
    std::vector<Run> mCur;
    std::vector<Blob> mPool;
    std::vector<Blob> mNext;
    DetectionResult mResult;
};

} // namespace

double MarkerCandidate::diameter() const {
    return 2.0 * std::sqrt(static_cast<double>(area) / std::numbers::pi);
}

DetectionResult detectMarkers(const ArgbPicture& picture, MarkerBounds bounds,
                              const DetectionLimits& limits, std::size_t keep) {
    if (!picture.bits || picture.width <= 0 || picture.height <= 0)
        return {};
    Labeller labeller(picture.width, bounds, limits, keep);
    for (int y = 0; y < picture.height; ++y)
        labeller.row(picture.bits + static_cast<std::ptrdiff_t>(y) * picture.stride, picture.width,
                     y, y == 0 || y == picture.height - 1);
    return labeller.end();
}
