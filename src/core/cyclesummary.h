#pragma once

#include <optional>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

namespace carvela {

// What one section did with its source rows in one cycle.
struct SectionCounts {
    int read = 0;
    int inserted = 0;
    int updated = 0;
    int existing = 0; // already in the ERP, left as they were
    int failed = 0;
    // What the written units brought along, by name ("itens", "produtos trazidos", ...).
    QList<std::pair<QString, int>> brought;
    void add(const QString& what, int count);
};

// What the bank-movement imports of one cycle did, all runs together.
struct BankCounts {
    int read = 0;
    int inserted = 0;
    int onlyMarked = 0;     // in the ERP already (a mark that failed earlier): only marked now
    int failed = 0;         // movements the ERP refused: neither written nor marked
    int skippedOffline = 0; // runs skipped while the cloud is held off after a failed connect
    QList<int> refused;     // the movements refused in this cycle: tried again on the next one
};

// The account of one cycle: per section what was read, inserted, updated, already there and
// failed, every failure named, and how the cycle ended. The operator's log (Memo1) stays as it is;
// this goes to the console, the tray tool tip and carvela.log.
struct CycleSummary {
    enum class Outcome {
        Clean,          // everything read arrived
        Incomplete,     // the station ran, but rows failed or the cloud could not be reached
        StationFailure, // the cycle ended at a failure of the station
    };

    QDate movementDate;
    QDateTime started;
    QDateTime finished;
    std::vector<std::pair<QString, SectionCounts>> sections; // in the order they ran
    BankCounts bank;
    bool bankRan = false;
    QStringList failures; // "<section>: <message>", one per failed row or cloud failure
    std::optional<QString> stationFailure;
    bool switchedOff = false;
    bool dateAdvanced = false;

    // The counts of a section, added in running order the first time it is named.
    SectionCounts& section(const QString& label);
    const SectionCounts* find(const QString& label) const;

    Outcome outcome() const;
    // "Ciclo do movimento de 08/12/2026: tudo copiado", or what failed.
    QString headline() const;
    // The table of counts, one line per section, then the failures, one per line (the first
    // maximumListedFailures of them).
    QStringList table() const;
    static constexpr qsizetype maximumListedFailures = 20;
};

} // namespace carvela
