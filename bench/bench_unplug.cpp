// SPDX-License-Identifier: GPL-3.0-or-later

// Unplug: the real main window, in this process and offscreen, connects to a
// fresh pty, answers one query, and loses the line when the master closes,
// as when an adapter is pulled. Each loss must be reported exactly once and
// return the panel to its closed state; after all cycles the process must
// hold no more threads, file descriptors or lock files than before.
//
// Usage: bench_unplug [--cycles N]   (default 100)

#include "Application.h"
#include "BCPort.h"
#include "BenchSupport.h"
#include "Main.h"
#include "ui_Main.h"

#include <QTemporaryDir>
#include <QTest>

using namespace bench;

namespace {

struct Holdings
{
    long threads = 0;
    long fds = 0;
    long lockFiles = 0;
};

Holdings holdings()
{
    return {entriesIn("/proc/self/task"), entriesIn("/proc/self/fd"), long(ownLockFiles().size())};
}

std::string describe(const Holdings& h)
{
    return format("threads %ld, fds %ld, lock files %ld", h.threads, h.fds, h.lockFiles);
}

bool sameHoldings(const Holdings& a, const Holdings& b)
{
    return a.threads == b.threads && a.fds == b.fds && a.lockFiles == b.lockFiles;
}

struct CycleFaults
{
    long notConnected = 0;
    long replyWrong = 0;
    long panelNotClosed = 0;
    long messagesNotOne = 0;
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    const long cycles = longOption(argc, argv, "--cycles", 100);
    Results results("unplug");

    QStringList messages;
    setErrorMessageSink([&messages](const QString& text, const QString&) { messages << text; });
    QTemporaryDir directory;
    auto pty = std::make_unique<PtyPair>();
    TMainFormSetup setup;
    setup.settingsFile = directory.filePath(QStringLiteral("quartzel.ini"));
    setup.portListRoot = directory.path(); // no ports listed: the pty is the only one
    setup.options.port = pty->slavePath();
    TMainForm form(setup);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        fail("the window was not shown");
    Ui::MainForm& ui = form.form();
    const Holdings before = holdings();

    CycleFaults faults;
    Holdings whileConnected;
    for (long cycle = 0; cycle < cycles; ++cycle) {
        if (cycle > 0) {
            pty = std::make_unique<PtyPair>();
            ui.cbPort->setItemText(ui.cbPort->currentIndex(), pty->slavePath());
        }
        const qsizetype messagesBefore = messages.size();
        ui.btnConnect->click();
        if (!form.BComPort1()->Connected()) {
            ++faults.notConnected;
            continue;
        }
        whileConnected = holdings();
        writeAll(*pty, query);
        std::string reply;
        const bool arrived = QTest::qWaitFor([&] {
            readAvailable(*pty, reply);
            return reply.size() >= defaultReply.size();
        });
        faults.replyWrong += !arrived || reply != defaultReply;
        pty.reset(); // the master closes: the line hangs up
        const bool closed = QTest::qWaitFor([&] {
            return ui.btnConnect->isEnabled() && !ui.btnDisconnect->isEnabled() &&
                   ui.cbPort->isEnabled() && !form.BComPort1()->Connected();
        });
        faults.panelNotClosed += !closed;
        faults.messagesNotOne += messages.size() - messagesBefore != 1;
    }
    // A late second report of the last loss would show here.
    QTest::qWait(300);
    const qsizetype reported = messages.size();
    // Held as before the first cycle: the window and one pty master.
    pty = std::make_unique<PtyPair>();
    // Threads that end on their own after a loss are given time to go.
    const bool released = QTest::qWaitFor([&] { return sameHoldings(holdings(), before); }, 5000);
    const Holdings after = holdings();

    results.check(
        format("%ld cycles: not connected / wrong reply / panel not closed", cycles),
        format("%ld / %ld / %ld", faults.notConnected, faults.replyWrong, faults.panelNotClosed),
        "0 / 0 / 0", faults.notConnected + faults.replyWrong + faults.panelNotClosed == 0);
    results.check("losses reported (cycles with other than one message)",
                  format("%lld (%ld)", qlonglong(reported), faults.messagesNotOne),
                  format("%ld (0)", cycles), reported == cycles && faults.messagesNotOne == 0);
    if (!messages.isEmpty())
        results.figure("message shown", messages.first().toStdString());
    results.figure("held while connected (last cycle)", describe(whileConnected));
    results.check("held before -> after the cycles", describe(before) + " -> " + describe(after),
                  "equal", released && sameHoldings(before, after));
    setErrorMessageSink(nullptr);
    return results.exitCode();
}
