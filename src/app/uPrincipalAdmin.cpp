#include "app/uPrincipalAdmin.h"

#include "app/lookupcombo.h"
#include "app/stationicon.h"
#include "app/toggleswitch.h"
#include "app/widgetdialogs.h"
#include "core/failure.h"
#include "integration/sections.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTextCursor>
#include <QVBoxLayout>

namespace carvela {
namespace {

using Box = StationState::Box;
using Bar = StationState::Bar;

// A control of the window: its name, and where it sits in its parent (the operators know this
// layout; it is placed by hand, not by a layout manager).
template <typename Widget> Widget* place(Widget* widget, const QString& name, const QRect& geometry)
{
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}

// A label sizes itself to its caption from its top-left corner, as the classic labels do, so a
// caption is never cut when the window's font is not at hand and a wider one stands in.
QLabel* autoSizeLabel(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry)
{
    auto* label = place(new QLabel(caption, parent), name, geometry);
    const QSize hint = label->sizeHint();
    label->resize(qMax(geometry.width(), hint.width()), qMax(geometry.height(), hint.height()));
    return label;
}

// A check box may grow to the right up to room pixels wide when its caption needs it (the font
// that stands in for the classic one can be a little wider); it never reaches the next control.
QCheckBox* checkBox(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry, int room = 0)
{
    auto* box = place(new QCheckBox(caption, parent), name, geometry);
    const int needed = box->sizeHint().width();
    if (needed > geometry.width())
        box->resize(qBound(geometry.width(), needed, qMax(room, geometry.width())), geometry.height());
    return box;
}

QProgressBar* progressBar(QWidget* parent, const QString& name, const QRect& geometry)
{
    auto* bar = place(new QProgressBar(parent), name, geometry);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

QGroupBox* groupBox(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry)
{
    return place(new QGroupBox(caption, parent), name, geometry);
}

// "MS Sans Serif" 8 pt where it exists; elsewhere a sans-serif face of the same size and no wider,
// since the captions were fitted to that font (a condensed face before the wide Linux default).
QFont windowFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Tahoma"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

// The log keeps carriage returns inside an entry (the cycle's error entries put the message on a
// line of its own that way); the text view shows each as a line break.
QString logLines(const QString& entry)
{
    QString text = entry;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

} // namespace

TFprincipalAdmin::TFprincipalAdmin(const QString& settingsPath, QWidget* parent)
    : TFprincipalAdmin(settingsPath, nullptr, parent)
{
}

TFprincipalAdmin::TFprincipalAdmin(const QString& settingsPath, OperatorDialogs& dialogs, QWidget* parent)
    : TFprincipalAdmin(settingsPath, &dialogs, parent)
{
}

TFprincipalAdmin::TFprincipalAdmin(const QString& settingsPath, OperatorDialogs* dialogs, QWidget* parent)
    : QMainWindow(parent)
    , m_ownDialogs(dialogs ? nullptr : std::make_unique<WidgetDialogs>(this))
    , m_dialogs(dialogs ? *dialogs : *m_ownDialogs)
    , m_integration(settingsPath, m_dialogs)
{
    // A tray program: windows come and go (this one hides, message boxes close) while the process
    // runs on; only "Fechar" and a confirmed "Sair do Sistema" end it.
    QApplication::setQuitOnLastWindowClosed(false);
    installSections(m_integration);
    buildWindow();
    buildTray();
    bindState();
    FormCreate();
}

TFprincipalAdmin::~TFprincipalAdmin() = default;

void TFprincipalAdmin::buildWindow()
{
    setObjectName(QStringLiteral("FprincipalAdmin"));
    setWindowTitle(QStringLiteral("Carvela Versão 3.1 - Tessarim"));
    setFont(windowFont());
    setMinimumSize(130, 50);
    move(57, 86);
    resize(741, 452);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_pages = new QTabWidget(client);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    m_pages->addTab(buildImportacao(), QStringLiteral("Importação"));
    m_pages->addTab(buildConfiguracoes(), QStringLiteral("Configurações"));
    layout->addWidget(m_pages, 1);
    layout->addWidget(buildPanel());
    setCentralWidget(client);
}

QWidget* TFprincipalAdmin::buildImportacao()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet2"));

    autoSizeLabel(page, QStringLiteral("Label1"), QStringLiteral("Movimento"), {16, 8, 52, 13});
    m_date = place(new QDateEdit(page), QStringLiteral("DateEdit1"), {12, 24, 121, 21});
    m_date->setCalendarPopup(true);
    m_date->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));

