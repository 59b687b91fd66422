#include "Application.h"

#include "Version.h"

#include <QMessageBox>
#include <utility>

namespace {

void showMessageBox(const QString& text)
{
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(),
                          text);
}

ErrorMessageSink& errorSink()
{
    static ErrorMessageSink sink = showMessageBox;
    return sink;
}

} // namespace

// The desktop file's name lets Wayland desktops match the window to its menu
// entry and icon.
TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setDesktopFileName(QString::fromLatin1(QuartzelAppId));
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentException();
    }
    return false;
}

void ShowErrorMessage(const QString& text)
{
    errorSink()(text);
}

void SetErrorMessageSink(ErrorMessageSink sink)
{
    errorSink() = sink ? std::move(sink) : ErrorMessageSink(showMessageBox);
}

void ShowCurrentException()
{
    try {
        throw;
    } catch (const std::exception& e) {
        ShowErrorMessage(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowErrorMessage(QStringLiteral("Unknown error"));
    }
}
