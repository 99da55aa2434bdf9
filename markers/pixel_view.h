// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

// Colour values as the marker logic sees them: 0x00BBGGRR, red in the low byte.
// Pictures themselves are stored as 0xAARRGGBB words (the layout of a 32-bit RGB image).

[[nodiscard]] constexpr uint32_t colourFromArgb(uint32_t argb) {
    return ((argb & 0xFFu) << 16) | (argb & 0xFF00u) | ((argb >> 16) & 0xFFu);
}

[[nodiscard]] constexpr uint32_t argbFromColour(uint32_t colour) {
    return 0xFF000000u | ((colour & 0xFFu) << 16) | (colour & 0xFF00u) | ((colour >> 16) & 0xFFu);
}

// Read-only view of the clean photo. Does not own the pixels.
struct PhotoView {
    const uint32_t* bits = nullptr; // 0xAARRGGBB words
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0; // words per row

    [[nodiscard]] bool contains(int x, int y) const {
        return static_cast<unsigned>(x) < static_cast<unsigned>(width) &&
               static_cast<unsigned>(y) < static_cast<unsigned>(height);
    }
    // Colour of a pixel inside the picture, as 0x00BBGGRR.
    [[nodiscard]] uint32_t colourAt(int x, int y) const {
        return colourFromArgb(bits[y * stride + x]);
    }
};

class PixelJournal;
struct CanvasView;

// Keeps the present values of pixels from..to of row y (inside the canvas) before they are
// overwritten (pixel_journal.h).
void journalRow(PixelJournal& journal, const CanvasView& canvas, int y, int from, int to);

// Writable view of the picture on display. Writes outside the picture are clipped, as drawing
// on a picture box would be. Does not own the pixels.
struct CanvasView {
    uint32_t* bits = nullptr; // 0xAARRGGBB words
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0; // words per row
    // When set, every write first hands the old values to the journal, so it can be taken back.
    PixelJournal* journal = nullptr;

    void setPixel(int x, int y, uint32_t colour) {
        if (static_cast<unsigned>(x) < static_cast<unsigned>(width) &&
            static_cast<unsigned>(y) < static_cast<unsigned>(height)) {
            if (journal) [[unlikely]]
                journalRow(*journal, *this, y, x, x);
            bits[y * stride + x] = argbFromColour(colour);
        }
    }
    // The pixel under a floating position.
    void setPixelAt(double x, double y, uint32_t colour);
};

// Colours of the standard 16-colour palette used for marks, as 0x00BBGGRR.
namespace colours {
inline constexpr uint32_t kDarkBlue = 0x800000;  // marker pixels, ROM points
inline constexpr uint32_t kDarkRed = 0x000080;   // marker centres
inline constexpr uint32_t kLightBlue = 0xFF0000; // reference point
inline constexpr uint32_t kGreen = 0x008000;     // around a reference point
inline constexpr uint32_t kRed = 0x0000FF;       // ROM lines
inline constexpr uint32_t kWhite = 0xFFFFFF;     // grid and angle texts
} // namespace colours
