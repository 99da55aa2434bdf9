// SPDX-License-Identifier: GPL-3.0-or-later
#include "source_frame.h"

#include <algorithm>

ArgbWindow PictureSourceFrame::window(PixelRect rect) {
    const int left = std::max(rect.left, 0);
    const int top = std::max(rect.top, 0);
    const int right = std::min(rect.right, mPicture.width - 1);
    const int bottom = std::min(rect.bottom, mPicture.height - 1);
    if (mPicture.bits == nullptr || left > right || top > bottom)
        return {};
    ArgbPicture pixels{mPicture.bits + static_cast<std::ptrdiff_t>(top) * mPicture.stride + left,
                       right - left + 1, bottom - top + 1, mPicture.stride};
    return {pixels, left, top};
}
