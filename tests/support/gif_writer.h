#pragma once

#include <QByteArray>
#include <QImage>

// Qt reads GIF but cannot write it; tests need GIF photos, so this writes a plain one: a
// 256-colour palette and LZW codes that never grow beyond 9 bits (a clear code every 254
// pixels), which every decoder accepts.
inline QByteArray encodeGif(const QImage& picture) {
    const QImage indexed = picture.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    QByteArray out("GIF89a");
    const auto put16 = [&out](int v) {
        out.append(char(v & 0xFF));
        out.append(char((v >> 8) & 0xFF));
    };
    put16(indexed.width());
    put16(indexed.height());
    out.append(char(0xF7)); // global table of 256 entries
    out.append('\0');
    out.append('\0');
    QList<QRgb> table = indexed.colorTable();
    table.resize(256);
    for (QRgb c : table) {
        out.append(char(qRed(c)));
        out.append(char(qGreen(c)));
        out.append(char(qBlue(c)));
    }
    out.append(',');
    put16(0);
    put16(0);
    put16(indexed.width());
    put16(indexed.height());
    out.append('\0');
    out.append(char(8)); // minimum code size

    QByteArray codes;
    quint32 bits = 0;
    int bitCount = 0;
    const auto emit9 = [&](int code) {
        bits |= quint32(code) << bitCount;
        bitCount += 9;
        while (bitCount >= 8) {
            codes.append(char(bits & 0xFF));
            bits >>= 8;
            bitCount -= 8;
        }
    };
    int sinceClear = 0;
    emit9(256);
    for (int y = 0; y < indexed.height(); ++y) {
        const uchar* row = indexed.constScanLine(y);
        for (int x = 0; x < indexed.width(); ++x) {
            if (sinceClear == 254) {
                emit9(256);
                sinceClear = 0;
            }
            emit9(row[x]);
            ++sinceClear;
        }
    }
    emit9(257);
    if (bitCount > 0)
        codes.append(char(bits & 0xFF));
    for (qsizetype at = 0; at < codes.size(); at += 255) {
        const qsizetype n = qMin<qsizetype>(255, codes.size() - at);
        out.append(char(n));
        out.append(codes.mid(at, n));
    }
    out.append('\0');
    out.append(';');
    return out;
}
