#include "core/cyclesummary.h"

#include <algorithm>

namespace carvela {
namespace {

const QString bankLabel = QStringLiteral("Movimento bancário");

constexpr int cellWidth = 12;

QString cell(int value)
{
    return QString::number(value).rightJustified(cellWidth);
}

QString row(const QString& label, const QStringList& cells)
{
    return QStringLiteral("  ") + label.leftJustified(20) + cells.join(QString());
}

} // namespace

void SectionCounts::add(const QString& what, int count)
{
    for (auto& [name, total] : brought) {
        if (name == what) {
            total += count;
            return;
        }
    }
    brought.append({what, count});
}

SectionCounts& CycleSummary::section(const QString& label)
{
    for (auto& [name, counts] : sections)
        if (name == label)
            return counts;
    sections.emplace_back(label, SectionCounts{});
    return sections.back().second;
}

const SectionCounts* CycleSummary::find(const QString& label) const
{
    for (const auto& [name, counts] : sections)
        if (name == label)
            return &counts;
    return nullptr;
}

CycleSummary::Outcome CycleSummary::outcome() const
{
    if (stationFailure)
        return Outcome::StationFailure;
    const bool rowsFailed =
        std::any_of(sections.cbegin(), sections.cend(), [](const auto& s) { return s.second.failed > 0; });
    if (rowsFailed || bank.failed > 0 || bank.skippedOffline > 0 || !failures.isEmpty())
        return Outcome::Incomplete;
    return Outcome::Clean;
}

QString CycleSummary::headline() const
{
    const QString start =
        QStringLiteral("Ciclo do movimento de %1").arg(movementDate.toString(QStringLiteral("dd/MM/yyyy")));
    switch (outcome()) {
    case Outcome::Clean:
        return start + (switchedOff ? QStringLiteral(": interrompido pela chave, sem falhas")
                                    : QStringLiteral(": tudo copiado"));
    case Outcome::Incomplete: {
        int rows = bank.failed;
        for (const auto& [name, counts] : sections)
            rows += counts.failed;
        QStringList parts;
        if (rows > 0)
            parts << (rows == 1 ? QStringLiteral("1 linha não copiada")
                                : QStringLiteral("%1 linhas não copiadas").arg(rows));
        if (bank.skippedOffline > 0 || rows < failures.size())
            parts << QStringLiteral("falha na importação do movimento bancário");
        return start + QStringLiteral(": INCOMPLETO, ") + parts.join(QStringLiteral(", "));
    }
    case Outcome::StationFailure:
        return start + QStringLiteral(": INTERROMPIDO, ") + stationFailure->section(u'\n', 0, 0).trimmed();
    }
    return start;
}

QStringList CycleSummary::table() const
{
    QStringList lines;
    lines << headline();
    QStringList header;
    for (const char* title : {"Lidos", "Inseridos", "Atualizados", "Já no ERP", "Falhas"})
        header << QString::fromUtf8(title).rightJustified(cellWidth);
    lines << row(QStringLiteral("Seção"), header);
    for (const auto& [name, c] : sections) {
        QString line = row(name, {cell(c.read), cell(c.inserted), cell(c.updated), cell(c.existing), cell(c.failed)});
        QStringList brought;
        for (const auto& [what, count] : c.brought)
            brought << QStringLiteral("%1 %2").arg(count).arg(what);
        if (!brought.isEmpty())
            line += QStringLiteral("   (") + brought.join(QStringLiteral(", ")) + u')';
        lines << line;
    }
    if (bankRan || bank.skippedOffline > 0) {
        QString line =
            row(bankLabel, {cell(bank.read), cell(bank.inserted), QStringLiteral("-").rightJustified(cellWidth),
                            cell(bank.onlyMarked), cell(bank.failed)});
        if (bank.skippedOffline > 0)
            line += QStringLiteral("   (nuvem fora: %1 importações puladas)").arg(bank.skippedOffline);
        lines << line;
    }
    // A POS with many bad rows would fill the tool tip and the log file on every cycle; each
    // failure is in the log once, with its entry, in any case.
    for (qsizetype i = 0; i < failures.size() && i < maximumListedFailures; ++i)
        lines << QStringLiteral("  Falha: ") + QString(failures.at(i)).replace(u'\r', u' ').replace(u'\n', u' ');
    if (failures.size() > maximumListedFailures)
        lines << QStringLiteral("  (e mais %1 falhas, cada uma com sua entrada no log)")
                     .arg(failures.size() - maximumListedFailures);
    if (stationFailure)
        lines << QStringLiteral("  Erro: ") + QString(*stationFailure).replace(u'\r', u' ').replace(u'\n', u' ');
    return lines;
}

} // namespace carvela
