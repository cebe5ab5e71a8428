#pragma once

#include "core/lookupcontrol.h"

#include <array>
#include <QDate>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

namespace carvela {

// Everything the operator sees or sets that the integration reads or writes: the check boxes,
// the switch, the interval, the movement date, the lookup keys, the caption, the progress bars
// and the log. The window binds its widgets to it; the headless runner prints it; tests read it.
// Field names follow the controls the operator knows (cbVendas, rsAtiva, lbProcesso, ...).
class StationState : public QObject {
    Q_OBJECT
public:
    enum class Box { cbIntMov, cbClientes, cbFornecedores, cbProdutos, cbUsuarios, cbVendas, cbEntrada };
    enum class Bar { pbClientes, pbFornecedor, pbProdutos, pbUsuarios, pbVendas, pbEntradas };
    static constexpr int boxCount = 7;
    static constexpr int barCount = 6;
    static constexpr int seTempoMinimum = 1;
    static constexpr int seTempoMaximum = 1000;
    static const QString restingCaption; // "Processo"
    // An unattended station can log for weeks between two switch-ons: the oldest entries go.
    static constexpr int maximumLogEntries = 10000;

    struct Progress {
        int maximum = 100;
        int position = 0;
    };

    explicit StationState(QObject* parent = nullptr);

    bool box(Box which) const { return m_boxes[index(which)]; }
    void setBox(Box which, bool ticked);

    bool rsAtiva() const { return m_rsAtiva; }
    void setRsAtiva(bool on);

    int seTempo() const { return m_seTempo; }
    // The spin editor keeps the value within 1..1000.
    void setSeTempo(int seconds);

    const QString& edtSql() const { return m_edtSql; }
    void setEdtSql(const QString& path);

    // DateEdit1: the movement date.
    QDate movementDate() const { return m_movementDate; }
    void setMovementDate(QDate date);

    const QString& lbProcesso() const { return m_caption; }
    void setCaption(const QString& caption);

    Progress progress(Bar which) const { return m_bars[index(which)]; }
    void setProgressMaximum(Bar which, int maximum);
    void setProgressPosition(Bar which, int position);

    // Memo1: the log, one entry per line; it starts with one empty line.
    const QStringList& memo() const { return m_memo; }
    void appendLog(const QString& entry);
    // Appends an entry unless the same entry was logged since the log was last cleared: a source
    // row that fails on every cycle is named once, not every few seconds.
    void logOnce(const QString& entry);
    void clearLog();

    LookupControl& cbFilial() { return m_cbFilial; }
    LookupControl& EdtTpDoc() { return m_EdtTpDoc; }
    LookupControl& edtOper() { return m_edtOper; }
    LookupControl& edtCcusto() { return m_edtCcusto; }
    LookupControl& edtCcusto2() { return m_edtCcusto2; }
    const LookupControl& cbFilial() const { return m_cbFilial; }
    const LookupControl& EdtTpDoc() const { return m_EdtTpDoc; }
    const LookupControl& edtOper() const { return m_edtOper; }
    const LookupControl& edtCcusto() const { return m_edtCcusto; }
    const LookupControl& edtCcusto2() const { return m_edtCcusto2; }

    // Lets the window messages waiting at this moment run (painting, clicks, timer ticks).
    static void letMessagesRun();

Q_SIGNALS:
    void boxChanged(carvela::StationState::Box which, bool ticked);
    void rsAtivaChanged(bool on);
    void seTempoChanged(int seconds);
    void edtSqlChanged(const QString& path);
    void movementDateChanged(QDate date);
    void captionChanged(const QString& caption);
    void progressChanged(carvela::StationState::Bar which);
    void logAppended(const QString& entry);
    void logCleared();

private:
    static constexpr int index(Box b) { return static_cast<int>(b); }
    static constexpr int index(Bar b) { return static_cast<int>(b); }

    std::array<bool, boxCount> m_boxes{};
    std::array<Progress, barCount> m_bars{};
    bool m_rsAtiva = false;
    int m_seTempo = seTempoMinimum;
    QString m_edtSql;
    QDate m_movementDate;
    QString m_caption;
    QStringList m_memo{QString()};
    QSet<QString> m_loggedOnce;
    LookupControl m_cbFilial{QStringLiteral("cbFilial"), QString()};
    LookupControl m_EdtTpDoc{QStringLiteral("EdtTpDoc"), QString()};
    LookupControl m_edtOper{QStringLiteral("edtOper"), QString()};
    LookupControl m_edtCcusto{QStringLiteral("edtCcusto"), QStringLiteral("0")};
    LookupControl m_edtCcusto2{QStringLiteral("edtCcusto2"), QStringLiteral("0")};
};

} // namespace carvela
