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
