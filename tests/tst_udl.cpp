#include "core/failure.h"
#include "db/connectiontarget.h"
#include "support/failureof.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#ifdef Q_OS_UNIX
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

using namespace carvela;

namespace {

// Every secret in these cases contains this text, so a leak shows wherever it happens.
const QString kSecretMark = QStringLiteral("Tr0ca");

QByteArray encoded(const QString& text, const QByteArray& encoding)
{
    if (encoding == "utf-16le")
        return QByteArray("\xFF\xFE") + QByteArray(QStringEncoder(QStringConverter::Utf16LE).encode(text));
    if (encoding == "utf-16be")
        return QByteArray("\xFE\xFF") + QByteArray(QStringEncoder(QStringConverter::Utf16BE).encode(text));
    if (encoding == "utf-8 bom")
        return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    return text.toUtf8();
}

// A data-link file as Windows writes it (header, comment line, init string), in the given encoding.
QByteArray udl(const QString& initString, const QByteArray& encoding = "utf-16le")
{
    return encoded(QStringLiteral("[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n") + initString +
                       QStringLiteral("\r\n"),
                   encoding);
}

QString render(const ConnectionTarget& target)
{
    const QString tail =
        QStringLiteral(" timeout=%1 secrets=%2").arg(target.loginTimeoutSeconds).arg(target.secrets().join(u'|'));
    switch (target.engine) {
    case ConnectionTarget::Engine::Odbc:
        return QStringLiteral("odbc ") + target.odbcConnectionString + tail;
    case ConnectionTarget::Engine::PostgreSql:
        return QStringLiteral("pg %1 %2 %3 %4").arg(target.host).arg(target.port).arg(target.database, target.user) +
               tail;
    case ConnectionTarget::Engine::Sqlite:
        return QStringLiteral("sqlite %1 %2").arg(target.sqliteFile, target.sqliteSchema);
    }
    return {};
}

} // namespace

class TestUdl : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
#ifdef Q_OS_WIN
        QSKIP("the expected connection strings are those of the FreeTDS driver");