    m_switch = place(new ToggleSwitch(page), QStringLiteral("rsAtiva"), {142, 6, 50, 60});
    m_switch->setToolTip(QStringLiteral("Ativa ou Desativa integrador"));

    auto* cloud =
        groupBox(page, QStringLiteral("GroupBox1"), QStringLiteral("Integração nas Nuvens"), {200, 14, 197, 49});
    auto box = [this](Box which, QCheckBox* check) { m_boxes[static_cast<int>(which)] = check; };
    auto bar = [this](Bar which, QProgressBar* progress) { m_bars[static_cast<int>(which)] = progress; };
    box(Box::cbIntMov, checkBox(cloud, QStringLiteral("cbIntMov"), QStringLiteral("Importação Movimento Bancário"),
                                {12, 20, 178, 17}, 183));

    box(Box::cbProdutos,
        checkBox(page, QStringLiteral("cbProdutos"), QStringLiteral("Atualizar Produtos"), {4, 70, 122, 17}, 132));
    bar(Bar::pbProdutos, progressBar(page, QStringLiteral("pbProdutos"), {140, 70, 549, 17}));
    box(Box::cbUsuarios,
        checkBox(page, QStringLiteral("cbUsuarios"), QStringLiteral("Usuários"), {4, 90, 122, 17}, 132));
    bar(Bar::pbUsuarios, progressBar(page, QStringLiteral("pbUsuarios"), {140, 90, 549, 17}));
    box(Box::cbVendas, checkBox(page, QStringLiteral("cbVendas"), QStringLiteral("Vendas"), {4, 111, 122, 17}, 132));
    bar(Bar::pbVendas, progressBar(page, QStringLiteral("pbVendas"), {140, 111, 549, 17}));
    box(Box::cbEntrada,
        checkBox(page, QStringLiteral("cbEntrada"), QStringLiteral("Entradas"), {4, 131, 122, 17}, 132));
    bar(Bar::pbEntradas, progressBar(page, QStringLiteral("pbEntradas"), {140, 131, 549, 17}));

    m_memo = place(new QPlainTextEdit(page), QStringLiteral("Memo1"), {140, 153, 549, 216});
    m_memo->setReadOnly(true);
    // Each entry may take two lines (section, then message); the state keeps the entries.
    m_memo->setMaximumBlockCount(2 * StationState::maximumLogEntries);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    // Customers and suppliers follow the settings file only; the operator neither sees nor
    // changes them.
    box(Box::cbClientes,
        checkBox(page, QStringLiteral("cbClientes"), QStringLiteral("Atualizar Clientes"), {704, 69, 122, 17}));
    box(Box::cbFornecedores,
        checkBox(page, QStringLiteral("cbFornecedores"), QStringLiteral("Atualizar Fornecedores"), {704, 89, 122, 17}));
    bar(Bar::pbClientes, progressBar(page, QStringLiteral("pbClientes"), {828, 69, 348, 17}));
    bar(Bar::pbFornecedor, progressBar(page, QStringLiteral("pbFornecedor"), {828, 89, 348, 17}));
    for (QWidget* hidden : {static_cast<QWidget*>(m_boxes[static_cast<int>(Box::cbClientes)]),
                            static_cast<QWidget*>(m_boxes[static_cast<int>(Box::cbFornecedores)]),
                            static_cast<QWidget*>(m_bars[static_cast<int>(Bar::pbClientes)]),
                            static_cast<QWidget*>(m_bars[static_cast<int>(Bar::pbFornecedor)])}) {
        hidden->setVisible(false);
        hidden->setEnabled(false);
    }

    // The caption of the current step runs along the bottom of the page, whatever its size; the
    // layout holds only this label, the other controls keep their places.
    m_caption = new QLabel(page);
    m_caption->setObjectName(QStringLiteral("lbProcesso"));
    m_caption->setFixedHeight(15);
    m_caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto* bottom = new QVBoxLayout(page);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->addStretch(1);
    bottom->addWidget(m_caption);
    return page;
}

