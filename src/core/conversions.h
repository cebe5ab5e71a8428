#pragma once

#include <optional>
#include <QDate>
#include <QDateTime>
#include <QString>

// The conversion words of the mapping tables, with the error texts the operator knows.
namespace carvela::convert {

// "'%s' is not a valid integer value"
QString invalidIntegerMessage(const QString& text);
// "Could not convert variant of type (Null) into type (String)"
QString nullToStringMessage();

// A whole number as the POS and ERP hold one: decimal digits with an optional sign, blanks around
// them ignored (a CHAR column pads codes: " 904 " is 904); 32-bit range. Nothing else is one:
// "X1", "$1", "0x1A" and "1e3" are not, so a code with letters never lands on another record.
std::optional<int> parseWholeNumber(const QString& text);

// `int`: throws RowFailure("'%s' is not a valid integer value") when the text is not a whole number.
int toInt(const QString& text);
// `int(d)`: d when the text is not a whole number.
int toIntOr(const QString& text, int fallback);

// An integer of Parametros.ini, as the workstation's integer reader takes it: leading blanks, a
// sign, decimal or hexadecimal with a leading $, x, X, 0x or 0X ("$FFFFFFFF" is -1); nothing after
// the digits; 32-bit range.
std::optional<int> parseSettingInt(const QString& text);
// The same, throwing Failure("'%s' is not a valid integer value").
int settingToInt(const QString& text);
int settingToIntOr(const QString& text, int fallback);
// `right(n)`: the last n characters, the whole text when shorter.
QString right(const QString& text, int n);
// `dmy`: yyyy-mm-dd rearranged into dd/mm/yyyy by position (missing characters give nothing).
QString dmyText(const QString& isoText);
// `dmy` as a date value: the rearranged text read day first; nullopt when it is no valid date.
std::optional<QDate> dmyDate(const QString& isoText);
// Reads dd/mm/yyyy strictly (digits only, real calendar date).
std::optional<QDate> parseDayMonthYear(const QString& text);

// The zero date-time that a null column reads as: 30 December 1899, midnight.
QDateTime zeroDateTime();

} // namespace carvela::convert

namespace carvela {

// The POS keeps dates as text yyyy-mm-dd; characters after the tenth (a time of day) are ignored.
// Throws RowFailure("'dd/mm/yyyy' is not a valid date") with the rearranged text.
QDate IsoTextToDate(const QString& isoText);
// Strips every character whose code is 32 or less from both ends.
QString TrimText(const QString& text);

} // namespace carvela
