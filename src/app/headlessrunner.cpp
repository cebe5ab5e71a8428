#include "app/headlessrunner.h"

#include "core/failure.h"
#include "core/operatordialogs.h"
#include "integration/integration.h"
#include "integration/sections.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QTextStream>

namespace carvela {
namespace {

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

QString stamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("[dd/MM/yyyy HH:mm:ss] "));
}

// A log entry may hold a carriage return between the section and the message.
QString printable(QString entry)
{
    return entry.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
}

// Boxes become lines: no one is there to answer them.
class ConsoleDialogs : public OperatorDialogs {
public:
    void inform(const QString& text) override { err() << stamp() << text << Qt::endl; }
    void showError(const QString& text) override { err() << stamp() << QStringLiteral("Erro: ") << text << Qt::endl; }
    bool ask(const QString&, const QString&) override { return false; }
};

// The log as it grows, and the account of each cycle after it.
void printLogAndSummaries(Integration& integration)
{
    QObject::connect(&integration.state(), &StationState::logAppended, &integration,
                     [](const QString& entry) { out() << stamp() << printable(entry) << Qt::endl; });
    QObject::connect(&integration, &Integration::cycleFinished, &integration, [](const CycleSummary& summary) {
        const QStringList lines = summary.table();
        for (qsizetype i = 0; i < lines.size(); ++i)
            out() << (i == 0 ? stamp() : QString(stamp().size(), u' ')) << lines.at(i) << u'\n';
        out() << Qt::flush;
    });
}

// A .udl named in the settings that is not there: said with its path.
QString missingConnectionFile(const StationState& state)
{
    return QStringLiteral("Arquivo de conexão não encontrado: %1").arg(QDir::toNativeSeparators(state.edtSql()));
}

} // namespace

int runHeadless(const QString& settingsPath)
{
    ConsoleDialogs dialogs;
    Integration integration(settingsPath, dialogs);
    integration.setWindowless(true);
    installSections(integration);
    printLogAndSummaries(integration);
    QObject::connect(&integration.state(), &StationState::captionChanged, &integration,
                     [](const QString& caption) { out() << stamp() << caption << Qt::endl; });
    try {
        integration.FormCreate();
        // A connection file named but missing: no cycle may go to another ERP instead.
        if (!integration.hasErpConnection()) {
            dialogs.showError(missingConnectionFile(integration.state()));
            return exitStationFailure;
        }
    } catch (const Failure& failure) {
        dialogs.showError(failure.message());
    }
    return QCoreApplication::exec();
}

int runOnce(const QString& settingsPath, QDate from)
{
    ConsoleDialogs dialogs;
    Integration integration(settingsPath, dialogs);
    integration.setWindowless(true);
    installSections(integration);
    printLogAndSummaries(integration);
    // The cycles are driven from here, one after the other.
    integration.Timer1().stop();
    try {
        integration.FormCreate();
        integration.Timer3().stop();
        StationState& state = integration.state();
        if (!integration.hasErpConnection()) {
            dialogs.showError(missingConnectionFile(state));
            return exitStationFailure;
        }
        integration.Timer3().setInterval(state.seTempo() * 1000);
        state.setRsAtiva(true);
        integration.lists().load(settingsPath, state);
        state.setMovementDate(from);
    } catch (const Failure& failure) {
        dialogs.showError(failure.message());
        return exitStationFailure;
    }
    StationState& state = integration.state();
    int exitCode = exitClean;
    for (;;) {
        const QDate date = state.movementDate();
        integration.RunCycle();
        integration.Timer3().stop();
        switch (integration.lastSummary().outcome()) {
        case CycleSummary::Outcome::StationFailure:
            return exitStationFailure;
        case CycleSummary::Outcome::Incomplete:
            exitCode = exitIncomplete;
            break;
        case CycleSummary::Outcome::Clean:
            break;
        }
        // Done once a cycle on today's date has run; a date that a failed sale or entry held
        // would only repeat the same cycle.
        if (date >= QDate::currentDate() || state.movementDate() == date)
            return exitCode;
    }
}

} // namespace carvela
