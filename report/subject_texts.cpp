// SPDX-License-Identifier: GPL-3.0-or-later
#include "subject_texts.h"

#include <QRegularExpression>

#include <tuple>

namespace {

template <typename E> QString pick(const QStringList& choices, E value) {
    const auto i = static_cast<qsizetype>(value);
    return i < choices.size() ? choices[i] : QString();
}

} // namespace

QStringList sexChoices() {
    return {QStringLiteral("未記入"), QStringLiteral("男"), QStringLiteral("女"),
            QStringLiteral("その他")};
}
QStringList stanceChoices() {
    return {QStringLiteral("両脚"), QStringLiteral("セミタンデム"), QStringLiteral("タンデム"),
            QStringLiteral("片脚 右"), QStringLiteral("片脚 左")};
}
QStringList visionChoices() {
    return {QStringLiteral("開眼"), QStringLiteral("閉眼")};
}
QStringList surfaceChoices() {
    return {QStringLiteral("硬い床"), QStringLiteral("フォーム")};
}

QString sexText(SubjectRecord::Sex sex) {
    return pick(sexChoices(), sex);
}
QString stanceText(SubjectRecord::Stance stance) {
    return pick(stanceChoices(), stance);
}
QString visionText(SubjectRecord::Vision vision) {
    return pick(visionChoices(), vision);
}
QString surfaceText(SubjectRecord::Surface surface) {
    return pick(surfaceChoices(), surface);
}

QString conditionsText(const SubjectRecord& subject) {
    return QStringList{visionText(subject.vision), stanceText(subject.stance),
                       surfaceText(subject.surface)}
        .join(QStringLiteral("・"));
}

std::optional<CalendarDate> parseDateText(const QString& text) {
    // NFKC turns full-width digits and separators into ASCII ones.
    const QString plain = text.normalized(QString::NormalizationForm_KC).trimmed();
    if (plain.isEmpty())
        return CalendarDate{};
    static const QRegularExpression separated(
        QStringLiteral(R"(^(\d{4})\s*[/.\-年]\s*(\d{1,2})\s*[/.\-月]\s*(\d{1,2})\s*日?$)"));
    static const QRegularExpression packed(QStringLiteral(R"(^(\d{4})(\d{2})(\d{2})$)"));
    QRegularExpressionMatch m = separated.match(plain);
    if (!m.hasMatch())
        m = packed.match(plain);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!date.isValid() || date.year() < 1)
        return std::nullopt;
    return calendarDate(date);
}

QString dateText(const CalendarDate& date) {
    if (date.empty())
        return {};
    return QStringLiteral("%1/%2/%3")
        .arg(date.year, 4, 10, QLatin1Char('0'))
        .arg(date.month, 2, 10, QLatin1Char('0'))
        .arg(date.day, 2, 10, QLatin1Char('0'));
}

CalendarDate calendarDate(const QDate& date) {
    if (!date.isValid())
        return {};
    return {date.year(), date.month(), date.day()};
}

std::optional<int> ageInYears(const CalendarDate& birth, const CalendarDate& on) {
    if (birth.empty() || on.empty())
        return std::nullopt;
    const auto key = [](const CalendarDate& d) { return d.month * 100 + d.day; };
    if (std::make_tuple(on.year, key(on)) < std::make_tuple(birth.year, key(birth)))
        return std::nullopt;
    int age = on.year - birth.year;
    if (key(on) < key(birth))
        --age;
    return age;
}
