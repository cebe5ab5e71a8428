#include "core/inifile.h"

#include "core/failure.h"

#include <algorithm>
#include <optional>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace carvela {

namespace {

const QByteArray utf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");

// "[name]" gives the name between the brackets; any other line gives nothing.
std::optional<QString> sectionOf(const QString& line)
{
    const QString text = line.trimmed();
    if (!text.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = text.indexOf(u']');
    if (close < 0)
        return std::nullopt;
    return text.mid(1, close - 1).trimmed();
}

// Position of the '=' of a key line; -1 for headers, comments and lines without one.
qsizetype separatorOf(const QString& line)
{
    if (line.trimmed().startsWith(u';') || sectionOf(line))
        return -1;
    return line.indexOf(u'=');
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

qsizetype findSection(const QStringList& lines, const QString& section)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto name = sectionOf(lines.at(i));
        if (name && sameName(*name, section))
            return i;
    }
    return -1;
}

// The line after the last line of the section that starts at header.
qsizetype sectionEnd(const QStringList& lines, qsizetype header)
{
    qsizetype end = header + 1;
    while (end < lines.size() && !sectionOf(lines.at(end)))
        ++end;
    return end;
}

qsizetype findKey(const QStringList& lines, qsizetype header, const QString& key)
{
    const qsizetype end = sectionEnd(lines, header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const QString& line = lines.at(i);
        const qsizetype separator = separatorOf(line);
        if (separator >= 0 && sameName(line.left(separator).trimmed(), key))
            return i;
    }
    return -1;
}

} // namespace

IniFile::IniFile(QString path)
    : m_path(std::move(path))
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QByteArray bytes = file.readAll();
    m_bom = bytes.startsWith(utf8Bom);
    if (m_bom)
        bytes.remove(0, utf8Bom.size());
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        text = QString::fromLatin1(bytes);
        m_latin1 = true;
        m_bom = false;
    }
    if (!text.contains(u"\r\n") && text.contains(u'\n'))
        m_lineEnd = QStringLiteral("\n");
    if (text.isEmpty())
        return;
    m_lines = text.split(u'\n');
    if (m_lines.last().isEmpty())
        m_lines.removeLast(); // the break that ends the last line
    for (QString& line : m_lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
}

QString IniFile::value(const QString& section, const QString& key, const QString& fallback) const
{
    const qsizetype header = findSection(m_lines, section);
    if (header < 0)
        return fallback;
    const qsizetype at = findKey(m_lines, header, key);
    if (at < 0)
        return fallback;
    const QString& line = m_lines.at(at);
    return line.mid(separatorOf(line) + 1).trimmed().left(maxValueLength);
}

void IniFile::setValue(const QString& section, const QString& key, const QString& value)
{
    QStringList lines = m_lines;
    const qsizetype header = findSection(lines, section);
    if (header < 0) {
        lines.append(QString(u'[' + section + u']'));
        lines.append(QString(key + u'=' + value));
    } else if (const qsizetype found = findKey(lines, header, key); found >= 0) {
        // The key keeps the spelling the file gives it.
        const QString& line = lines.at(found);
        lines[found] = line.left(separatorOf(line)).trimmed() + u'=' + value;
    } else {
        qsizetype at = sectionEnd(lines, header);
        while (at > header + 1 && lines.at(at - 1).trimmed().isEmpty())
            --at;
        lines.insert(at, QString(key + u'=' + value));
    }
    write(lines);
}

void IniFile::removeSection(const QString& section)
{
    QStringList lines = m_lines;
    bool removed = false;
    for (qsizetype header; (header = findSection(lines, section)) >= 0; removed = true)
        lines.remove(header, sectionEnd(lines, header) - header);
    if (removed)
        write(lines);
}

void IniFile::write(const QStringList& lines)
{
    QString text;
    for (const QString& line : lines)
        text += line + m_lineEnd;
    // A Latin-1 file stays Latin-1 until it has to hold a character Latin-1 lacks.
    const bool latin1 =
        m_latin1 && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0xFF; });
    QByteArray bytes = latin1 ? text.toLatin1() : text.toUtf8();
    if (m_bom)
        bytes.prepend(utf8Bom);

    QSaveFile file(m_path);
    file.setDirectWriteFallback(true); // a writable file in a read-only folder is still written
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Failure(QStringLiteral("Unable to write to ") + m_path);
    m_lines = lines;
    m_latin1 = latin1;
}

} // namespace carvela
