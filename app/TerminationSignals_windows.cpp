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

// While the UI thread has not taken a request, `onPending` runs again this often.
constexpr DWORD pendingRepeatMs = 100;

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

class TerminationSignals::Watch
{
public:
    Watch(QObject* owner, std::function<void()> onSignal, std::function<void()> onPending);
    ~Watch();

    void ignoreLaterSignals();

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void watch();
    void serveMessages();
    // The session ends once this returns: it waits until the program has
    // done with its requests, passing them on meanwhile. Watching thread.
    void awaitEnd();
    void passOn();
    void takeRequests();

    QObject* const m_owner;
    const std::function<void()> m_onSignal;
    const std::function<void()> m_onPending;
    HANDLE m_quit = nullptr;
    std::atomic<bool> m_uiCallPending = false;
    std::thread m_watcher;
};

LRESULT CALLBACK TerminationSignals::Watch::windowProc(HWND window, UINT message, WPARAM wParam,
                                                       LPARAM lParam)
{
    auto* watch = windowOwner<Watch>(window, message, lParam);
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

TerminationSignals::TerminationSignals(std::function<void()> onSignal,
                                       std::function<void()> onPending, QObject* parent)
    : QObject(parent),
      m_watch(std::make_unique<Watch>(this, std::move(onSignal), std::move(onPending)))
{
}

TerminationSignals::~TerminationSignals() = default;

void TerminationSignals::ignoreLaterSignals()
{
    m_watch->ignoreLaterSignals();
}

TerminationSignals::Watch::Watch(QObject* owner, std::function<void()> onSignal,
                                 std::function<void()> onPending)
    : m_owner(owner), m_onSignal(std::move(onSignal)), m_onPending(std::move(onPending))
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

TerminationSignals::Watch::~Watch()
{
    ignoreLaterSignals();
    if (m_quit)
        CloseHandle(m_quit);
}

// A request that the UI thread has not taken yet is served here first: at
// the end of the session Qt's window system quits the event loop on its own,
// and the settings must be saved all the same.
void TerminationSignals::Watch::ignoreLaterSignals()
{
    if (!m_watcher.joinable())
        return;
    ignoring = true;
    if (m_uiCallPending)
        takeRequests();
    SetEvent(ended);
    SetEvent(m_quit);
    m_watcher.join();
}

void TerminationSignals::Watch::watch()
{
    const HWND window = createHiddenWindow(windowClassName, this);
    const HANDLE wakers[] = {m_quit, requested};
    for (;;) {
        const DWORD woken = MsgWaitForMultipleObjects(
            2, wakers, FALSE, m_uiCallPending ? pendingRepeatMs : INFINITE, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0)
            break;
        if (woken == WAIT_OBJECT_0 + 1 || (woken == WAIT_TIMEOUT && m_uiCallPending))
            passOn();
        else if (woken == WAIT_OBJECT_0 + 2)
            serveMessages();
    }
    if (window)
        DestroyWindow(window);
}

void TerminationSignals::Watch::serveMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void TerminationSignals::Watch::awaitEnd()
{
    const HANDLE wakers[] = {ended, requested};
    for (;;) {
        const DWORD woken = WaitForMultipleObjects(2, wakers, FALSE, pendingRepeatMs);
        if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED)
            return;
        if (woken == WAIT_OBJECT_0 + 1 || m_uiCallPending)
            passOn();
    }
}

void TerminationSignals::Watch::passOn()
{
    if (m_onPending)
        m_onPending();
    if (!m_uiCallPending.exchange(true))
        QMetaObject::invokeMethod(
            m_owner, [this] { takeRequests(); }, Qt::QueuedConnection);
}

// A request that comes after the flag is cleared is served by the call that
// follows.
void TerminationSignals::Watch::takeRequests()
{
    if (!m_uiCallPending.exchange(false))
        return;
    if (m_onSignal)
        m_onSignal();
}

void reportStopFailure()
{
    showCurrentException();
}
