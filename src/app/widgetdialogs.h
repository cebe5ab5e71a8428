#pragma once

#include "core/operatordialogs.h"

#include <QPointer>

class QMessageBox;
class QWidget;

namespace carvela {

// The operator's message boxes as the window shows them. Questions and plain messages wait for
// their answer; errors do not: the station runs unattended and its timers keep ticking, so an
// error box never blocks the loop, and while one is up a new error takes its text instead of
// piling a second box on top of it.
class WidgetDialogs : public OperatorDialogs {
public:
    // The boxes are the window's children (centred on it, gone with it).
    explicit WidgetDialogs(QWidget* window);
    ~WidgetDialogs() override;
    WidgetDialogs(const WidgetDialogs&) = delete;
    WidgetDialogs& operator=(const WidgetDialogs&) = delete;

    void inform(const QString& text) override;
    void showError(const QString& text) override;
    bool ask(const QString& title, const QString& text) override;

    // The error box while it is up, for whoever wants to look at it.
    QMessageBox* errorBox() const;

private:
    QWidget* m_window;
    QPointer<QMessageBox> m_errorBox;
};

} // namespace carvela
