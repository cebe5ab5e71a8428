// The private PostgreSQL test server and the support around it: scratch databases, QPSQL and QODBC
// (psqlODBC) connections, accented text arriving unchanged on both paths.

#include "support/pgserver.h"

#include <optional>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

using namespace carvela::test;

namespace {

const QString kAccented = QStringLiteral("Depósito em espécie");

// Runs a query expected to give one row, one column.
QVariant scalar(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql) || !q.next())
        throw PgServerError(sql + QStringLiteral(": ") + q.lastError().text());
    return q.value(0);
}

bool databaseExists(const QString& name)
{
    const QString conn = QStringLiteral("tst_pgserver_probe");
    bool exists = false;
    {
        QSqlDatabase admin = openQpsql(QStringLiteral("postgres"), conn);
        {
            QSqlQuery q(admin);
            q.prepare(QStringLiteral("SELECT count(*) FROM pg_database WHERE datname = ?"));
            q.addBindValue(name);
            if (!q.exec() || !q.next())
                throw PgServerError(q.lastError().text());
            exists = q.value(0).toInt() == 1;
        }
        admin.close();
    }
    QSqlDatabase::removeDatabase(conn);
    return exists;
}

} // namespace

class TestPgServer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void serverIsConfigured();
    void accentedTextThroughQpsql();
    void accentedTextThroughOdbc();
    void eachPathReadsWhatTheOtherWrote();
    void odbcReadsLongTextWhole();
    void odbcDriverOptionsHold();
    void initStringsNameTheServer();
    void createdNamesAreUniqueAndLowerCase();
    void dropEndsOpenSessions();
    void scratchDatabaseClosesAndDrops();
};

