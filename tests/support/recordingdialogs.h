#pragma once

#include "core/operatordialogs.h"

#include <QStringList>

namespace carvela::test {

// Answers the operator's boxes for a test: records what was shown, answers questions from a queue
// (No when it is empty).
class RecordingDialogs : public OperatorDialogs {
public:
    void inform(const QString& text) override { informed << text; }
    void showError(const QString& text) override { errors << text; }
    bool ask(const QString& title, const QString& text) override
    {
        asked << title + u'|' + text;
        return answers.isEmpty() ? false : answers.takeFirst();
    }

    QStringList informed;
    QStringList errors;
    QStringList asked;
    QList<bool> answers;
};

} // namespace carvela::test
