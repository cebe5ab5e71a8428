#pragma once

#include "cloud/bankmovements.h"
#include "core/cyclesummary.h"
#include "core/logfile.h"
#include "core/stationstate.h"
#include "db/connection.h"
#include "db/referencelists.h"
#include "integration/cloudbackoff.h"
#include "integration/namedqueries.h"

#include <functional>
#include <optional>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>
#include <vector>

namespace carvela {

class OperatorDialogs;

// The station's integration: the connections, the named queries, the two timers and the handlers
// that drive them, for the life of the process. The window (or the headless runner) owns it and
// shows its state.
class Integration : public QObject {
    Q_OBJECT
public:
    // A section of the cycle: the box that guards it, what it runs, whether the bank-movement
    // import follows it, and whether it copies the movements of the day (sales, entries): a row
    // that fails there holds the movement date, so that the row is tried again on the same day.
    struct Section {
        StationState::Box guard;
        std::function<void(Integration&)> run;
        bool bankMovementsAfter = false;
        bool movement = false;
    };

    Integration(QString settingsPath, OperatorDialogs& dialogs, QObject* parent = nullptr);
    ~Integration() override;

    StationState& state() { return m_state; }
    const QString& settingsPath() const { return m_settingsPath; }
    OperatorDialogs& dialogs() { return m_dialogs; }

    Connection& conexao() { return m_conexao; }
    Connection& Con_Quorim() { return m_quorim; }
    Connection& ConServer() { return m_conServer; }
    Connection& ConMov() { return m_conMov; }
    ReferenceLists& lists() { return m_lists; }
    NamedQueries& queries() { return m_queries; }
    BankMovementImport& bankMovements() { return m_bank; }
    QTimer& Timer1() { return m_timer1; }
    QTimer& Timer3() { return m_timer3; }
    // The company of the ERP counters; start-up sets it to 1.
    int companyNumber() const { return m_companyNumber; }

    // Without a window (--once, --headless, --check) a station with no connection file chosen
    // reaches the ERP through the [conexao] section of the settings file; the window's switch keeps
    // refusing to start without one.
    void setWindowless(bool windowless) { m_windowless = windowless; }
    // Whether the ERP can be reached: the chosen .udl exists, or none is chosen and the station
    // runs without a window.
    bool hasErpConnection() const;

    // Start-up: company 1, movement date today, the settings file, the connection file, Timer3.
    // An error stops it where it happens and goes to the caller, which shows it; what came before stays.
    void FormCreate();
    // The switch, after it took its new state from the operator's click.
    void rsAtivaClick();
    // Loads the reference lists while the connection file exists and the branch list is closed.
    void Timer1Timer();
    // "Salvar Parametros".
    void saveSettings();

    // One integration cycle (the handler of Timer3).
    void RunCycle();
    bool isCycleRunning() const { return m_cycleRunning; }
    // Whether the last cycle that ran had any failure: of the station, of a row, of the cloud.
    bool lastCycleFailed() const { return m_lastSummary.outcome() != CycleSummary::Outcome::Clean; }
    // The account of the last cycle that ran, and of the one running.
    const CycleSummary& lastSummary() const { return m_lastSummary; }
    CycleSummary& summary() { return m_summary; }

    // The label that names the running section in the cycle's error entry. The first label a
    // section sets also names its line in the cycle summary, unless it began one of its own.
    void setSectionLabel(const QString& label);
    const QString& sectionLabel() const { return m_sectionLabel; }
    // Starts the summary line of a section (the purchase entries count fuel and miscellaneous apart).
    void beginSummarySection(const QString& name);
    // The counts of the running section.
    SectionCounts& sectionCounts() { return m_summary.section(m_summarySection); }
    // A source row of the running section that failed: its entry "Erro na Tabela <label> \r<message>"
    // goes to the log once, it is named in the summary and counted as failed.
    void reportRowFailure(const QString& message);
    // A bank movement the ERP refused: logged once, named in the summary. It never holds the
    // movement date.
    void reportBankFailure(const QString& message);

