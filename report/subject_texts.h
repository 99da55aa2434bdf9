// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "subject_record.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

// The words the dialog offers and the report prints, in the order of the enums.
[[nodiscard]] QStringList sexChoices(); // 未記入, 男, 女, その他
[[nodiscard]] QStringList stanceChoices(); // 両脚, セミタンデム, タンデム, 片脚 右, 片脚 左
[[nodiscard]] QStringList visionChoices();  // 開眼, 閉眼
[[nodiscard]] QStringList surfaceChoices(); // 硬い床, フォーム

[[nodiscard]] QString sexText(SubjectRecord::Sex sex);
[[nodiscard]] QString stanceText(SubjectRecord::Stance stance);
[[nodiscard]] QString visionText(SubjectRecord::Vision vision);
[[nodiscard]] QString surfaceText(SubjectRecord::Surface surface);
// "開眼・両脚・硬い床"
[[nodiscard]] QString conditionsText(const SubjectRecord& subject);

// A date as typed: year, month and day in that order, separated by "/", "-", "." or 年月日,
// full-width digits allowed ("２０２４／５／１"), or eight digits. Empty text is no date (an
// empty CalendarDate); anything else that is not a real day of the calendar is nothing.
[[nodiscard]] std::optional<CalendarDate> parseDateText(const QString& text);
// "2024/05/01"; empty for no date.
[[nodiscard]] QString dateText(const CalendarDate& date);
[[nodiscard]] CalendarDate calendarDate(const QDate& date);

// Whole years from `birth` to `on`; a birthday on 29 February counts from 1 March in other
// years. Nothing when either is missing or `on` comes first.
[[nodiscard]] std::optional<int> ageInYears(const CalendarDate& birth, const CalendarDate& on);
