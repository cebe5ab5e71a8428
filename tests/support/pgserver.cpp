#include "support/pgserver.h"

#include <atomic>
#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

namespace carvela::test {

namespace {

constexpr int kLoginTimeoutSeconds = 5;

std::atomic<int> databaseCounter{0};
std::atomic<int> connectionCounter{0};

[[noreturn]] void fail(const QString& message)
{
    qCritical().noquote() << "PostgreSQL test server:" << message;
    throw PgServerError(message);
}

QString env(const char* name)
{
    return qEnvironmentVariable(name).trimmed();
}

QHash<QString, QString> readEnvFile(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        fail(QStringLiteral("CARVELA_PG_STATE names %1, which does not exist: the server was not started. "
                            "Run the test through ctest (its \"postgres_start\" fixture starts the server; "
                            "see that test's output), or start one by hand with "
                            "`bash scripts/pg-test-server.sh start %2`.")
                 .arg(path, QFileInfo(path).absolutePath()));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        fail(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    QHash<QString, QString> values;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        values.insert(line.left(eq).trimmed(), line.mid(eq + 1));
    }
    return values;
}

QString describe(const PgServer& s, const QString& db)
{
    return QStringLiteral("%1@%2:%3/%4").arg(s.user, s.host).arg(s.port).arg(db);
}

QString sanitizedPrefix(const QString& prefix)
{
    QString out = prefix.toLower();
    static const QRegularExpression notIdent(QStringLiteral("[^a-z0-9_]"));
    out.replace(notIdent, QStringLiteral("_"));
    if (out.isEmpty() || !out.at(0).isLetter())
        out.prepend(QLatin1Char('t'));
    return out.left(40);
}

QString quoteIdent(const QString& name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void requireDriver(const char* driver)
{
    if (!QSqlDatabase::isDriverAvailable(QString::fromLatin1(driver)))
        fail(QStringLiteral("the Qt Sql driver %1 is not available (installed drivers: %2); "
                            "run scripts/install-deps.sh")
                 .arg(QString::fromLatin1(driver), QSqlDatabase::drivers().join(QStringLiteral(", "))));
}

// Opens a configured connection or removes it again and throws.
QSqlDatabase openOrThrow(const QString& connectionName, const QString& what)
{
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        if (db.open())
            return db;
        error = db.lastError().text();
    }
    QSqlDatabase::removeDatabase(connectionName);
    fail(QStringLiteral("cannot open %1: %2").arg(what, error));
}

void addChecked(const char* driver, const QString& connectionName)
{
    requireDriver(driver);
    if (QSqlDatabase::contains(connectionName))
        fail(QStringLiteral("a connection named \"%1\" already exists").arg(connectionName));
    QSqlDatabase::addDatabase(QString::fromLatin1(driver), connectionName);
}

// Runs statements on a short-lived QPSQL connection to the maintenance database "postgres".
void adminExec(const QStringList& statements)
{
    const QString name = QStringLiteral("carvela_test_admin_%1").arg(connectionCounter.fetch_add(1) + 1);
    {
        QSqlDatabase db = openQpsql(QStringLiteral("postgres"), name);
        try {
            // No NOTICE lines ("... does not exist, skipping") in the test output.
            exec(db, QStringLiteral("SET client_min_messages = warning"));
            for (const QString& sql : statements)
                exec(db, sql);
        } catch (...) {
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

PgServerError::PgServerError(const QString& message)
    : std::runtime_error(message.toStdString())
{
}

PgServer server()
{
    PgServer s;
    if (!env("CARVELA_PG_HOST").isEmpty()) {
        // An explicitly configured server wins over the fixture's.
        s.host = env("CARVELA_PG_HOST");
        bool ok = false;
        s.port = env("CARVELA_PG_PORT").toInt(&ok);
        if (!ok)
            s.port = 5432;
        s.user = env("CARVELA_PG_USER");
        if (s.user.isEmpty())
            s.user = QStringLiteral("postgres");
        s.password = qEnvironmentVariable("CARVELA_PG_PASSWORD");
        s.clusterDir = env("CARVELA_PG_CLUSTER");
        s.dataDir = env("CARVELA_PG_DATA");
        s.binDir = env("CARVELA_PG_BIN");
        return s;
    }
    const QString stateFile = env("CARVELA_PG_STATE");
    if (stateFile.isEmpty())
        fail(QStringLiteral(
            "no PostgreSQL test server is configured. Run the test through ctest (the \"postgres\" fixture "
            "starts a private server), or by hand: `bash scripts/pg-test-server.sh start BUILD/pgtest` and "
            "then CARVELA_PG_STATE=BUILD/pgtest/pg.env ./tst_...; CARVELA_PG_HOST/PORT/USER/PASSWORD name "
            "another server."));
    const QHash<QString, QString> v = readEnvFile(stateFile);
    s.host = v.value(QStringLiteral("CARVELA_PG_HOST"));
    bool ok = false;
    s.port = v.value(QStringLiteral("CARVELA_PG_PORT")).toInt(&ok);
    s.user = v.value(QStringLiteral("CARVELA_PG_USER"), QStringLiteral("postgres"));
    s.password = v.value(QStringLiteral("CARVELA_PG_PASSWORD"));
    s.clusterDir = v.value(QStringLiteral("CARVELA_PG_CLUSTER"));
    s.dataDir = v.value(QStringLiteral("CARVELA_PG_DATA"));
    s.binDir = v.value(QStringLiteral("CARVELA_PG_BIN"));
    s.stateDir = QFileInfo(stateFile).absolutePath();
    if (s.host.isEmpty() || !ok || s.port <= 0)
        fail(QStringLiteral("%1 does not name a host and port").arg(stateFile));
    return s;
}

QString createDatabase(const QString& prefix)
{
    const QString base = sanitizedPrefix(prefix) + QLatin1Char('_') +
                         QString::number(QCoreApplication::applicationPid()) + QLatin1Char('_');
    for (int attempt = 0;; ++attempt) {
        const QString name = base + QString::number(databaseCounter.fetch_add(1) + 1);
        try {
            adminExec({QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0").arg(quoteIdent(name))});
            return name;
        } catch (const PgServerError& e) {
            // Left by an earlier process with the same id: take the next number.
            if (attempt < 20 && e.message().contains(QLatin1String("already exists")))
                continue;
            throw;
        }
    }
}

void dropDatabase(const QString& name)
{
    // WITH (FORCE) ends the database's sessions first (PostgreSQL 13+); the explicit terminate also
    // covers sessions that connect in between.
    QString literal = name;
    literal.replace(QLatin1Char('\''), QStringLiteral("''"));
    adminExec({QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                              "WHERE datname = '%1' AND pid <> pg_backend_pid()")
                   .arg(literal),
               QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(quoteIdent(name))});
}

QSqlDatabase openQpsql(const QString& db, const QString& connectionName)
{
    const PgServer s = server();
    addChecked("QPSQL", connectionName);
    {
        QSqlDatabase c = QSqlDatabase::database(connectionName, false);
        c.setHostName(s.host);
        c.setPort(s.port);
        c.setDatabaseName(db);
        c.setUserName(s.user);
        c.setPassword(s.password);
        c.setConnectOptions(QStringLiteral("connect_timeout=%1").arg(kLoginTimeoutSeconds));
    }
    return openOrThrow(connectionName, QStringLiteral("QPSQL %1").arg(describe(s, db)));
}

QString odbcDriverOptions()
{
    // psqlODBC ("PostgreSQL Unicode", 13.x) options for the ODBC test connections. Each was measured
    // against this server through Qt's QODBC driver:
    return QStringLiteral(
        // Plain TCP to the loopback server: no SSL negotiation round trip.
        "SSLmode=disable;"
        // Writable (some older driver versions defaulted to read-only).
        "ReadOnly=0;"
        // Statements are prepared on the server with real bound parameters, as SQL Server's ODBC driver
        // does. With client-side preparation the driver pastes typed literals into the text and the
        // server then rejects, say, an integer bound to a boolean column; prepared, it is accepted.
        "UseServerSidePrepare=1;"
        // boolean columns are described as SQL_BIT and read as the number 1/0, as a SQL Server bit column
        // reads through FreeTDS; the default (BoolsAsChar=1) reads them as the text "1"/"0".
        "BoolsAsChar=0;"
        // text is SQL_LONGVARCHAR. Values are read whole whatever the sizes below say (Qt fetches
        // strings piece by piece, checked up to 100 000 characters); the sizes are only what the driver
        // describes: varchar(n) reports n, varchar without a length 65535, text 65535.
        // UnknownSizes=2 would report the longest value in the result instead, even for varchar(n).
        "TextAsLongVarchar=1;"
        "UnknownSizes=0;"
        "MaxVarcharSize=65535;"
        "MaxLongVarcharSize=65535;"
        // A result is read whole when the statement runs (no cursor declared behind the scenes), so a
        // second statement can run on the connection while the first result is still being stepped.
        "UseDeclareFetch=0;");
}

QString odbcConnectionString(const QString& db)
{
    const PgServer s = server();
    return QStringLiteral("DRIVER={PostgreSQL Unicode};SERVER=%1;PORT=%2;DATABASE=%3;UID=%4;PWD=%5;")
               .arg(s.host)
               .arg(s.port)
               .arg(db, s.user, s.password) +
           odbcDriverOptions();
}

QSqlDatabase openOdbc(const QString& db, const QString& connectionName)
{
    const PgServer s = server();
    const QString connectionString = odbcConnectionString(db);
    addChecked("QODBC", connectionName);
    {
        QSqlDatabase c = QSqlDatabase::database(connectionName, false);
        c.setDatabaseName(connectionString);
        c.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(kLoginTimeoutSeconds));
    }
    return openOrThrow(connectionName, QStringLiteral("QODBC (psqlODBC) %1").arg(describe(s, db)));
}

QString initString(const QString& db)
{
    const PgServer s = server();
    return QStringLiteral("Provider=PostgreSQL;Data Source=%1;Port=%2;Initial Catalog=%3;User ID=%4;"
                          "Password=%5;Connect Timeout=%6")
        .arg(s.host)
        .arg(s.port)
        .arg(db, s.user, s.password)
        .arg(kLoginTimeoutSeconds);
}

QString odbcInitString(const QString& db)
{
    return QStringLiteral("Provider=MSDASQL;Extended Properties=\"%1\"").arg(odbcConnectionString(db));
}

void exec(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        fail(QStringLiteral("%1 failed on %2: %3")
                 .arg(sql.simplified().left(200), db.connectionName(), q.lastError().text()));
}

ScratchDatabase::ScratchDatabase(const QString& prefix)
    : name_(createDatabase(prefix))
{
}

ScratchDatabase::~ScratchDatabase()
{
    closeConnections();
    try {
        dropDatabase(name_);
    } catch (const PgServerError&) {
        // Already logged; a destructor must not throw. The cluster goes away with the run anyway.
    }
}

QString ScratchDatabase::uniqueConnectionName(const char* kind)
{
    return QStringLiteral("%1_%2_%3").arg(name_, QString::fromLatin1(kind)).arg(connectionCounter.fetch_add(1) + 1);
}

QSqlDatabase ScratchDatabase::qpsql(const QString& connectionName)
{
    const QString name = connectionName.isEmpty() ? uniqueConnectionName("qpsql") : connectionName;
    QSqlDatabase db = openQpsql(name_, name);
    connections_.append(name);
    return db;
}

QSqlDatabase ScratchDatabase::odbc(const QString& connectionName)
{
    const QString name = connectionName.isEmpty() ? uniqueConnectionName("odbc") : connectionName;
    QSqlDatabase db = openOdbc(name_, name);
    connections_.append(name);
    return db;
}

void ScratchDatabase::track(const QString& connectionName)
{
    if (!connections_.contains(connectionName))
        connections_.append(connectionName);
}

void ScratchDatabase::closeConnections()
{
    for (const QString& name : std::as_const(connections_)) {
        if (!QSqlDatabase::contains(name))
            continue;
        {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
    connections_.clear();
}

} // namespace carvela::test
