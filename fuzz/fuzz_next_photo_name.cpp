// SPDX-License-Identifier: GPL-3.0-or-later
// The next photo name: never touches the folders, only ever grows, and can always be stepped
// again, so a continuation always moves on. The sequence number that times the photos is read
// from the same place and moves on by one with the name.
#include "photo_sequence.h"

#include <cstdlib>
#include <limits>
#include <string_view>

namespace {

std::string_view folderOf(std::string_view path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string_view::npos ? std::string_view() : path.substr(0, cut + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view path(reinterpret_cast<const char*>(data), size);
    const auto next = nextPhotoName(path);
    const auto number = photoSequenceNumber(path);
    if (!next) {
        if (number)
            std::abort();
        return 0;
    }
    if (folderOf(*next) != folderOf(path) || next->size() < path.size() || *next == path)
        std::abort();
    if (!nextPhotoName(*next))
        std::abort();
    if (number && *number < std::numeric_limits<int32_t>::max() &&
        photoSequenceNumber(*next) != *number + 1)
        std::abort();
    return 0;
}
