#include "core/lookupcontrol.h"

namespace carvela {

LookupControl::LookupControl(QString name, QString emptyValue, QObject* parent)
    : QObject(parent)
    , m_name(std::move(name))
    , m_emptyValue(std::move(emptyValue))
    , m_key(m_emptyValue)
{
}

std::optional<QString> LookupControl::key() const
{
    if (m_key == m_emptyValue)
        return std::nullopt;
    return m_key;
}

void LookupControl::setKey(const QString& key)
{
    m_key = key;
    if (m_listOpen)
        locate();
    Q_EMIT changed();
}

void LookupControl::clear()
{
    m_key = m_emptyValue;
    m_currentRow = -1;
    Q_EMIT changed();
}

void LookupControl::openList(QVector<LookupRow> rows)
{
    m_rows = std::move(rows);
    m_listOpen = true;
    m_currentRow = -1;
    Q_EMIT changed();
}

void LookupControl::closeList()
{
    m_rows.clear();
    m_listOpen = false;
    m_currentRow = -1;
    Q_EMIT changed();
}

const LookupRow* LookupControl::current() const
{
    return m_currentRow >= 0 && m_currentRow < m_rows.size() ? &m_rows.at(m_currentRow) : nullptr;
}

void LookupControl::locate()
{
    m_currentRow = -1;
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows.at(i).key.compare(m_key, Qt::CaseInsensitive) == 0) {
            m_currentRow = i;
            return;
        }
    }
    m_key = m_emptyValue;
}

} // namespace carvela
