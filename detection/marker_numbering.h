// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "marker_detection.h"

#include <cstddef>
#include <span>
#include <vector>

// The order in which to number markers, as indexes into `candidates`, in the order the presets
// name the points: top to bottom, and two markers at about the same height (centres no farther
// apart vertically than the larger one's diameter) as a pair, the one on the picture's right (the
// subject's left in a frontal view) first, or last with `swapPairs` (a posterior view). A marker
// that could pair both with the one above and the one below pairs with the closer in height.
[[nodiscard]] std::vector<std::size_t> numberMarkers(std::span<const MarkerCandidate> candidates,
                                                     bool swapPairs);
