// SPDX-License-Identifier: GPL-3.0-or-later
#include "video_windows.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cmath>

VideoFrameWindows::VideoFrameWindows(AVFramePtr frame, const VideoInfo& info)
    : mFrame(std::move(frame)), mInfo(info) {}

ArgbWindow VideoFrameWindows::viewOf(const QImage& pixels, int left, int top,
                                     PixelRect rect) const {
    const int l = std::max(rect.left, left);
    const int t = std::max(rect.top, top);
    const int r = std::min(rect.right, left + pixels.width() - 1);
    const int b = std::min(rect.bottom, top + pixels.height() - 1);
    if (pixels.isNull() || l > r || t > b)
        return {};
    const auto stride = static_cast<std::ptrdiff_t>(pixels.bytesPerLine() / 4);
    const auto* bits = reinterpret_cast<const uint32_t*>(pixels.constBits()) +
                       static_cast<std::ptrdiff_t>(t - top) * stride + (l - left);
    return {{bits, r - l + 1, b - t + 1, stride}, l, t};
}

ArgbWindow VideoFrameWindows::fromWhole(PixelRect rect) {
    if (mWhole.isNull()) {
        const VideoOrientation orientation = mInfo.orientation();
        const QImage stored =
            mConverter.convert(*mFrame, orientation.storedSize(QSize(mInfo.width, mInfo.height)));
        if (stored.isNull())
            return {};
        mWhole = orientation.apply(stored);
    }
    return viewOf(mWhole, 0, 0, rect);
}

ArgbWindow VideoFrameWindows::window(PixelRect rect) {
    if (!mFrame || mInfo.width <= 0 || mInfo.height <= 0)
        return {};
    rect = {std::max(rect.left, 0), std::max(rect.top, 0), std::min(rect.right, mInfo.width - 1),
            std::min(rect.bottom, mInfo.height - 1)};
    if (rect.left > rect.right || rect.top > rect.bottom)
        return {};
    const VideoOrientation orientation = mInfo.orientation();
    const QSize upright(mInfo.width, mInfo.height);
    const QSize stored(mFrame->width, mFrame->height);
    const AVPixFmtDescriptor* format =
        av_pix_fmt_desc_get(static_cast<AVPixelFormat>(mFrame->format));
    // Pixels that are not square are widened by scaling, which a window alone cannot repeat
    // exactly; formats without planes of whole bytes cannot be cut.
    if (orientation.storedSize(upright) != stored || !format ||
        (format->flags & (AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_HWACCEL)))
        return fromWhole(rect);

    const QRect under = storedRectFor(
        orientation, stored, upright,
        QRectF(rect.left, rect.top, rect.right - rect.left + 1, rect.bottom - rect.top + 1));
    if (under.isEmpty())
        return {};
    // Whole chroma samples: a window starts and ends where the colour planes do.
    const int alignX = 1 << format->log2_chroma_w;
    const int alignY = 1 << format->log2_chroma_h;
    const int left = under.left() / alignX * alignX;
    const int top = under.top() / alignY * alignY;
    const int right = std::min(stored.width(), (under.right() + alignX) / alignX * alignX) - 1;
    const int bottom = std::min(stored.height(), (under.bottom() + alignY) / alignY * alignY) - 1;
    AVFramePtr cut(av_frame_clone(mFrame.get()));
    if (!cut)
        return {};
    cut->crop_left = static_cast<size_t>(left);
    cut->crop_top = static_cast<size_t>(top);
    cut->crop_right = static_cast<size_t>(stored.width() - 1 - right);
    cut->crop_bottom = static_cast<size_t>(stored.height() - 1 - bottom);
    if (av_frame_apply_cropping(cut.get(), AV_FRAME_CROP_UNALIGNED) < 0 ||
        cut->width != right - left + 1 || cut->height != bottom - top + 1)
        return fromWhole(rect);
    const QImage window = mConverter.convert(*cut, QSize(cut->width, cut->height), stored.height());
    if (window.isNull())
        return {};
    mPixels = orientation.apply(window);
    const QRectF at = orientation.transform(stored).mapRect(
        QRectF(left, top, right - left + 1, bottom - top + 1));
    return viewOf(mPixels, static_cast<int>(std::lround(at.left())),
                  static_cast<int>(std::lround(at.top())), rect);
}
