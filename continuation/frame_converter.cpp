// SPDX-License-Identifier: GPL-3.0-or-later
#include "frame_converter.h"

#include <cstring>

namespace {

// The pixel formats of old JPEG-range YUV are the plain formats with full range; swscale warns
// about the old names and handles the range only through the colour details.
AVPixelFormat withoutJpegRange(AVPixelFormat format, bool* fullRange) {
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
        *fullRange = true;
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        *fullRange = true;
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        *fullRange = true;
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        *fullRange = true;
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        *fullRange = true;
        return AV_PIX_FMT_YUV411P;
    default:
        return format;
    }
}

// Decoders may leave values outside their C enumeration in a frame's fields; they are read as
// the plain integers they are.
template <typename Enum> int rawValue(const Enum& field) {
    static_assert(sizeof(Enum) == sizeof(int));
    int value = 0;
    std::memcpy(&value, &field, sizeof value);
    return value;
}

} // namespace

QImage FrameConverter::convert(const AVFrame& frame, QSize size, int wholeHeight) {
    if (frame.width <= 0 || frame.height <= 0 || size.isEmpty() || frame.format < 0 ||
        frame.format >= AV_PIX_FMT_NB)
        return {};
    bool fullRange = rawValue(frame.color_range) == AVCOL_RANGE_JPEG;
    const AVPixelFormat format =
        withoutJpegRange(static_cast<AVPixelFormat>(frame.format), &fullRange);
    if (format == AV_PIX_FMT_NONE)
        return {};
    SwsContext* before = mScaler.get();
    mScaler.reset(sws_getCachedContext(mScaler.release(), frame.width, frame.height, format,
                                       size.width(), size.height(), AV_PIX_FMT_BGRA, SWS_BILINEAR,
                                       nullptr, nullptr, nullptr));
    if (!mScaler)
        return {};
    // Unlabelled high-definition video is BT.709, standard definition BT.601, as players assume.
    // The frame's height decides, not a window's: a window of a frame keeps the frame's colours.
    int colorspace = rawValue(frame.colorspace);
    if (colorspace == AVCOL_SPC_UNSPECIFIED || colorspace == AVCOL_SPC_RGB ||
        colorspace == AVCOL_SPC_RESERVED || colorspace < 0 || colorspace >= AVCOL_SPC_NB)
        colorspace =
            (wholeHeight > 0 ? wholeHeight : frame.height) >= 720 ? SWS_CS_ITU709 : SWS_CS_DEFAULT;
    const int range = fullRange ? 1 : 0;
    if (mScaler.get() != before || colorspace != mColorspace || range != mRange) {
        sws_setColorspaceDetails(mScaler.get(), sws_getCoefficients(colorspace), range,
                                 sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        mColorspace = colorspace;
        mRange = range;
    }
    // swscale writes whole vectors and may run past a row's end: its rows get room to spare,
    // and one row more below.
    const int padded = (size.width() + 15) / 16 * 16;
    QImage room(padded, size.height() + 1, QImage::Format_RGB32);
    if (room.isNull())
        return {};
    uint8_t* planes[4] = {room.bits(), nullptr, nullptr, nullptr};
    const int strides[4] = {static_cast<int>(room.bytesPerLine()), 0, 0, 0};
    if (sws_scale(mScaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides) <= 0)
        return {};
    QImage image = room.copy(0, 0, size.width(), size.height());
    if (image.isNull())
        return {};
    // Opaque whatever the source's alpha or padding byte held, as a loaded photo is.
    const int width = image.width();
    const int height = image.height();
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] |= 0xFF000000u;
    }
    return image;
}
