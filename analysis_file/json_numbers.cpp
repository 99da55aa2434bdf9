// SPDX-License-Identifier: GPL-3.0-or-later
#include "json_numbers.h"

#include <QString>

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

QJsonValue jsonFromDouble(double value) {
    if (std::isnan(value))
        return QJsonValue(QJsonValue::Null);
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    if (value == 0.0 && std::signbit(value))
        return QStringLiteral("-0");
    return value;
}

std::optional<double> doubleFromJson(const QJsonValue& value) {
    if (value.isNull())
        return std::numeric_limits<double>::quiet_NaN();
    if (value.isDouble())
        return value.toDouble();
    if (value.isString()) {
        const QString text = value.toString();
        if (text == QLatin1String("inf"))
            return std::numeric_limits<double>::infinity();
        if (text == QLatin1String("-inf"))
            return -std::numeric_limits<double>::infinity();
        if (text == QLatin1String("-0"))
            return -0.0;
    }
    return std::nullopt;
}

QJsonValue jsonFromFloat(float value) {
    return jsonFromDouble(static_cast<double>(value));
}

std::optional<float> floatFromJson(const QJsonValue& value) {
    const auto number = doubleFromJson(value);
    if (!number)
        return std::nullopt;
    if (std::isfinite(*number) && std::fabs(*number) > std::numeric_limits<float>::max())
        return std::nullopt;
    return static_cast<float>(*number);
}

std::optional<int64_t> integerFromJson(const QJsonValue& value, int64_t low, int64_t high) {
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    // Beyond 2^53 a double no longer holds every whole number; no field needs that much.
    constexpr double exact = 9007199254740992.0;
    if (!(std::fabs(number) <= exact) || std::trunc(number) != number)
        return std::nullopt;
    if (number < static_cast<double>(low) || number > static_cast<double>(high))
        return std::nullopt;
    return static_cast<int64_t>(number);
}

QJsonValue jsonFromInt64(int64_t value) {
    return QString::number(value);
}

std::optional<int64_t> int64FromJson(const QJsonValue& value) {
    if (!value.isString())
        return std::nullopt;
    const std::string text = value.toString().toStdString();
    int64_t number = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, number);
    if (ec != std::errc{} || ptr != end || text.empty())
        return std::nullopt;
    return number;
}
