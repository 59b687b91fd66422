// SPDX-License-Identifier: GPL-3.0-or-later

// Windows announces a serial port's arrival and removal (DBT_DEVTYP_PORT) to
// every top-level window, with no need to register for it: a hidden window
// of the UI thread, whose messages Qt's event loop dispatches, takes it.

#include "PortListWatch.h"

#include "HiddenWindow_windows.h"

#include <QMetaObject>
#include <windows.h>

#include <dbt.h>

namespace {

constexpr const wchar_t* windowClassName = L"QuartzelPortListWatch";

bool isPortNotice(WPARAM event, LPARAM data)
{
    if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE)
        return false;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    return header && header->dbch_devicetype == DBT_DEVTYP_PORT;
}

} // namespace

class TPortListWatch::System
{
public:
    explicit System(TPortListWatch* owner)
    {
        static const bool registered = registerHiddenWindowClass(windowClassName, windowProc);
        if (registered)
            m_window = createHiddenWindow(windowClassName, owner);
    }
    ~System()
    {
        if (m_window)
            DestroyWindow(m_window);
    }
    System(const System&) = delete;
    System& operator=(const System&) = delete;

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_window = nullptr;
};

// The notice may be sent from another process, which waits for the answer:
// the list is read after it has had it.
LRESULT CALLBACK TPortListWatch::System::windowProc(HWND window, UINT message, WPARAM wParam,
                                                    LPARAM lParam)
{
    auto* owner = windowOwner<TPortListWatch>(window, message, lParam);
    if (message == WM_DEVICECHANGE && owner && isPortNotice(wParam, lParam)) {
        QMetaObject::invokeMethod(owner, &TPortListWatch::changed, Qt::QueuedConnection);
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TPortListWatch::TPortListWatch(const QString& /*root*/, QObject* parent)
    : QObject(parent), m_system(std::make_unique<System>(this))
{
}

TPortListWatch::~TPortListWatch() = default;
