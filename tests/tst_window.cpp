// The window FprincipalAdmin: hidden start, showing and hiding, leaving, the switch, the lookup
// combos and the controls' captions and places. A real window on the offscreen platform, over a
// real settings file and, where the switch needs one, a real SQLite database behind a .udl file.
#include "app/lookupcombo.h"
#include "app/toggleswitch.h"
#include "app/uPrincipalAdmin.h"
#include "core/failure.h"
#include "core/operatordialogs.h"
#include "integration/rowunit.h"

#include <functional>
#include <memory>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

using namespace carvela;

namespace {

// Answers the operator's boxes from a queue of answers and keeps what they said.
class RecordingDialogs : public OperatorDialogs {
public:
    void inform(const QString& text) override { informed.append(text); }
    void showError(const QString& text) override { errors.append(text); }
    bool ask(const QString& title, const QString& text) override
    {
        asked.append(title + u'|' + text);
        return !answers.isEmpty() && answers.takeFirst();
    }

    QStringList informed;
    QStringList errors;
    QStringList asked;
    QList<bool> answers;
};

// A station folder: Parametros.ini (written by the test), an empty SQLite database and the .udl
// file that points at it, and the window over them.
class Station {
public:
    Station()
    {
        QFile database(m_dir.filePath(QStringLiteral("erp.sqlite")));
        if (database.open(QIODevice::WriteOnly))
            database.close();
        QFile udl(udlPath());
        if (udl.open(QIODevice::WriteOnly))
            udl.write((QStringLiteral("[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n"
                                      "Provider=SQLite;Data Source=") +
                       database.fileName() + QStringLiteral("\r\n"))
                          .toUtf8());
    }

    QString udlPath() const { return m_dir.filePath(QStringLiteral("velcor.udl")); }

