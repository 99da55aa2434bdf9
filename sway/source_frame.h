// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "argb_picture.h"
#include "sub_pixel_centre.h"

#include <memory>

// Pixels of a window of a bigger picture: `pixels` holds the window, whose top-left pixel is
// (left, top) of the picture.
struct ArgbWindow {
    ArgbPicture pixels;
    int left = 0;
    int top = 0;
};

// The source picture at its own size, read a window at a time: a video frame is converted only
// around the markers, never whole.
class SourceFrame {
public:
    virtual ~SourceFrame() = default;
    [[nodiscard]] virtual int width() const = 0;
    [[nodiscard]] virtual int height() const = 0;
    // The pixels of `rect` clipped to the picture, valid until the next call; empty pixels when
    // nothing of it lies inside or it cannot be read.
    [[nodiscard]] virtual ArgbWindow window(PixelRect rect) = 0;
};

// A picture already in memory as a whole, such as a decoded photo. Keeps `owner` alive for as
// long as it lends out the pixels.
class PictureSourceFrame : public SourceFrame {
public:
    explicit PictureSourceFrame(ArgbPicture picture, std::shared_ptr<const void> owner = {})
        : mPicture(picture), mOwner(std::move(owner)) {}
    [[nodiscard]] int width() const override { return mPicture.width; }
    [[nodiscard]] int height() const override { return mPicture.height; }
    [[nodiscard]] ArgbWindow window(PixelRect rect) override;

private:
    ArgbPicture mPicture;
    std::shared_ptr<const void> mOwner;
};
