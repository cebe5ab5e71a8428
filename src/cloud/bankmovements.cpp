#include "cloud/bankmovements.h"

#include "core/failure.h"
#include "core/stationstate.h"
#include "db/connection.h"
#include "db/referencelists.h"

#include <algorithm>
#include <limits>
#include <QSet>

namespace carvela {
namespace {

const QString importingCaption = QStringLiteral("Atualizando Movimento Bancário");

// The movement selection, each line padded with blanks to 83 characters as the cloud's
// statement log has always shown it.
QStringList selectionLines()
{
    const QStringList lines = {
        QStringLiteral("select m.*, b.idagencia from velcor.mov_bancario m, velcor.bancos_agencias b"),
        QStringLiteral(" where m.idbanco = b.idbanco and m.id_empresa = b.id_loja"),
        QStringLiteral("   and m.id_empresa = :id_empresa  and m.atualizado is null"),
    };
    QStringList padded;
    for (const QString& line : lines)
        padded << line.leftJustified(83, u' ');
    return padded;
}

// The end steps of a run, on every way out once the guard has let it through.
class RunEnd {
public:
    RunEnd(BankMovementImport& run, Connection& conServer, Connection& conMov, StationState& state)
        : m_run(run)
        , m_conServer(conServer)
        , m_conMov(conMov)
        , m_state(state)
    {
    }
    ~RunEnd()
    {
        m_run.z_apoioM.close();
        m_run.z_loja.close();
        m_run.QyApoio.close(); // a row appended but not posted goes with it
        m_run.c_movimento.close();
        m_conServer.close();
        m_conMov.close();
        m_state.setCaption(StationState::restingCaption);
        StationState::letMessagesRun();
    }
    RunEnd(const RunEnd&) = delete;
    RunEnd& operator=(const RunEnd&) = delete;

private:
    BankMovementImport& m_run;
    Connection& m_conServer;
    Connection& m_conMov;
    StationState& m_state;
};

} // namespace

BankMovementImport::BankMovementImport(Connection& erp, Connection& conServer, Connection& conMov)
    : z_loja(QStringLiteral("z_loja"), conServer)
    , z_apoioM(QStringLiteral("z_apoioM"), conMov)
    , z_udpM(QStringLiteral("z_udpM"), conMov)
    , QyApoio(QStringLiteral("QyApoio"), erp)
    , c_movimento(QStringLiteral("c_movimento"), erp)
    , m_erp(erp)
    , m_conServer(conServer)
    , m_conMov(conMov)
{
    z_loja.setSql({QStringLiteral("select * from velcor.lojas"), QStringLiteral(" where cnpj_empresa = :cnpj_empresa"),
                   QStringLiteral("  and cnpj_filial= :cnpj_filial")});
    z_loja.declareParam(QStringLiteral("cnpj_empresa"), Query::ParamType::Text, 14);
    z_loja.declareParam(QStringLiteral("cnpj_filial"), Query::ParamType::Text, 14);
    z_apoioM.declareParam(QStringLiteral("id_empresa"), Query::ParamType::Int32);
    z_udpM.setSql({QStringLiteral("update velcor.mov_bancario set atualizado = 'S'"),
                   QStringLiteral(" where idmovimento = :id")});
    z_udpM.declareParam(QStringLiteral("id"), Query::ParamType::Int32);
    QyApoio.setTarget(QStringLiteral("ContaCorrente"));
    c_movimento.setSql({QStringLiteral("SELECT IdmovNuvens AS id FROM ContaCorrente"),
                        QStringLiteral(" WHERE IdmovNuvens BETWEEN :menor AND :maior")});
    c_movimento.declareParam(QStringLiteral("menor"), Query::ParamType::Int32);
    c_movimento.declareParam(QStringLiteral("maior"), Query::ParamType::Int32);
}

const Mapping& BankMovementImport::movementMapping()
{
    static const Mapping mapping = {
        constant("Pessoa", QStringLiteral("Banco")),
        toIntOr("codigo", "idagencia", 1),
        text("Documento", "documento"),
        toFloat("Valor", "valor_lancamento"),
        text("Tipo", "tipo_lancamento"),
        text("Descricao", "historico_lancamento"),
        text("Controle", "controle_banco"),
        toDateTime("Data", "data_lancamento"),
        computed("Idfilial", [](RowContext& row) { return QVariant(row.source.asInt(QStringLiteral("id_loja"))); }),
        text("Hora", "hora_lancamento"),
        computed("IdmovNuvens",
                 [](RowContext& row) { return QVariant(row.source.asInt(QStringLiteral("idmovimento"))); }),
    };
    return mapping;
}

namespace {

bool optionChosen(const StationState& state)
{
    return state.box(StationState::Box::cbIntMov) && state.cbFilial().key() && state.rsAtiva();
}

} // namespace

bool BankMovementImport::guardPasses(const StationState& state, const ReferenceLists& lists)
{
    return optionChosen(state) && lists.chosenBranch(state);
}

void BankMovementImport::ImportBankMovements(StationState& state, const ReferenceLists& lists, BankCounts& counts,
                                             const RowFailed& rowFailed)
{
    if (!optionChosen(state))
        return;
    // A branch key from the settings but no list to find its row in (the ERP was not reachable at
    // start-up): as with no branch chosen, nothing to do until the lists load.
    const QVariantMap* branch = lists.chosenBranch(state);
    if (!branch) {
        state.logOnce(QStringLiteral("Movimento bancário não importado: a lista de filiais ainda não foi carregada"));
        return;
    }
    state.setCaption(importingCaption);
    StationState::letMessagesRun();
    RunEnd end(*this, m_conServer, m_conMov, state);

    // The session keeps the UTF-8 the driver set at connect: accented histories arrive unchanged.
    // Each login may take a while: the window gets its turn after each.
    m_conMov.open();
    StationState::letMessagesRun();
    const int store = storeOf(*branch);
    StationState::letMessagesRun();

    z_apoioM.close();
    z_apoioM.setSql(selectionLines());
    z_apoioM.setParam(QStringLiteral("id_empresa"), store);
    z_apoioM.open();
    if (z_apoioM.isEmpty())
        return;
    QyApoio.close();
    QyApoio.setSql({QStringLiteral("SELECT * FROM ContaCorrente where 0<>0 ")});
    QyApoio.open();
    copy(state, counts, rowFailed);
}

int BankMovementImport::storeOf(const QVariantMap& branch)
{
    z_loja.close();
    z_loja.setParam(QStringLiteral("cnpj_empresa"), branch.value(QStringLiteral("cnpj")).toString());
    z_loja.setParam(QStringLiteral("cnpj_filial"), branch.value(QStringLiteral("cnpjfilial")).toString());
    z_loja.open();
    return z_loja.isEmpty() ? 0 : z_loja.asInt(QStringLiteral("id_loja"));
}

void BankMovementImport::copy(StationState& state, BankCounts& counts, const RowFailed& rowFailed)
{
    // The movements the ERP holds already (a mark that failed after its row was posted): found in
    // one statement for the run, so that they are only marked now, never copied twice.
    int lowest = std::numeric_limits<int>::max();
    int highest = std::numeric_limits<int>::min();
    for (z_apoioM.first(); !z_apoioM.eof(); z_apoioM.next()) {
        const int movement = z_apoioM.asInt(QStringLiteral("idmovimento"));
        lowest = std::min(lowest, movement);
        highest = std::max(highest, movement);
    }
    QSet<int> present;
    c_movimento.close();
    c_movimento.setParam(QStringLiteral("menor"), lowest);
    c_movimento.setParam(QStringLiteral("maior"), highest);
    c_movimento.open();
    for (; !c_movimento.eof(); c_movimento.next())
        present << c_movimento.asInt(QStringLiteral("id"));
    c_movimento.close();

    // A movement is marked only once its ERP row is committed: the rows go in batches, and each
    // batch's marks follow its commit. A mark that is lost leaves a row the next run only marks.
    struct Pending {
        int movement;
        bool inserted;
    };
    std::vector<Pending> pending;
    const auto markPending = [&] {
        if (pending.empty())
            return;
        Transaction marks(m_conMov);
        for (const Pending& p : pending) {
            z_udpM.setParam(QStringLiteral("id"), p.movement);
            z_udpM.execSql();
            StationState::letMessagesRun();
        }
        marks.commit();
        for (const Pending& p : pending)
            ++(p.inserted ? counts.inserted : counts.onlyMarked);
        pending.clear();
    };
    Batch batch(m_erp);
    for (z_apoioM.first(); !z_apoioM.eof(); z_apoioM.next()) {
        const int movement = z_apoioM.asInt(QStringLiteral("idmovimento"));
        // Refused once in this cycle, it is left for the next: the later imports of the same cycle
        // would meet the same refusal.
        if (counts.refused.contains(movement))
            continue;
        ++counts.read;
        bool inserted = false;
        try {
            Transaction unit(m_erp);
            if (!present.contains(movement)) {
                // Not kept once posted: a long run must not pile the rows up.
                QyApoio.appendUnread();
                RowContext row(state, z_apoioM, QyApoio);
                const QString identity = QStringLiteral("movimento %1").arg(movement);
                writeMapping(movementMapping(), row, true, QStringLiteral("ContaCorrente"), identity);
                postRow(QyApoio, QStringLiteral("ContaCorrente"), identity);
                inserted = true;
                // The selection may list a movement twice (a bank with two agencies at the store).
                present << movement;
            }
            unit.commit();
        } catch (const RowFailure& failure) {
            // Not written, so not marked: the next run tries it again.
            QyApoio.cancel();
            ++counts.failed;
            counts.refused << movement;
            rowFailed(failure.message());
            continue;
        }
        pending.push_back({movement, inserted});
        if (batch.commitIfDue())
            markPending();
    }
    batch.commit();
    markPending();
}

} // namespace carvela
