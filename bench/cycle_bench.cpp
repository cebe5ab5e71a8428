// The cycle benchmark: a station of a chosen size on one engine, a first cycle where everything is
// new and a steady cycle where nothing is, each section measured beside the floor (the least work
// that gives the same ERP contents) and the naive pattern (a SELECT by key, then an UPDATE or an
// INSERT, prepared afresh, one commit per row). Not a test: scripts/bench.sh runs it.
//
//   carvela_bench --engine sqlite|postgresql|postgresql-odbc [--scale F] [--mode spec|changed-only]
//                 [--no-references] [--json FILE]

#include "bench/benchstation.h"
#include "bench/probe.h"
#include "bench/references.h"
#include "core/cyclesummary.h"
#include "core/localzone.h"

#include <optional>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

using namespace carvela;
using namespace carvela::bench;

namespace {

// The section's rows as the cycle's summary counts them.
int rowsOf(const CycleSummary& summary, const QString& section)
{
    const auto read = [&](const char* label) {
        const SectionCounts* counts = summary.find(QString::fromUtf8(label));
        return counts ? counts->read : 0;
    };
    if (section == QLatin1String("customers"))
        return read("Clientes");
    if (section == QLatin1String("suppliers"))
        return read("Fornecedores");
    if (section == QLatin1String("products"))
        return read("Produtos");
    if (section == QLatin1String("sales"))
        return read("Vendas");
    if (section == QLatin1String("entries"))
        return read("Entradas Comb") + read("Entradas Div");
    if (section == QLatin1String("bank"))
        return summary.bank.read;
    return 0;
}

QJsonValue orNull(const std::optional<double>& value)
{
    return value ? QJsonValue(*value) : QJsonValue();
}

struct Row {
    explicit Row(QString name)
        : section(std::move(name))
    {
    }
    QString section;
    int rows = 0;
    Cost cost;
    std::optional<double> floorSeconds;
    std::optional<double> naiveSeconds;
};

} // namespace

