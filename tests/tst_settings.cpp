// Parametros.ini: reading at start-up and when the lists load, saving, the connection sections.
#include "core/failure.h"
#include "core/settings.h"
#include "core/stationstate.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace carvela;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray utf8Lines(const QStringList& lines, const QString& lineEnd)
{
    return (lines.join(lineEnd) + lineEnd).toUtf8();
}

// The boxes cbIntMov, cbClientes, cbFornecedores, cbProdutos, cbUsuarios, cbVendas, cbEntrada as 0/1.
QString boxes(const StationState& state)
{
    QString text;
    for (int i = 0; i < StationState::boxCount; ++i)
        text += state.box(StationState::Box(i)) ? u'1' : u'0';
    return text;
}

const QString udlPath = QStringLiteral("C:\\Integração\\velcor.udl");

// A station with every key chosen; cbClientes and cbUsuarios unticked.
void fill(StationState& state)
{
    state.setEdtSql(udlPath);
    state.cbFilial().setKey(QStringLiteral("7"));
    for (int i = 0; i < StationState::boxCount; ++i)
        state.setBox(StationState::Box(i), true);
    state.setBox(StationState::Box::cbClientes, false);
    state.setBox(StationState::Box::cbUsuarios, false);
    state.setSeTempo(60);
    state.setRsAtiva(true);
    state.EdtTpDoc().setKey(QStringLiteral("E01"));
    state.edtOper().setKey(QStringLiteral("5102"));
    state.edtCcusto().setKey(QStringLiteral("3"));
    state.edtCcusto2().setKey(QStringLiteral("4"));
}

const QStringList savedKeys = {
    QStringLiteral("Filial=7"),       QStringLiteral("ImoMov=1"),   QStringLiteral("Clientes=0"),
    QStringLiteral("Fornecedores=1"), QStringLiteral("Produtos=1"), QStringLiteral("Usuarios=0"),
    QStringLiteral("Vendas=1"),       QStringLiteral("Entradas=1"), QStringLiteral("seTempo=60"),
    QStringLiteral("rsAtiva=1"),      QStringLiteral("TpDoc=E01"),  QStringLiteral("NatOper=5102"),
    QStringLiteral("Custo1=3"),       QStringLiteral("Custo2=4"),
};

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readAtStartup_data();
    void readAtStartup();
    void readListKeys_data();
    void readListKeys();
    void save_data();
    void save();
    void saveKeepsHandEditedFile();
    void connectionString_data();
    void connectionString();
};

void TestSettings::readAtStartup_data()
{
    QTest::addColumn<QByteArray>("file"); // null: no file
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("edtSql");
    QTest::addColumn<QString>("filial");
    QTest::addColumn<QString>("boxes");
    QTest::addColumn<int>("seTempo");
    QTest::addColumn<bool>("rsAtiva");
    QTest::addColumn<int>("filialForLists");

    QTest::newRow("no file") << QByteArray() << ""
                             << ""
                             << "1"
                             << "1111111" << 1 << false << 1;
    QTest::newRow("only Vendas=0") << QByteArray("[Parametros]\r\nVendas=0\r\n") << ""
                                   << ""
                                   << "1"
                                   << "1111101" << 1 << false << 1;
    QTest::newRow("seTempo 0") << QByteArray("[Parametros]\r\nseTempo=0\r\n") << ""
                               << ""
                               << "1"
                               << "1111111" << 1 << false << 1;
    QTest::newRow("seTempo not a number") << QByteArray("[Parametros]\r\nseTempo=abc\r\n") << ""
                                          << ""
                                          << "1"
                                          << "1111111" << 1 << false << 1;
    QTest::newRow("seTempo 2000") << QByteArray("[Parametros]\r\nseTempo=2000\r\n") << ""
                                  << ""
                                  << "1"
                                  << "1111111" << 1000 << false << 1;
    QTest::newRow("seTempo hex, rsAtiva 2") << QByteArray("[Parametros]\r\nseTempo=0x1E\r\nrsAtiva=2\r\n") << ""
                                            << ""
                                            << "1"
                                            << "1111111" << 30 << true << 1;
    QTest::newRow("rsAtiva yes, seTempo missing") << QByteArray("[Parametros]\r\nrsAtiva=yes\r\n") << ""
                                                  << ""
                                                  << "1"
                                                  << "1111111" << 1 << false << 1;
    // Start-up stops at Filial: the boxes, the interval and the switch keep their initial state.
    QTest::newRow("Filial empty") << QByteArray(
                                         "[Parametros]\r\nedtSql=C:\\Integração\\velcor.udl\r\nFilial=\r\nVendas=1\r\n"
                                         "seTempo=30\r\nrsAtiva=1\r\n")
                                  << "'' is not a valid integer value" << udlPath << ""
                                  << "0000000" << 1 << false << 1;
    // Saved on Windows by hand: Latin-1, names in other cases, blanks around the '='.
    QTest::newRow("hand-edited Latin-1")
        << QStringLiteral("; configuração\r\n[PARAMETROS]\r\n  EDTSQL =  C:\\Dados\\Conexão.udl  \r\n"
                          "filial = 0x1E\r\nvendas=true\r\n[Outra]\r\nEntradas=0\r\n")
               .toLatin1()
        << ""
        << "C:\\Dados\\Conexão.udl"
        << "30"
        << "1111101" << 1 << false << 30;
    QTest::newRow("value cut at 2047 characters")
        << QByteArray("[Parametros]\r\nedtSql=" + QByteArray(3000, 'x') + "\r\n") << "" << QString(2047, u'x') << "1"
        << "1111111" << 1 << false << 1;
}

