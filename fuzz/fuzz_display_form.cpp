// SPDX-License-Identifier: GPL-3.0-or-later
// The display form of numbers: a sign or blank in front, a blank behind, never "-0", and it
// reads back as the number to 7 significant digits.
#include "number_format.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6)
        return 0;
    float value;
    std::memcpy(&value, data, sizeof value);
    int16_t whole;
    std::memcpy(&whole, data + 4, sizeof whole);

    const std::string text = displayForm(value);
    if (text.size() < 3 || (text.front() != ' ' && text.front() != '-') || text.back() != ' ')
        std::abort();
    if (std::isfinite(value)) {
        std::string body = text.substr(1, text.size() - 2);
        for (char& c : body)
            if (c == 'E')
                c = 'e';
        double back = 0;
        const auto [end, error] = std::from_chars(body.data(), body.data() + body.size(), back);
        if (error != std::errc() || end != body.data() + body.size())
            std::abort();
        if (text.front() == '-')
            back = -back;
        if (value == 0 ? back != 0 || text.front() == '-'
                       : std::fabs(back - value) > 5.1e-7 * std::fabs(value))
            std::abort();
    }
    const std::string number = displayForm(whole);
    if (std::atoi(number.c_str()) != whole || number.back() != ' ')
        std::abort();
    return 0;
}
