// SPDX-License-Identifier: GPL-3.0-or-later
#include "photo_sequence.h"

#include <algorithm>
#include <charconv>

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Where the digits of the sequence number stand in `path`: between the first "(" and the first
// ")" of the file name. Only the file name counts: folders such as "test(2)" or "フォルダー (2)"
// must never be renumbered. Only ASCII bytes are compared, so UTF-8 names pass through untouched.
struct NumberPlace {
    std::size_t open = 0;
    std::size_t close = 0;
    std::string_view digits;
};

std::optional<NumberPlace> numberPlace(std::string_view path) {
    const std::size_t lastSeparator = path.find_last_of("/\\");
    const std::size_t nameStart = lastSeparator == std::string_view::npos ? 0 : lastSeparator + 1;
    const std::size_t open = path.find('(', nameStart);
    const std::size_t close = path.find(')', nameStart);
    if (open == std::string_view::npos || close == std::string_view::npos || close < open + 2)
        return std::nullopt;
    const std::string_view digits = path.substr(open + 1, close - open - 1);
    if (!std::all_of(digits.begin(), digits.end(), isDigit))
        return std::nullopt;
    return NumberPlace{open, close, digits};
}

} // namespace

std::optional<std::string> nextPhotoName(std::string_view path) {
    const auto place = numberPlace(path);
    if (!place)
        return std::nullopt;
    const auto [open, close, digits] = *place;

    // Decimal increment on the text itself: keeps the width and its leading zeros, widens only
    // on a carry out of the first digit, and has no limit on the number of digits.
    std::string number(digits);
    auto it = number.rbegin();
    for (; it != number.rend() && *it == '9'; ++it)
        *it = '0';
    if (it == number.rend())
        number.insert(number.begin(), '1');
    else
        ++*it;

    std::string next;
    next.reserve(path.size() + 1);
    next.append(path.substr(0, open + 1));
    next.append(number);
    next.append(path.substr(close));
    return next;
}

std::optional<int32_t> photoSequenceNumber(std::string_view path) {
    const auto place = numberPlace(path);
    if (!place)
        return std::nullopt;
    const std::string_view digits = place->digits;
    int32_t number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc{} || end != digits.data() + digits.size())
        return std::nullopt; // beyond 32 bits
    return number;
}
