// SPDX-License-Identifier: GPL-3.0-or-later

#include "Main.h"
#include "ASXPVS.h"
#include "Application.h"
#include "BCPort.h"
#include "ComDiagnostics.h"
#include "CommandLineAnswer.h"
#include "OpenFileReserve.h"
#include "ReportRequests.h"
#include "RigctlService.h"
#include "SettingsFileSharing.h"
#include "TerminalOutput.h"
#include "TerminationSignals.h"
#include "Translations.h"
#include "platform/VirtualPort.h"

#include <QFont>
#include <atomic>
#include <cstdlib>
#include <utility>

namespace {

// The window is designed in "MS Sans Serif", which Linux does not have;
// Liberation Sans keeps the captions close to their designed widths. The
// digits are in "Courier New", which wine lacks without Windows' own fonts:
// the Windows program there would draw them in a font that shows nothing.
void substituteDesignFonts()
{
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    QFont::insertSubstitutions(QStringLiteral("Courier New"), {QStringLiteral("Liberation Mono"),
                                                               QStringLiteral("DejaVu Sans Mono")});
}

// On X11 Qt draws the window through shared-memory segments, each handed
// over as a descriptor; one that the program cannot take for want of
// descriptors leaves Qt waiting for the X server for ever, deaf to a stop.
// Plain drawing requests cost nothing worth that for a window this small.
void drawWithoutSharedMemory()
{
    qputenv("QT_XCB_NO_MITSHM", "1");
}

// A stop request (SIGTERM, SIGINT, SIGHUP; on Windows Ctrl+C, WM_CLOSE, the
// end of the session) saves the settings as closing the window does, but it
// ends the program in every case. A save that fails is reported with the
// file's path where the system's user sees it (reportStopFailure) and gives
// the exit status. The descriptors kept for it are given back first:
// whatever else holds the rest, the save can open its files.
int saveForStop(TMainForm& window, OpenFileReserve& reserve)
{
    reserve.release();
    try {
        window.FormClose(&window);
        return EXIT_SUCCESS;
    } catch (...) {
        reportStopFailure();
        return EXIT_FAILURE;
    }
}

} // namespace

int main(int argc, char* argv[])
{
    prepareTerminalOutput();
    TMainFormSetup setup;
    OpenFileReserve reserve;
    {
        // The window's application needs a display; a core application
        // opens none. It gives the command line and the translations of what
        // is said before the window's application comes.
        QCoreApplication core(argc, argv);
        installTranslations(core);
        const ParsedCommandLine commandLine =
            parseCommandLine(QCoreApplication::arguments(), OneCopyPerSettingsFile,
                             serial::virtualPortOpener() != nullptr);
        if (const std::optional<int> status = answerCommandLine(commandLine))
            return *status;
        setup.options = commandLine.options;
        try {
            reserve.take();
        } catch (...) {
            logCurrentException();
            return EXIT_FAILURE;
        }
    }
    LoadThemeApi();
    drawWithoutSharedMemory();
    int result = 0;
    {
        TApplication app(argc, argv);
        comport::installSerialLog();
        installTranslations(app);
        substituteDesignFonts();
        setup.settingsFile = claimSettingsFile(setup.options);
        // A stop request can come while the window is still being created;
        // each one closes a message box that the creation shows, and the stop
        // is carried out once the window exists. Once it is, the first request
        // stops the program and later ones change nothing.
        TMainForm* window = nullptr;
        bool stopRequested = false;
        // The line, for the step of a stop that cannot wait for the UI
        // thread: that thread may be held up for seconds by a write to a line
        // that takes nothing, and each further reply would hold it up again.
        std::atomic<TBComPort*> line = nullptr;
        TerminationSignals stopRequests(
            [&] {
                const bool repeated = std::exchange(stopRequested, true);
                if (!window)
                    TApplication::closeAllWindows();
                else if (!repeated)
                    // Leaves every event loop, a message box's too.
                    TApplication::exit(saveForStop(*window, reserve));
            },
            [&line] {
                if (TBComPort* port = line.load())
                    port->AbandonWrites();
            });
        TMainForm mainForm(setup);
        window = &mainForm;
        line = mainForm.BComPort1();
        mainForm.listenForRigctlClients(setup.options);
        const ReportRequests reportRequests([&mainForm] { mainForm.logLineMonitor(); });
        if (stopRequested) {
            result = saveForStop(mainForm, reserve);
        } else {
            mainForm.show();
            result = TApplication::exec();
        }
        // The program is ending, with `result`: a stop signal changes nothing
        // from here on, nothing touches the line from another thread, and
        // closing the port does not wait for a reply the line cannot take.
        stopRequests.ignoreLaterSignals();
        mainForm.BComPort1()->AbandonWrites();
        if (setup.options.verbose)
            mainForm.logLineMonitor();
    }
    UnloadThemeApi();
    return result;
}
