#include "app/connectioncheck.h"

#include "app/headlessrunner.h"
#include "core/failure.h"
#include "core/operatordialogs.h"
#include "integration/integration.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTextStream>

namespace carvela {
namespace {

class SilentDialogs : public OperatorDialogs {
public:
    void inform(const QString&) override {}
    void showError(const QString&) override {}
    bool ask(const QString&, const QString&) override { return false; }
};

QString oneLine(QString text)
{
    return text.replace(u'\r', u' ').replace(u'\n', u' ').simplified();
}

} // namespace

int runCheck(const QString& settingsPath)
{
    QTextStream out(stdout);
    SilentDialogs dialogs;
    Integration integration(settingsPath, dialogs);
    integration.setWindowless(true);
    integration.Timer1().stop();
    bool allWell = true;
    const auto report = [&](const QString& name, bool ok, const QString& text) {
        out << name.leftJustified(12) << (ok ? QStringLiteral("ok     ") : QStringLiteral("FALHOU ")) << text
            << Qt::endl;
        allWell = allWell && ok;
    };

    try {
        integration.FormCreate();
    } catch (const Failure& failure) {
        report(QStringLiteral("Parametros"), false, oneLine(failure.message()));
    }
    integration.Timer3().stop();
    StationState& state = integration.state();
    if (!integration.hasErpConnection())
        report(QStringLiteral("conexao"), false,
               QStringLiteral("Arquivo de conexão não encontrado: %1").arg(QDir::toNativeSeparators(state.edtSql())));

    bool erpOpen = false;
    for (Connection* connection :
         {&integration.conexao(), &integration.Con_Quorim(), &integration.ConServer(), &integration.ConMov()}) {
        QElapsedTimer clock;
        clock.start();
        try {
            connection->open();
            report(connection->name(), true,
                   QStringLiteral("%1 (login em %2 ms)").arg(connection->target().describe()).arg(clock.elapsed()));
            erpOpen = erpOpen || connection == &integration.conexao();
        } catch (const Failure& failure) {
            report(connection->name(), false, oneLine(failure.message()));
        }
    }
    if (!erpOpen) {
        out << QStringLiteral("A lista de filiais não foi lida: o ERP não está acessível") << Qt::endl;
        return exitStationFailure;
    }

    try {
        integration.lists().load(settingsPath, state);
        const QVariantMap* branch = integration.lists().chosenBranch(state);
        if (!branch) {
            report(QStringLiteral("Filial"), false,
                   QStringLiteral("a filial %1 não está na lista de filiais do ERP (%2 filiais)")
                       .arg(state.cbFilial().keyText())
                       .arg(integration.lists().QyFilial.rowCount()));
        } else {
            const QString cnpj = branch->value(QStringLiteral("cnpj")).toString();
            const QString cnpjFilial = branch->value(QStringLiteral("cnpjfilial")).toString();
            report(QStringLiteral("Filial"), true,
                   QStringLiteral("%1 %2 (CNPJ %3, filial %4)")
                       .arg(state.cbFilial().keyText(), branch->value(QStringLiteral("fantasia")).toString(), cnpj,
                            cnpjFilial));
            Query& store = integration.bankMovements().z_loja;
            store.close();
            store.setParam(QStringLiteral("cnpj_empresa"), cnpj);
            store.setParam(QStringLiteral("cnpj_filial"), cnpjFilial);
            store.open();
            if (store.isEmpty())
                report(QStringLiteral("Nuvem"), false,
                       QStringLiteral("nenhuma loja em velcor.lojas com cnpj_empresa %1 e cnpj_filial %2")
                           .arg(cnpj, cnpjFilial));
            else
                report(QStringLiteral("Nuvem"), true,
                       QStringLiteral("loja %1 de velcor.lojas").arg(store.asString(QStringLiteral("id_loja"))));
            store.close();
        }
    } catch (const Failure& failure) {
        report(QStringLiteral("Listas"), false, oneLine(failure.message()));
    }
    return allWell ? exitClean : exitStationFailure;
}

} // namespace carvela
