// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// A GIF of the given size whose picture data ends at once (clear code, end code): decoders
// give the declared size filled with the background. Qt cannot write GIF files itself.
inline QByteArray craftedGif(int width, int height) {
    QByteArray size;
    for (const int v : {width, height})
        size.append(char(v & 0xFF)).append(char(v >> 8));
    // Two colours, black and white; one image at (0, 0) of that size; LZW data; trailer.
    return "GIF89a" + size + QByteArray("\x80\0\0\0\0\0\xFF\xFF\xFF,\0\0\0\0", 14) + size +
           QByteArray("\0\x02\x01\x44\0;", 6);
}