#endif
        QVERIFY(m_dir.isValid());
    }

    void parsesInitStrings()
    {
        QStringList seen;
        for (const auto& [key, value] :
             parseInitString(QStringLiteral(" Provider = SQLOLEDB.1 ;; User ID=sa;Password=\"a;b=\"\"c\"\"\";"
                                            "Initial Catalog='it''s;x' ; Extended Properties=DSN=x=y;;")))
            seen << key + u'=' + value;
        QCOMPARE(seen.join(u'|'), QStringLiteral("Provider=SQLOLEDB.1|User ID=sa|Password=a;b=\"c\"|"
                                                 "Initial Catalog=it's;x|Extended Properties=DSN=x=y"));
    }

    // content: the .udl file written first (none when empty); open: how it is opened, %1 being the
    // file's path (empty: readUdlFile); expected: render() of the result, %DIR% the file's folder.
    void reads_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("open");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("description");

        const QString freeTds = QStringLiteral("odbc DRIVER={FreeTDS};SERVER=");
        const QString tds = QStringLiteral("TDS_Version=7.4;ClientCharset=UTF-8;");
        const QString secret = QStringLiteral("Tr0ca;=Me");

        QTest::newRow("SQLOLEDB.1, UTF-16LE, host\\instance")
            << udl(QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=True;User ID=sa;"
                                  "Password=\"Tr0ca;=Me\";Initial Catalog=Postos;Data Source=SERVIDOR\\SQLEXPRESS"))
            << QString()
            << QString(freeTds + "SERVIDOR\\SQLEXPRESS;DATABASE=Postos;UID=sa;PWD={Tr0ca;=Me};" + tds +
                       " timeout=15 secrets=" + secret)
            << "SQL Server SERVIDOR\\SQLEXPRESS, banco Postos, usuário sa";
        QTest::newRow("SQLNCLI11, UTF-8, host,port, timeout")
            << udl(QStringLiteral("Provider=SQLNCLI11;Data Source=10.0.0.5,1500;Initial Catalog=Postos;"
                                  "User ID=sa;Password='Tr0ca;=Me';Connect Timeout=7"),
                   "utf-8")
            << QString()
            << QString(freeTds + "10.0.0.5;PORT=1500;DATABASE=Postos;UID=sa;PWD={Tr0ca;=Me};" + tds +
                       " timeout=7 secrets=" + secret)
            << "SQL Server 10.0.0.5,1500, banco Postos, usuário sa";
        QTest::newRow("MSOLEDBSQL19, UTF-8 with BOM, tcp:host,port, quoted FILE NAME")
            << udl(QStringLiteral("Provider=MSOLEDBSQL19.1;Data Source=tcp:erp.local,1433;"
                                  "Initial Catalog=Postos;User ID=sa;Password=\"Tr0ca;=Me\""),
                   "utf-8 bom")
            << QStringLiteral("file name = \"%1\"")
            << QString(freeTds + "erp.local;PORT=1433;DATABASE=Postos;UID=sa;PWD={Tr0ca;=Me};" + tds +
                       " timeout=15 secrets=" + secret)
            << "SQL Server erp.local,1433, banco Postos, usuário sa";
        QTest::newRow("(local), UTF-16BE, FILE NAME")
            << udl(QStringLiteral("Provider=SQLOLEDB;Data Source=(local);User ID=sa;Password=\"Tr0ca;=Me\""),
                   "utf-16be")
            << QStringLiteral("FILE NAME=%1")
            << QString(freeTds + "localhost;PORT=1433;UID=sa;PWD={Tr0ca;=Me};" + tds + " timeout=15 secrets=" + secret)
            << "SQL Server localhost, usuário sa";
        QTest::newRow(". with an instance")
            << udl(QStringLiteral("Provider=SQLOLEDB;Data Source=.\\SQLEXPRESS;User ID=sa;Password=Tr0ca")) << QString()
            << QString(freeTds + "localhost\\SQLEXPRESS;UID=sa;PWD={Tr0ca};" + tds + " timeout=15 secrets=Tr0ca")
            << "SQL Server localhost\\SQLEXPRESS, usuário sa";
        QTest::newRow("quoted values, keys in any case")
            << udl(QStringLiteral("provider=SQLOLEDB.1;; data source = srv ; initial catalog = 'Pos;to''s' ;"
                                  "USER ID=\"us\"\"er\";password=\"Tr0ca;=Me}\""))
            << QString()
            << QString(freeTds + "srv;PORT=1433;DATABASE={Pos;to's};UID=us\"er;PWD={Tr0ca;=Me}};" + tds +
                       " timeout=15 secrets=Tr0ca;=Me}")
            << "SQL Server srv, banco Pos;to's, usuário us\"er";
        QTest::newRow("MSDASQL adds the credentials")
            << udl(QStringLiteral("Provider=MSDASQL.1;Extended Properties=\"DRIVER={PostgreSQL Unicode};"
                                  "SERVER=127.0.0.1;PORT=5432;DATABASE=erp\";User ID=carvela;"
                                  "Password=\"Tr0ca;=Me\""))
            << QString()
            << QString("odbc DRIVER={PostgreSQL Unicode};SERVER=127.0.0.1;PORT=5432;DATABASE=erp;UID=carvela;"
                       "PWD={Tr0ca;=Me}; timeout=15 secrets=" +
                       secret)
            << "ODBC PostgreSQL Unicode 127.0.0.1:5432, banco erp, usuário carvela";
        QTest::newRow("MSDASQL keeps its own credentials")
            << udl(QStringLiteral("Provider=MSDASQL;Extended Properties='DSN=erp;UID=dono;PWD={Tr0ca;=Me}';"
                                  "User ID=outro;Password=Tr0ca2"))
            << QString() << QString("odbc DSN=erp;UID=dono;PWD={Tr0ca;=Me}; timeout=15 secrets=" + secret)
            << "ODBC DSN erp, usuário dono";
        QTest::newRow("SQLite, path relative to the file")
            << udl(QStringLiteral("Provider=SQLite;Data Source=dados/erp.db"), "utf-8") << QString()
            << "sqlite %DIR%/dados/erp.db "
            << "SQLite %DIR%/dados/erp.db";
        QTest::newRow("SQLite init string, path as given, schema")
            << QByteArray() << QStringLiteral("Provider=SQLite;Data Source=dados/nuvem.db;Schema=velcor")
            << "sqlite dados/nuvem.db velcor"
            << "SQLite dados/nuvem.db (esquema velcor)";
        QTest::newRow("PostgreSQL")
            << udl(QStringLiteral("Provider=PostgreSQL;Data Source=127.0.0.1;Port=5432;Initial Catalog=postgres;"
                                  "Catalog=Contrato;Location=Matriz;User ID=carvela;Password=\"Tr0ca;=Me\";"
                                  "Connect Timeout=5"))
            << QString() << QString("pg 127.0.0.1 5432 postgres carvela timeout=5 secrets=" + secret)
            << "PostgreSQL 127.0.0.1:5432, banco postgres, usuário carvela";
    }

    void reads()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, open);
        QFETCH(QString, expected);
        QFETCH(QString, description);
        const QString path =
            m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(u'\\', u'_') + QStringLiteral(".udl"));
        if (!content.isEmpty())
            QVERIFY(writeFile(path, content));

        ConnectionTarget target;
        try {
            target = open.isEmpty() ? readUdlFile(path)
                                    : targetFromConnectionString(content.isEmpty() ? open : open.arg(path));
        } catch (const Failure& failure) {
            QFAIL(qPrintable(failure.message()));
        }
        QCOMPARE(render(target), QString(expected).replace(QStringLiteral("%DIR%"), m_dir.path()));
        QCOMPARE(target.describe(), QString(description).replace(QStringLiteral("%DIR%"), m_dir.path()));
        for (const QString& secret : target.secrets())
            QVERIFY(!target.describe().contains(secret));
    }

    // Every failure names the file and never shows the password (all of them contain kSecretMark).
    void rejects_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message"); // %FILE%: the file's path

        QTest::newRow("Windows authentication")
            << true
            << udl(QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Initial Catalog=Postos;"
                                  "Data Source=srv;Password=Tr0ca"))
            << "Autenticação do Windows (Integrated Security=SSPI) não está disponível neste sistema";
        QTest::newRow("unknown provider")
            << true << udl(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=c:\\x.mdb;Password=Tr0ca"))
            << "Provedor não suportado no arquivo %FILE%: Microsoft.Jet.OLEDB.4.0";
        QTest::newRow("missing provider") << true << udl(QStringLiteral("Data Source=srv;User ID=sa;Password=Tr0ca"))
                                          << "Provedor não informado (Provider) no arquivo %FILE%";
        QTest::newRow("bad port quoting the password")
            << true << udl(QStringLiteral("Provider=SQLOLEDB;Data Source='srv,Tr0ca!';User ID=sa;Password=Tr0ca!"))
            << "Porta inválida no servidor (Data Source) no arquivo %FILE%: srv,***";
        QTest::newRow("no user") << true << udl(QStringLiteral("Provider=SQLOLEDB;Data Source=srv;Password=Tr0ca"))
                                 << "Usuário do SQL Server não informado (User ID)";
        QTest::newRow("password FreeTDS cannot carry")
            << true << udl(QStringLiteral("Provider=SQLOLEDB;Data Source=srv;User ID=sa;Password=\"Tr0ca};x\""))
            << "A senha (Password) contém a sequência \"};\", que o driver FreeTDS não aceita";
        QTest::newRow("unquoted Extended Properties")
            << true
            << udl(QStringLiteral("Provider=MSDASQL.1;Persist Security Info=True;Password=Tr0ca;Extended "
                                  "Properties=DRIVER={PostgreSQL Unicode};SERVER=erp;PORT=5432;DATABASE=postos"))
            << "Extended Properties sem aspas no arquivo %FILE%: SERVER, PORT, DATABASE ficaram fora da cadeia ODBC; "
               "escreva a cadeia inteira entre aspas duplas: Extended Properties=\"DRIVER={...};SERVER=...;PORT=...;"
               "DATABASE=...\"";
        QTest::newRow("bad timeout") << true
                                     << udl(QStringLiteral(
                                            "Provider=PostgreSQL;Data Source=h;Password=Tr0ca;Connect Timeout=x"))
                                     << "Tempo limite de conexão inválido (Connect Timeout) no arquivo %FILE%: x";
        QTest::newRow("garbage bytes") << true << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\x10Tr0ca", 23)
                                       << "Arquivo de conexão ilegível";
        QTest::newRow("UTF-16 with an odd byte")
            << true << udl(QStringLiteral("Provider=SQLite;Data Source=x.db")).append('x')
            << "Arquivo de conexão ilegível (UTF-16 com número ímpar de bytes): %FILE%";
        QTest::newRow("no header") << true << encoded(QStringLiteral("Provider=SQLite;Password=Tr0ca\r\n"), "utf-8")
                                   << "Arquivo de conexão sem o cabeçalho [oledb]: %FILE%";
        QTest::newRow("header only") << true << udl(QStringLiteral("; Tr0ca"))
                                     << "Arquivo de conexão sem a cadeia de conexão: %FILE%";
        QTest::newRow("empty file") << true << QByteArray() << "Arquivo de conexão vazio: %FILE%";
        QTest::newRow("missing file") << false << QByteArray() << "Arquivo de conexão não encontrado: %FILE%";
    }

    void rejects()
    {
        QFETCH(bool, exists);
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        const QString path = m_dir.filePath(QStringLiteral("rejected ") + QString::fromLatin1(QTest::currentDataTag()) +
                                            QStringLiteral(".udl"));
        if (exists)
            QVERIFY(writeFile(path, content));
        const QString nativePath = QDir::toNativeSeparators(path);
        const QString failure = test::failureOf([&] { readUdlFile(path); });
        QVERIFY2(failure.contains(message.replace(QStringLiteral("%FILE%"), nativePath)), qPrintable(failure));
        QVERIFY2(failure.contains(nativePath), qPrintable(failure));
        QVERIFY2(!failure.contains(kSecretMark), qPrintable(failure));
    }

    // The FreeTDS string goes through the driver manager to the driver, which fails the login at once
    // against a loopback port where nothing listens.
    void freeTdsTakesTheString()
    {
#ifndef Q_OS_UNIX
        QSKIP("uses a POSIX socket to hold a closed port");
#else
        QVERIFY(QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")));
        // A socket bound but not listening holds the port, and connections to it are refused.
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        QVERIFY(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
        QVERIFY(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0);
        const ConnectionTarget target = targetFromInitString(
            QStringLiteral("Provider=SQLOLEDB.1;Data Source=127.0.0.1,%1;Initial Catalog=Postos;User ID=sa;"
                           "Password=\"Tr0ca;=Me\"")
                .arg(ntohs(address.sin_port)));
        QString error;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), QStringLiteral("udl-probe"));
            db.setDatabaseName(target.odbcConnectionString);
            db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=2"));
            QVERIFY(!db.open());
            error = db.lastError().text();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("udl-probe"));
        ::close(fd);
        QVERIFY2(error.contains(QStringLiteral("[FreeTDS]")), qPrintable(error));
        QVERIFY2(!error.contains(QStringLiteral("Data source name not found"), Qt::CaseInsensitive), qPrintable(error));
        QVERIFY2(!error.contains(kSecretMark), qPrintable(error));
#endif
    }

private:
    static bool writeFile(const QString& path, const QByteArray& content)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    }

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestUdl)
#include "tst_udl.moc"
