#pragma once

#include <QString>

namespace carvela {

// The message boxes the system shows the operator. The window answers them with real boxes, the
// headless runner prints them, tests answer them. Titles are the application's title unless given.
class OperatorDialogs {
public:
    virtual ~OperatorDialogs() = default;
    // A plain message with a single OK button.
    virtual void inform(const QString& text) = 0;
    // The default error display: an error that ended a handler outside a cycle.
    virtual void showError(const QString& text) = 0;
    // A Yes/No question with the question-mark icon; true for Yes.
    virtual bool ask(const QString& title, const QString& text) = 0;
};

} // namespace carvela
