#pragma once

#include "core/stationstate.h"
#include "integration/integration.h"

#include <array>
#include <memory>
#include <QMainWindow>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QSpinBox;
class QSystemTrayIcon;
class QTabWidget;

namespace carvela {

class OperatorDialogs;
class ToggleSwitch;
class WidgetDialogs;

// The station's one window, FprincipalAdmin: the tab "Importação" to watch the integration, the
// tab "Configurações" to set it up, and the tray icon the operator reaches it from. It owns the
// integration and is a view over its state: every control shows a field of StationState and
// writes the operator's changes back to it. The controls carry the names the operators and
// support staff know (rsAtiva, cbVendas, Memo1, ...), as object names.
//
// The window starts hidden and runs the start-up handler (FormCreate) as it is built; only
// ShowMainWindow shows it. Closing it hides it, and the integration goes on; the process ends
// through "Fechar" in the tray menu or the confirmed "Sair do Sistema".
class TFprincipalAdmin : public QMainWindow {
    Q_OBJECT
public:
    // settingsPath: the station's Parametros.ini. The operator is answered with the window's own
    // message boxes (WidgetDialogs).
    explicit TFprincipalAdmin(const QString& settingsPath, QWidget* parent = nullptr);
    // The same, with the message boxes answered by dialogs, which must outlive the window.
    TFprincipalAdmin(const QString& settingsPath, OperatorDialogs& dialogs, QWidget* parent = nullptr);
    ~TFprincipalAdmin() override;

    Integration& integration() { return m_integration; }
    StationState& state() { return m_integration.state(); }
    OperatorDialogs& dialogs() { return m_dialogs; }

public Q_SLOTS:
    // Shows the window and brings it to the front (tray double click, "Abrir Aplicativo").
    void ShowMainWindow();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    TFprincipalAdmin(const QString& settingsPath, OperatorDialogs* dialogs, QWidget* parent);

    void buildWindow();
    QWidget* buildImportacao();
    QWidget* buildConfiguracoes();
    QWidget* buildPanel();
    void buildTray();
    void bindState();
    void FormCreate();

    void rsAtivaClick(bool on);
    void Button1Click();
    void suitempBitBtn5Click();
    void Fechar1Click();
    void browseEdtSql();
    void showListLoadingError(const QString& message);
    void showLog();
    void appendLog(const QString& entry);
    void showProgress(StationState::Bar which);
    void showStatus();
    void showSummary(const CycleSummary& summary);

    // Declared in this order so that the dialogs exist before the integration that uses them.
    std::unique_ptr<WidgetDialogs> m_ownDialogs;
    OperatorDialogs& m_dialogs;
    Integration m_integration;

    QTabWidget* m_pages = nullptr;
    QDateEdit* m_date = nullptr;
    ToggleSwitch* m_switch = nullptr;
    std::array<QCheckBox*, StationState::boxCount> m_boxes{};
    std::array<QProgressBar*, StationState::barCount> m_bars{};
    QPlainTextEdit* m_memo = nullptr;
    QLabel* m_caption = nullptr;
    QLineEdit* m_edtSql = nullptr;
    QSpinBox* m_seTempo = nullptr;
    QLabel* m_listError = nullptr;
    QMenu* m_trayMenu = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    bool m_lastCycleFailed = false;
};

} // namespace carvela
