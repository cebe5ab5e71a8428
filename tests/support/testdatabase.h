#pragma once

#include "support/pgserver.h"

#include <memory>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace carvela::test {

// The engines every database test runs on: SQLite files, PostgreSQL through QPSQL, and PostgreSQL
// through QODBC + psqlODBC (the ODBC path SQL Server takes in the field).
QStringList engines();
// For initTestCase_data: the column "engine" with one row per engine, so every test of the file
// runs on each of them.
void addEngineRows();

// One fresh database on one engine, gone with the object. initString() is what a Connection of
// the system takes; raw() is a plain connection for setting up rows and checking them.
class TestDatabase {
public:
    TestDatabase(const QString& engine, const QString& prefix);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    const QString& engine() const { return m_engine; }
    QString initString() const;
    QSqlDatabase raw();
    // Runs statements on raw(); throws on the first failure.
    void exec(const QStringList& statements);
    // The SQLite file (empty on PostgreSQL).
    QString file() const { return m_file; }

private:
    QString m_engine;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScratchDatabase> m_pg;
    QString m_file;
    QString m_rawName;
};

} // namespace carvela::test
