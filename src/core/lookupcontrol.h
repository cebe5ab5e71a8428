#pragma once

#include <optional>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QVector>

namespace carvela {

// One row of a reference list as a lookup control offers it.
struct LookupRow {
    QString key;         // the key field as text
    QStringList columns; // what the drop-down list shows, column by column
    QString closedText;  // what the closed box shows
    QVariantMap fields;  // every field of the row, names in lower case
};

// A lookup combo without the widget: it holds a key as text and, while its list is open, the
// list's rows and the current row. Reading the key gives nothing when it is the empty value.
class LookupControl : public QObject {
    Q_OBJECT
public:
    LookupControl(QString name, QString emptyValue, QObject* parent = nullptr);

    const QString& name() const { return m_name; }
    const QString& emptyValue() const { return m_emptyValue; }
    const QString& keyText() const { return m_key; }
    std::optional<QString> key() const;

    // While the list is open the key moves the current row to the first row whose key matches
    // (case ignored); with no match the key becomes the empty value. While closed it is only stored.
    void setKey(const QString& key);
    // What Escape does: the key becomes the empty value.
    void clear();

    bool isListOpen() const { return m_listOpen; }
    void openList(QVector<LookupRow> rows);
    void closeList();
    const QVector<LookupRow>& rows() const { return m_rows; }
    int currentRow() const { return m_currentRow; }
    const LookupRow* current() const;

Q_SIGNALS:
    void changed();

private:
    void locate();

    QString m_name;
    QString m_emptyValue;
    QString m_key;
    bool m_listOpen = false;
    QVector<LookupRow> m_rows;
    int m_currentRow = -1;
};

} // namespace carvela
