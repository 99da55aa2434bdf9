// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// A GIF of the given size whose picture data ends at once (clear code, end code): decoders
// give the declared size filled with the background. Qt cannot write GIF files itself.
inline QByteArray craftedGif(int width, int height) {
    QByteArray gif("GIF89a");
    const auto put16 = [&gif](int v) { gif.append(char(v & 0xFF)).append(char(v >> 8)); };
    put16(width);
    put16(height);
    gif.append("\x80\0\0\0\0\0\xFF\xFF\xFF", 9); // two colours, black and white
    gif.append(',');
    put16(0);
    put16(0);
    put16(width);
    put16(height);
    gif.append("\0\x02\x01\x44\0;", 6); // no local table, LZW data, terminator, trailer
    return gif;
}
