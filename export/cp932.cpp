// SPDX-License-Identifier: GPL-3.0-or-later
#include "cp932.h"

#include <cerrno>
#include <cstdint>
#include <iconv.h>

namespace {

// Owns one iconv descriptor; closed on every path.
class Converter {
public:
    Converter() : mCd(iconv_open("CP932", "UTF-8")) {}
    ~Converter() {
        if (valid())
            iconv_close(mCd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    [[nodiscard]] bool valid() const { return mCd != reinterpret_cast<iconv_t>(-1); }

    // Appends the bytes of one well-formed UTF-8 character, or returns false when code page 932
    // has no such character.
    bool appendOne(std::string_view character, std::string& out) {
        char in[4];
        char buffer[8];
        character.copy(in, sizeof in);
        char* inPtr = in;
        std::size_t inLeft = character.size();
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = iconv(mCd, &inPtr, &inLeft, &outPtr, &outLeft);
        // glibc drops some characters without an error (the tag characters U+E0000..U+E007F):
        // a character that gives no bytes is one the code page cannot hold either.
        if (rc == static_cast<std::size_t>(-1) || inLeft != 0 || outPtr == buffer) {
            iconv(mCd, nullptr, nullptr, nullptr, nullptr); // back to the initial state
            return false;
        }
        out.append(buffer, outPtr);
        return true;
    }

private:
    iconv_t mCd;
};

// Length of the UTF-8 sequence a lead byte announces; 0 for a byte that cannot start one.
// C0 and C1 start (overlong) two-byte forms so that such a form gives one "?", not two.
int sequenceLength(uint8_t lead) {
    if (lead >= 0xC0 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF7)
        return 4;
    return 0;
}

bool isContinuation(uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

} // namespace

std::string toCp932(std::string_view utf8) {
    Converter converter;
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<uint8_t>(utf8[i]);
        if (lead < 0x80) { // ASCII is the same in code page 932, backslash and tilde included
            out.push_back(static_cast<char>(lead));
            ++i;
            continue;
        }
        const int length = sequenceLength(lead);
        if (length == 0) { // stray continuation byte or F8..FF
            out.push_back('?');
            ++i;
            continue;
        }
        // Take the lead and as many continuation bytes as belong to it.
        std::size_t end = i + 1;
        uint32_t codePoint = lead & (0x7Fu >> length);
        while (end < utf8.size() && end < i + static_cast<std::size_t>(length) &&
               isContinuation(static_cast<uint8_t>(utf8[end]))) {
            codePoint = (codePoint << 6) | (static_cast<uint8_t>(utf8[end]) & 0x3Fu);
            ++end;
        }
        const std::string_view character = utf8.substr(i, end - i);
        i = end;
        static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        const bool wellFormed = character.size() == static_cast<std::size_t>(length) &&
                                codePoint >= kSmallest[length] && codePoint <= 0x10FFFF &&
                                !(codePoint >= 0xD800 && codePoint <= 0xDFFF);
        if (!wellFormed || !converter.valid() || !converter.appendOne(character, out))
            out.push_back('?');
    }
    return out;
}

bool cp932Available() {
    return Converter().valid();
}

WriteResult writeCp932File(const QString& path, const std::string& bytes, InPlace inPlace) {
    if (!cp932Available())
        return {
            false,
            writeFailure(path, QStringLiteral("このシステムでは文字コード CP932 に変換できません")),
            {},
            {}};
    return writeWholeFile(path, QByteArray::fromStdString(bytes), inPlace);
}
