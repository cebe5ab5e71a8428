#pragma once

// The private PostgreSQL server of a test run (scripts/pg-test-server.sh, started by the CTest
// fixture "postgres"), and scratch databases on it.
//
// Where the server is: the env file named by CARVELA_PG_STATE (CTest sets it for every test), or
// CARVELA_PG_HOST / CARVELA_PG_PORT / CARVELA_PG_USER / CARVELA_PG_PASSWORD already in the
// environment. When neither is there, server() throws PgServerError: a PostgreSQL test never skips
// silently.
//
// Every function here throws PgServerError (after logging its message with qCritical, so the reason
// shows in the test output even where QtTest only reports "unhandled exception"). Tests that prefer
// a QtTest failure wrap a call in CARVELA_PG_REQUIRE(...).

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <stdexcept>

namespace carvela::test {

class PgServerError : public std::runtime_error {
public:
    explicit PgServerError(const QString& message);
    QString message() const { return QString::fromUtf8(what()); }
};

struct PgServer {
    QString host;
    int port = 0;
    QString user;
    QString password;
    QString clusterDir; // the temporary folder of the cluster (unix socket there); may be empty
    QString dataDir;    // the data directory (for pg_ctl); may be empty
    QString binDir;     // the server's bin directory; may be empty
    QString stateDir;   // the folder holding pg.env (for pg-test-server.sh pause/resume); may be empty
};

// The server this run uses. Throws PgServerError with a clear message when none is configured.
PgServer server();

// Creates a database with a unique, lower-case name: prefix + process id + counter. Returns the name.
QString createDatabase(const QString& prefix);
// Drops a database, ending its sessions first. No error when it does not exist.
void dropDatabase(const QString& name);

// Opens a QPSQL connection to a database of the test server under connectionName (which must be
// unused). UTF-8 session, login timeout set.
QSqlDatabase openQpsql(const QString& db, const QString& connectionName);
// Opens a QODBC connection through psqlODBC ("PostgreSQL Unicode"), DSN-less, login timeout set.
QSqlDatabase openOdbc(const QString& db, const QString& connectionName);

// The DSN-less ODBC connection string for a database: driver, server, port, database, user, password
// and the driver options in odbcDriverOptions().
QString odbcConnectionString(const QString& db);
// The psqlODBC options every ODBC test connection uses ("Key=Value;" pairs), in one place.
QString odbcDriverOptions();

// "Provider=PostgreSQL;Data Source=...;Port=...;Initial Catalog=db;User ID=...;Password=...;Connect Timeout=5"
QString initString(const QString& db);
// "Provider=MSDASQL;Extended Properties=\"<odbcConnectionString(db)>\"" - what a .udl in the field holds.
QString odbcInitString(const QString& db);

// A database that lives as long as the object: created on construction, dropped on destruction after
// the connections opened through it are closed and removed.
class ScratchDatabase {
public:
    explicit ScratchDatabase(const QString& prefix = QStringLiteral("scratch"));
    ~ScratchDatabase();
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;

    const QString& name() const { return name_; }

    // Open connections to this database; an empty connectionName makes a unique one. Each is
    // closed and removed before the database is dropped.
    QSqlDatabase qpsql(const QString& connectionName = {});
    QSqlDatabase odbc(const QString& connectionName = {});
    // Remembers a connection opened elsewhere (e.g. by the code under test) so that it is closed
    // and removed before the drop.
    void track(const QString& connectionName);
    // Closes and removes every connection opened or tracked here.
    void closeConnections();

    QString initString() const { return carvela::test::initString(name_); }
    QString odbcInitString() const { return carvela::test::odbcInitString(name_); }
    QString odbcConnectionString() const { return carvela::test::odbcConnectionString(name_); }

private:
    QString uniqueConnectionName(const char* kind);

    QString name_;
    QStringList connections_;
};

// Runs one SQL statement on an open connection; throws PgServerError with the driver's text on failure.
void exec(const QSqlDatabase& db, const QString& sql);

} // namespace carvela::test

// Evaluates an expression that may throw PgServerError; turns the error into a QtTest failure.
#define CARVELA_PG_REQUIRE(expr)                                                                                       \
    do {                                                                                                               \
        try {                                                                                                          \
            expr;                                                                                                      \
        } catch (const ::carvela::test::PgServerError& carvelaPgError) {                                               \
            QFAIL(carvelaPgError.what());                                                                              \
        }                                                                                                              \
    } while (false)
