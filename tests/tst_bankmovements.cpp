#include "core/failure.h"
#include "core/settings.h"
#include "fixtures/builders.h"
#include "support/failureof.h"
#include "support/teststation.h"

#include <QTest>

using namespace carvela;
using carvela::test::TestStation;

namespace {

// A cloud that cannot be reached: any attempt to connect fails at once.
const QString unreachableCloud =
    QStringLiteral("Provider=PostgreSQL;Data Source=127.0.0.1;Port=1;Initial Catalog=postgres;"
                   "User ID=ninguem;Password=x;Connect Timeout=2");

// The cloud knows the demo branch as store 3, with two banks.
void seedCloud(TestStation& s)
{
    test::insertRow(s.cloud(), "velcor.lojas",
                    {{"id_loja", 3}, {"cnpj_empresa", "12345678000190"}, {"cnpj_filial", "12345678000270"}});
    test::insertRow(s.cloud(), "velcor.bancos_agencias", {{"idbanco", 1}, {"id_loja", 3}, {"idagencia", "0123"}});
    test::insertRow(s.cloud(), "velcor.bancos_agencias", {{"idbanco", 2}, {"id_loja", 3}, {"idagencia", "X-9"}});
}

void movement(TestStation& s, int id, int bank, const QString& history, const QVariant& updated = QVariant(),
              int store = 3)
{
    test::insertRow(s.cloud(), "velcor.mov_bancario",
                    {{"idmovimento", id},
                     {"id_empresa", store},
                     {"id_loja", store},
                     {"idbanco", bank},
                     {"documento", QStringLiteral("DOC%1").arg(id)},
                     {"valor_lancamento", 150.25},
                     {"tipo_lancamento", "C"},
                     {"historico_lancamento", history},
                     {"controle_banco", "CTL"},
                     {"data_lancamento", QDate(2026, 12, 10)},
                     {"hora_lancamento", "09:30:00"},
                     {"atualizado", updated}});
}

// One run as the cycle runs it, with what it counted and the movements it refused.
struct Run {
    BankCounts counts;
    QStringList refused;
};
Run run(TestStation& s)
{
    Integration& i = s.integration();
    Run r;
    i.bankMovements().ImportBankMovements(i.state(), i.lists(), r.counts,
                                          [&r](const QString& message) { r.refused << message; });
    return r;
}

QList<QVariantMap> accountRows(TestStation& s)
{
    return test::selectAll(s.erp(), "select * from contacorrente order by idmovnuvens");
}

QStringList marked(TestStation& s)
{
    QStringList ids;
    for (const auto& row : test::selectAll(s.cloud(), "select idmovimento from velcor.mov_bancario "
                                                      "where atualizado = 'S' order by idmovimento"))
        ids << row.value("idmovimento").toString();
    return ids;
}

} // namespace