    // Whether a master row is written only when a value differs from the ERP's (an integrator's
    // choice in Parametros.ini; off, every row is rewritten on every cycle).
    bool writeOnlyChanged() const { return m_writeOnlyChanged; }
    // The groups and brands the ERP was found to hold while a section runs ("ivgrupo:3"), so that
    // each is looked up once per section, not once per product. What a unit finds is kept only when
    // the unit is: it may have found a row it inserted itself. A section starts it afresh.
    // After a server took a whole batch with one refused row, units are committed one by one for
    // the rest of the process: slower, but a bad row then costs only itself.
    bool unitsAlone() const { return m_unitsAlone; }
    void setUnitsAlone() { m_unitsAlone = true; }
    std::optional<int> knownReference(const QString& key) const;
    void noteReference(const QString& key, int id) { m_unitReferences.insert(key, id); }
    void endUnitReferences(bool unitKept);
    void forgetReferences();

    // carvela.log beside the settings file: every log entry and every cycle summary.
    LogFile& logFile() { return m_logFile; }

    // The sections in the order the cycle reaches them, and the bank-movement import it runs at
    // the start and after the sections that ask for it.
    void setSections(std::vector<Section> sections) { m_sections = std::move(sections); }
    const std::vector<Section>& sections() const { return m_sections; }
    void setBankMovementImport(std::function<void(Integration&)> import) { m_bankMovements = std::move(import); }
    const std::function<void(Integration&)>& bankMovementImport() const { return m_bankMovements; }

    // The last error of the list loading, empty once the lists loaded (the window shows it).
    const QString& listLoadingError() const { return m_listError; }

    // Thrown by a movement section that finds the switch off at the top of a row: the cycle ends
    // at once, and only its end steps run.
    struct SwitchedOff {};
    // For the movement sections: throws SwitchedOff when the switch is off.
    void checkSwitch() const;

Q_SIGNALS:
    void cycleFinished(const carvela::CycleSummary& summary);
    void listLoadingErrorChanged(const QString& message);

private:
    void pointErpAtConnectionFile();
    void closeConnections();
    // Timer3 ticks exactly while the switch is on.
    void enableTimer3WithSwitch();
    void runSections();
    void importBankMovements();
    void reportCloudFailure(const QString& message);
    void recoverConnections();
    void logSummary(const CycleSummary& summary);
    void endSteps();

    StationState m_state;
    QString m_settingsPath;
    OperatorDialogs& m_dialogs;
    Connection m_conexao{QStringLiteral("conexao")};
    Connection m_quorim{QStringLiteral("Con_Quorim")};
    Connection m_conServer{QStringLiteral("ConServer")};
    Connection m_conMov{QStringLiteral("ConMov")};
    ReferenceLists m_lists{m_conexao};
    NamedQueries m_queries{m_conexao, m_quorim};
    BankMovementImport m_bank{m_conexao, m_conServer, m_conMov};
    QTimer m_timer1;
    QTimer m_timer3;
    int m_companyNumber = 0;
    QString m_sectionLabel;
    QString m_summarySection;
    std::vector<Section> m_sections;
    std::function<void(Integration&)> m_bankMovements;
    bool m_cycleRunning = false;
    bool m_runningMovementSection = false;
    bool m_movementRowFailed = false;
    CycleSummary m_summary;
    CycleSummary m_lastSummary;
    CloudBackoff m_cloudBackoff;
    LogFile m_logFile;
    QStringList m_lastLoggedCounts;
    bool m_loadingLists = false;
    bool m_windowless = false;
    bool m_writeOnlyChanged = false;
    QHash<QString, int> m_knownReferences;
    QHash<QString, int> m_unitReferences;
    bool m_unitsAlone = false;
    QString m_listError;
};

} // namespace carvela
