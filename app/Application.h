#pragma once

#include <QApplication>
#include <exception>
#include <functional>

// The application object. Every exception that leaves an event handler ends
// here: its text is shown in a message box and the program goes on.
class TApplication : public QApplication
{
public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// The one way the program shows an error to the operator. Tests replace the
// sink to capture messages instead of opening a modal box.
using ErrorMessageSink = std::function<void(const QString& text)>;
void ShowErrorMessage(const QString& text);
void SetErrorMessageSink(ErrorMessageSink sink);

// Shows the text of the exception in flight (call from a catch block).
void ShowCurrentException();

// Runs a handler and reports its error, so that it never unwinds through the
// toolkit's own code that called the handler.
template <class Handler> void ReportErrors(Handler&& handler)
{
    try {
        handler();
    } catch (...) {
        ShowCurrentException();
    }
}