class TestBankMovements : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The cloud is PostgreSQL (schema velcor); the ERP runs on each engine.
    void initTestCase_data() { test::addEngineRows(); }

    void guardKeepsTheCloudUntouched_data()
    {
        QTest::addColumn<QString>("imoMov");
        QTest::addColumn<QString>("filial");
        QTest::addColumn<bool>("switchOn");
        QTest::newRow("option off") << "0"
                                    << "1" << true;
        QTest::newRow("branch not in the list") << "1"
                                                << "42" << true;
        QTest::newRow("switch off") << "1"
                                    << "1" << false;
    }
    void guardKeepsTheCloudUntouched()
    {
        QFETCH_GLOBAL(QString, engine);
        QFETCH(QString, imoMov);
        QFETCH(QString, filial);
        QFETCH(bool, switchOn);
        TestStation s(engine, QStringLiteral("bankguard"), QStringLiteral("qpsql"));
        s.overrideConnection(settings::cloudStoreSection, unreachableCloud);
        s.overrideConnection(settings::cloudMovementSection, unreachableCloud);
        s.start({{"ImoMov", imoMov}, {"Filial", filial}});
        s.state().setRsAtiva(switchOn);
        QStringList captions;
        connect(&s.state(), &StationState::captionChanged, this, [&](const QString& c) { captions << c; });
        run(s); // would fail at once if it tried to connect
        QVERIFY(!captions.contains(QStringLiteral("Atualizando Movimento Bancário")));
        QVERIFY(!s.integration().ConMov().isOpen());
    }

    void copiesUnmarkedMovementsOnceAndMarksThem()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("bank"), QStringLiteral("qpsql"));
        seedCloud(s);
        movement(s, 101, 1, QStringLiteral("Depósito em espécie"));
        movement(s, 102, 2, QStringLiteral("Transferência Pix"));
        movement(s, 100, 1, QStringLiteral("Já importado"), QStringLiteral("S"));
        movement(s, 200, 1, QStringLiteral("Outra loja"), QVariant(), 4);
        s.start();
        QStringList captions;
        connect(&s.state(), &StationState::captionChanged, this, [&](const QString& c) { captions << c; });

        run(s);

        const QList<QVariantMap> rows = accountRows(s);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].value("pessoa").toString(), QStringLiteral("Banco"));
        QCOMPARE(rows[0].value("codigo").toInt(), 123);
        QCOMPARE(rows[1].value("codigo").toInt(), 1); // agency X-9 is no number
        QCOMPARE(rows[0].value("descricao").toString(), QStringLiteral("Depósito em espécie"));
        QCOMPARE(rows[1].value("descricao").toString(), QStringLiteral("Transferência Pix"));
        QCOMPARE(rows[0].value("documento").toString(), QStringLiteral("DOC101"));
        QCOMPARE(rows[0].value("valor").toDouble(), 150.25);
        QCOMPARE(rows[0].value("tipo").toString(), QStringLiteral("C"));
        QCOMPARE(rows[0].value("controle").toString(), QStringLiteral("CTL"));
        QCOMPARE(rows[0].value("idfilial").toInt(), 3);
        QCOMPARE(rows[0].value("hora").toString(), QStringLiteral("09:30:00"));
        QCOMPARE(rows[0].value("idmovnuvens").toInt(), 101);
        QVERIFY(rows[0].value("data").toString().startsWith(QStringLiteral("2026-12-10")) ||
                rows[0].value("data").toDateTime().date() == QDate(2026, 12, 10));
        QCOMPARE(marked(s), QStringList({"100", "101", "102"}));
        QCOMPARE(captions, QStringList({"Atualizando Movimento Bancário", "Processo"}));
        QVERIFY(!s.integration().ConMov().isOpen());
        QVERIFY(!s.integration().ConServer().isOpen());

        // Nothing left unmarked: the ERP is not touched again.
        run(s);
        QCOMPARE(accountRows(s).size(), 2);
        QVERIFY(!s.integration().ConMov().isOpen());
    }

    void storeTheCloudDoesNotKnowSelectsStoreZero()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("bankzero"), QStringLiteral("qpsql"));
        test::insertRow(s.cloud(), "velcor.bancos_agencias", {{"idbanco", 1}, {"id_loja", 0}, {"idagencia", "7"}});
        movement(s, 300, 1, QStringLiteral("Sem loja"), QVariant(), 0);
        s.start();
        run(s);
        const QList<QVariantMap> rows = accountRows(s);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].value("idmovnuvens").toInt(), 300);
    }

    void aFailedMarkIsRepairedWithoutASecondRow()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("bankmark"), QStringLiteral("qpsql"));
        seedCloud(s);
        movement(s, 401, 1, QStringLiteral("Tarifa bancária"));
        // The cloud refuses the mark, as a dropped connection or a lock would, after the ERP row is in.
        test::exec(s.cloud(), "create function velcor.recusa() returns trigger language plpgsql as "
                              "$$ begin raise exception 'marca recusada'; end $$");
        test::exec(s.cloud(), "create trigger recusa before update on velcor.mov_bancario "
                              "for each row execute function velcor.recusa()");
        s.start();

        QVERIFY(test::failureOf([&] { run(s); }).contains(QStringLiteral("marca recusada")));
        QCOMPARE(accountRows(s).size(), 1);
        QCOMPARE(marked(s), QStringList());
        QVERIFY(!s.integration().ConMov().isOpen());
        QVERIFY(!s.integration().ConServer().isOpen());
        QCOMPARE(s.state().lbProcesso(), QStringLiteral("Processo"));

        test::exec(s.cloud(), "drop trigger recusa on velcor.mov_bancario");
        run(s);
        QCOMPARE(accountRows(s).size(), 1);
        QCOMPARE(marked(s), QStringList({"401"}));
    }

    // The ERP refuses one movement for its data: the others are posted and marked; the refused one
    // is neither written nor marked, so the next run tries it again.
    void aMovementTheErpRefusesIsLeftUnmarked()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("bankbad"), QStringLiteral("qpsql"));
        seedCloud(s);
        movement(s, 501, 1, QStringLiteral("Primeiro"));
        movement(s, 502, 1, QStringLiteral("Recusado"));
        movement(s, 503, 1, QStringLiteral("Terceiro"));
        test::refuseAccountRows(s, QStringLiteral("Recusado"));
        s.start();

        const Run r = run(s);
        QCOMPARE(r.counts.read, 3);
        QCOMPARE(r.counts.inserted, 2);
        QCOMPARE(r.counts.failed, 1);
        QCOMPARE(r.refused.size(), 1);
        QVERIFY2(r.refused.at(0).startsWith(QStringLiteral("ContaCorrente, movimento 502: ")),
                 qPrintable(r.refused.at(0)));
        QVERIFY2(r.refused.at(0).contains(QStringLiteral("lançamento recusado")), qPrintable(r.refused.at(0)));
        const QList<QVariantMap> rows = accountRows(s);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].value("idmovnuvens").toInt(), 501);
        QCOMPARE(rows[1].value("idmovnuvens").toInt(), 503);
        QCOMPARE(marked(s), QStringList({"501", "503"}));
    }

    // A branch key from the settings without its list (the ERP was not reachable at start-up):
    // nothing to do, noted once.
    void branchListNotLoadedDoesNothing()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("banknolist"), QStringLiteral("qpsql"));
        s.overrideConnection(settings::cloudStoreSection, unreachableCloud);
        s.overrideConnection(settings::cloudMovementSection, unreachableCloud);
        s.start();
        s.state().cbFilial().closeList();
        s.state().clearLog();
        run(s);
        run(s);
        QCOMPARE(s.state().memo(),
                 QStringList({"Movimento bancário não importado: a lista de filiais ainda não foi carregada"}));
        QVERIFY(!s.integration().ConMov().isOpen());
    }
};

QTEST_GUILESS_MAIN(TestBankMovements)
#include "tst_bankmovements.moc"
