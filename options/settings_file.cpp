// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings_file.h"

#include "plain_decimal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <limits>
#include <string_view>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isLineBreak(char c) {
    return c == '\r' || c == '\n';
}

QString shownFileName(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// A field as it may appear in an error text: junk bytes must not turn the message into noise.
QString printableField(std::string_view field) {
    constexpr size_t kShown = 20;
    QString text;
    for (size_t i = 0; i < field.size() && i < kShown; ++i) {
        const char c = field[i];
        text += (c >= 0x21 && c <= 0x7E) ? QChar::fromLatin1(c) : QChar(u'?');
    }
    if (field.size() > kShown)
        text += QStringLiteral("...");
    return text;
}

// Every failure also says what the file should hold, so the user can mend it by hand: the
// program ends at start-up without it, before the options window could write a new one.
ToleranceReadResult failed(ToleranceFileError failure, const QString& error) {
    ToleranceReadResult result;
    result.failure = failure;
    result.error = error + QStringLiteral("\n正しい設定ファイルは、明るさの許容値と暗さの許容値を"
                                          "カンマで区切った1行です。\n例: 0,40");
    return result;
}

} // namespace

ToleranceReadResult parseToleranceText(QByteArrayView content, const QString& shownPath) {
    if (content.size() > kToleranceFileMaxBytes) {
        return failed(ToleranceFileError::TooLarge,
                      QStringLiteral("設定ファイル %1 が大きすぎます（%2 バイトを超えています）。")
                          .arg(shownPath, QString::number(kToleranceFileMaxBytes)));
    }

    const std::string_view text(content.data(), static_cast<size_t>(content.size()));
    // Some editors begin a saved file with a UTF-8 byte-order mark; it is not part of a value.
    size_t pos = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    int16_t values[2] = {0, 0};
    for (int field = 0; field < 2; ++field) {
        while (pos < text.size() && (isBlank(text[pos]) || isLineBreak(text[pos])))
            ++pos;
        if (pos == text.size()) {
            return failed(ToleranceFileError::MissingValue,
                          QStringLiteral("設定ファイル %1 には値が2つ必要ですが、"
                                         "%2つ目の値の前でファイルが終わっています。")
                              .arg(shownPath, QString::number(field + 1)));
        }
        const size_t start = pos;
        while (pos < text.size() && text[pos] != ',' && !isBlank(text[pos]) &&
               !isLineBreak(text[pos]))
            ++pos;
        const std::string_view fieldText = text.substr(start, pos - start);
        while (pos < text.size() && isBlank(text[pos]))
            ++pos;
        if (pos < text.size() && text[pos] == ',')
            ++pos;

        const auto number = parsePlainDecimal(fieldText);
        if (!number)
            continue; // not a number: reads as 0
        const int64_t value = number->rounded();
        if (value < std::numeric_limits<int16_t>::min() ||
            value > std::numeric_limits<int16_t>::max()) {
            return failed(
                ToleranceFileError::OutOfRange,
                QStringLiteral("設定ファイル %1 の%2つ目の値 %3 は"
                               " -32768 から 32767 の範囲外です。")
                    .arg(shownPath, QString::number(field + 1), printableField(fieldText)));
        }
        values[field] = static_cast<int16_t>(value);
    }

    ToleranceReadResult result;
    result.ok = true;
    result.brightness = values[0];
    result.darkness = values[1];
    return result;
}

ToleranceReadResult readToleranceFile(const QString& path) {
    const QString shown = shownFileName(path);
    QFile file(path);
    const bool isFolder = QFileInfo(path).isDir();
    if (isFolder || !file.open(QIODevice::ReadOnly)) {
        const QString reason = isFolder ? QStringLiteral("フォルダーです") : file.errorString();
        return failed(
            ToleranceFileError::Unreadable,
            QStringLiteral("設定ファイル %1 を読み込めません（%2）。").arg(shown, reason));
    }
    // One byte over the cap is enough to tell that the file is too large, whatever its size
    // claims to be (a device or pipe reports none).
    const QByteArray content = file.read(kToleranceFileMaxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        return failed(ToleranceFileError::Unreadable,
                      QStringLiteral("設定ファイル %1 を読み込めません（%2）。")
                          .arg(shown, file.errorString()));
    }
    return parseToleranceText(content, shown);
}

QByteArray toleranceFileBytes(int16_t brightness, int16_t darkness) {
    return QByteArray::number(brightness) + ',' + QByteArray::number(darkness) + "\r\n";
}

WriteResult writeToleranceFile(const QString& dir, int16_t brightness, int16_t darkness) {
    const QString path =
        QFileInfo(QDir(dir).filePath(QString::fromLatin1(kToleranceFileName))).absoluteFilePath();
    WriteResult written =
        writeWholeFile(path, toleranceFileBytes(brightness, darkness), InPlace::InReadOnlyFolder);
    if (!written.ok)
        written.error = QStringLiteral("設定ファイル %1 を保存できません（%2）。")
                            .arg(QDir::toNativeSeparators(path), written.systemText);
    return written;
}
