// SPDX-License-Identifier: GPL-3.0-or-later
#include "marker_numbering.h"

#include <algorithm>
#include <numeric>

std::vector<std::size_t> numberMarkers(std::span<const MarkerCandidate> candidates,
                                       bool swapPairs) {
    std::vector<std::size_t> byHeight(candidates.size());
    std::iota(byHeight.begin(), byHeight.end(), std::size_t{0});
    std::stable_sort(byHeight.begin(), byHeight.end(), [&](std::size_t a, std::size_t b) {
        return candidates[a].centre.y < candidates[b].centre.y;
    });
    // How far below a the next marker b lies, when close enough in height to pair with it.
    const auto pairGap = [&](std::size_t i) -> double {
        if (i + 1 >= byHeight.size())
            return -1.0;
        const MarkerCandidate& a = candidates[byHeight[i]];
        const MarkerCandidate& b = candidates[byHeight[i + 1]];
        const double gap = b.centre.y - a.centre.y;
        return gap <= std::max(a.diameter(), b.diameter()) ? gap : -1.0;
    };

    std::vector<std::size_t> order;
    order.reserve(candidates.size());
    for (std::size_t i = 0; i < byHeight.size();) {
        const double gap = pairGap(i);
        const double nextGap = pairGap(i + 1);
        if (gap < 0 || (nextGap >= 0 && nextGap < gap)) {
            order.push_back(byHeight[i]);
            ++i;
            continue;
        }
        std::size_t first = byHeight[i];
        std::size_t second = byHeight[i + 1];
        if (candidates[second].centre.x > candidates[first].centre.x)
            std::swap(first, second); // the right one first
        if (swapPairs)
            std::swap(first, second);
        order.push_back(first);
        order.push_back(second);
        i += 2;
    }
    return order;
}
