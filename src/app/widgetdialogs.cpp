#include "app/widgetdialogs.h"

#include <QMessageBox>

namespace carvela {
namespace {

// Message boxes carry the application's title, as the operator knows it from the task bar.
const QString title = QStringLiteral("Carvela");

} // namespace

WidgetDialogs::WidgetDialogs(QWidget* window)
    : m_window(window)
{
}

WidgetDialogs::~WidgetDialogs() = default;

void WidgetDialogs::inform(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, m_window);
    box.exec();
}

void WidgetDialogs::showError(const QString& text)
{
    if (m_errorBox) {
        m_errorBox->setText(text);
        m_errorBox->raise();
        m_errorBox->activateWindow();
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Critical, title, text, QMessageBox::Ok, m_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_errorBox = box;
    // open() returns at once: the error waits for the operator while the timers keep running.
    box->open();
}

QMessageBox* WidgetDialogs::errorBox() const
{
    return m_errorBox;
}

bool WidgetDialogs::ask(const QString& questionTitle, const QString& text)
{
    QMessageBox box(QMessageBox::Question, questionTitle, text, QMessageBox::Yes | QMessageBox::No, m_window);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

} // namespace carvela
