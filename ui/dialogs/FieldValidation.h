#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace kelvane {

// Reading what the user typed into a dialog's edit field, as the dialogs check it on OK. Each
// check returns the message to show when the text is refused, or nothing when `value` was set.
// Fields never clamp: a value outside its range is refused with its message and changes nothing.

// "%1 から %2 までの整数を入力してください。" and its companions.
QString integerRangeMessage(int64_t low, int64_t high);
QString numberRangeMessage(double low, double high);
QString textLengthMessage(int maxUnits);
QString notIntegerMessage();          // "整数を入力してください。"
QString notPositiveIntegerMessage();  // "正の整数を入力してください。"
QString notNumberMessage();           // "数字を入力してください。"

// Like "%ld": white space, an optional sign, decimal digits; text after the digits is ignored.
// Nothing when no digit is there or the number leaves 64 bits. Reads at most 64 characters.
std::optional<int64_t> readInteger(const QString& text);
// Like "%lf": a finite decimal number after white space; text after it is ignored. Reads at most
// 400 characters.
std::optional<double> readNumber(const QString& text);

// An unsigned field with a range: unreadable text or a minus sign gives
// "正の整数を入力してください。".
std::optional<QString> checkUnsigned(const QString& text, uint32_t low, uint32_t high,
                                     uint32_t& value);
// A floating field with a range: unreadable text gives "数字を入力してください。".
std::optional<QString> checkNumber(const QString& text, double low, double high, double& value);
// A text field of at most maxUnits UTF-16 units.
std::optional<QString> checkLength(const QString& text, int maxUnits);

}  // namespace kelvane
