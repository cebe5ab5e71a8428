#include "app/headlessrunner.h"

#include "core/failure.h"
#include "core/operatordialogs.h"
#include "integration/integration.h"
#include "integration/sections.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
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

void printLog(Integration& integration)
{
    QObject::connect(&integration.state(), &StationState::logAppended, &integration,
                     [](const QString& entry) { out() << stamp() << printable(entry) << Qt::endl; });
}

} // namespace

int runHeadless(const QString& settingsPath)
{
    ConsoleDialogs dialogs;
    Integration integration(settingsPath, dialogs);
    installSections(integration);
    printLog(integration);
    QObject::connect(&integration.state(), &StationState::captionChanged, &integration,
                     [](const QString& caption) { out() << stamp() << caption << Qt::endl; });
    try {
        integration.FormCreate();
    } catch (const Failure& failure) {
        dialogs.showError(failure.message());
    }
    return QCoreApplication::exec();
}

int runOnce(const QString& settingsPath, QDate from)
{
    ConsoleDialogs dialogs;
    Integration integration(settingsPath, dialogs);
    installSections(integration);
    printLog(integration);
    // The cycles are driven from here, one after the other.
    integration.Timer1().stop();
    try {
        integration.FormCreate();
        integration.Timer3().stop();
        StationState& state = integration.state();
        if (!QFileInfo(state.edtSql()).isFile()) {
            dialogs.inform(QStringLiteral("Informar o arquivo udl do velcor"));
            return 1;
        }
        integration.Timer3().setInterval(state.seTempo() * 1000);
        state.setRsAtiva(true);
        integration.lists().load(settingsPath, state);
        state.setMovementDate(from);
    } catch (const Failure& failure) {
        dialogs.showError(failure.message());
        return 1;
    }
    StationState& state = integration.state();
    for (;;) {
        const QDate date = state.movementDate();
        out() << stamp() << QStringLiteral("Ciclo do movimento de %1").arg(date.toString(QStringLiteral("dd/MM/yyyy")))
              << Qt::endl;
        integration.RunCycle();
        integration.Timer3().stop();
        if (integration.lastCycleFailed())
            return 1;
        if (date >= QDate::currentDate())
            return 0;
    }
}

} // namespace carvela