void TestSettings::readAtStartup()
{
    QFETCH(QByteArray, file);
    QTemporaryDir dir;
    const QString path = settings::filePath(dir.path());
    if (!file.isNull())
        writeFile(path, file);

    StationState state;
    QString error;
    try {
        settings::readAtStartup(path, state);
    } catch (const Failure& failure) {
        error = failure.message();
    }
    QTEST(error, "error");
    QTEST(state.edtSql(), "edtSql");
    QTEST(state.cbFilial().keyText(), "filial");
    QTEST(boxes(state), "boxes");
    QTEST(state.seTempo(), "seTempo");
    QTEST(state.rsAtiva(), "rsAtiva");
    QTEST(settings::readFilialForLists(path), "filialForLists");
}

void TestSettings::readListKeys_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("cbIntMov");
    QTest::addColumn<QStringList>("keys"); // EdtTpDoc, edtOper, edtCcusto, edtCcusto2

    QTest::newRow("no file") << QByteArray() << true << QStringList{"1", "1", "1", "1"};
    QTest::newRow("stored keys")
        << QByteArray("[Parametros]\r\nImoMov=0\r\nTpDoc=E01\r\nNatOper=5102\r\nCusto1=0\r\nCusto2=3\r\n") << false
        << QStringList{"E01", "5102", "0", "3"};
}

void TestSettings::readListKeys()
{
    QFETCH(QByteArray, file);
    QTemporaryDir dir;
    const QString path = settings::filePath(dir.path());
    if (!file.isNull())
        writeFile(path, file);

    StationState state;
    settings::readListKeys(path, state);
    QTEST(state.box(StationState::Box::cbIntMov), "cbIntMov");
    const QStringList keys{state.EdtTpDoc().keyText(), state.edtOper().keyText(), state.edtCcusto().keyText(),
                           state.edtCcusto2().keyText()};
    QTEST(keys, "keys");
}

void TestSettings::save_data()
{
    QTest::addColumn<QByteArray>("before"); // null: no file
    QTest::addColumn<QString>("blank");     // the lookup control left at its empty value
    QTest::addColumn<bool>("directory");    // the path names a directory
    QTest::addColumn<QString>("error");     // %1: the path
    QTest::addColumn<QByteArray>("after");

    const QString nullToString = QStringLiteral("Could not convert variant of type (Null) into type (String)");
    const QByteArray handWritten("[Parametros]\nedtSql=old\nVendas=0\nCusto1=9\n[Agendamento]\nHora=08:00\n");

    QTest::newRow("new file") << QByteArray() << "" << false << ""
                              << utf8Lines(QStringList{"[Parametros]", "edtSql=" + udlPath} + savedKeys,
                                           QStringLiteral("\r\n"));
    QTest::newRow("no branch chosen") << handWritten << "cbFilial" << false << nullToString
                                      << utf8Lines({"[Parametros]", "edtSql=" + udlPath, "Vendas=0", "Custo1=9"},
                                                   QStringLiteral("\n"));
    QTest::newRow("fuel cost centre at 0")
        << handWritten << "edtCcusto" << false << nullToString
        << utf8Lines(QStringList{"[Parametros]", "edtSql=" + udlPath, "Vendas=1", "Custo1=9"} +
                         savedKeys.mid(0, 12).filter(QRegularExpression("^(?!Vendas=)")),
                     QStringLiteral("\n"));
    QTest::newRow("path is a directory") << QByteArray() << "" << true << "Unable to write to %1" << QByteArray();
}

