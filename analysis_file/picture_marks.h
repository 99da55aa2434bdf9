#pragma once

#include "analysis_document.h"

#include <cstddef>
#include <cstdint>

// A 32-bit picture in memory as 0xAARRGGBB words (QImage::Format_RGB32). Does not own the
// pixels.
struct MarkedPicture {
    uint32_t* bits = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0; // words per row
};

// The pixels of `shown` that differ from `base` (both of shown's size), as runs of one colour.
[[nodiscard]] PictureMarks marksBetween(const MarkedPicture& base, const MarkedPicture& shown);

// Paints the runs on the picture, clipped to it.
void paintMarks(const PictureMarks& marks, MarkedPicture picture);