QWidget* TFprincipalAdmin::buildConfiguracoes()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet3"));
    StationState& state = m_integration.state();

    autoSizeLabel(page, QStringLiteral("Label2"), QStringLiteral("Arquivo de Comunicação de acesso SQL-Server"),
                  {6, 7, 229, 13});
    m_edtSql = place(new QLineEdit(page), QStringLiteral("edtSql"), {6, 24, 399, 21});
    QAction* browse = m_edtSql->addAction(style()->standardIcon(QStyle::SP_DirOpenIcon), QLineEdit::TrailingPosition);
    browse->setObjectName(QStringLiteral("edtSqlBrowse"));
    browse->setToolTip(QStringLiteral("Procurar o arquivo .udl"));
    connect(browse, &QAction::triggered, this, &TFprincipalAdmin::browseEdtSql);

    auto* branch = groupBox(page, QStringLiteral("GroupBox3"), QStringLiteral("Filial"), {6, 51, 400, 47});
    auto* cbFilial = place(new LookupCombo(state.cbFilial(), branch), QStringLiteral("cbFilial"), {8, 16, 383, 21});
    cbFilial->setMaxVisibleItems(8);

    auto* docType =
        groupBox(page, QStringLiteral("GbTpDocumento"), QStringLiteral("Tipo Documento"), {6, 107, 276, 45});
    auto* tpDoc = place(new LookupCombo(state.EdtTpDoc(), docType), QStringLiteral("EdtTpDoc"), {8, 16, 259, 21});
    tpDoc->showColumns({}, {0, 36});
    tpDoc->setMaxVisibleItems(20);

    auto* interval = groupBox(page, QStringLiteral("GroupBox2"), QStringLiteral("Tempo Seg"), {321, 102, 83, 49});
    m_seTempo = place(new QSpinBox(interval), QStringLiteral("seTempo"), {9, 17, 65, 22});
    m_seTempo->setRange(StationState::seTempoMinimum, StationState::seTempoMaximum);

    auto* nature =
        groupBox(page, QStringLiteral("GroupBox20"), QStringLiteral("Natureza de Operação"), {6, 159, 276, 45});
    auto* oper = place(new LookupCombo(state.edtOper(), nature), QStringLiteral("edtOper"), {8, 16, 259, 21});
    oper->showColumns({QStringLiteral("Cfop"), QStringLiteral("Descrição")}, {30, 75});

    QFont costFont;
    costFont.setPointSize(9);
    auto* fuel =
        groupBox(page, QStringLiteral("GroupBox24"), QStringLiteral("Centro Custo Combustíveis"), {6, 206, 237, 45});
    auto* misc =
        groupBox(page, QStringLiteral("GroupBox4"), QStringLiteral("Centro Custo Diversos"), {250, 206, 237, 45});
    for (auto [group, control] : {std::pair{fuel, &state.edtCcusto()}, std::pair{misc, &state.edtCcusto2()}}) {
        auto* cost = place(new LookupCombo(*control, group), control->name(), {8, 16, 217, 21});
        cost->setMaxVisibleItems(15);
        cost->setFrame(false);
        cost->setFont(costFont);
    }

    // The lists above come from the ERP database and are loaded again every second while that
    // fails; the reason stays in sight here rather than in a new message box each time.
    m_listError = place(new QLabel(page), QStringLiteral("lbErroListas"), {6, 258, 700, 60});
    m_listError->setWordWrap(true);
    m_listError->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_listError->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPalette red = m_listError->palette();
    red.setColor(QPalette::WindowText, QColor(0xC0, 0x00, 0x00));
    m_listError->setPalette(red);

    page->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(page, &QWidget::customContextMenuRequested, this,
            [this, page](const QPoint& at) { m_trayMenu->popup(page->mapToGlobal(at)); });
    return page;
}

QWidget* TFprincipalAdmin::buildPanel()
{
    auto* panel = new QWidget;
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFixedHeight(33);

    auto* quit =
        place(new QPushButton(QStringLiteral("Sair do Sistema"), panel), QStringLiteral("Button1"), {3, 1, 104, 29});
    auto* save = place(new QPushButton(QStringLiteral("Salvar Parametros"), panel), QStringLiteral("BitBtn5"),
                       {115, 1, 104, 29});
    for (QPushButton* button : {quit, save}) {
        button->setCursor(Qt::PointingHandCursor);
        button->setAutoDefault(false);
    }
    connect(quit, &QPushButton::clicked, this, &TFprincipalAdmin::Button1Click);
    connect(save, &QPushButton::clicked, this, &TFprincipalAdmin::suitempBitBtn5Click);
    return panel;
}

