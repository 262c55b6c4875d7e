#include "ui/dialogs/FieldValidation.h"

#include <charconv>
#include <cmath>
#include <string>

namespace kelvane {

namespace {

constexpr int kIntegerChars = 64;
constexpr int kNumberChars = 400;

// The leading ASCII part of the text after white space, as the C conversions would see it.
std::string leadingAscii(const QString& text, int maxChars) {
    const QString cut = text.left(maxChars);
    int pos = 0;
    while (pos < cut.size() && cut[pos].isSpace()) {
        ++pos;
    }
    std::string narrow;
    for (; pos < cut.size() && cut[pos].unicode() < 0x80; ++pos) {
        narrow.push_back(char(cut[pos].unicode()));
    }
    return narrow;
}

// Bounds as the messages show them: the shortest form that reads back to the same value.
QString formatBound(double value) {
    return QString::number(value, 'g', 15);
}

}  // namespace

QString integerRangeMessage(int64_t low, int64_t high) {
    return QStringLiteral("%1 から %2 までの整数を入力してください。").arg(low).arg(high);
}

QString numberRangeMessage(double low, double high) {
    return QStringLiteral("%1 から %2 までの数字を入力してください。")
        .arg(formatBound(low), formatBound(high));
}

QString textLengthMessage(int maxUnits) {
    return QStringLiteral("%1 文字以内で入力してください。").arg(maxUnits);
}

QString notIntegerMessage() {
    return QStringLiteral("整数を入力してください。");
}

QString notPositiveIntegerMessage() {
    return QStringLiteral("正の整数を入力してください。");
}

QString notNumberMessage() {
    return QStringLiteral("数字を入力してください。");
}

std::optional<int64_t> readInteger(const QString& text) {
    const std::string narrow = leadingAscii(text, kIntegerChars);
    const char* first = narrow.data();
    const char* last = first + narrow.size();
    bool negative = false;
    if (first != last && (*first == '+' || *first == '-')) {
        negative = *first == '-';
        ++first;
    }
    uint64_t magnitude = 0;
    const auto r = std::from_chars(first, last, magnitude);
    if (r.ec != std::errc() || magnitude > uint64_t(INT64_MAX)) {
        return std::nullopt;
    }
    return negative ? -int64_t(magnitude) : int64_t(magnitude);
}

std::optional<double> readNumber(const QString& text) {
    const std::string narrow = leadingAscii(text, kNumberChars);
    const char* first = narrow.data();
    const char* last = first + narrow.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && (*first == '+' || *first == '-')) {
            return std::nullopt;
        }
    }
    double value = 0;
    const auto r = std::from_chars(first, last, value);
    if (r.ec != std::errc() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<QString> checkUnsigned(const QString& text, uint32_t low, uint32_t high,
                                     uint32_t& value) {
    const std::optional<int64_t> read = readInteger(text);
    if (!read || *read < 0) {
        return notPositiveIntegerMessage();
    }
    if (*read < int64_t(low) || *read > int64_t(high)) {
        return integerRangeMessage(low, high);
    }
    value = uint32_t(*read);
    return std::nullopt;
}

std::optional<QString> checkNumber(const QString& text, double low, double high, double& value) {
    const std::optional<double> read = readNumber(text);
    if (!read) {
        return notNumberMessage();
    }
    if (*read < low || *read > high) {
        return numberRangeMessage(low, high);
    }
    value = *read;
    return std::nullopt;
}

std::optional<QString> checkLength(const QString& text, int maxUnits) {
    if (text.size() > maxUnits) {
        return textLengthMessage(maxUnits);
    }
    return std::nullopt;
}

}  // namespace kelvane
