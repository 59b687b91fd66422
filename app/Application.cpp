// SPDX-License-Identifier: GPL-3.0-or-later

#include "Application.h"

#include "BCPort.h"
#include "ComDiagnostics.h"
#include "IniFile.h"
#include "TerminalOutput.h"
#include "Version.h"

#include <QMessageBox>
#include <QPixmapCache>
#include <QStyleHints>
#include <cstdio>
#include <utility>

namespace {

// Platforms that draw windows no one can see: a modal box there would wait
// for ever for an operator who is not there.
bool screenCanShowWindows()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

void reportToOperator(const QString& text, const QString& detail)
{
    logErrorMessage(text, detail);
    if (screenCanShowWindows()) {
        const std::unique_ptr<QMessageBox> box =
            newErrorMessageBox(text, detail, QApplication::activeWindow());
        box->exec();
    }
}

// The text with each control character but the line break written as \xNN:
// a NUL would cut the text short, others move the cursor or clear the line.
QString withControlsShown(const QString& text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control && c != u'\n')
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

ErrorMessageSink& errorSink()
{
    static ErrorMessageSink sink = reportToOperator;
    return sink;
}

ErrorMessageSink& noteSink()
{
    static ErrorMessageSink sink = logErrorMessage;
    return sink;
}

ErrorMessage currentExceptionMessage()
{
    try {
        throw;
    } catch (const EComPort& e) {
        return {comport::translatedMessage(QString::fromUtf8(e.what())), e.detail()};
    } catch (const EIniFileException& e) {
        return {QString::fromUtf8(e.what()), e.detail()};
    } catch (const std::exception& e) {
        return {QString::fromUtf8(e.what()), {}};
    } catch (...) {
        return {QCoreApplication::translate("TApplication", "Unknown error"), {}};
    }
}

} // namespace

// The desktop file's name lets Wayland desktops match the window to its menu
// entry and icon.
TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setDesktopFileName(QString::fromLatin1(QuartzelAppId));
    // Where no one can see the window, a blinking caret would only wake the
    // program twice a second, and the pixmap cache (which speeds up painting
    // for someone who looks) every 30 s to look for pixmaps to drop.
    if (!screenCanShowWindows()) {
        styleHints()->setCursorFlashTime(0);
        QPixmapCache::setCacheLimit(0);
    }
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        showCurrentException();
    }
    return false;
}

std::unique_ptr<QMessageBox> newErrorMessageBox(const QString& text, const QString& detail,
                                                QWidget* parent)
{
    auto box = std::make_unique<QMessageBox>(QMessageBox::Critical, ApplicationTitle,
                                             withControlsShown(text), QMessageBox::Ok, parent);
    box->setDetailedText(withControlsShown(detail));
    return box;
}

void showErrorMessage(const QString& text, const QString& detail)
{
    errorSink()(text, detail);
}

void setErrorMessageSink(ErrorMessageSink sink)
{
    errorSink() = sink ? std::move(sink) : ErrorMessageSink(reportToOperator);
}

void logErrorMessage(const QString& text, const QString& detail)
{
    QString line = QCoreApplication::applicationName() + QStringLiteral(": ") + text;
    if (!detail.isEmpty())
        line += QStringLiteral(" (") + detail + u')';
    // One error, one line, whatever the texts hold.
    line.replace(u'\n', u' ');
    line = withControlsShown(line) + u'\n';
    writeTerminalText(stderr, line);
}

ErrorMessage errorMessage(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (...) {
        return currentExceptionMessage();
    }
}

void showNote(const QString& text, const QString& detail)
{
    noteSink()(text, detail);
}

void setNoteSink(ErrorMessageSink sink)
{
    noteSink() = sink ? std::move(sink) : ErrorMessageSink(logErrorMessage);
}

void showCurrentException()
{
    const ErrorMessage message = currentExceptionMessage();
    showErrorMessage(message.text, message.detail);
}

void logCurrentException()
{
    const ErrorMessage message = currentExceptionMessage();
    logErrorMessage(message.text, message.detail);
}
