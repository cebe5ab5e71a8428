#include "core/failure.h"
#include "db/connection.h"
#include "db/query.h"
#include "support/failureof.h"
#include "support/pgserver.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace carvela;
using carvela::test::ScratchDatabase;

namespace {

int backendPid(Connection& c)
{
    Query q(QStringLiteral("pid"), c);
    q.setSql({QStringLiteral("select pg_backend_pid() as pid")});
    q.open();
    return q.asInt(QStringLiteral("pid"));
}

// A TCP port on loopback that accepts connections into its backlog and never says a word: the
// host that never answers a login.
class SilentListener {
public:
    SilentListener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_fd, 8);
        socklen_t length = sizeof address;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~SilentListener() { ::close(m_fd); }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

QString withPort(QString initString, int port)
{
    static const QRegularExpression portPattern(QStringLiteral("(?i)(Port=)\\d+"));
    return initString.replace(portPattern, QStringLiteral("\\1%1").arg(port));
}

} // namespace

class TestConnection : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // What a driver's error means: the session is gone, the row's data was refused, or neither
    // (a failure of the station). SQL Server is reached only in the field, so its codes are here.
    void driverErrorsAreClassified_data()
    {
        using Engine = ConnectionTarget::Engine;
        QTest::addColumn<int>("engine");
        QTest::addColumn<QString>("native");
        QTest::addColumn<QString>("sqlState");
        QTest::addColumn<QString>("meaning");
        const auto add = [](const char* name, Engine engine, const char* native, const char* state,
                            const char* meaning) {
            QTest::newRow(name) << int(engine) << QString::fromLatin1(native) << QString::fromLatin1(state)
                                << QString::fromLatin1(meaning);
        };
        add("pg text too long", Engine::PostgreSql, "22001", "", "row");
        add("pg duplicate key", Engine::PostgreSql, "23505", "", "row");
        add("pg bad integer text", Engine::PostgreSql, "22P02", "", "row");
        add("pg missing column", Engine::PostgreSql, "42703", "", "station");
        add("pg backend terminated", Engine::PostgreSql, "57P01", "", "lost");
        add("sqlite unique", Engine::Sqlite, "1555", "", "row");
        add("sqlite not null", Engine::Sqlite, "1299", "", "row");
        add("sqlite type mismatch", Engine::Sqlite, "20", "", "row");
        add("sqlite no such column", Engine::Sqlite, "1", "", "station");
        add("psqlodbc truncation", Engine::Odbc, "1", "22001", "row");
        add("psqlodbc missing column", Engine::Odbc, "1", "42703", "station");
        add("sql server null", Engine::Odbc, "515", "23000", "row");
        add("sql server foreign key", Engine::Odbc, "547", "", "row");
        add("sql server duplicate", Engine::Odbc, "2627", "", "row");
        add("sql server unique index", Engine::Odbc, "2601", "", "row");
        add("sql server truncated", Engine::Odbc, "8152", "", "row");
        add("sql server truncated 2019", Engine::Odbc, "2628", "", "row");
        add("sql server conversion", Engine::Odbc, "245", "", "row");
        add("sql server date conversion", Engine::Odbc, "241", "", "row");
        add("sql server operand type", Engine::Odbc, "8114", "", "row");
        add("sql server invalid object", Engine::Odbc, "208", "42S02", "station");
        add("sql server invalid column", Engine::Odbc, "207", "42S22", "station");
        add("odbc link failure", Engine::Odbc, "0", "08S01", "lost");
        add("freetds dead connection", Engine::Odbc, "20047", "", "lost");
    }
    void driverErrorsAreClassified()
    {
        QFETCH(int, engine);
        QFETCH(QString, native);
        QFETCH(QString, sqlState);
        QFETCH(QString, meaning);
        const QSqlError error(QStringLiteral("driver"), QStringLiteral("texto do servidor"), QSqlError::StatementError,
                              native);
        const bool lost = isLostConnection(error, true, sqlState);
        const bool row = isRowRefusal(error, ConnectionTarget::Engine(engine), sqlState);
        QCOMPARE(lost ? QStringLiteral("lost") : row ? QStringLiteral("row") : QStringLiteral("station"), meaning);
    }

    void lostConnectionIsRaisedAndRecovered_data()
    {
        QTest::addColumn<bool>("odbc");
        QTest::newRow("qpsql") << false;
        QTest::newRow("odbc") << true;
    }
    void lostConnectionIsRaisedAndRecovered()
    {
        QFETCH(bool, odbc);
        ScratchDatabase db(QStringLiteral("lost"));
        Connection c(QStringLiteral("Con_Quorim"));
        c.setConnectionString(odbc ? db.odbcInitString() : db.initString());
        const int pid = backendPid(c);

        carvela::test::exec(db.qpsql(), QStringLiteral("select pg_terminate_backend(%1)").arg(pid));
        QThread::msleep(200); // the backend exits right after the signal; let it go

        const QString message = test::failureOf([&] { backendPid(c); });
        QVERIFY2(message.contains(QStringLiteral("Falha de conexão")), qPrintable(message));
        QVERIFY(!message.contains(carvela::test::server().password));

        c.close();
        c.open();
        QVERIFY(backendPid(c) != pid);
    }

    void clearErrorsForConnectionsThatCannotBeMade_data()
    {
        QTest::addColumn<QString>("connectionString");
        QTest::addColumn<QString>("expected");
        const auto server = carvela::test::server();
        const QString pg = carvela::test::initString(QStringLiteral("postgres"));
        const QString odbc = carvela::test::odbcInitString(QStringLiteral("postgres"));
        QTest::newRow("wrong password") << QString(pg).replace(server.password, QStringLiteral("errada!23"))
                                        << "Não foi possível conectar conexao (PostgreSQL";
        QTest::newRow("wrong password through odbc")
            << QString(odbc).replace(server.password, QStringLiteral("errada!23"))
            << "Não foi possível conectar conexao";
        QTest::newRow("database missing")
            << QString(pg).replace(QStringLiteral("Catalog=postgres"), QStringLiteral("Catalog=nada"))
            << "Não foi possível conectar conexao";
        QTest::newRow("missing .udl") << "FILE NAME=/nao/existe/velcor.udl"
                                      << "/nao/existe/velcor.udl";
        QTest::newRow("missing SQLite file") << "Provider=SQLite;Data Source=/nao/existe/erp.sqlite"
                                             << "/nao/existe/erp.sqlite";
    }
    void clearErrorsForConnectionsThatCannotBeMade()
    {
        QFETCH(QString, connectionString);
        QFETCH(QString, expected);
        Connection c(QStringLiteral("conexao"));
        c.setConnectionString(connectionString);
        const QString message = test::failureOf([&] { c.open(); });
        QVERIFY2(message.contains(expected), qPrintable(message));
        QVERIFY2(!message.contains(QStringLiteral("errada!23")), qPrintable(message));
        QVERIFY2(!message.contains(carvela::test::server().password), qPrintable(message));
        QVERIFY(!message.contains(QStringLiteral("Falha de conexão")));
        QVERIFY(!c.isOpen());
    }

    // A host that takes the TCP connection and never answers must not hang the program: the login
    // timeout ends the attempt. (Without one, libpq and the ODBC drivers wait for minutes.)
    void silentHostEndsAtTheLoginTimeout_data()
    {
        QTest::addColumn<bool>("odbc");
        QTest::newRow("qpsql") << false;
        QTest::newRow("odbc") << true;
    }
    void silentHostEndsAtTheLoginTimeout()
    {
        QFETCH(bool, odbc);
        SilentListener silent;
        QString connectionString = odbc ? carvela::test::odbcInitString(QStringLiteral("postgres"))
                                        : carvela::test::initString(QStringLiteral("postgres"));
        connectionString = withPort(connectionString, silent.port()) + QStringLiteral(";Connect Timeout=2");
        Connection c(QStringLiteral("ConMov"));
        c.setConnectionString(connectionString);
        QElapsedTimer clock;
        clock.start();
        const QString message = test::failureOf([&] { c.open(); });
        QVERIFY2(message.startsWith(QStringLiteral("Não foi possível conectar ConMov")), qPrintable(message));
        QVERIFY2(clock.elapsed() < 60'000, "the login timeout was not applied");
    }

    void udlWithMsdasqlReachesPostgresThroughOdbc()
    {
        ScratchDatabase db(QStringLiteral("udl"));
        carvela::test::exec(db.qpsql(), QStringLiteral("create table filial (idfilial integer, fantasia varchar(50))"));
        carvela::test::exec(db.qpsql(), QStringLiteral("insert into filial values (1, 'Posto São João')"));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("velcor.udl"));
        writeUdlFile(path, db.odbcInitString());

        Connection c(QStringLiteral("conexao"));
        c.setConnectionString(QStringLiteral("FILE NAME=") + path);
        Query q(QStringLiteral("QyFilial"), c);
        q.setSql({QStringLiteral("select * from filial")});
        q.open();
        QCOMPARE(c.database().driverName(), QStringLiteral("QODBC"));
        QCOMPARE(q.asString(QStringLiteral("Fantasia")), QStringLiteral("Posto São João"));
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
