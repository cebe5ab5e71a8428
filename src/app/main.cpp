#include "app/connectioncheck.h"
#include "app/demostation.h"
#include "app/headlessrunner.h"
#include "app/uPrincipalAdmin.h"
#include "core/failure.h"
#include "core/localzone.h"
#include "core/settings.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTextStream>

using namespace carvela;

namespace {

const char* const description =
    "Carvela copies customers, suppliers, products and the day's movements from the point-of-sale\n"
    "database into the ERP, and bank movements from the cloud, on a timer, from the tray.\n"
    "\n"
    "With no option it is the tray program, its Parametros.ini beside the executable.\n"
    "  --dir DIR                the same, with Parametros.ini in DIR\n"
    "  --show                   the same, with the window shown at start (for a desktop without a\n"
    "                           tray, where the icon that opens it is missing)\n"
    "  --headless [--dir DIR]   the same core and timers without a window; the caption and the\n"
    "                           log go to stdout\n"
    "  --once [--dir DIR] [--date YYYY-MM-DD]\n"
    "                           run cycles now, as if the switch were on, from the given movement\n"
    "                           date (default today) until a cycle on today's date has run; prints\n"
    "                           the log and a summary of each cycle. It stops early at a station\n"
    "                           failure and when a cycle leaves the date where it was. Exit codes:\n"
    "                             0  every cycle copied everything it read\n"
    "                             1  a station failure (a connection, a login, a missing table or\n"
    "                                column), or the program could not start\n"
    "                             2  the station ran, but rows failed (named in the log and the\n"
    "                                summary) or the cloud could not be reached\n"
    "  --check [--dir DIR]      open each of the four connections and say where it goes and whether\n"
    "                           it logs in (never a password), read the branch list, show the branch\n"
    "                           Filial names and its cloud store; exit 0 when all is well, else 1\n"
    "  --demo DIR               create (or reset) a demo station in DIR: Parametros.ini, erp.udl and\n"
    "                           the three databases as SQLite files (pos, erp, cloud)";

int fail(const QString& message)
{
    QTextStream(stderr) << message << Qt::endl;
    return exitStationFailure;
}

} // namespace

int main(int argc, char* argv[])
{
    carvela::loadLocalZoneOnce();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(description));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption dirOption(QStringLiteral("dir"), QStringLiteral("Folder of Parametros.ini."),
                                       QStringLiteral("DIR"));
    const QCommandLineOption show(QStringLiteral("show"), QStringLiteral("Show the window at start."));
    const QCommandLineOption headless(QStringLiteral("headless"), QStringLiteral("Run without a window."));
    const QCommandLineOption once(QStringLiteral("once"), QStringLiteral("Run cycles up to today, then exit."));
    const QCommandLineOption date(QStringLiteral("date"), QStringLiteral("First movement date for --once."),
                                  QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption demo(QStringLiteral("demo"), QStringLiteral("Create a demo station in DIR."),
                                  QStringLiteral("DIR"));
    const QCommandLineOption check(QStringLiteral("check"), QStringLiteral("Test the four connections."));
    parser.addOptions({help, dirOption, show, headless, once, date, demo, check});
    const bool parsed = parser.parse(arguments);
    const bool windowless = !parsed || parser.isSet(help) || parser.isSet(headless) || parser.isSet(once) ||
                            parser.isSet(demo) || parser.isSet(check);
    // Modes without a window must run where there is no display at all.
    std::unique_ptr<QCoreApplication> app =
        windowless ? std::make_unique<QCoreApplication>(argc, argv) : std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Carvela"));
    if (!parsed)
        return fail(parser.errorText() + QStringLiteral("\n\n") + parser.helpText());
    if (parser.isSet(help)) {
        QTextStream(stdout) << parser.helpText() << Qt::endl;
        return 0;
    }

    try {
        if (parser.isSet(demo)) {
            const QString dir = QDir(parser.value(demo)).absolutePath();
            createDemoStation(dir);
            QTextStream(stdout) << QStringLiteral("Estação de demonstração criada em %1").arg(dir) << Qt::endl;
            return 0;
        }
        const QString dir = parser.isSet(dirOption) ? QDir(parser.value(dirOption)).absolutePath()
                                                    : QCoreApplication::applicationDirPath();
        const QString settingsPath = settings::filePath(dir);
        if (parser.isSet(check))
            return runCheck(settingsPath);
        if (parser.isSet(once)) {
            QDate from = QDate::currentDate();
            if (parser.isSet(date)) {
                from = QDate::fromString(parser.value(date), Qt::ISODate);
                if (!from.isValid())
                    return fail(QStringLiteral("--date: '%1' is not a date YYYY-MM-DD").arg(parser.value(date)));
            }
            return runOnce(settingsPath, from);
        }
        if (parser.isSet(headless))
            return runHeadless(settingsPath);

        QApplication::setQuitOnLastWindowClosed(false); // closing the window only hides it
        TFprincipalAdmin window(settingsPath);
        if (parser.isSet(show))
            window.ShowMainWindow();
        return QApplication::exec();
    } catch (const Failure& failure) {
        return fail(failure.message());
    }
}
