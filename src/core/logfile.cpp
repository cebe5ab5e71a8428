#include "core/logfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace carvela {

LogFile::LogFile(QString path, qint64 maximumBytes, int keptFiles)
    : m_path(std::move(path))
    , m_maximumBytes(maximumBytes)
    , m_keptFiles(keptFiles)
{
}

QString LogFile::besideSettings(const QString& settingsPath)
{
    return QFileInfo(settingsPath).absoluteDir().filePath(QStringLiteral("carvela.log"));
}

void LogFile::write(const QString& entry)
{
    write(QString(entry).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n').split(u'\n'));
}

void LogFile::write(const QStringList& lines)
{
    if (lines.isEmpty())
        return;
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss "));
    const QString indent(stamp.size(), u' ');
    QString text;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        text.append(i == 0 ? stamp : indent);
        text.append(lines.at(i));
        text.append(u'\n');
    }
    const QByteArray bytes = text.toUtf8();

    if (QFileInfo(m_path).size() + bytes.size() > m_maximumBytes && QFileInfo::exists(m_path))
        rotate();
    QFile file(m_path);
    const bool created = !file.exists();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    if (created)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(bytes);
}

void LogFile::rotate()
{
    const auto numbered = [this](int n) { return QStringLiteral("%1.%2").arg(m_path).arg(n); };
    QFile::remove(numbered(m_keptFiles));
    for (int n = m_keptFiles - 1; n >= 1; --n)
        if (QFile::exists(numbered(n)))
            QFile::rename(numbered(n), numbered(n + 1));
    if (m_keptFiles >= 1)
        QFile::rename(m_path, numbered(1));
    else
        QFile::remove(m_path);
}

} // namespace carvela
