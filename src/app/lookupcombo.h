#pragma once

#include <QComboBox>
#include <QStringList>

class QStandardItemModel;

namespace carvela {

class LookupControl;

// A combo over the rows of one lookup control. The drop-down list shows the row's columns, the
// closed box its closed text (for the nature of operation: Cfop-Descrição while the list shows
// the two apart). The control holds the key: a key that matches no row leaves the box empty;
// picking a row sets the key; Escape, with the list not dropped down, clears it.
class LookupCombo : public QComboBox {
    Q_OBJECT
public:
    LookupCombo(LookupControl& control, QWidget* parent = nullptr);

    // Shows the list as a table of columns with the given widths in pixels, 0 for a column that
    // takes the room the others leave; with headings above them, or none (header hidden).
    void showColumns(const QStringList& headings, const QList<int>& widths);

    // What the closed box shows: the closed text of the current row, empty when there is none.
    QString shownText() const;

protected:
    void initStyleOption(QStyleOptionComboBox* option) const override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void follow();
    void rebuild();
    void pick(int index);
    void fitColumns();

    LookupControl& m_control;
    QStandardItemModel* m_model;
    QStringList m_shownRows; // what the model holds, row by row, to rebuild only when the list changed
    bool m_listOpen = false;
    QList<int> m_columnWidths; // as given to showColumns()
};

} // namespace carvela