    // [Parametros] with the given keys; the deployment connections stay in the folder, so that a
    // cycle, should one start, never goes looking for the field's servers.
    void writeSettings(const QStringList& keys)
    {
        const QString local = QStringLiteral("ConnectionString=Provider=SQLite;Data Source=") +
                              m_dir.filePath(QStringLiteral("erp.sqlite"));
        QStringList lines{QStringLiteral("[Parametros]")};
        lines << keys;
        for (const char* section : {"conexao", "Con_Quorim", "ConServer", "ConMov"})
            lines << QStringLiteral("[%1]").arg(QLatin1String(section)) << local;
        QFile ini(m_dir.filePath(QStringLiteral("Parametros.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(lines.join(QStringLiteral("\r\n")).toUtf8());
    }

    TFprincipalAdmin& start()
    {
        if (!QFile::exists(m_dir.filePath(QStringLiteral("Parametros.ini"))))
            writeSettings({});
        m_window = std::make_unique<TFprincipalAdmin>(m_dir.filePath(QStringLiteral("Parametros.ini")), dialogs);
        return *m_window;
    }

    TFprincipalAdmin& window() { return *m_window; }

    template <typename T = QObject> T* find(const QString& name) { return m_window->findChild<T*>(name); }

    RecordingDialogs dialogs;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TFprincipalAdmin> m_window;
};

bool showAndWait(TFprincipalAdmin& window)
{
    window.ShowMainWindow();
    return QTest::qWaitForWindowExposed(&window);
}

// Runs the application's loop until something in it ends the loop; action starts from inside it.
// The guard only keeps a broken quit from hanging the run: it ends the loop with 1.
int runLoop(const std::function<void()>& action)
{
    QTimer::singleShot(0, action);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    guard.start(60000);
    return QApplication::exec();
}

// What the operator reads on a control: a caption, a title, a tab's text, a hint.
QString captionOf(TFprincipalAdmin& window, QObject* object)
{
    if (object == &window)
        return window.windowTitle();
    if (auto* pages = window.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        pages && pages->indexOf(qobject_cast<QWidget*>(object)) >= 0)
        return pages->tabText(pages->indexOf(qobject_cast<QWidget*>(object)));
    if (auto* group = qobject_cast<QGroupBox*>(object))
        return group->title();
    if (auto* label = qobject_cast<QLabel*>(object))
        return label->text();
    if (auto* toggle = qobject_cast<ToggleSwitch*>(object))
        return toggle->toolTip();
    if (auto* button = qobject_cast<QAbstractButton*>(object))
        return button->text();
    if (auto* action = qobject_cast<QAction*>(object))
        return action->text();
    if (auto* tray = qobject_cast<QSystemTrayIcon*>(object))
        return tray->toolTip();
    return QStringLiteral("<no caption>");
}

LookupRow row(const QString& key, const QStringList& columns, const QString& closedText)
{
    return LookupRow{key, columns, closedText, {}};
}

} // namespace

class TestWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startsHiddenAndHidesOnClose();
    void fecharEndsWithoutQuestion();
    void sairAsksFirst();
    void switchOnAndOff();
    void lookupCombos();
    void captions_data();
    void captions();
    void lastCycleInTheToolTips();
};

void TestWindow::startsHiddenAndHidesOnClose()
{
    Station station;
    station.writeSettings(
        {QStringLiteral("edtSql=") + station.udlPath(), QStringLiteral("seTempo=3"), QStringLiteral("rsAtiva=1")});
    TFprincipalAdmin& window = station.start();
    auto* pages = station.find<QTabWidget>(QStringLiteral("PageControl1"));

    QVERIFY(!window.isVisible());
    QCOMPARE(station.find<QDateEdit>(QStringLiteral("DateEdit1"))->date(), QDate::currentDate());
    QVERIFY(window.integration().Timer3().isActive());
    QCOMPARE(window.integration().Timer3().interval(), 3000);

    QVERIFY(showAndWait(window));
    QCOMPARE(pages->tabText(pages->currentIndex()), QStringLiteral("Importação"));

    window.close();
    QVERIFY(!window.isVisible());
    QVERIFY(window.integration().Timer3().isActive());
    QVERIFY(window.state().rsAtiva());
    QVERIFY(station.dialogs.asked.isEmpty());
}

void TestWindow::fecharEndsWithoutQuestion()
{
    Station station;
    TFprincipalAdmin& window = station.start();
    QVERIFY(showAndWait(window));
    auto* fechar = station.find<QAction>(QStringLiteral("Fechar1"));
    QVERIFY(station.find<QMenu>(QStringLiteral("PopupMenu2"))->actions().contains(fechar));

    QCOMPARE(runLoop([fechar] { fechar->trigger(); }), 0);
    QVERIFY(!window.isVisible());
    QVERIFY(station.dialogs.asked.isEmpty());
}

void TestWindow::sairAsksFirst()
{
    Station station;
    TFprincipalAdmin& window = station.start();
    QVERIFY(showAndWait(window));
    auto* sair = station.find<QPushButton>(QStringLiteral("Button1"));
    const QString question = QStringLiteral("Confirmação de Saida|Deseja Sair do Programa e parar as integrações?");

    station.dialogs.answers = {false};
    QTest::mouseClick(sair, Qt::LeftButton);
    QCOMPARE(station.dialogs.asked, QStringList{question});
    QVERIFY(window.isVisible());

    station.dialogs.answers = {true};
    QCOMPARE(runLoop([sair] { QTest::mouseClick(sair, Qt::LeftButton); }), 0);
    QCOMPARE(station.dialogs.asked, (QStringList{question, question}));
    QVERIFY(!window.isVisible());
}

void TestWindow::switchOnAndOff()
{
    Station station;
    TFprincipalAdmin& window = station.start();
    QVERIFY(showAndWait(window));
    auto* rsAtiva = station.find<ToggleSwitch>(QStringLiteral("rsAtiva"));
    auto* memo = station.find<QPlainTextEdit>(QStringLiteral("Memo1"));
    QTimer& timer3 = window.integration().Timer3();

    // No connection file: refused, and the switch goes back to off.
    QTest::mouseClick(rsAtiva, Qt::LeftButton);
    QCOMPARE(station.dialogs.informed, QStringList{QStringLiteral("Informar o arquivo udl do velcor")});
    QVERIFY(!rsAtiva->isChecked());
    QVERIFY(!window.state().rsAtiva());
    QVERIFY(!timer3.isActive());

    // The operator's settings reach the state through the controls.
    auto* configuracoes = station.find<QWidget>(QStringLiteral("TabSheet3"));
    station.find<QTabWidget>(QStringLiteral("PageControl1"))->setCurrentWidget(configuracoes);
    QTest::keyClicks(station.find<QLineEdit>(QStringLiteral("edtSql")), station.udlPath());
    station.find<QSpinBox>(QStringLiteral("seTempo"))->setValue(7);
    QCOMPARE(window.state().edtSql(), station.udlPath());
    QCOMPARE(window.state().seTempo(), 7);
    station.find<QTabWidget>(QStringLiteral("PageControl1"))->setCurrentIndex(0);

    window.state().appendLog(QStringLiteral("antes"));
    QCOMPARE(memo->toPlainText(), QStringLiteral("\nantes"));

    // On: the log is cleared and Timer3 runs every seTempo seconds.
    QTest::mouseClick(rsAtiva, Qt::LeftButton);
    QVERIFY(rsAtiva->isChecked());
    QVERIFY(window.state().rsAtiva());
    QCOMPARE(memo->toPlainText(), QString());
    QVERIFY(timer3.isActive());
    QCOMPARE(timer3.interval(), 7000);

    // A cycle's error entry carries its message after a carriage return: a line of its own.
    window.state().appendLog(QStringLiteral("Erro na Tabela Vendas \rFalha de conexão"));
    QCOMPARE(memo->toPlainText(), QStringLiteral("Erro na Tabela Vendas \nFalha de conexão"));

    // Off: Timer3 stops, the log stays.
    QTest::mouseClick(rsAtiva, Qt::LeftButton);
    QVERIFY(!rsAtiva->isChecked());
    QVERIFY(!window.state().rsAtiva());
    QVERIFY(!timer3.isActive());
    QCOMPARE(memo->toPlainText(), QStringLiteral("Erro na Tabela Vendas \nFalha de conexão"));

    // Set from code, the switch follows without running its handler.
    window.state().setRsAtiva(true);
    QVERIFY(rsAtiva->isChecked());
    QVERIFY(!timer3.isActive());
}

void TestWindow::lookupCombos()
{
    Station station;
    TFprincipalAdmin& window = station.start();
    QVERIFY(showAndWait(window));
    station.find<QTabWidget>(QStringLiteral("PageControl1"))->setCurrentIndex(1);
    StationState& state = window.state();

    const QList<std::pair<QString, int>> rowsDropped = {{QStringLiteral("cbFilial"), 8},
                                                        {QStringLiteral("EdtTpDoc"), 20},
                                                        {QStringLiteral("edtOper"), 10},
                                                        {QStringLiteral("edtCcusto"), 15},
                                                        {QStringLiteral("edtCcusto2"), 15}};
    for (const auto& [name, rows] : rowsDropped)
        QCOMPARE(station.find<LookupCombo>(name)->maxVisibleItems(), rows);

    // The branch: the key shows its row, an unknown key shows nothing, picking sets the key,
    // Escape clears it.
    auto* filial = station.find<LookupCombo>(QStringLiteral("cbFilial"));
    state.cbFilial().openList({row(QStringLiteral("1"), {QStringLiteral("Matriz")}, QStringLiteral("Matriz")),
                               row(QStringLiteral("2"), {QStringLiteral("Posto Sul")}, QStringLiteral("Posto Sul"))});
    state.cbFilial().setKey(QStringLiteral("2"));
    QCOMPARE(filial->currentIndex(), 1);
    QCOMPARE(filial->shownText(), QStringLiteral("Posto Sul"));
    state.cbFilial().setKey(QStringLiteral("9"));
    QCOMPARE(filial->currentIndex(), -1);
    QCOMPARE(filial->shownText(), QString());
    QCOMPARE(state.cbFilial().key(), std::nullopt);
    filial->setFocus();
    QTest::keyClick(filial, Qt::Key_Down);
    QCOMPARE(state.cbFilial().key(), std::optional<QString>(QStringLiteral("1")));
    QTest::keyClick(filial, Qt::Key_Down);
    QCOMPARE(state.cbFilial().key(), std::optional<QString>(QStringLiteral("2")));
    QTest::keyClick(filial, Qt::Key_Escape);
    QCOMPARE(state.cbFilial().key(), std::nullopt);
    QCOMPARE(filial->currentIndex(), -1);

    // The nature of operation: two headed columns in the list, Cfop-Descrição in the closed box.
    auto* oper = station.find<LookupCombo>(QStringLiteral("edtOper"));
    state.edtOper().openList(
        {row(QStringLiteral("12"), {QStringLiteral("1102"), QStringLiteral("Compra")}, QStringLiteral("1102-Compra")),
         row(QStringLiteral("15"), {QStringLiteral("1653"), QStringLiteral("Combustível")},
             QStringLiteral("1653-Combustível"))});
    state.edtOper().setKey(QStringLiteral("15"));
    QCOMPARE(oper->shownText(), QStringLiteral("1653-Combustível"));
    auto* view = qobject_cast<QTreeView*>(oper->view());
    QVERIFY(view);
    QCOMPARE(view->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Cfop"));
    QCOMPARE(view->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Descrição"));
    // Cfop starts at 30 pixels and is never cut.
    QVERIFY(view->header()->sectionSize(0) >= qMax(30, oper->view()->sizeHintForColumn(0)));
    QCOMPARE(view->model()->index(1, 1).data().toString(), QStringLiteral("Combustível"));

    // A cost centre's empty value is "0".
    auto* custo = station.find<LookupCombo>(QStringLiteral("edtCcusto"));
    state.edtCcusto().openList({row(QStringLiteral("3"), {QStringLiteral("Pista")}, QStringLiteral("Pista"))});
    state.edtCcusto().setKey(QStringLiteral("3"));
    QCOMPARE(custo->currentIndex(), 0);
    custo->setFocus();
    QTest::keyClick(custo, Qt::Key_Escape);
    QCOMPARE(state.edtCcusto().keyText(), QStringLiteral("0"));
}

void TestWindow::captions_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("geometry"); // in the parent; empty: sized by the platform or the text

    const auto add = [](const char* name, const QString& text, QRect geometry = {}) {
        QTest::newRow(name) << text << geometry;
    };
    add("FprincipalAdmin", QStringLiteral("Carvela Versão 3.1 - Tessarim"));
    add("TabSheet2", QStringLiteral("Importação"));
    add("TabSheet3", QStringLiteral("Configurações"));
    add("Button1", QStringLiteral("Sair do Sistema"), {3, 1, 104, 29});
    add("BitBtn5", QStringLiteral("Salvar Parametros"), {115, 1, 104, 29});
    add("Label1", QStringLiteral("Movimento"));
    add("rsAtiva", QStringLiteral("Ativa ou Desativa integrador"), {142, 6, 50, 60});
    add("GroupBox1", QStringLiteral("Integração nas Nuvens"), {200, 14, 197, 49});
    add("cbIntMov", QStringLiteral("Importação Movimento Bancário"), {12, 20, 178, 17});
    add("cbProdutos", QStringLiteral("Atualizar Produtos"), {4, 70, 122, 17});
    add("cbUsuarios", QStringLiteral("Usuários"), {4, 90, 122, 17});
    add("cbVendas", QStringLiteral("Vendas"), {4, 111, 122, 17});
    add("cbEntrada", QStringLiteral("Entradas"), {4, 131, 122, 17});
    add("cbClientes", QStringLiteral("Atualizar Clientes"), {704, 69, 122, 17});
    add("cbFornecedores", QStringLiteral("Atualizar Fornecedores"), {704, 89, 122, 17});
    add("lbProcesso", QStringLiteral("Processo"));
    add("Label2", QStringLiteral("Arquivo de Comunicação de acesso SQL-Server"));
    add("GroupBox3", QStringLiteral("Filial"), {6, 51, 400, 47});
    add("GbTpDocumento", QStringLiteral("Tipo Documento"), {6, 107, 276, 45});
    add("GroupBox2", QStringLiteral("Tempo Seg"), {321, 102, 83, 49});
    add("GroupBox20", QStringLiteral("Natureza de Operação"), {6, 159, 276, 45});
    add("GroupBox24", QStringLiteral("Centro Custo Combustíveis"), {6, 206, 237, 45});
    add("GroupBox4", QStringLiteral("Centro Custo Diversos"), {250, 206, 237, 45});
    add("RxTIcon", QStringLiteral("Ondaris"));
    add("ch", QStringLiteral("Abrir Aplicativo"));
    add("Fechar1", QStringLiteral("Fechar"));
}

void TestWindow::captions()
{
    QFETCH(QString, text);
    QFETCH(QRect, geometry);
    Station station;
    TFprincipalAdmin& window = station.start();
    const QString name = QString::fromLatin1(QTest::currentDataTag());
    QObject* control = name == window.objectName() ? &window : station.find(name);
    QVERIFY2(control, qPrintable(name));

    QCOMPARE(captionOf(window, control), text);
    if (!geometry.isNull()) {
        const QRect actual = qobject_cast<QWidget*>(control)->geometry();
        QCOMPARE(actual.topLeft(), geometry.topLeft());
        QCOMPARE(actual.height(), geometry.height());
        // A check box may widen for a stand-in font that is wider than the classic one.
        if (qobject_cast<QCheckBox*>(control))
            QVERIFY(actual.width() >= geometry.width());
        else
            QCOMPARE(actual.width(), geometry.width());
    }
    if (name == QStringLiteral("cbClientes") || name == QStringLiteral("cbFornecedores")) {
        QVERIFY(qobject_cast<QWidget*>(control)->isHidden());
        QVERIFY(!qobject_cast<QWidget*>(control)->isEnabled());
    }
}

// The tray's tool tip keeps "Ondaris" first and adds the last cycle's account; a bar's tool tip
// has its section's counts. Memo1 keeps only what the cycle logs.
void TestWindow::lastCycleInTheToolTips()
{
    Station station;
    TFprincipalAdmin& window = station.start();
    Integration& integration = window.integration();
    integration.Timer3().stop();
    integration.setSections({{StationState::Box::cbClientes, [](Integration& i) {
                                  i.setSectionLabel(QStringLiteral("Clientes"));
                                  UnitWriter units(i);
                                  units.write([] { return Written::Inserted; });
                                  units.write([]() -> Written { throw RowFailure(QStringLiteral("código X1")); });
                              }}});
    window.state().setBox(StationState::Box::cbIntMov, false);
    window.state().setRsAtiva(true);
    window.state().clearLog();
    integration.RunCycle();

    const QString tray = station.find<QSystemTrayIcon>(QStringLiteral("RxTIcon"))->toolTip();
    QVERIFY2(tray.startsWith(QStringLiteral("Ondaris\nCiclo do movimento de ")), qPrintable(tray));
    QVERIFY2(tray.endsWith(QStringLiteral("INCOMPLETO, 1 linha não copiada")), qPrintable(tray));
    QVERIFY(tray.size() <= 127); // what Windows shows of a tray tool tip
    const QString bar = station.find<QProgressBar>(QStringLiteral("pbClientes"))->toolTip();
    QVERIFY2(bar.startsWith(QStringLiteral(
                 "<p>Último ciclo: 2 lidos, 1 inseridos, 0 atualizados, 0 já no ERP, 1 falhas</p><pre>")),
             qPrintable(bar));
    QVERIFY2(station.find<QProgressBar>(QStringLiteral("pbProdutos"))
                 ->toolTip()
                 .contains(QStringLiteral("Falha: Clientes: código X1")),
             qPrintable(bar));
    QCOMPARE(window.state().memo(), QStringList({QStringLiteral("Erro na Tabela Clientes \rcódigo X1")}));
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
