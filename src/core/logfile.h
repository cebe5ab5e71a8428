#pragma once

#include <QString>
#include <QStringList>

namespace carvela {

// carvela.log beside Parametros.ini: every log entry and every cycle summary, with a timestamp, so
// the integrator still sees after a restart what happened last night. Append-only; when the file
// passes its size it becomes carvela.log.1 (the older ones move up, the oldest goes). Created
// readable by its owner only. Writing never throws: a log that cannot be written must not stop
// the station.
class LogFile {
public:
    static constexpr qint64 defaultMaximumBytes = 4 * 1024 * 1024;
    static constexpr int defaultKeptFiles = 3;

    explicit LogFile(QString path, qint64 maximumBytes = defaultMaximumBytes, int keptFiles = defaultKeptFiles);

    const QString& path() const { return m_path; }
    // One entry; the lines after its first are indented under the timestamp.
    void write(const QString& entry);
    void write(const QStringList& lines);

    // "carvela.log" in the folder of the settings file.
    static QString besideSettings(const QString& settingsPath);

private:
    void rotate();

    QString m_path;
    qint64 m_maximumBytes;
    int m_keptFiles;
};

} // namespace carvela