void TestSettings::save()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, blank);
    QFETCH(bool, directory);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString path = settings::filePath(dir.path());
    if (directory)
        QVERIFY(QDir(dir.path()).mkdir(settings::fileName));
    if (!before.isNull())
        writeFile(path, before);

    StationState state;
    fill(state);
    for (LookupControl* control :
         {&state.cbFilial(), &state.EdtTpDoc(), &state.edtOper(), &state.edtCcusto(), &state.edtCcusto2()}) {
        if (control->name() == blank)
            control->setKey(control->emptyValue());
    }
    QString message;
    try {
        settings::save(path, state);
    } catch (const Failure& failure) {
        message = failure.message();
    }
    QCOMPARE(message, error.contains(u"%1") ? error.arg(path) : error);
    if (!directory)
        QTEST(readFile(path), "after");
}

// A file kept by hand on Windows: Latin-1, comments, names in other cases, two [Agendamento]
// sections and the connection sections.
void TestSettings::saveKeepsHandEditedFile()
{
    const QString conMov = QStringLiteral("Provider=PostgreSQL;Data Source=10.0.0.5;Port=5432;"
                                          "Initial Catalog=postgres;User ID=u;Password=p");
    const QString conQuorim = QStringLiteral("Provider=SQLOLEDB.1;Data Source=10.0.0.6");
    const QString crlf = QStringLiteral("\r\n");
    const QStringList head{"; Parâmetros da estação", "[ConMov]", "ConnectionString=" + conMov, ""};
    const QStringList tail{"", "[Con_Quorim]", "ConnectionString=" + conQuorim};
    const QStringList before = head +
                               QStringList{"[agendamento]",
                                           "Hora=08:00",
                                           "",
                                           "[parametros]",
                                           "; escolhido pelo operador",
                                           "VENDAS = 0",
                                           "  edtsql=C:\\antigo.udl",
                                           "Extra=mantém",
                                           "",
                                           "[AGENDAMENTO]",
                                           "Dias=seg"} +
                               tail;
    const QStringList after =
        head +
        QStringList{"[parametros]", "; escolhido pelo operador", "VENDAS=1", "edtsql=" + udlPath, "Extra=mantém"} +
        savedKeys.filter(QRegularExpression("^(?!Vendas=)")) + tail;

    QTemporaryDir dir;
    const QString path = settings::filePath(dir.path());
    writeFile(path, (before.join(crlf) + crlf).toLatin1());
    StationState state;
    fill(state);

    settings::save(path, state);
    const QByteArray first = readFile(path);
    QCOMPARE(first, (after.join(crlf) + crlf).toLatin1());
    settings::save(path, state);
    QCOMPARE(readFile(path), first);
    QCOMPARE(settings::connectionString(path, settings::cloudMovementSection, settings::defaultCloudMovementConnection),
             conMov);
    QCOMPARE(settings::connectionString(path, settings::posSection, settings::defaultPosConnection), conQuorim);
}

void TestSettings::connectionString_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("expected"); // empty: the built-in default

    QTest::newRow("no file") << QByteArray() << "";
    QTest::newRow("own section, any case")
        << QByteArray("[conserver]\r\nconnectionstring = Provider=PostgreSQL;Data Source=10.0.0.7\r\n")
        << "Provider=PostgreSQL;Data Source=10.0.0.7";
    QTest::newRow("empty value") << QByteArray("[ConServer]\r\nConnectionString=\r\n") << "";
    QTest::newRow("another connection's section") << QByteArray("[ConMov]\r\nConnectionString=X\r\n") << "";
}

void TestSettings::connectionString()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = settings::filePath(dir.path());
    if (!file.isNull())
        writeFile(path, file);

    QCOMPARE(settings::connectionString(path, settings::cloudStoreSection, settings::defaultCloudStoreConnection),
             expected.isEmpty() ? QString(settings::defaultCloudStoreConnection) : expected);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
