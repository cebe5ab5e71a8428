#include "integration/integration.h"

#include "core/failure.h"
#include "core/operatordialogs.h"
#include "core/settings.h"

#include <QFileInfo>

namespace carvela {
namespace {

bool fileExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

// A flag that stays set for the life of a scope, whatever way the scope is left.
class ScopedFlag {
public:
    explicit ScopedFlag(bool& flag)
        : m_flag(flag)
    {
        m_flag = true;
    }
    ~ScopedFlag() { m_flag = false; }
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;

private:
    bool& m_flag;
};

} // namespace

Integration::Integration(QString settingsPath, OperatorDialogs& dialogs, QObject* parent)
    : QObject(parent)
    , m_settingsPath(std::move(settingsPath))
    , m_dialogs(dialogs)
    , m_logFile(LogFile::besideSettings(m_settingsPath))
{
    const QString path = m_settingsPath;
    m_conexao.setConnectionString(
        settings::connectionString(path, settings::erpSection, settings::defaultErpConnection));
    m_quorim.setConnectionString(
        settings::connectionString(path, settings::posSection, settings::defaultPosConnection));
    m_conServer.setConnectionString(
        settings::connectionString(path, settings::cloudStoreSection, settings::defaultCloudStoreConnection));
    m_conMov.setConnectionString(
        settings::connectionString(path, settings::cloudMovementSection, settings::defaultCloudMovementConnection));

    m_timer1.setInterval(1000);
    connect(&m_timer1, &QTimer::timeout, this, &Integration::Timer1Timer);
    m_timer1.start();
    m_timer3.setInterval(5000);
    connect(&m_state, &StationState::logAppended, this, [this](const QString& entry) { m_logFile.write(entry); });
    connect(&m_timer3, &QTimer::timeout, this, &Integration::RunCycle);
}

Integration::~Integration() = default;

void Integration::FormCreate()
{
    m_companyNumber = 1;
    m_state.setMovementDate(QDate::currentDate());
    m_writeOnlyChanged = settings::writeOnlyChanged(m_settingsPath);
    settings::readAtStartup(m_settingsPath, m_state);
    if (fileExists(m_state.edtSql()))
        pointErpAtConnectionFile();
    m_timer3.setInterval(m_state.seTempo() * 1000);
    enableTimer3WithSwitch();
}

bool Integration::hasErpConnection() const
{
    return fileExists(m_state.edtSql()) || (m_windowless && m_state.edtSql().isEmpty());
}

void Integration::pointErpAtConnectionFile()
{
    m_conexao.close();
    m_conexao.setConnectionString(QStringLiteral("FILE NAME=") + m_state.edtSql());
}

void Integration::closeConnections()
{
    m_conServer.close();
    m_quorim.close();
    m_conexao.close();
}

void Integration::rsAtivaClick()
{
    if (!fileExists(m_state.edtSql())) {
        m_dialogs.inform(QStringLiteral("Informar o arquivo udl do velcor"));
        m_state.setRsAtiva(false);
        return;
    }
    try {
        closeConnections();
        if (m_state.rsAtiva()) {
            pointErpAtConnectionFile();
            m_conexao.open();
            m_timer3.setInterval(m_state.seTempo() * 1000);
            m_state.clearLog();
        }
    } catch (const Failure& failure) {
        // The switch stays as the operator set it; Timer3 keeps the state it had.
        m_dialogs.showError(failure.message());
        return;
    }
    enableTimer3WithSwitch();
}

void Integration::enableTimer3WithSwitch()
{
    if (m_state.rsAtiva())
        m_timer3.start();
    else
        m_timer3.stop();
}

void Integration::Timer1Timer()
{
    if (m_loadingLists || !hasErpConnection() || m_lists.isBranchListOpen())
        return;
    ScopedFlag loading(m_loadingLists);
    try {
        m_lists.load(m_settingsPath, m_state);
        if (!m_listError.isEmpty()) {
            m_listError.clear();
            Q_EMIT listLoadingErrorChanged(m_listError);
        }
    } catch (const Failure& failure) {
        // Retried every second while the branch list stays closed: the operator is shown a
        // failure once, and again only when it changes; the window keeps showing the last one.
        if (failure.message() != m_listError) {
            m_listError = failure.message();
            Q_EMIT listLoadingErrorChanged(m_listError);
            m_dialogs.showError(m_listError);
        }
    }
}

void Integration::saveSettings()
{
    try {
        settings::save(m_settingsPath, m_state);
    } catch (const Failure& failure) {
        m_dialogs.showError(failure.message());
    }
}

void Integration::setSectionLabel(const QString& label)
{
    m_sectionLabel = label;
    if (m_summarySection.isEmpty())
        beginSummarySection(label);
}

void Integration::beginSummarySection(const QString& name)
{
    m_summarySection = name;
    m_summary.section(name);
}

void Integration::reportRowFailure(const QString& message)
{
    m_state.logOnce(QStringLiteral("Erro na Tabela ") + m_sectionLabel + QStringLiteral(" \r") + message);
    m_summary.failures << m_summarySection + QStringLiteral(": ") + message;
    ++sectionCounts().failed;
    if (m_runningMovementSection)
        m_movementRowFailed = true;
}

void Integration::reportBankFailure(const QString& message)
{
    m_state.logOnce(QStringLiteral("Erro na Tabela ") + m_sectionLabel + QStringLiteral(" \r") + message);
    m_summary.failures << QStringLiteral("Movimento bancário: ") + message;
}

void Integration::reportCloudFailure(const QString& message)
{
    // Not once only: the cloud's pause keeps a cloud that stays down from filling the log.
    m_state.appendLog(QStringLiteral("Erro na Tabela ") + m_sectionLabel + QStringLiteral(" \r") + message);
    m_summary.failures << QStringLiteral("Movimento bancário: ") + message;
}

void Integration::checkSwitch() const
{
    if (!m_state.rsAtiva())
        throw SwitchedOff{};
}

void Integration::importBankMovements()
{
    if (!m_bankMovements)
        return;
    // The cloud is reached over the internet, the POS and the ERP over the local network: a cloud
    // that fails ends this import only, and the station goes on copying.
    const bool wanted = BankMovementImport::guardPasses(m_state, m_lists);
    if (wanted && m_cloudBackoff.holding()) {
        ++m_summary.bank.skippedOffline;
        return;
    }
    m_summary.bankRan = m_summary.bankRan || wanted;
    try {
        m_bankMovements(*this);
        if (wanted)
            m_cloudBackoff.reached();
    } catch (const Failure& failure) {
        // The ERP is the station's own: its failures end the cycle here as in any section.
        if (failure.connection() == m_conexao.name())
            throw;
        reportCloudFailure(failure.message());
        if (const auto* connection = dynamic_cast<const ConnectionFailure*>(&failure);
            connection && connection->kind() == ConnectionFailure::Kind::CouldNotConnect)
            m_cloudBackoff.connectFailed();
    }
}

void Integration::runSections()
{
    m_timer3.stop();
    importBankMovements();
    for (const Section& section : m_sections) {
        if (!m_state.box(section.guard) || !m_state.rsAtiva())
            continue;
        m_runningMovementSection = section.movement;
        m_summarySection.clear();
        section.run(*this);
        m_runningMovementSection = false;
        if (section.bankMovementsAfter)
            importBankMovements();
    }
    // A sale or entry that failed is tried again on the same day: its day is never left behind.
    if (m_movementRowFailed)
        return;
    const QDate today = QDate::currentDate();
    if (today > m_state.movementDate()) {
        m_state.setMovementDate(m_state.movementDate().addDays(1));
        m_summary.dateAdvanced = true;
    }
}

std::optional<int> Integration::knownReference(const QString& key) const
{
    if (const auto found = m_knownReferences.constFind(key); found != m_knownReferences.constEnd())
        return found.value();
    if (const auto found = m_unitReferences.constFind(key); found != m_unitReferences.constEnd())
        return found.value();
    return std::nullopt;
}

void Integration::endUnitReferences(bool unitKept)
{
    if (unitKept)
        m_knownReferences.insert(m_unitReferences);
    m_unitReferences.clear();
}

void Integration::forgetReferences()
{
    m_knownReferences.clear();
    m_unitReferences.clear();
}

void Integration::RunCycle()
{
    // A tick that arrives while a cycle lets window messages run must not start a second one.
    if (m_cycleRunning || m_timer3.interval() == 0 || !m_state.rsAtiva())
        return;
    ScopedFlag running(m_cycleRunning);
    m_sectionLabel.clear();
    m_summarySection.clear();
    m_summary = CycleSummary{};
    m_summary.movementDate = m_state.movementDate();
    m_summary.started = QDateTime::currentDateTime();
    m_movementRowFailed = false;
    m_runningMovementSection = false;
    std::optional<QString> recoveryError;
    const auto logStationFailure = [this](const QString& message) {
        m_summary.stationFailure = message;
        m_state.appendLog(QStringLiteral("Erro na Tabela ") + m_sectionLabel + QStringLiteral(" \r") + message);
    };
    try {
        runSections();
    } catch (const SwitchedOff&) {
        // The switch went off under a movement section: only the end steps run.
        m_summary.switchedOff = true;
    } catch (const Failure& failure) {
        logStationFailure(failure.message());
        if (failure.message().contains(QStringLiteral("Falha de conexão"))) {
            try {
                recoverConnections();
            } catch (const Failure& again) {
                recoveryError = again.message();
            }
        }
    } catch (const std::exception& error) {
        logStationFailure(QString::fromLocal8Bit(error.what()));
    }
    endSteps();
    m_summary.finished = QDateTime::currentDateTime();
    m_lastSummary = m_summary;
    logSummary(m_lastSummary);
    if (recoveryError)
        m_dialogs.showError(*recoveryError);
    Q_EMIT cycleFinished(m_lastSummary);
}

void Integration::logSummary(const CycleSummary& summary)
{
    // A station repeats the same cycle every few seconds: a summary like the one before it is one
    // line, so that carvela.log keeps days, not hours.
    QStringList table = summary.table();
    const QStringList counts = table.mid(1);
    if (counts == m_lastLoggedCounts) {
        m_logFile.write(table.first() + QStringLiteral(" (contagens como no ciclo anterior)"));
        return;
    }
    m_lastLoggedCounts = counts;
    m_logFile.write(table);
}

void Integration::recoverConnections()
{
    m_state.clearLog();
    m_timer3.stop();
    closeConnections();
    m_conexao.open();
    m_timer3.setInterval(m_state.seTempo() * 1000);
    enableTimer3WithSwitch();
}

void Integration::endSteps()
{
    m_state.setCaption(StationState::restingCaption);
    m_timer3.start();
    for (const auto bar :
         {StationState::Bar::pbClientes, StationState::Bar::pbFornecedor, StationState::Bar::pbProdutos,
          StationState::Bar::pbUsuarios, StationState::Bar::pbVendas, StationState::Bar::pbEntradas})
        m_state.setProgressPosition(bar, 0);
    StationState::letMessagesRun();
}

} // namespace carvela
