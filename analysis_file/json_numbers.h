// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonValue>

#include <cstdint>
#include <optional>

// Numbers that read back bit for bit. A finite double is a JSON number in its shortest exact
// form (what QJsonDocument writes); what JSON has no number for is written as a string:
// "-0" (the writer would drop the sign), "inf" and "-inf". NaN is null.
[[nodiscard]] QJsonValue jsonFromDouble(double value);
[[nodiscard]] std::optional<double> doubleFromJson(const QJsonValue& value);

// A float travels as the double of the same value, so no decimal rounding comes in between.
// Reading refuses finite values beyond the float range.
[[nodiscard]] QJsonValue jsonFromFloat(float value);
[[nodiscard]] std::optional<float> floatFromJson(const QJsonValue& value);

// A whole number within [low, high]: a JSON number without fraction.
[[nodiscard]] std::optional<int64_t> integerFromJson(const QJsonValue& value, int64_t low,
                                                     int64_t high);

// 64-bit integers, such as stream timestamps, exceed what a JSON number (a double) holds
// exactly: they are written as decimal strings.
[[nodiscard]] QJsonValue jsonFromInt64(int64_t value);
[[nodiscard]] std::optional<int64_t> int64FromJson(const QJsonValue& value);
