// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

// A 32-bit picture in memory, 0xAARRGGBB words (the layout of QImage::Format_RGB32). Does not
// own the pixels.
struct ArgbPicture {
    const uint32_t* bits = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0; // words per row

    [[nodiscard]] bool contains(int x, int y) const {
        return static_cast<unsigned>(x) < static_cast<unsigned>(width) &&
               static_cast<unsigned>(y) < static_cast<unsigned>(height);
    }
    [[nodiscard]] uint32_t at(int x, int y) const { return bits[y * stride + x]; }
};
