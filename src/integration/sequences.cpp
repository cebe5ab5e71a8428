#include "integration/sequences.h"

#include "db/query.h"

namespace carvela {
namespace {

// The branch counter and the table that seeds it differ between sales and entries; the steps don't.
struct BranchCounter {
    const char* counter;    // column of filial
    const char* seedColumn; // highest number already stored
    const char* seedTable;
};

int nextBranchNumber(Connection& erp, const BranchCounter& c, int store, int company)
{
    const QString storeText = QString::number(store);
    const QString companyText = QString::number(company);
    Query q(QStringLiteral("Seq"), erp);
    q.setSql({QStringLiteral("Select COALESCE(max(%1),0) as Seq from filial").arg(QLatin1String(c.counter)),
              QStringLiteral(" where idempresa = ") + companyText, QStringLiteral("   and idfilial  = ") + storeText});
    q.open();
    int result = q.asInt(QStringLiteral("Seq"));
    if (result != 0) {
        result += 1;
    } else {
        q.close();
        q.setSql({QStringLiteral("Select COALESCE(max(%1),0) as Seq from %2")
                      .arg(QLatin1String(c.seedColumn), QLatin1String(c.seedTable)),
                  QStringLiteral(" where idempresa = ") + companyText,
                  QStringLiteral("   and idloja  = ") + storeText});
        q.open();
        result = q.asInt(QStringLiteral("Seq")) + 1;
    }
    q.close();
    q.setSql({QStringLiteral("Update filial set %1 = :seq ").arg(QLatin1String(c.counter)),
              QStringLiteral(" where idempresa = ") + companyText, QStringLiteral("   and idfilial  = ") + storeText});
    q.declareParam(QStringLiteral("seq"), Query::ParamType::Int32);
    q.setParam(QStringLiteral("seq"), result);
    q.execSql();
    return result;
}

// Draws numbers until one is free in the table (company 1 ... the table's own number column).
int nextFree(Connection& erp, const BranchCounter& c, int store, int company, int (*draw)(Connection&, int, int))
{
    Query taken(QStringLiteral("NumeroUsado"), erp);
    taken.setSql({QStringLiteral("select count(*) as n from %1").arg(QLatin1String(c.seedTable)),
                  QStringLiteral(" where idempresa = ") + QString::number(company),
                  QStringLiteral("   and idloja = ") + QString::number(store),
                  QStringLiteral("   and %1 = :numero").arg(QLatin1String(c.seedColumn))});
    taken.declareParam(QStringLiteral("numero"), Query::ParamType::Int32);
    for (;;) {
        const int number = draw(erp, store, company);
        taken.close();
        taken.setParam(QStringLiteral("numero"), number);
        taken.open();
        if (taken.asInt(QStringLiteral("n")) == 0)
            return number;
    }
}

const BranchCounter saleCounter = {"SeqVenda", "idvenda", "lj_venda"};
const BranchCounter entryCounter = {"SeqEntNota", "IdEntrada", "LJ_Entradas"};

} // namespace

int NextFreeSaleNumber(Connection& erp, int store)
{
    return nextFree(erp, saleCounter, store, 1, [](Connection& e, int s, int) { return NextSaleNumber(e, s); });
}

int NextFreeEntryNumber(Connection& erp, int store, int company)
{
    return nextFree(erp, entryCounter, store, company,
                    [](Connection& e, int s, int c) { return NextEntryNumber(e, s, c); });
}

int NextFreeSequence(Connection& erp)
{
    Query taken(QStringLiteral("IdUsado"), erp);
    taken.setSql({QStringLiteral("select count(*) as n from capagar"), QStringLiteral(" where id = :id")});
    taken.declareParam(QStringLiteral("id"), Query::ParamType::Int32);
    for (;;) {
        const int id = NextSequence(erp);
        taken.close();
        taken.setParam(QStringLiteral("id"), id);
        taken.open();
        if (taken.asInt(QStringLiteral("n")) == 0)
            return id;
    }
}

int NextSaleNumber(Connection& erp, int store)
{
    return nextBranchNumber(erp, saleCounter, store, 1);
}

int NextEntryNumber(Connection& erp, int store, int company)
{
    return nextBranchNumber(erp, entryCounter, store, company);
}

int NextSequence(Connection& erp)
{
    Query q(QStringLiteral("Seq"), erp);
    q.setSql({QStringLiteral("Select * "), QStringLiteral(" From Lj_Sequencial "),
              QStringLiteral(" where Tabela     = :tabela ")});
    q.declareParam(QStringLiteral("tabela"), Query::ParamType::Text, 20);
    q.setParam(QStringLiteral("tabela"), QStringLiteral("Apagar"));
    q.setTarget(QStringLiteral("Lj_Sequencial"), {QStringLiteral("Tabela")});
    q.open();
    int result = 1;
    if (q.isEmpty()) {
        q.append();
        q.setValue(QStringLiteral("Tabela"), QStringLiteral("Apagar"));
    } else {
        result = q.asInt(QStringLiteral("sequencial")) + 1;
        q.edit();
    }
    q.setValue(QStringLiteral("sequencial"), result);
    q.post();
    q.close();
    return result;
}

} // namespace carvela
