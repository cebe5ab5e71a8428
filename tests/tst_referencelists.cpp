#include "core/failure.h"
#include "fixtures/builders.h"
#include "support/teststation.h"

#include <QTest>

using namespace carvela;
using carvela::test::TestStation;

class TestReferenceLists : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase_data() { test::addEngineRows(); }

    void listsAndKeys()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("lists"));
        test::insertRow(s.erp(), "filial", {{"idempresa", 1}, {"idfilial", 2}, {"fantasia", "Posto Beira-Rio"}});
        test::insertRow(s.erp(), "ivtpdoc", {{"idtipodoc", "NF"}, {"descricao", "Nota Fiscal"}, {"tipo", "E"}});
        test::insertRow(s.erp(), "ivtpdoc", {{"idtipodoc", "NS"}, {"descricao", "Saída"}, {"tipo", "S"}});
        const QString sixty = QStringLiteral("Compra de combustível ou lubrificante para comercialização ").left(60);
        test::insertRow(s.erp(), "natoperacao",
                        {{"id_natoper", 7}, {"descricao", sixty}, {"cfop", "1652"}, {"entradasaida", "E"}});
        test::insertRow(
            s.erp(), "natoperacao",
            {{"id_natoper", 8}, {"descricao", "Aquisição de serviço"}, {"cfop", "1933"}, {"entradasaida", "E"}});
        test::insertRow(s.erp(), "natoperacao",
                        {{"id_natoper", 9}, {"descricao", "Venda"}, {"cfop", "5102"}, {"entradasaida", "S"}});
        test::insertRow(s.erp(), "centrocusto", {{"idccusto", 1}, {"descricaoccusto", "Combustíveis"}});
        test::insertRow(s.erp(), "centrocusto", {{"idccusto", 2}, {"descricaoccusto", "Loja"}});
        s.start({{"Filial", "42"}, {"TpDoc", "nf"}, {"NatOper", "7"}, {"Custo1", "0"}, {"Custo2", "2"}});
        StationState& st = s.state();

        // A branch key that matches no branch leaves the combo empty: nothing to save, no bank import.
        QCOMPARE(st.cbFilial().rows().size(), 2);
        QCOMPARE(st.cbFilial().key(), std::nullopt);
        QVERIFY(!s.integration().lists().chosenBranch(st));
        // Keys match without regard to case; only entry document types are listed.
        QCOMPARE(st.EdtTpDoc().rows().size(), 1);
        QCOMPARE(st.EdtTpDoc().key(), std::optional<QString>("nf"));
        QCOMPARE(st.EdtTpDoc().current()->key, QStringLiteral("NF"));
        QCOMPARE(st.EdtTpDoc().current()->columns, QStringList({"Nota Fiscal", "NF"}));
        // Natures of entry, by description; the closed box shows Cfop-description cut to 50.
        QCOMPARE(st.edtOper().rows().size(), 2);
        QCOMPARE(st.edtOper().rows().first().key, QStringLiteral("8"));
        QCOMPARE(st.edtOper().current()->closedText, QStringLiteral("1652-") + sixty.left(45));
        QCOMPARE(st.edtOper().current()->closedText.size(), 50);
        // Custo1 at 0 is the combo's empty value: no key.
        QCOMPARE(st.edtCcusto().key(), std::nullopt);
        QCOMPARE(st.edtCcusto2().key(), std::optional<QString>("2"));
        QCOMPARE(st.edtCcusto2().current()->closedText, QStringLiteral("Loja"));

        // Choosing a branch makes its row the current one.
        st.cbFilial().setKey(QStringLiteral("2"));
        const QVariantMap* branch = s.integration().lists().chosenBranch(st);
        QVERIFY(branch);
        QCOMPARE(branch->value("fantasia").toString(), QStringLiteral("Posto Beira-Rio"));
    }

    void aListThatCannotOpenIsShownOnceAndRetried()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("listfail"));
        test::exec(s.erp(), "drop table centrocusto");
        s.start();
        // The branch list opened, the cost centres did not; retries with the same failure add no box.
        Integration& i = s.integration();
        i.lists().QyFilial.close();
        i.Timer1Timer();
        i.Timer1Timer();
        QCOMPARE(s.dialogs.errors.size(), 1);
        QVERIFY(!i.listLoadingError().isEmpty());
        QVERIFY(i.lists().isBranchListOpen());
        test::exec(s.erp(), "create table centrocusto (idccusto integer, descricaoccusto varchar(50))");
        i.lists().QyFilial.close();
        i.Timer1Timer();
        QCOMPARE(i.listLoadingError(), QString());
        QCOMPARE(s.dialogs.errors.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestReferenceLists)
#include "tst_referencelists.moc"
