// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Turns fuzz bytes into a small picture, tolerances and positions. Pictures live in exactly
// sized heap buffers so that any read or write outside them is caught by AddressSanitizer.

#include "pixel_view.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : mData(data), mSize(size) {}

    template <typename T> T take() {
        T value{};
        const size_t n = mAt + sizeof(T) <= mSize ? sizeof(T) : 0;
        if (n)
            std::memcpy(&value, mData + mAt, n);
        mAt += sizeof(T);
        return value;
    }
    [[nodiscard]] bool more() const { return mAt < mSize; }

private:
    const uint8_t* mData;
    size_t mSize;
    size_t mAt = 0;
};

struct FuzzPicture {
    int width = 0;
    int height = 0;
    std::unique_ptr<uint32_t[]> pixels;

    // Mostly white or mostly dark pixels, so regions of all shapes appear.
    static FuzzPicture from(FuzzInput& in, int maxSide) {
        FuzzPicture p;
        p.width = in.take<uint8_t>() % (maxSide + 1);
        p.height = in.take<uint8_t>() % (maxSide + 1);
        p.pixels = std::make_unique<uint32_t[]>(size_t(p.width) * p.height + 1);
        for (int i = 0; i < p.width * p.height; ++i) {
            const uint8_t b = in.take<uint8_t>();
            const uint32_t level = (b & 0x80) ? 0xF0u + (b & 0x0F) : (b & 0x7F);
            p.pixels[i] = 0xFF000000u | (level << 16) | (level << 8) | level;
        }
        return p;
    }
    [[nodiscard]] PhotoView photo() const {
        return {width && height ? pixels.get() : nullptr, width, height, width};
    }
    [[nodiscard]] CanvasView canvas() {
        return {width && height ? pixels.get() : nullptr, width, height, width};
    }
};
