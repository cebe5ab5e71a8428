#pragma once

#include <QString>
#include <QStringList>

namespace carvela {

// An INI file read and written the way the Windows private-profile functions do it, because
// operators edit Parametros.ini by hand and carry it between workstations:
// - section and key names match without regard to case; the first match wins;
// - a value is the text after the first '=' with surrounding blanks removed, at most 2047
//   characters of it;
// - writing a key replaces its line in place, or adds it after the last line of its section
//   (the section is added at the end of the file when missing);
// - every other line (other sections and keys, blank lines, ';' comments) is kept as it was;
// - every change goes to disk at once; a change that cannot be written throws
//   Failure("Unable to write to <path>") and leaves the object as it was before the change.
// The file is read as UTF-8, or as Latin-1 when it is not valid UTF-8 (a file saved by an older
// Windows editor), and written back in the encoding and line-ending style it came in; a new file
// is UTF-8 with CRLF line endings. A missing or unreadable file reads as empty.
class IniFile {
public:
    static constexpr qsizetype maxValueLength = 2047;

    explicit IniFile(QString path);

    const QString& path() const { return m_path; }

    QString value(const QString& section, const QString& key, const QString& fallback = {}) const;

    void setValue(const QString& section, const QString& key, const QString& value);
    // Removes every section of that name with all its lines; nothing is written when there is none.
    void removeSection(const QString& section);

private:
    void write(const QStringList& lines);

    QString m_path;
    QStringList m_lines;
    QString m_lineEnd = QStringLiteral("\r\n");
    bool m_latin1 = false;
    bool m_bom = false;
};

} // namespace carvela
