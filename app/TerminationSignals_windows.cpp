// SPDX-License-Identifier: GPL-3.0-or-later

// The stop requests of Windows:
// - from a console the program shares: Ctrl+C, Ctrl+Break, and the console
//   being closed (the console handler, on a thread the system starts);
// - to its windows: WM_CLOSE (taskkill without /F, which posts it to every
//   top-level window of the process, hidden ones too), and the end of the
//   session (WM_ENDSESSION), which a program with windows gets instead of
//   the console's logoff and shutdown events.
// A hidden top-level window of the watching thread takes the window
// messages, so that they are served while the UI thread is held up, and
// whether or not the program shows a window of its own (offscreen, none).

#include "TerminationSignals.h"

#include "Application.h"
#include "HiddenWindow_windows.h"
#include "TerminationSignalsWatch.h"

#include <QMetaObject>
#include <atomic>
#include <thread>
#include <windows.h>

namespace {

// Made once and kept for the life of the process, so that a console handler
// still running on a thread of the system never signals a closed handle.
// `requested` is an auto-reset event that each request sets; `ended`, a
// manual-reset one, is set once the program has done with its requests.
HANDLE requested = nullptr;
HANDLE ended = nullptr;
std::atomic<bool> ignoring = true;

constexpr const wchar_t* windowClassName = L"QuartzelStopRequests";

void request()
{
    if (!ignoring)
        SetEvent(requested);
}

// The system ends the process as soon as this returns from the console's
// close, logoff or shutdown event, so those wait until the settings are
// saved. Ctrl+C and Ctrl+Break are taken: the program ends in its own time.
BOOL WINAPI onConsoleControl(DWORD type)
{
    request();
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(ended, INFINITE);
    return TRUE;
}

// The events, the console handler and the window class, once per process.
bool prepareProcess(WNDPROC windowProc)
{
    static const bool prepared = [windowProc] {
        requested = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        return requested && ended && registerHiddenWindowClass(windowClassName, windowProc) &&
               SetConsoleCtrlHandler(onConsoleControl, TRUE);
    }();
    return prepared;
}

} // namespace

class TerminationSignals::SystemWatch final : public TerminationSignals::Watch
{
public:
    SystemWatch(QObject* owner, std::function<void()> onSignal, std::function<void()> onPending);
    ~SystemWatch() override;

    void ignoreLaterSignals() override;

private:
    static constexpr DWORD pendingRepeatMs = DWORD(PendingRepeat.count());

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void wakeUiThread() override;
    void watch();
    void serveMessages();
    // The session ends once this returns: it waits until the program has
    // done with its requests, passing them on meanwhile. Watching thread.
    void awaitEnd();

    QObject* const m_owner;
    HANDLE m_quit = nullptr;
    std::thread m_watcher;
};

LRESULT CALLBACK TerminationSignals::SystemWatch::windowProc(HWND window, UINT message,
                                                             WPARAM wParam, LPARAM lParam)
{
    auto* watch = windowOwner<SystemWatch>(window, message, lParam);
    switch (message) {
    case WM_CLOSE:
        // Not destroyed: the program ends when its settings are saved.
        request();
        return 0;
    case WM_ENDSESSION:
        if (wParam && watch) {
            request();
            watch->awaitEnd();
        }
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

std::unique_ptr<TerminationSignals::Watch>
TerminationSignals::startWatch(QObject* owner, std::function<void()> onSignal,
                               std::function<void()> onPending)
{
    return std::make_unique<SystemWatch>(owner, std::move(onSignal), std::move(onPending));
}

TerminationSignals::SystemWatch::SystemWatch(QObject* owner, std::function<void()> onSignal,
                                             std::function<void()> onPending)
    : Watch(std::move(onSignal), std::move(onPending)), m_owner(owner)
{
    if (!prepareProcess(windowProc))
        return;
    m_quit = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!m_quit)
        return;
    // What came before, or was left by an earlier instance of this process,
    // is no request to this one.
    ResetEvent(requested);
    ResetEvent(ended);
    ignoring = false;
    m_watcher = std::thread([this] { watch(); });
}

TerminationSignals::SystemWatch::~SystemWatch()
{
    ignoreLaterSignals();
    if (m_quit)
        CloseHandle(m_quit);
}

// A request that the UI thread has not taken yet is served here first: at
// the end of the session Qt's window system quits the event loop on its own,
// and the settings must be saved all the same.
void TerminationSignals::SystemWatch::ignoreLaterSignals()
{
    if (!m_watcher.joinable())
        return;
    ignoring = true;
    takeRequests();
    SetEvent(ended);
    SetEvent(m_quit);
    m_watcher.join();
}

void TerminationSignals::SystemWatch::watch()
{
    const HWND window = createHiddenWindow(windowClassName, this);
    const HANDLE wakers[] = {m_quit, requested};
    for (;;) {
        const DWORD woken = MsgWaitForMultipleObjects(
            2, wakers, FALSE, uiCallPending() ? pendingRepeatMs : INFINITE, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0)
            break;
        if (woken == WAIT_OBJECT_0 + 1 || (woken == WAIT_TIMEOUT && uiCallPending()))
            passOn();
        else if (woken == WAIT_OBJECT_0 + 2)
            serveMessages();
    }
    if (window)
        DestroyWindow(window);
}

void TerminationSignals::SystemWatch::serveMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void TerminationSignals::SystemWatch::awaitEnd()
{
    const HANDLE wakers[] = {ended, requested};
    for (;;) {
        const DWORD woken = WaitForMultipleObjects(2, wakers, FALSE, pendingRepeatMs);
        if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED)
            return;
        if (woken == WAIT_OBJECT_0 + 1 || uiCallPending())
            passOn();
    }
}

void TerminationSignals::SystemWatch::wakeUiThread()
{
    QMetaObject::invokeMethod(
        m_owner, [this] { takeRequests(); }, Qt::QueuedConnection);
}

void reportStopFailure()
{
    showCurrentException();
}