void TFprincipalAdmin::buildTray()
{
    m_trayMenu = new QMenu(this);
    m_trayMenu->setObjectName(QStringLiteral("PopupMenu2"));
    QAction* open = m_trayMenu->addAction(QStringLiteral("Abrir Aplicativo"));
    open->setObjectName(QStringLiteral("ch"));
    QAction* close = m_trayMenu->addAction(QStringLiteral("Fechar"));
    close->setObjectName(QStringLiteral("Fechar1"));
    connect(open, &QAction::triggered, this, &TFprincipalAdmin::ShowMainWindow);
    connect(close, &QAction::triggered, this, &TFprincipalAdmin::Fechar1Click);

    m_tray = new QSystemTrayIcon(this);
    m_tray->setObjectName(QStringLiteral("RxTIcon"));
    m_tray->setToolTip(QStringLiteral("Ondaris"));
    m_tray->setContextMenu(m_trayMenu);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            ShowMainWindow();
    });
    showStatus();
    // Without a notification area (a bare X server, the tests' offscreen platform) the station
    // runs all the same; the window is then reached only by whoever shows it.
    if (QSystemTrayIcon::isSystemTrayAvailable())
        m_tray->show();
}

void TFprincipalAdmin::bindState()
{
    StationState& state = m_integration.state();

    // Operator → state. The state is the context of these connections, so none outlives it, and
    // it signals only real changes, so the way back (state → widget) ends at the widget.
    for (int i = 0; i < StationState::boxCount; ++i) {
        const auto which = Box(i);
        connect(m_boxes[i], &QCheckBox::toggled, &state, [&state, which](bool on) { state.setBox(which, on); });
    }
    connect(m_seTempo, &QSpinBox::valueChanged, &state, &StationState::setSeTempo);
    connect(m_date, &QDateEdit::dateChanged, &state, &StationState::setMovementDate);
    connect(m_edtSql, &QLineEdit::textEdited, &state, &StationState::setEdtSql);
    // clicked() comes only from the operator; the switch set from code stays silent.
    connect(m_switch, &ToggleSwitch::clicked, this, &TFprincipalAdmin::rsAtivaClick);

    // State → widgets.
    connect(&state, &StationState::boxChanged, this,
            [this](Box which, bool on) { m_boxes[static_cast<int>(which)]->setChecked(on); });
    connect(&state, &StationState::seTempoChanged, m_seTempo, &QSpinBox::setValue);
    connect(&state, &StationState::movementDateChanged, m_date, &QDateEdit::setDate);
    connect(&state, &StationState::edtSqlChanged, m_edtSql, [this](const QString& path) {
        if (m_edtSql->text() != path)
            m_edtSql->setText(path);
    });
    connect(&state, &StationState::rsAtivaChanged, this, [this](bool on) {
        m_switch->setChecked(on);
        if (on)
            m_lastCycleFailed = false;
        showStatus();
    });
    connect(&state, &StationState::captionChanged, m_caption, &QLabel::setText);
    connect(&state, &StationState::progressChanged, this, &TFprincipalAdmin::showProgress);
    connect(&state, &StationState::logAppended, this, &TFprincipalAdmin::appendLog);
    connect(&state, &StationState::logCleared, this, &TFprincipalAdmin::showLog);
    connect(&m_integration, &Integration::listLoadingErrorChanged, this, &TFprincipalAdmin::showListLoadingError);
    connect(&m_integration, &Integration::cycleFinished, this, [this](const CycleSummary& summary) {
        m_lastCycleFailed = summary.outcome() != CycleSummary::Outcome::Clean;
        showStatus();
        showSummary(summary);
    });

    // And what the state holds now.
    for (int i = 0; i < StationState::boxCount; ++i)
        m_boxes[i]->setChecked(state.box(Box(i)));
    m_seTempo->setValue(state.seTempo());
    m_date->setDate(state.movementDate());
    m_edtSql->setText(state.edtSql());
    m_switch->setChecked(state.rsAtiva());
    m_caption->setText(state.lbProcesso());
    for (int i = 0; i < StationState::barCount; ++i)
        showProgress(Bar(i));
    showLog();
    showListLoadingError(m_integration.listLoadingError());
}

void TFprincipalAdmin::FormCreate()
{
    m_pages->setCurrentIndex(0);
    try {
        m_integration.FormCreate();
    } catch (const Failure& failure) {
        // The rest of start-up is skipped; the window and the tray icon are there all the same.
        m_dialogs.showError(failure.message());
    }
}

void TFprincipalAdmin::ShowMainWindow()
{
    show();
    raise();
    activateWindow();
}

void TFprincipalAdmin::closeEvent(QCloseEvent* event)
{
    // Closing only hides the window: the integration runs on behind the tray icon.
    event->ignore();
    hide();
}

void TFprincipalAdmin::rsAtivaClick(bool on)
{
    m_integration.state().setRsAtiva(on);
    m_integration.rsAtivaClick();
}

