#pragma once

#include "pixel_view.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

// A small in-memory picture stored like a 32-bit image (0xAARRGGBB words), with views for the
// marker logic and shapes to draw. Colours in and out are 0x00BBGGRR.
struct Picture {
    static constexpr uint32_t kGrey = 0x808080;
    int width, height;
    std::vector<uint32_t> bits;

    explicit Picture(int w, int h, uint32_t colour = kGrey)
        : width(w), height(h), bits(static_cast<std::size_t>(w) * h, argbFromColour(colour)) {}
    [[nodiscard]] PhotoView photo() const { return {bits.data(), width, height, width}; }
    [[nodiscard]] CanvasView canvas() { return {bits.data(), width, height, width}; }
    [[nodiscard]] uint32_t at(int x, int y) const {
        return colourFromArgb(bits[static_cast<std::size_t>(y) * width + x]);
    }
    // Pixels with inner² <= squared distance from (cx, cy) <= outer², clipped.
    Picture& ring(int cx, int cy, int inner, int outer, uint32_t colour = colours::kWhite) {
        CanvasView view = canvas();
        for (int y = cy - outer; y <= cy + outer; ++y)
            for (int x = cx - outer; x <= cx + outer; ++x) {
                const int d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
                if (d >= inner * inner && d <= outer * outer)
                    view.setPixel(x, y, colour);
            }
        return *this;
    }
    Picture& rect(int x0, int y0, int x1, int y1, uint32_t colour = colours::kWhite) {
        CanvasView view = canvas();
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                view.setPixel(x, y, colour);
        return *this;
    }
    // Every pixel that differs from the background, by position.
    [[nodiscard]] std::map<std::pair<int, int>, uint32_t> marks(uint32_t background = 0) const {
        std::map<std::pair<int, int>, uint32_t> found;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (at(x, y) != background)
                    found[{x, y}] = at(x, y);
        return found;
    }
};

// Readable names for TEST_P rows.
template <typename Row> std::string rowName(const testing::TestParamInfo<Row>& info) {
    return info.param.name;
}