int main(int argc, char* argv[])
{
    loadLocalZoneOnce(); // as the program does
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("engine"), QStringLiteral("sqlite, postgresql or postgresql-odbc"),
                      QStringLiteral("engine"), QStringLiteral("sqlite")});
    parser.addOption({QStringLiteral("scale"), QStringLiteral("times the default station"), QStringLiteral("F"),
                      QStringLiteral("1")});
    parser.addOption({QStringLiteral("mode"), QStringLiteral("spec or changed-only"), QStringLiteral("mode"),
                      QStringLiteral("spec")});
    parser.addOption({QStringLiteral("no-references"), QStringLiteral("measure ours only")});
    parser.addOption(
        {QStringLiteral("json"), QStringLiteral("write the rows as a JSON array"), QStringLiteral("FILE")});
    parser.process(app);

    const QString engine = parser.value(QStringLiteral("engine"));
    const QString stationEngine = engine == QLatin1String("sqlite")       ? QStringLiteral("sqlite")
                                  : engine == QLatin1String("postgresql") ? QStringLiteral("qpsql")
                                                                          : QStringLiteral("odbc");
    const QString mode = parser.value(QStringLiteral("mode"));
    const Volume volume = Volume::scaled(parser.value(QStringLiteral("scale")).toDouble());
    // The ODBC row shows what the driver layer costs; its references would be QPSQL's again.
    const bool references = !parser.isSet(QStringLiteral("no-references")) && stationEngine != QLatin1String("odbc");
    QTextStream out(stdout);

    BenchStation ours(stationEngine, volume, mode == QLatin1String("changed-only"));
    std::optional<BenchStation> floorStation;
    std::optional<BenchStation> naiveStation;
    if (references) {
        floorStation.emplace(stationEngine, volume, false);
        naiveStation.emplace(stationEngine, volume, false);
    }
    SectionProbe probe(ours.integration());

    QJsonArray json;
    int failures = 0;
    for (const QString& phase : {QStringLiteral("first"), QStringLiteral("steady")}) {
        std::optional<ErpSnapshot> before;
        if (references && phase == QLatin1String("first"))
            before.emplace(floorStation->station());
        const Cost all = probe.runCycle();
        if (ours.integration().lastCycleFailed()) {
            out << "cycle failed:\n" << ours.integration().lastSummary().table().join(u'\n') << Qt::endl;
            return 1;
        }
        const CycleSummary summary = ours.integration().lastSummary();

        std::map<QString, Reference::Timing> floorTimes;
        std::map<QString, Reference::Timing> naiveTimes;
        if (references) {
            const ErpSnapshot after(ours.station());
            const Reference::Phase p =
                phase == QLatin1String("first") ? Reference::Phase::First : Reference::Phase::Steady;
            const ErpSnapshot& start = before ? *before : after;
            floorTimes = Reference(floorStation->station(), Reference::Kind::Floor).run(p, start, after);
            naiveTimes = Reference(naiveStation->station(), Reference::Kind::Naive).run(p, start, after);
            for (auto* other : {&*floorStation, &*naiveStation}) {
                const QString difference = after.differenceFrom(ErpSnapshot(other->station()));
                if (!difference.isEmpty()) {
                    out << "ERP contents differ after the " << phase << " cycle: " << difference << Qt::endl;
                    ++failures;
                }
            }
        }

        std::vector<Row> rows;
        Row master(QStringLiteral("master"));
        Row total(QStringLiteral("all"));
        total.cost = all;
        for (const char* name : {"customers", "suppliers", "products", "sales", "entries", "bank"}) {
            Row row(QString::fromLatin1(name));
            if (const auto found = probe.sections().find(row.section); found != probe.sections().end())
                row.cost = found->second;
            row.rows = rowsOf(summary, row.section);
            if (references) {
                row.floorSeconds = floorTimes[row.section].seconds;
                row.naiveSeconds = naiveTimes[row.section].seconds;
            }
            if (row.section == QLatin1String("customers") || row.section == QLatin1String("suppliers") ||
                row.section == QLatin1String("products")) {
                master.rows += row.rows;
                master.cost.seconds += row.cost.seconds;
                master.cost.statements += row.cost.statements;
                master.cost.peakMib = std::max(master.cost.peakMib, row.cost.peakMib);
                master.cost.maxGapMs = std::max(master.cost.maxGapMs, row.cost.maxGapMs);
                if (references) {
                    master.floorSeconds = master.floorSeconds.value_or(0) + *row.floorSeconds;
                    master.naiveSeconds = master.naiveSeconds.value_or(0) + *row.naiveSeconds;
                }
            }
            total.rows += row.rows;
            rows.push_back(row);
        }
        if (references) {
            double floorAll = 0;
            double naiveAll = 0;
            for (const auto& [name, t] : floorTimes)
                floorAll += t.seconds;
            for (const auto& [name, t] : naiveTimes)
                naiveAll += t.seconds;
            total.floorSeconds = floorAll;
            total.naiveSeconds = naiveAll;
        }
        rows.push_back(master);
        rows.push_back(total);

        out << QStringLiteral("\n%1, %2, %3 cycle\n").arg(engine, mode, phase);
        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9\n")
                   .arg(QStringLiteral("section"), -10)
                   .arg(QStringLiteral("rows"), 7)
                   .arg(QStringLiteral("seconds"), 8)
                   .arg(QStringLiteral("rows/s"), 8)
                   .arg(QStringLiteral("stmt/row"), 8)
                   .arg(QStringLiteral("floor×"), 7)
                   .arg(QStringLiteral("naive×"), 7)
                   .arg(QStringLiteral("peak MiB"), 8)
                   .arg(QStringLiteral("gap ms"), 7);
        for (const Row& row : rows) {
            const double perSecond = row.cost.seconds > 0 ? row.rows / row.cost.seconds : 0;
            const double perRow = row.rows > 0 ? double(row.cost.statements) / row.rows : 0;
            const auto ratio = [&](const std::optional<double>& reference) {
                return reference && *reference > 0 ? QString::number(row.cost.seconds / *reference, 'f', 2)
                                                   : QStringLiteral("-");
            };
            const auto naiveRatio = [&](const std::optional<double>& reference) {
                return reference && row.cost.seconds > 0 ? QString::number(*reference / row.cost.seconds, 'f', 1)
                                                         : QStringLiteral("-");
            };
            out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9\n")
                       .arg(row.section, -10)
                       .arg(row.rows, 7)
                       .arg(row.cost.seconds, 8, 'f', 3)
                       .arg(perSecond, 8, 'f', 0)
                       .arg(perRow, 8, 'f', 2)
                       .arg(ratio(row.floorSeconds), 7)
                       .arg(naiveRatio(row.naiveSeconds), 7)
                       .arg(row.cost.peakMib, 8, 'f', 1)
                       .arg(row.cost.maxGapMs, 7, 'f', 1);
            json.append(QJsonObject{
                {QStringLiteral("engine"), engine},
                {QStringLiteral("mode"), mode},
                {QStringLiteral("phase"), phase},
                {QStringLiteral("section"), row.section},
                {QStringLiteral("rows"), row.rows},
                {QStringLiteral("seconds"), row.cost.seconds},
                {QStringLiteral("rows_per_second"), perSecond},
                {QStringLiteral("statements"), row.cost.statements},
                {QStringLiteral("statements_per_row"), perRow},
                {QStringLiteral("floor_seconds"), orNull(row.floorSeconds)},
                {QStringLiteral("naive_seconds"), orNull(row.naiveSeconds)},
                {QStringLiteral("peak_mib"), row.cost.peakMib},
                {QStringLiteral("max_gap_ms"), row.cost.maxGapMs},
            });
        }
        out.flush();
    }

    if (parser.isSet(QStringLiteral("json"))) {
        QFile file(parser.value(QStringLiteral("json")));
        if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(json).toJson()) < 0) {
            out << "cannot write " << file.fileName() << Qt::endl;
            return 1;
        }
    }
    return failures == 0 ? 0 : 1;
}
