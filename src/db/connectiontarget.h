#pragma once

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace carvela {

// Where a connection goes, as the Qt Sql drivers need it. Built from an OLE DB init string
// (the content of a .udl file, or a connection section of Parametros.ini).
struct ConnectionTarget {
    enum class Engine { Odbc, PostgreSql, Sqlite };

    Engine engine = Engine::Odbc;
    // Odbc: the whole ODBC connection string handed to the driver manager (password included).
    QString odbcConnectionString;
    // PostgreSql: host, port (-1: the driver's default), database, user, password.
    // Odbc: the same fields are filled for describe() and secrets() only (host then holds the SQL
    // Server data source as host[\instance][,port]); the driver reads odbcConnectionString alone.
    QString host;
    int port = -1;
    QString database;
    QString user;
    QString password;
    // Sqlite: the database file; with a schema name, the file is attached under that name to an
    // in-memory main database (the cloud's tables are addressed as velcor.<table>).
    QString sqliteFile;
    QString sqliteSchema;
    // Seconds to wait for a server to accept a login before failing.
    int loginTimeoutSeconds = 15;

    // A one-line description for messages: engine, server, database, user; never the password.
    QString describe() const;
    // Every secret this target carries (passwords), so that messages can be scrubbed of them.
    QStringList secrets() const;
};

// The key=value pairs of an OLE DB init string, in order, keys as written, values unquoted.
std::vector<std::pair<QString, QString>> parseInitString(const QString& initString);

// Provider SQLOLEDB*, SQLNCLI*, MSOLEDBSQL* (SQL Server through ODBC), MSDASQL (the ODBC string in
// Extended Properties), PostgreSQL and SQLite (this system's own). Throws Failure naming what is wrong.
// udlPath names the .udl file the string came from: its folder anchors a relative SQLite path and
// its name goes into the messages.
ConnectionTarget targetFromInitString(const QString& initString, const QString& udlPath = {});

// Reads a .udl data-link file: UTF-16LE with BOM (UTF-8 accepted), "[oledb]", a comment line, then one
// init string. Throws Failure naming the file when it is missing, unreadable or garbled.
ConnectionTarget readUdlFile(const QString& path);

// Writes a .udl data-link file as the platform's own tools do: UTF-16LE with a BOM, "[oledb]", the
// comment line, the init string. Throws Failure("Unable to write to <path>").
void writeUdlFile(const QString& path, const QString& initString);

// "FILE NAME=<path>" reads that .udl file; anything else is taken as an init string.
ConnectionTarget targetFromConnectionString(const QString& connectionString);

} // namespace carvela
