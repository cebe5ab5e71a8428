#include "core/conversions.h"

#include "core/failure.h"

#include <limits>

namespace carvela::convert {

QString invalidIntegerMessage(const QString& text)
{
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

QString nullToStringMessage()
{
    return QStringLiteral("Could not convert variant of type (Null) into type (String)");
}

std::optional<int> parseSettingInt(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i) == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == u'-' || text.at(i) == u'+')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    int base = 10;
    if (i < n && text.at(i) == u'$') {
        base = 16;
        ++i;
    } else if (i < n && (text.at(i) == u'x' || text.at(i) == u'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text.at(i) == u'0' && (text.at(i + 1) == u'x' || text.at(i + 1) == u'X')) {
        base = 16;
        i += 2;
    }
    if (i >= n)
        return std::nullopt;
    // Hexadecimal is an unsigned 32-bit pattern ("$FFFFFFFF" is -1); decimal is signed.
    const qint64 limit = base == 16 ? qint64(0xFFFFFFFFLL) : qint64(std::numeric_limits<int>::max()) + 1;
    qint64 value = 0;
    for (; i < n; ++i) {
        const char16_t c = text.at(i).toLower().unicode();
        int digit = -1;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        if (digit < 0 || digit >= base)
            return std::nullopt;
        value = value * base + digit;
        if (value > limit)
            return std::nullopt;
    }
    if (base == 16) {
        const auto pattern = static_cast<int>(static_cast<quint32>(value));
        return negative ? static_cast<int>(0u - static_cast<quint32>(pattern)) : pattern;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

int settingToInt(const QString& text)
{
    if (const auto value = parseSettingInt(text))
        return *value;
    throw Failure(invalidIntegerMessage(text));
}

int settingToIntOr(const QString& text, int fallback)
{
    return parseSettingInt(text).value_or(fallback);
}

std::optional<int> parseWholeNumber(const QString& text)
{
    const QString digits = TrimText(text);
    qsizetype i = 0;
    const qsizetype n = digits.size();
    bool negative = false;
    if (i < n && (digits.at(i) == u'-' || digits.at(i) == u'+')) {
        negative = digits.at(i) == u'-';
        ++i;
    }
    if (i >= n)
        return std::nullopt;
    qint64 value = 0;
    for (; i < n; ++i) {
        const char16_t c = digits.at(i).unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > qint64(std::numeric_limits<int>::max()) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

int toInt(const QString& text)
{
    if (const auto value = parseWholeNumber(text))
        return *value;
    throw RowFailure(invalidIntegerMessage(text));
}

int toIntOr(const QString& text, int fallback)
{
    return parseWholeNumber(text).value_or(fallback);
}

QString right(const QString& text, int n)
{
    return text.size() <= n ? text : text.right(n);
}

QString dmyText(const QString& isoText)
{
    return isoText.mid(8, 2) + u'/' + isoText.mid(5, 2) + u'/' + isoText.mid(0, 4);
}

std::optional<QDate> parseDayMonthYear(const QString& text)
{
    const QStringList parts = text.split(u'/');
    if (parts.size() != 3)
        return std::nullopt;
    int numbers[3] = {};
    for (int i = 0; i < 3; ++i) {
        const QString& part = parts.at(i);
        if (part.isEmpty() || part.size() > 4)
            return std::nullopt;
        for (const QChar c : part)
            if (c < u'0' || c > u'9')
                return std::nullopt;
        numbers[i] = part.toInt();
    }
    const QDate date(numbers[2], numbers[1], numbers[0]);
    if (!date.isValid() || numbers[2] < 1)
        return std::nullopt;
    return date;
}

std::optional<QDate> dmyDate(const QString& isoText)
{
    return parseDayMonthYear(dmyText(isoText));
}

QDateTime zeroDateTime()
{
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

} // namespace carvela::convert

namespace carvela {

QDate IsoTextToDate(const QString& isoText)
{
    const QString joined = convert::dmyText(isoText);
    if (const auto date = convert::parseDayMonthYear(joined))
        return *date;
    throw RowFailure(QStringLiteral("'%1' is not a valid date").arg(joined));
}

QString TrimText(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

} // namespace carvela