void TFprincipalAdmin::Button1Click()
{
    if (!m_dialogs.ask(QStringLiteral("Confirmação de Saida"),
                       QStringLiteral("Deseja Sair do Programa e parar as integrações?")))
        return;
    hide();
    QApplication::quit();
}

void TFprincipalAdmin::suitempBitBtn5Click()
{
    m_integration.saveSettings();
}

void TFprincipalAdmin::Fechar1Click()
{
    // Hidden first: the application's quit asks every visible window to close, and this one
    // refuses (it only hides).
    hide();
    QApplication::quit();
}

void TFprincipalAdmin::browseEdtSql()
{
    const QString current = m_edtSql->text();
    const QString folder =
        current.isEmpty() ? QFileInfo(m_integration.settingsPath()).absolutePath() : QFileInfo(current).absolutePath();
    const QString chosen =
        QFileDialog::getOpenFileName(this, QStringLiteral("Arquivo de Comunicação de acesso SQL-Server"), folder,
                                     QStringLiteral("Arquivos de vínculo de dados (*.udl);;Todos os arquivos (*)"));
    if (chosen.isEmpty())
        return;
    const QString path = QDir::toNativeSeparators(chosen);
    m_edtSql->setText(path);
    m_integration.state().setEdtSql(path);
}

void TFprincipalAdmin::showListLoadingError(const QString& message)
{
    m_listError->setText(message);
    m_listError->setToolTip(message);
}

void TFprincipalAdmin::showLog()
{
    QStringList lines;
    for (const QString& entry : m_integration.state().memo())
        lines.append(logLines(entry));
    m_memo->setPlainText(lines.join(u'\n'));
}

void TFprincipalAdmin::appendLog(const QString& entry)
{
    // A new entry is a new line, also after the empty line the log starts with; only in a log
    // cleared to nothing does it take the first line.
    if (m_integration.state().memo().size() <= 1) {
        showLog();
    } else {
        QTextCursor end(m_memo->document());
        end.movePosition(QTextCursor::End);
        end.insertBlock();
        end.insertText(logLines(entry));
    }
    m_memo->verticalScrollBar()->setValue(m_memo->verticalScrollBar()->maximum());
}

void TFprincipalAdmin::showProgress(Bar which)
{
    const StationState::Progress progress = m_integration.state().progress(which);
    QProgressBar* bar = m_bars[static_cast<int>(which)];
    // A range of 0..0 would turn the bar into a busy indicator; an empty run shows an empty bar.
    const int maximum = qMax(1, progress.maximum);
    bar->setRange(0, maximum);
    bar->setValue(qBound(0, progress.position, maximum));
}

void TFprincipalAdmin::showSummary(const CycleSummary& summary)
{
    // The tray's tool tip keeps its name first and adds the last cycle's headline (Windows shows
    // 127 characters of it); the bars' tool tips hold the section's counts and the whole account.
    m_tray->setToolTip(QStringLiteral("Ondaris\n") + summary.headline());
    const QString table =
        QStringLiteral("<pre>") + summary.table().join(u'\n').toHtmlEscaped() + QStringLiteral("</pre>");
    const std::array<QString, StationState::barCount> labels = {
        QStringLiteral("Clientes"), QStringLiteral("Fornecedores"), QStringLiteral("Produtos"), QString(),
        QStringLiteral("Vendas"),   QStringLiteral("Entradas Comb")};
    for (int i = 0; i < StationState::barCount; ++i) {
        const SectionCounts* counts = labels[i].isEmpty() ? nullptr : summary.find(labels[i]);
        const QString line = counts ? QStringLiteral("Último ciclo: %1 lidos, %2 inseridos, %3 atualizados, "
                                                     "%4 já no ERP, %5 falhas")
                                          .arg(counts->read)
                                          .arg(counts->inserted)
                                          .arg(counts->updated)
                                          .arg(counts->existing)
                                          .arg(counts->failed)
                                    : QString();
        m_bars[i]->setToolTip(QStringLiteral("<p>") + line.toHtmlEscaped() + QStringLiteral("</p>") + table);
    }
}

void TFprincipalAdmin::showStatus()
{
    const StationStatus status = !m_integration.state().rsAtiva() ? StationStatus::Off
                                 : m_lastCycleFailed              ? StationStatus::Failed
                                                                  : StationStatus::On;
    const QIcon icon = stationIcon(status);
    m_tray->setIcon(icon);
    setWindowIcon(icon);
}

} // namespace carvela
