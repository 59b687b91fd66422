// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QApplication>
#include <QLatin1String>
#include <exception>
#include <functional>
#include <memory>

class QMessageBox;

// The application's title, the caption of its message boxes. It is not made
// Qt's application display name: Qt would append that to the title bar of
// every window on X11 and Wayland.
inline constexpr QLatin1String ApplicationTitle{"Quartzel"};

// The application object. Every exception that leaves an event handler ends
// here: its text is shown in a message box and the program goes on. Where no
// one can see the windows (offscreen, minimal) the caret does not blink, and
// no pixmap cache is kept, so that an idle program is not woken.
class TApplication : public QApplication
{
public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// The one way the program shows an error to the operator: `text` is the
// message, `detail` what the system said, where known (what was done to
// which path, and why it failed), or empty. The program's own way writes the
// error to standard error and, where a screen can show it, in a message box.
// Tests replace the sink to capture messages instead.
using ErrorMessageSink = std::function<void(const QString& text, const QString& detail)>;
void showErrorMessage(const QString& text, const QString& detail = {});
void setErrorMessageSink(ErrorMessageSink sink);

// The message box of an error: `text`, and `detail` (when there is one) as
// the box's detailed text, behind its "Show Details..." button.
std::unique_ptr<QMessageBox> newErrorMessageBox(const QString& text, const QString& detail,
                                                QWidget* parent = nullptr);

// Writes the error to standard error as one line:
// "<program>: <text> (<detail>)", or without the parentheses when there is no
// detail.
void logErrorMessage(const QString& text, const QString& detail = {});

// Shows, or only logs, the exception in flight (call from a catch block).
void showCurrentException();
void logCurrentException();

// What the program shows for an error: the text in the user's language, and
// what the system said behind it (see showErrorMessage).
struct ErrorMessage
{
    QString text;
    QString detail;
};
ErrorMessage errorMessage(const std::exception_ptr& error);

// The one way the program tells how its lines fare, where that is no error:
// a line that waits for its device to come back, and its return. `text` is
// the note, `detail` what the system said, where known. The program's own
// way writes it to standard error as one line, as it writes an error. Tests
// replace the sink to capture notes.
void showNote(const QString& text, const QString& detail = {});
void setNoteSink(ErrorMessageSink sink);

// Runs a handler and reports its error, so that it never unwinds through the
// toolkit's own code that called the handler.
template <class Handler> void reportErrors(Handler&& handler)
{
    try {
        handler();
    } catch (...) {
        showCurrentException();
    }
}
