#pragma once

#include "integration/integration.h"
#include "support/recordingdialogs.h"
#include "support/testdatabase.h"

#include <memory>
#include <QTemporaryDir>

namespace carvela::test {

// A whole station on one engine: the POS, ERP and cloud databases with their schemas, a settings
// file and a .udl pointing at them, and the Integration with its sections, lists loaded, switch on.
// The ERP holds company 1 with branch 1 ("Posto Central"); tests add the rows they care about.
class TestStation {
public:
    // The cloud goes on the same engine (PostgreSQL through QPSQL for the ODBC station) unless
    // cloudEngine names another.
    TestStation(const QString& engine, const QString& prefix, const QString& cloudEngine = {});
    ~TestStation();

    // Builds the Integration as the program starts: settings read, lists loaded, switch on.
    // Settings keys given here are written to Parametros.ini first.
    void start(const QList<std::pair<QString, QString>>& settingsKeys = {});
    // Only writes the station's files (the .udl and Parametros.ini), for the program to run on.
    void writeFiles(const QList<std::pair<QString, QString>>& settingsKeys = {});
    QString directory() const { return m_dir.path(); }
    // The settings section of a connection, written before start() (e.g. a cloud that is down).
    void overrideConnection(const QString& section, const QString& connectionString);

    Integration& integration() { return *m_integration; }
    StationState& state() { return m_integration->state(); }
    QSqlDatabase pos() { return m_pos.raw(); }
    QSqlDatabase erp() { return m_erp.raw(); }
    QSqlDatabase cloud() { return m_cloud.raw(); }
    const QString& engine() const { return m_engine; }
    QString settingsPath() const;

    RecordingDialogs dialogs;

private:
    QString m_engine;
    QTemporaryDir m_dir;
    TestDatabase m_pos;
    TestDatabase m_erp;
    TestDatabase m_cloud;
    std::unique_ptr<Integration> m_integration;
    QList<std::pair<QString, QString>> m_connectionOverrides;
};

// Makes the station's ERP refuse, for its data, every ContaCorrente row with this Descricao: a
// trigger that raises a constraint error (SQLite) or a check violation (PostgreSQL).
void refuseAccountRows(TestStation& station, const QString& description);

} // namespace carvela::test