void TestPgServer::initTestCase()
{
    QVERIFY2(QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")), "the QPSQL driver is not installed");
    QVERIFY2(QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")), "the QODBC driver is not installed");
}

void TestPgServer::serverIsConfigured()
{
    PgServer s;
    CARVELA_PG_REQUIRE(s = server());
    QCOMPARE(s.host, QStringLiteral("127.0.0.1"));
    QVERIFY(s.port > 0);
    QCOMPARE(s.user, QStringLiteral("postgres"));
    QVERIFY(!s.password.isEmpty());
}

void TestPgServer::accentedTextThroughQpsql()
{
    std::optional<ScratchDatabase> scratch;
    CARVELA_PG_REQUIRE(scratch.emplace(QStringLiteral("pgserver_qpsql")));
    QSqlDatabase db;
    CARVELA_PG_REQUIRE(db = scratch->qpsql());

    QCOMPARE(scalar(db, QStringLiteral("SHOW server_encoding")).toString(), QStringLiteral("UTF8"));
    QCOMPARE(scalar(db, QStringLiteral("SELECT pg_client_encoding()")).toString(), QStringLiteral("UTF8"));

    CARVELA_PG_REQUIRE(exec(db, QStringLiteral("CREATE TABLE movimento (id integer PRIMARY KEY, "
                                               "historico varchar(60), obs text)")));
    QSqlQuery insert(db);
    QVERIFY(insert.prepare(QStringLiteral("INSERT INTO movimento (id, historico, obs) VALUES (?, ?, ?)")));
    insert.addBindValue(1);
    insert.addBindValue(kAccented);
    insert.addBindValue(kAccented);
    QVERIFY2(insert.exec(), qPrintable(insert.lastError().text()));

    QSqlQuery read(db);
    QVERIFY2(read.exec(QStringLiteral("SELECT historico, obs, length(historico), octet_length(historico) "
                                      "FROM movimento WHERE id = 1")),
             qPrintable(read.lastError().text()));
    QVERIFY(read.next());
    QCOMPARE(read.value(0).toString(), kAccented);
    QCOMPARE(read.value(1).toString(), kAccented);
    // Stored as UTF-8 on the server: one character each, two bytes for each accented letter.
    QCOMPARE(read.value(2).toInt(), kAccented.size());
    QCOMPARE(read.value(3).toInt(), kAccented.toUtf8().size());
}

void TestPgServer::accentedTextThroughOdbc()
{
    std::optional<ScratchDatabase> scratch;
    CARVELA_PG_REQUIRE(scratch.emplace(QStringLiteral("pgserver_odbc")));
    QSqlDatabase db;
    CARVELA_PG_REQUIRE(db = scratch->odbc());
    QCOMPARE(db.driverName(), QStringLiteral("QODBC"));

    CARVELA_PG_REQUIRE(exec(db, QStringLiteral("CREATE TABLE movimento (id integer PRIMARY KEY, "
                                               "historico varchar(60), obs text)")));
    QSqlQuery insert(db);
    QVERIFY(insert.prepare(QStringLiteral("INSERT INTO movimento (id, historico, obs) VALUES (?, ?, ?)")));
    insert.addBindValue(1);
    insert.addBindValue(kAccented);
    insert.addBindValue(kAccented);
    QVERIFY2(insert.exec(), qPrintable(insert.lastError().text()));

    QSqlQuery read(db);
    QVERIFY2(read.exec(QStringLiteral("SELECT historico, obs, length(historico), octet_length(historico) "
                                      "FROM movimento WHERE id = 1")),
             qPrintable(read.lastError().text()));
    QVERIFY(read.next());
    QCOMPARE(read.value(0).toString(), kAccented);
    QCOMPARE(read.value(1).toString(), kAccented);
    QCOMPARE(read.value(2).toInt(), kAccented.size());
    QCOMPARE(read.value(3).toInt(), kAccented.toUtf8().size());

    // A literal in the statement text arrives unchanged too.
    QSqlQuery literal(db);
    QVERIFY2(literal.exec(QStringLiteral("SELECT count(*) FROM movimento WHERE historico = 'Depósito em espécie'")),
             qPrintable(literal.lastError().text()));
    QVERIFY(literal.next());
    QCOMPARE(literal.value(0).toInt(), 1);
}

void TestPgServer::eachPathReadsWhatTheOtherWrote()
{
    std::optional<ScratchDatabase> scratch;
    CARVELA_PG_REQUIRE(scratch.emplace(QStringLiteral("pgserver_cross")));
    QSqlDatabase qpsql;
    QSqlDatabase odbc;
    CARVELA_PG_REQUIRE(qpsql = scratch->qpsql());
    CARVELA_PG_REQUIRE(odbc = scratch->odbc());
    CARVELA_PG_REQUIRE(exec(qpsql, QStringLiteral("CREATE TABLE t (id integer PRIMARY KEY, txt text)")));

    QSqlQuery viaQpsql(qpsql);
    QVERIFY(viaQpsql.prepare(QStringLiteral("INSERT INTO t VALUES (1, ?)")));
    viaQpsql.addBindValue(kAccented);
    QVERIFY2(viaQpsql.exec(), qPrintable(viaQpsql.lastError().text()));
    QSqlQuery viaOdbc(odbc);
    QVERIFY(viaOdbc.prepare(QStringLiteral("INSERT INTO t VALUES (2, ?)")));
    viaOdbc.addBindValue(kAccented);
    QVERIFY2(viaOdbc.exec(), qPrintable(viaOdbc.lastError().text()));

    QCOMPARE(scalar(odbc, QStringLiteral("SELECT txt FROM t WHERE id = 1")).toString(), kAccented);
    QCOMPARE(scalar(qpsql, QStringLiteral("SELECT txt FROM t WHERE id = 2")).toString(), kAccented);
}

void TestPgServer::odbcReadsLongTextWhole()
{
    std::optional<ScratchDatabase> scratch;
    CARVELA_PG_REQUIRE(scratch.emplace(QStringLiteral("pgserver_long")));
    QSqlDatabase db;
    CARVELA_PG_REQUIRE(db = scratch->odbc());
    CARVELA_PG_REQUIRE(exec(db, QStringLiteral("CREATE TABLE t (id integer PRIMARY KEY, txt text, "
                                               "vc varchar, v1000 varchar(1000))")));
    QString longText;
    for (int i = 0; i < 100000; ++i)
        longText += kAccented.at(i % kAccented.size());
    QSqlQuery insert(db);
    QVERIFY(insert.prepare(QStringLiteral("INSERT INTO t VALUES (1, ?, ?, ?)")));
    insert.addBindValue(longText);
    insert.addBindValue(longText.left(20000));
    insert.addBindValue(longText.left(1000));
    QVERIFY2(insert.exec(), qPrintable(insert.lastError().text()));

    QSqlQuery read(db);
    QVERIFY2(read.exec(QStringLiteral("SELECT txt, vc, v1000 FROM t")), qPrintable(read.lastError().text()));
    QVERIFY(read.next());
    QCOMPARE(read.value(0).toString().size(), longText.size());
    QVERIFY(read.value(0).toString() == longText);
    QVERIFY(read.value(1).toString() == longText.left(20000));
    QVERIFY(read.value(2).toString() == longText.left(1000));
    // Declared lengths are described as declared.
    QCOMPARE(read.record().field(2).length(), 1000);
}

void TestPgServer::odbcDriverOptionsHold()
{
    std::optional<ScratchDatabase> scratch;
    CARVELA_PG_REQUIRE(scratch.emplace(QStringLiteral("pgserver_opts")));
    QSqlDatabase db;
    CARVELA_PG_REQUIRE(db = scratch->odbc());
    CARVELA_PG_REQUIRE(exec(db, QStringLiteral("CREATE TABLE t (id integer PRIMARY KEY, ativo boolean)")));

    // Server-side prepare: an integer bound to a boolean column is accepted.
    QSqlQuery insert(db);
    QVERIFY(insert.prepare(QStringLiteral("INSERT INTO t VALUES (?, ?)")));
    insert.addBindValue(1);
    insert.addBindValue(1);
    QVERIFY2(insert.exec(), qPrintable(insert.lastError().text()));

    // BoolsAsChar=0: a boolean reads as a number (as a SQL Server bit does), not as text.
    const QVariant ativo = scalar(db, QStringLiteral("SELECT ativo FROM t WHERE id = 1"));
    QVERIFY2(ativo.metaType().id() != QMetaType::QString, ativo.metaType().name());
    QCOMPARE(ativo.toInt(), 1);

    // A second statement runs while a first result is still being stepped.
    QSqlQuery outer(db);
    outer.setForwardOnly(true);
    QVERIFY2(outer.exec(QStringLiteral("SELECT id FROM generate_series(1, 3) AS id")),
             qPrintable(outer.lastError().text()));
    int rows = 0;
    while (outer.next()) {
        QCOMPARE(scalar(db, QStringLiteral("SELECT count(*) FROM t")).toInt(), 1);
        ++rows;
    }
    QCOMPARE(rows, 3);
}

void TestPgServer::initStringsNameTheServer()
{
    PgServer s;
    CARVELA_PG_REQUIRE(s = server());
    QString init;
    QString odbcInit;
    QString odbc;
    CARVELA_PG_REQUIRE(init = initString(QStringLiteral("erp_db")));
    CARVELA_PG_REQUIRE(odbcInit = odbcInitString(QStringLiteral("erp_db")));
    CARVELA_PG_REQUIRE(odbc = odbcConnectionString(QStringLiteral("erp_db")));

    QCOMPARE(init, QStringLiteral("Provider=PostgreSQL;Data Source=127.0.0.1;Port=%1;Initial Catalog=erp_db;"
                                  "User ID=postgres;Password=%2;Connect Timeout=5")
                       .arg(s.port)
                       .arg(s.password));
    QVERIFY(odbc.startsWith(QStringLiteral("DRIVER={PostgreSQL Unicode};SERVER=127.0.0.1;PORT=%1;"
                                           "DATABASE=erp_db;UID=postgres;PWD=%2;")
                                .arg(s.port)
                                .arg(s.password)));
    QVERIFY(odbc.contains(odbcDriverOptions()));
    QVERIFY(!odbc.contains(QLatin1Char('"')));
    QCOMPARE(odbcInit, QStringLiteral("Provider=MSDASQL;Extended Properties=\"%1\"").arg(odbc));
}

void TestPgServer::createdNamesAreUniqueAndLowerCase()
{
    QString first;
    QString second;
    CARVELA_PG_REQUIRE(first = createDatabase(QStringLiteral("Mixed-Case")));
    CARVELA_PG_REQUIRE(second = createDatabase(QStringLiteral("Mixed-Case")));
    QVERIFY(first != second);
    QCOMPARE(first, first.toLower());
    QVERIFY2(first.startsWith(QStringLiteral("mixed_case_")), qPrintable(first));
    QVERIFY(first.contains(QString::number(QCoreApplication::applicationPid())));
    QVERIFY(databaseExists(first));
    QVERIFY(databaseExists(second));
    CARVELA_PG_REQUIRE(dropDatabase(first));
    CARVELA_PG_REQUIRE(dropDatabase(second));
    QVERIFY(!databaseExists(first));
    QVERIFY(!databaseExists(second));
    // Dropping what is gone is no error.
    CARVELA_PG_REQUIRE(dropDatabase(first));
}

void TestPgServer::dropEndsOpenSessions()
{
    QString name;
    CARVELA_PG_REQUIRE(name = createDatabase(QStringLiteral("pgserver_busy")));
    const QString conn = QStringLiteral("tst_pgserver_busy");
    {
        QSqlDatabase db;
        CARVELA_PG_REQUIRE(db = openQpsql(name, conn));
        QCOMPARE(scalar(db, QStringLiteral("SELECT 1")).toInt(), 1);
        // The session is still open while the database is dropped.
        CARVELA_PG_REQUIRE(dropDatabase(name));
        QVERIFY(!databaseExists(name));
        db.close();
    }
    QSqlDatabase::removeDatabase(conn);
}

void TestPgServer::scratchDatabaseClosesAndDrops()
{
    QString name;
    QString connection = QStringLiteral("tst_pgserver_scratch");
    {
        std::optional<ScratchDatabase> scratch;
        CARVELA_PG_REQUIRE(scratch.emplace(QStringLiteral("pgserver_raii")));
        name = scratch->name();
        QVERIFY(databaseExists(name));
        CARVELA_PG_REQUIRE(scratch->qpsql(connection));
        CARVELA_PG_REQUIRE(scratch->odbc(connection + QStringLiteral("_odbc")));
        QVERIFY(QSqlDatabase::contains(connection));
    }
    QVERIFY(!QSqlDatabase::contains(connection));
    QVERIFY(!QSqlDatabase::contains(connection + QStringLiteral("_odbc")));
    QVERIFY(!databaseExists(name));
}

QTEST_GUILESS_MAIN(TestPgServer)
#include "tst_pgserver.moc"
