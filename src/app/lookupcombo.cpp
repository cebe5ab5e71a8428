#include "app/lookupcombo.h"

#include "core/lookupcontrol.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyleOptionComboBox>
#include <QTreeView>

namespace carvela {
namespace {

// One line per row, enough to tell whether the list changed since the model was filled.
QString signature(const LookupRow& row)
{
    return row.key + u'\x1f' + row.closedText + u'\x1f' + row.columns.join(u'\x1e');
}

} // namespace

LookupCombo::LookupCombo(LookupControl& control, QWidget* parent)
    : QComboBox(parent)
    , m_control(control)
    , m_model(new QStandardItemModel(this))
{
    setObjectName(control.name());
    setModel(m_model);
    // Only the operator's choice reaches the control: activated() is not emitted for changes made
    // from code, so following the control never writes back to it.
    connect(this, &QComboBox::activated, this, &LookupCombo::pick);
    connect(&m_control, &LookupControl::changed, this, &LookupCombo::follow);
    follow();
}

void LookupCombo::showColumns(const QStringList& headings, const QList<int>& widths)
{
    auto* table = new QTreeView(this);
    table->setRootIsDecorated(false);
    table->setItemsExpandable(false);
    table->setUniformRowHeights(true);
    table->setAllColumnsShowFocus(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    setView(table); // the combo takes the view over

    m_model->setColumnCount(qMax(headings.size(), widths.size()));
    if (!headings.isEmpty())
        m_model->setHorizontalHeaderLabels(headings);
    table->setHeaderHidden(headings.isEmpty());
    QHeaderView* header = table->header();
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    for (int column = 0; column < widths.size(); ++column) {
        if (widths.at(column) > 0) {
            header->setSectionResizeMode(column, QHeaderView::Interactive);
            header->resizeSection(column, widths.at(column));
        } else {
            header->setSectionResizeMode(column, QHeaderView::Stretch);
        }
    }
    // With every width given, the last column still reaches the list's right edge.
    if (!widths.contains(0))
        header->setStretchLastSection(true);
    m_columnWidths = widths;
    fitColumns();
}

void LookupCombo::fitColumns()
{
    auto* table = qobject_cast<QTreeView*>(view());
    if (!table || m_columnWidths.isEmpty())
        return;
    // A given width is where a column starts; a key or a code is never cut, and the list drops
    // down wide enough for its rows (within reason), even where the box itself is narrower.
    int total = 0;
    for (int column = 0; column < m_model->columnCount(); ++column) {
        const int fitted = view()->sizeHintForColumn(column);
        const int given = m_columnWidths.value(column, 0);
        if (given > 0)
            table->header()->resizeSection(column, qMax(given, fitted));
        total += qMax(given, fitted);
    }
    const int chrome = table->verticalScrollBar()->sizeHint().width() + 2 * table->frameWidth() + 4;
    table->setMinimumWidth(qMin(total + chrome, 2 * width()));
}

QString LookupCombo::shownText() const
{
    const LookupRow* row = m_control.current();
    return row ? row->closedText : QString();
}

void LookupCombo::initStyleOption(QStyleOptionComboBox* option) const
{
    QComboBox::initStyleOption(option);
    option->currentText = shownText();
}

void LookupCombo::keyPressEvent(QKeyEvent* event)
{
    // With the list dropped down, Escape only closes it (the popup handles that itself).
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && !view()->isVisible()) {
        m_control.clear();
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void LookupCombo::follow()
{
    rebuild();
    const int row = m_control.currentRow();
    if (currentIndex() != row)
        setCurrentIndex(row);
    update();
}

void LookupCombo::rebuild()
{
    const QVector<LookupRow>& rows = m_control.rows();
    QStringList shown;
    shown.reserve(rows.size());
    for (const LookupRow& row : rows)
        shown.append(signature(row));
    if (shown == m_shownRows && m_listOpen == m_control.isListOpen())
        return;
    m_shownRows = shown;
    m_listOpen = m_control.isListOpen();

    // Keep the headings a column view was given; only the rows change.
    m_model->removeRows(0, m_model->rowCount());
    for (const LookupRow& row : rows) {
        QList<QStandardItem*> items;
        const QStringList& columns = row.columns.isEmpty() ? QStringList{row.closedText} : row.columns;
        for (const QString& text : columns) {
            auto* item = new QStandardItem(text); // the model owns its items
            item->setEditable(false);
            items.append(item);
        }
        m_model->appendRow(items);
    }
    fitColumns();
}

void LookupCombo::pick(int index)
{
    const QVector<LookupRow>& rows = m_control.rows();
    if (index >= 0 && index < rows.size())
        m_control.setKey(rows.at(index).key);
}

} // namespace carvela
