#include "core/stationstate.h"

#include <algorithm>
#include <QCoreApplication>

namespace carvela {

const QString StationState::restingCaption = QStringLiteral("Processo");

StationState::StationState(QObject* parent)
    : QObject(parent)
    , m_movementDate(QDate::currentDate())
    , m_caption(restingCaption)
{
}

void StationState::setBox(Box which, bool ticked)
{
    if (m_boxes[index(which)] == ticked)
        return;
    m_boxes[index(which)] = ticked;
    Q_EMIT boxChanged(which, ticked);
}

void StationState::setRsAtiva(bool on)
{
    if (m_rsAtiva == on)
        return;
    m_rsAtiva = on;
    Q_EMIT rsAtivaChanged(on);
}

void StationState::setSeTempo(int seconds)
{
    seconds = std::clamp(seconds, seTempoMinimum, seTempoMaximum);
    if (m_seTempo == seconds)
        return;
    m_seTempo = seconds;
    Q_EMIT seTempoChanged(seconds);
}

void StationState::setEdtSql(const QString& path)
{
    if (m_edtSql == path)
        return;
    m_edtSql = path;
    Q_EMIT edtSqlChanged(path);
}

void StationState::setMovementDate(QDate date)
{
    if (m_movementDate == date)
        return;
    m_movementDate = date;
    Q_EMIT movementDateChanged(date);
}

void StationState::setCaption(const QString& caption)
{
    if (m_caption == caption)
        return;
    m_caption = caption;
    Q_EMIT captionChanged(caption);
}

void StationState::setProgressMaximum(Bar which, int maximum)
{
    auto& bar = m_bars[index(which)];
    if (bar.maximum == maximum)
        return;
    bar.maximum = maximum;
    Q_EMIT progressChanged(which);
}

void StationState::setProgressPosition(Bar which, int position)
{
    auto& bar = m_bars[index(which)];
    if (bar.position == position)
        return;
    bar.position = position;
    Q_EMIT progressChanged(which);
}

void StationState::appendLog(const QString& entry)
{
    m_memo.append(entry);
    if (m_memo.size() > maximumLogEntries)
        m_memo.removeFirst();
    Q_EMIT logAppended(entry);
}

void StationState::logOnce(const QString& entry)
{
    if (m_loggedOnce.contains(entry))
        return;
    // Bounded like the log: entries the log has dropped may be logged again.
    if (m_loggedOnce.size() >= maximumLogEntries) {
        const QSet<QString> kept(m_memo.cbegin(), m_memo.cend());
        m_loggedOnce.intersect(kept);
    }
    m_loggedOnce.insert(entry);
    appendLog(entry);
}

void StationState::clearLog()
{
    m_memo.clear();
    m_loggedOnce.clear();
    Q_EMIT logCleared();
}

void StationState::letMessagesRun()
{
    QCoreApplication::processEvents();
}

} // namespace carvela
